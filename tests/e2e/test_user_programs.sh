#!/usr/bin/env bash
# User-defined programs (CMD1..CMD3) and the inactive-time limit, whole program on the
# simulated modem with the fake pppd:
#  1. ";!" and "!;" (both at-start lines) run once at the start and not again at a connection
#     or a reconnection; a ",x.at" line sends the first line of that file to the modem at
#     every connection;
#  2. the maximum inactive time with "disconnect only" (END=1C): after an idle minute the
#     connection log reports the limit once and the connection ends; automatic connecting
#     stays off while the passes go on, until a command file connects again; mavlyn_END then
#     ends the program without a shutdown;
#  3. broken entries, a ".at" name that cannot be read and a program that cannot be started,
#     are skipped without stopping the program.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_need_chat
export E2E_FAKE_PPPD=1 FAKE_PPPD_ARGS=$WORK/pppd-args

# run DIR CMD1 CMD2 CMD3 [LINE]: the program in DIR with these user programs; its id in $pid.
run() {
  mkdir -p "$1"
  e2e_ini "$1" COM=/dev/ttyUSB2 CON=/dev/ttyUSB0 APN=web.example "CMD1=$2" "CMD2=$3" \
    "CMD3=$4" "${@:5}"
  e2e_start_program "$1"
}
established() { e2e_wait_count "$D/connlog.txt" " Connection established." "$1" 90; }

e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
tr=$WORK/transcript

# ---- 1. At start, at every connection ----
D=$WORK/marks
mkdir -p "$D"
printf 'AT+GCAP\r\nAT+CGMR\r\n' >"$D/every.at"
run "$D" ";!echo first >>$D/calls" "!;echo second >>$D/calls" ",$D/every.at" END=1C
e2e_wait_count "$D/servilog.txt" "Permitted to connect." 1 90
e2e_wait_count "$D/calls" second 1 20
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 0 ] || e2e_fail "the .at file was sent before a connection"
established 1
e2e_wait_count "$tr" "AT+GCAP" 1 20
: >"$D/mavlyn_RECONNECT"
established 2
e2e_wait_count "$tr" "AT+GCAP" 2 20

# ---- 2. No traffic: the inactive minute runs out ----
conn=$D/connlog.txt
e2e_wait_count "$conn" " 1 minutes maximum inactive time expired." 1 120
deadline=$((SECONDS + 20))
while [ -e /run/ppp0.pid ] || ip link show ppp0 >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || e2e_fail "the connection was not ended"
  sleep 0.2
done
e2e_wait_count "$conn" " Subtotal: " 1 20
e2e_passes 4
[ "$(e2e_count "$conn" "maximum inactive time expired.")" -eq 1 ] ||
  e2e_fail "limit reported more than once: $(grep 'inactive time' "$conn")"
[ "$(e2e_count "$conn" " Connection established.")" -eq 2 ] || e2e_fail "connected again by itself"
[ "$(wc -l <"$FAKE_PPPD_ARGS")" -eq 2 ] || e2e_fail "pppd started again: $(cat "$FAKE_PPPD_ARGS")"
: >"$D/mavlyn_CONNECT"
e2e_wait_count "$conn" " Connection activated by command." 1 30
established 3
e2e_wait_count "$tr" "AT+GCAP" 3 20
e2e_end_by_file "$pid" "$D"
grep -q " Program terminated by command." "$conn" || e2e_fail "no end line"
[ "$(sort "$D/calls" | tr '\n' ' ')" = "first second " ] || e2e_fail "ran: $(cat "$D/calls")"
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 3 ] || e2e_fail "the .at line not once per connection"
grep -q "AT+CGMR" "$tr" && e2e_fail "more than the first line of the .at file was sent"
grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown without END=S: $(e2e_fake_calls)"
[ -e /run/ppp0.pid ] && e2e_fail "pppd left running at the end"

# ---- 3. Broken entries ----
D=$WORK/broken
mkdir -p "$D/unreadable.at"
run "$D" ",$D/unreadable.at" "!/nonexistent/user-program" ""
established 1
e2e_end_by_file "$pid" "$D"
grep -q "Sending user-defined commands." "$D/servilog.txt" &&
  e2e_fail "something sent for the unreadable .at file"
echo "PASS user_programs"
