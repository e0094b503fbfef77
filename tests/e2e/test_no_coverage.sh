#!/usr/bin/env bash
# Out of coverage (the modem finds no network) the monitoring pass takes most of a minute; the
# command files are still taken within seconds: mavlyn_DISCONNECT, then mavlyn_END, each
# acted on within 10 s, and the program ends cleanly.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

e2e_start_modem huawei --set reg=0 --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
MOD=P
INI
PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
conn=$WORK/connlog.txt
# In the search for a network: registration asked again and again.
e2e_wait_count "$WORK/transcript" "AT+CGREG?" 4 120

: >"$WORK/mavlyn_DISCONNECT"
e2e_wait_for_text "$conn" "Connection deactivated by command." 10
: >"$WORK/mavlyn_END"
e2e_wait_for_text "$conn" "Program terminated by command." 10
e2e_wait_clean_exit "$pid" 60
grep -q "mavlyn terminated." "$WORK/servilog.txt" || e2e_fail "no end line"
echo "PASS no_coverage"
