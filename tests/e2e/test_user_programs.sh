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
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_need_chat
export E2E_FAKE_PPPD=1 FAKE_PPPD_ARGS=$WORK/pppd-args

# run DIR CMD1 CMD2 CMD3 [LINE]: the program in DIR with these user programs; its id in $pid.
run() {
  e2e_ini "$1" COM=/dev/ttyUSB2 CON=/dev/ttyUSB0 APN=web.example "CMD1=$2" "CMD2=$3" \
    "CMD3=$4" "${@:5}"
  e2e_start_program "$1"
}
established() { e2e_wait_count "$D/connlog.txt" " Connection established." "$1" 90; }

e2e_huawei
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
link_gone() { [ ! -e /run/ppp0.pid ] && ! ip link show ppp0 >/dev/null 2>&1; }
e2e_until 20 "the connection was not ended" link_gone
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
e2e_has "$conn" " Program terminated by command."
[ "$(sort "$D/calls" | tr '\n' ' ')" = "first second " ] || e2e_fail "ran: $(cat "$D/calls")"
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 3 ] || e2e_fail "the .at line not once per connection"
e2e_lacks "$tr" AT+CGMR # only the first line of the .at file
e2e_lacks "$SB_CALLS" shutdown
[ -e /run/ppp0.pid ] && e2e_fail "pppd left running at the end"

# ---- 3. Broken entries ----
D=$WORK/broken
mkdir -p "$D/unreadable.at"
run "$D" ",$D/unreadable.at" "!/nonexistent/user-program" ""
established 1
e2e_end_by_file "$pid" "$D"
e2e_lacks "$D/servilog.txt" "Sending user-defined commands."
