#!/usr/bin/env bash
# Incoming calls and credit queries on a Huawei modem (modemsim) that takes USSD codes only in
# packed 7-bit form and answers in UCS-2, whole program with the default data port:
#  1. a permitted caller ringing four times 5 s apart, right after the credit queries below held
#     up the cycle, starts its call command and the one for any caller once each, with the
#     caller number in place of %1 and %0;
#  2. RING and +CLIP in the answers never disturb the passes: the shared record follows a
#     signal change made while it rings, and no RING/+CLIP text reaches the status line;
#  3. "Prepaid-credit?" from the control window's menu: the configured code is refused in
#     plain text, asked again packed, and the UCS-2 answer arrives as text in the service
#     log, the connection log and the "Credit Query" message;
#  4. "Send USSD code..." with a typed code: sent packed at once (the coding is learnt), its
#     answer is shown as well.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

latin1() { iconv -f UTF-8 -t ISO-8859-1 <<<"$1"; }
# The program's own offline time (mvlio_t offset 136): the ring hold-off is measured in it.
offline_for() { [ "$(e2e_shm_field 136 u32 2>/dev/null || echo 0)" -ge "$1" ]; }

calls=$WORK/calls.log
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$calls" >"$WORK/callcmd"
chmod +x "$WORK/callcmd"
touch "$calls"
permitted=+491701111111
credit="Guthaben: 12,34 EUR. G$(printf '\u00fc')ltig bis 31.12.2026"
bonus="Ihr Bonus: 100 MB"
e2e_huawei --set ussd_input=packed --set ussd_answer=ucs2 \
  --set "ussd=*100#|$credit" --set "ussd=*102#|$bonus"
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example CONA=E 'PPQ=*100#' \
  "CMD1=$WORK/callcmd permitted %1 %0 %% %5" "SMS1=,$permitted" \
  "CMD2=$WORK/callcmd anyone \"%1\"" "SMS2=,;"
e2e_start_program "$WORK"
e2e_wait_for_text "$WORK/transcript" "AT+CLIP=1" 60
e2e_wait_permitted "$WORK"
log=$WORK/servilog.txt conn=$WORK/connlog.txt

# ---- 3. The configured credit query ----
e2e_menu_select 2
e2e_wait_for_text "$log" "Starting credit communication." 20
e2e_wait_count "$log" "Answer from network:" 1 60
# First plain, then packed in GSM 7-bit.
e2e_has "$WORK/transcript" 'AT+CUSD=1,"*100#",15' 'AT+CUSD=1,"AA180C3602",15'
shown=$(latin1 "$credit")
e2e_has "$log" "Answer from your mobile network:" "$shown"
e2e_has "$conn" " Account answer: $shown"
e2e_keys "$(e2e_wait_window "Credit Query" 20)" Return

# ---- 4. A typed code, sent packed at once ----
e2e_menu_select 4
dialog=$(e2e_wait_window "USSD code" 20)
e2e_type "$dialog" "*102#"
e2e_keys "$dialog" Return
e2e_wait_count "$log" "Starting credit communication." 2 20
e2e_wait_count "$log" "Answer from network:" 2 40
e2e_has "$conn" " Account command: *102#" " Account answer: $bonus"
e2e_lacks "$WORK/transcript" 'AT+CUSD=1,"*102#"' # the learnt coding is kept
e2e_has "$WORK/transcript" 'AT+CUSD=1,"AA184C3602",15'
e2e_keys "$(e2e_wait_window "Credit Query" 20)" Return

# ---- 1. Four rings, one call ----
# The first call counts only once 15 s of offline time have passed since the start.
e2e_until 47 "offline time stays below 17 s: the call hold-off can never run out" offline_for 17
e2e_modem "ring $permitted 4 5000"
e2e_wait_count "$calls" "permitted " 1 20
e2e_modem "set signal=31" # while it rings
e2e_wait_count "$log" "Incomming call: \"$permitted\"." 4 40
[ "$(e2e_count "$calls" "permitted ")" -eq 1 ] || e2e_fail "four rings, several commands: $(cat "$calls")"
grep -qxF "permitted $permitted ${permitted#+} % %5" "$calls" ||
  e2e_fail "expansion of %1 %0 %% %5: $(cat "$calls")"
[ "$(grep -cxF "anyone $permitted" "$calls")" -eq 1 ] || e2e_fail "any caller: $(cat "$calls")"
e2e_has "$conn" " Call recieved: $permitted" " Command by call: $WORK/callcmd permitted"

# ---- 2. The passes went on (signal_percent 150, network_name 154, message 203) ----
e2e_passes 2
[ "$(e2e_shm_field 150 u8)" = 100 ] || e2e_fail "signal change not seen while it rang"
[ "$(e2e_shm_field 154 s)" = "Vodafone.de" ] || e2e_fail "network name: $(e2e_shm_field 154 s)"
case "$(e2e_shm_field 203 s)" in
  *RING* | *CLIP*) e2e_fail "unsolicited text in the status line: $(e2e_shm_field 203 s)" ;;
esac
e2e_lacks "$conn" "Communications error"
e2e_lacks "$log" "Communications error"

e2e_stop_program "$pid"
[ ! -s "$SB_CALLS" ] || e2e_fail "fake commands called: $(e2e_fake_calls)"
