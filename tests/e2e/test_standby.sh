#!/usr/bin/env bash
# A standby of the computer, whole program on the simulated modem through the fake pppd:
# the program is stopped (SIGSTOP by its pid) for longer than the 5 s gap it detects, the
# connection goes away meanwhile, and after SIGCONT the program finds the lost connection,
# sees the gap and pauses ("paused. Standby.") instead of ending; a connect command given
# during the pause does not dial before the session has been prepared again; then the
# restarted session connects and mavlyn_END ends the program with status 0.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat

# line_of FILE TEXT [N]: number of the N-th line holding TEXT.
line_of() { grep -nF -- "$2" "$1" | sed -n "${3:-1}p" | cut -d: -f1; }

e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
MOD=P
INI
PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$WORK" NOSPLASH \
  >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
log=$WORK/servilog.txt
conn=$WORK/connlog.txt
e2e_wait_count "$conn" " Connection established." 1 90
[ -s /run/ppp0.pid ] || e2e_fail "no pid file of pppd"
pppd_pid=$(head -1 /run/ppp0.pid)

# The standby: the program does not run, the link is lost.
kill -STOP "$pid"
stopped=$SECONDS
kill -TERM "$pppd_pid"
deadline=$((SECONDS + 10))
while [ -e /run/ppp0.pid ]; do
  [ $SECONDS -lt $deadline ] || { kill -CONT "$pid"; e2e_fail "pppd did not end"; }
  sleep 0.1
done
# The gap itself is a span of real time the program must not run: 7 s, above its 5 s.
sleep $((7 - (SECONDS - stopped) > 0 ? 7 - (SECONDS - stopped) : 0))
kill -CONT "$pid"

e2e_wait_count "$log" "mavlyn paused. Standby." 1 60
: >"$WORK/mavlyn_CONNECT"
grep -q "Connection was terminated by extern." "$log" || e2e_fail "loss not noticed"
grep -q "mavlyn terminated." "$log" && e2e_fail "a standby ended the program"
pause=$(line_of "$log" "mavlyn paused. Standby.")
permitted_before=$(e2e_count "$log" "Permitted to connect.")

# The restart: the session is prepared again, then the command is taken and it connects.
e2e_wait_count "$log" "Permitted to connect." $((permitted_before + 1)) 90
e2e_wait_count "$conn" " Connection established." 2 90
restart=$(line_of "$log" "Permitted to connect." $((permitted_before + 1)))
dial=$(awk -v p="$pause" 'NR > p && /Connecting via/ { print NR; exit }' "$log")
[ -n "$dial" ] && [ "$dial" -gt "$restart" ] ||
  e2e_fail "dialled during the pause (line $dial, pause $pause, restart $restart)"
kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended after the restart"

: >"$WORK/mavlyn_END"
e2e_wait_clean_exit "$pid" 60
[ "$(e2e_count "$log" "mavlyn terminated.")" -eq 1 ] || e2e_fail "no single end line"
grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown: $(e2e_fake_calls)"
echo "PASS standby"
