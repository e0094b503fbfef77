#!/usr/bin/env bash
# USSD credit queries on a Huawei modem (modemsim) that takes USSD codes only in packed
# 7-bit form and answers in UCS-2, whole program:
#  1. "Prepaid-credit?" from the control window's menu: the configured code is refused in
#     plain text, asked again packed, and the UCS-2 answer arrives as text in the service
#     log, the connection log and the "Credit Query" message;
#  2. "Send USSD code..." with a typed code: sent packed at once (the coding is learnt), its
#     answer is shown as well.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

latin1() { iconv -f UTF-8 -t ISO-8859-1 <<<"$1"; }

credit="Guthaben: 12,34 EUR. G$(printf '\u00fc')ltig bis 31.12.2026"
bonus="Ihr Bonus: 100 MB"
e2e_start_modem huawei --set sim=ready --set signal=20 \
  --set operator='26202|Vodafone.de|Vodafone|2' \
  --set ussd_input=packed --set ussd_answer=ucs2 \
  --set "ussd=*100#|$credit" --set "ussd=*102#|$bonus" \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB0
APN=web.example
CONA=E
PPQ=*100#
MOD=P
INI

PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90

# ---- 1. The configured credit query ----
e2e_menu_select 2
e2e_wait_for_text "$WORK/servilog.txt" "Starting credit communication." 20
e2e_wait_count "$WORK/servilog.txt" "Answer from network:" 1 60
grep -qF 'AT+CUSD=1,"*100#",15' "$WORK/transcript" || e2e_fail "no plain first try"
code100=AA180C3602 # "*100#" packed in GSM 7-bit
grep -qiF "AT+CUSD=1,\"$code100\",15" "$WORK/transcript" ||
  e2e_fail "not asked again packed ($code100): $(grep CUSD "$WORK/transcript")"
shown=$(latin1 "$credit")
grep -qF "Answer from your mobile network:" "$WORK/servilog.txt" || e2e_fail "no answer text"
grep -qF "$shown" "$WORK/servilog.txt" || e2e_fail "UCS-2 answer not as text in servilog"
grep -qF " Account answer: $shown" "$WORK/connlog.txt" || e2e_fail "no answer in connlog"
e2e_keys "$(e2e_wait_window "Credit Query" 20)" Return

# ---- 2. A typed code, sent packed at once ----
e2e_menu_select 4
dialog=$(e2e_wait_window "USSD code" 20)
e2e_type "$dialog" "*102#"
e2e_keys "$dialog" Return
e2e_wait_count "$WORK/servilog.txt" "Starting credit communication." 2 20
e2e_wait_count "$WORK/servilog.txt" "Answer from network:" 2 40
grep -qF " Account command: *102#" "$WORK/connlog.txt" || e2e_fail "typed code not logged"
grep -qF 'AT+CUSD=1,"*102#"' "$WORK/transcript" && e2e_fail "the learnt coding was forgotten"
grep -qiF "AT+CUSD=1,\"AA184C3602\",15" "$WORK/transcript" || e2e_fail "typed code not sent"
grep -qF " Account answer: $bonus" "$WORK/connlog.txt" || e2e_fail "no second answer"
e2e_keys "$(e2e_wait_window "Credit Query" 20)" Return

e2e_stop_program "$pid"
echo "PASS ussd"
