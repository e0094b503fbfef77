#!/usr/bin/env bash
# SMS on a Huawei modem (modemsim), whole program:
#  1. an unreadable message at index 1 does not hold up the SMS command at index 2; the program
#     is killed (-9) after the command ran and before the message was deleted: after the
#     restart the command has run once and the message is logged once;
#  2. a long UCS-2 message whose two parts are stored in the wrong order arrives as one text,
#     a named sender keeps the name, euro and the extension characters of GSM 7-bit survive;
#  3. a queue file in sms_send/ goes out with AT+CMGS and moves to sms_out/; one the modem
#     refuses waits growing pauses without slowing the cycle and ends in sms_failed/.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

e2e_huawei
short=0791947101670000040C91
e2e_modem "sms 1 $short"
e2e_modem "sms 1 $(e2e_sms_pdu gsm7 +491700000000 "LICHT an")"
part1="Eine lange Nachricht mit Gr$(printf '\u00fc\u00df')en und Griechisch: Καλημέρα, "
part2="weiter mit 5 €uro und 😀."
e2e_modem "sms 1 $(e2e_sms_pdu ucs2 +491701234567 42 2 2 "$part2")"
e2e_modem "sms 1 $(e2e_sms_pdu ucs2 +491701234567 42 2 1 "$part1")"
e2e_modem "sms 1 $(e2e_sms_pdu gsm7 Vodafone "Guthaben: 5,00€ [Bonus] {ok}")"

# The command crashes the program as it runs: the gap between handling and deleting a message.
printf '#!/bin/sh\necho "$1" >>"%s/ran.txt"\nkill -KILL "$(cat "%s/pid")"\n' "$WORK" "$WORK" \
  >"$WORK/licht"
chmod +x "$WORK/licht"
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example CONA=E MOD=PM 'SMS1=+491700000000;LICHT' \
  "CMD1=$WORK/licht %2"
start() { e2e_start_program "$WORK" && echo "$pid" >"$WORK/pid"; }
log=$WORK/sms.txt

# ---- 1 ----
start
e2e_wait_count "$WORK/ran.txt" "an" 1 180
wait "$pid" 2>/dev/null || true
grep -q "AT+CMGD=2" "$WORK/transcript" && e2e_fail "deleted before the crash"
[ "$(grep -o 'AT+CMG[RD]=[0-9]' "$WORK/transcript" | head -3 | tr '\n' ' ')" = \
  "AT+CMGR=1 AT+CMGD=1 AT+CMGR=2 " ] || e2e_fail "index 1 held up index 2"
start
e2e_wait_for_text "$WORK/transcript" "AT+CMGD=2" 120
[ "$(cat "$WORK/ran.txt")" = an ] || e2e_fail "command runs: $(cat "$WORK/ran.txt")"
[ "$(e2e_count "$log" "LICHT an")" -eq 1 ] || e2e_fail "command message logged again"
[ "$(e2e_count "$log" "(unreadable message)")" -eq 1 ] || e2e_fail "unreadable message log"
grep -lx "$short" "$WORK"/sms_in/sms_*__unknown.txt >/dev/null || e2e_fail "raw PDU not kept"

# ---- 2 ----
# With SMS commands configured, messages that are no command are logged without a question.
# The files are Latin-1: what it cannot hold (Greek, the euro sign in UCS-2, an emoji given
# as a surrogate pair) is one '?' per character; GSM's euro sign becomes "EUR".
e2e_wait_for_text "$WORK/transcript" "AT+CMGD=5" 180
joined=$(iconv -f UTF-8 -t ISO-8859-1 <<<"Eine lange Nachricht mit Gr$(printf '\u00fc\u00df')en und Griechisch: ????????, weiter mit 5 ?uro und ?.")
[ "$(grep -cF "$joined" "$log")" -eq 1 ] || e2e_fail "long message not joined once: $(cat "$log")"
grep -lF "$joined" "$WORK"/sms_in/sms_*__491701234567.txt >/dev/null || e2e_fail "not in sms_in"
# The alphanumeric sender keeps its name; GSM's extension characters survive.
e2e_has "$log" "+491701234567 2026-12-07 14:15:16" "Vodafone 2026-12-07" \
  "Guthaben: 5,00EUR [Bonus] {ok}"
e2e_lacks "$log" "<Long>"

# ---- 3 ----
mkdir -p "$WORK/sms_send"
printf 'Hallo Welt' >"$WORK/sms_send/sms_test__491709876543.txt"
e2e_wait_for_text "$log" "Sent SMS: Hallo Welt" 60
[ -e "$WORK/sms_out/sms_test__491709876543.txt" ] || e2e_fail "sent message not in sms_out"

e2e_modem "set cmgs=reject"
failing=$WORK/sms_send/sms_fail__491709876543.txt
printf 'Nicht zustellbar' >"$failing"
e2e_wait_count "$log" "Could not send SMS: Nicht zustellbar" 1 60
[ "$(stat -c %Y "$failing")" -gt "$(date +%s)" ] || e2e_fail "no pause before the next try"
sends=$(e2e_count "$WORK/transcript" "AT+CMGS=")
# Five passes (a chance to send among them) at the usual pace, and no try before it is due.
e2e_wait_count "$WORK/transcript" "AT+CSQ" $(($(e2e_count "$WORK/transcript" "AT+CSQ") + 5)) 45
[ "$(e2e_count "$WORK/transcript" "AT+CMGS=")" -eq "$sends" ] || e2e_fail "tried again at once"
for try in 2 3 4; do
  touch "$failing"
  e2e_wait_count "$log" "Could not send SMS: Nicht zustellbar" $try 60
done
e2e_wait_for_text "$WORK/servilog.txt" "moved to sms_failed." 10
[ -e "$WORK/sms_failed/sms_fail__491709876543.txt" ] && [ ! -e "$failing" ] ||
  e2e_fail "refused message not in sms_failed"
[ "$(e2e_count "$WORK/servilog.txt" "SMS refused by the modem: +CMS ERROR: 500")" -eq 4 ] ||
  e2e_fail "modem's answers not in servilog.txt"

e2e_stop_program "$pid"
