#!/usr/bin/env bash
# SMS on a Huawei modem (modemsim), whole program:
#  1. stored messages are fetched at the passes: a long UCS-2 message whose two parts are
#     stored in the wrong order arrives as one text, a message from a named sender keeps the
#     name, euro and the extension characters of GSM 7-bit survive; all of them are logged in
#     sms.txt and sms_in/, and deleted from the modem;
#  2. a queue file in sms_send/ goes out with AT+CMGS and moves to sms_out/.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir


e2e_start_modem huawei --set sim=ready --set signal=20 \
  --set operator='26202|Vodafone.de|Vodafone|2' --set lac=1A2B --set cell=00C3D4E5 \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
part1="Eine lange Nachricht mit Gr$(printf '\u00fc\u00df')en und Griechisch: Καλημέρα, "
part2="weiter mit 5 €uro und 😀."
e2e_modem "sms 1 $(e2e_sms_pdu ucs2 +491701234567 42 2 2 "$part2")"
e2e_modem "sms 1 $(e2e_sms_pdu ucs2 +491701234567 42 2 1 "$part1")"
e2e_modem "sms 1 $(e2e_sms_pdu gsm7 Vodafone "Guthaben: 5,00€ [Bonus] {ok}")"

cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB0
APN=web.example
CONA=E
MOD=PM
SMS1=+491700000000;LICHT
CMD1=true
INI
mkdir -p "$WORK/sms_send"
printf 'Hallo Welt' >"$WORK/sms_send/sms_test__491709876543.txt"

"$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90

# ---- 1 ----
# With SMS commands configured, messages that are no command are logged without a question.
e2e_wait_for_text "$WORK/sms.txt" "Vodafone" 180
# The files are Latin-1: what it cannot hold (Greek, the euro sign in UCS-2, an emoji given
# as a surrogate pair) is one '?' per character; GSM's euro sign becomes "EUR".
latin1() { iconv -f UTF-8 -t ISO-8859-1 <<<"$1"; }
joined=$(latin1 "Eine lange Nachricht mit Gr$(printf '\u00fc\u00df')en und Griechisch: ????????, weiter mit 5 ?uro und ?.")
log=$WORK/sms.txt
grep -qF "$joined" "$log" || e2e_fail "long message not joined: $(cat "$log")"
grep -qF "+491701234567 2026-12-07 14:15:16" "$log" || e2e_fail "sender or time stamp"
grep -qF "Guthaben: 5,00EUR [Bonus] {ok}" "$log" || e2e_fail "7-bit text with extension characters"
grep -qF "Vodafone 2026-12-07" "$log" || e2e_fail "alphanumeric sender lost"
grep -q "<Long>" "$log" && e2e_fail "the joined message still marked as a part"
[ "$(grep -c "Griechisch" "$log")" -eq 1 ] || e2e_fail "long message logged more than once"
grep -lF "$joined" "$WORK"/sms_in/sms_*__491701234567.txt >/dev/null ||
  e2e_fail "no sms_in file with the whole text: $(ls "$WORK/sms_in")"
ls "$WORK"/sms_in/sms_*__Vodafone.txt >/dev/null || e2e_fail "no sms_in file of the named sender"
deadline=$((SECONDS + 30))
until [ "$(grep -c "AT+CMGD=" "$WORK/transcript")" -ge 3 ]; do
  [ $SECONDS -lt $deadline ] || e2e_fail "messages not deleted on the modem"
  sleep 0.5
done

# ---- 2 ----
e2e_wait_for_text "$WORK/transcript" "AT+CMGS=" 120
deadline=$((SECONDS + 90))
until [ -e "$WORK/sms_out/sms_test__491709876543.txt" ]; do
  [ $SECONDS -lt $deadline ] || e2e_fail "sent message not in sms_out: $(ls -R "$WORK" | head -40)"
  sleep 0.5
done
[ -e "$WORK/sms_send/sms_test__491709876543.txt" ] && e2e_fail "queue file still there"

kill -TERM "$pid"
e2e_wait_clean_exit "$pid" 60
echo "PASS sms"
