#!/usr/bin/env bash
# Maximum inactive time with "disconnect only" (END=1C, the smallest countdown), whole
# program on the simulated modem, connected through the fake pppd: after one idle minute the
# connection log reports the limit once, the connection is ended, automatic connecting stays
# off while the program keeps running its passes; a command file then connects again, and
# mavlyn_END ends the program without a shutdown (no S in END). Takes about 100 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat


e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
END=1C
MOD=P
INI
export FAKE_PPPD_ARGS=$WORK/pppd-args
PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$WORK" NOSPLASH \
  >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
conn=$WORK/connlog.txt
e2e_wait_count "$conn" " Connection established." 1 90
ip link show ppp0 >/dev/null 2>&1 || e2e_fail "no interface after connecting"

# No traffic: the inactive minute runs out.
e2e_wait_count "$conn" " 1 minutes maximum inactive time expired." 1 120
deadline=$((SECONDS + 20))
while [ -e /run/ppp0.pid ] || ip link show ppp0 >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || e2e_fail "the connection was not ended"
  sleep 0.2
done
e2e_wait_count "$conn" " Subtotal: " 1 20

# Several more passes of the cycle: still running, still offline, the limit not reported again.
passes=$(e2e_count "$WORK/transcript" "AT+CSQ")
e2e_wait_count "$WORK/transcript" "AT+CSQ" $((passes + 4)) 60
[ "$(e2e_count "$conn" "maximum inactive time expired.")" -eq 1 ] ||
  e2e_fail "limit reported more than once: $(grep 'inactive time' "$conn")"
[ "$(e2e_count "$conn" " Connection established.")" -eq 1 ] || e2e_fail "connected again by itself"
[ "$(wc -l <"$FAKE_PPPD_ARGS")" -eq 1 ] || e2e_fail "pppd started again: $(cat "$FAKE_PPPD_ARGS")"

# Connecting is switched on again by command.
: >"$WORK/mavlyn_CONNECT"
e2e_wait_count "$conn" " Connection activated by command." 1 30
e2e_wait_count "$conn" " Connection established." 2 60

: >"$WORK/mavlyn_END"
e2e_wait_clean_exit "$pid" 60
grep -q " Program terminated by command." "$conn" || e2e_fail "no end line"
grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown without END=S: $(e2e_fake_calls)"
[ -e /run/ppp0.pid ] && e2e_fail "pppd left running at the end"
echo "PASS end_inactive"
