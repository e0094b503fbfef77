#!/usr/bin/env bash
# Automatic ends with a shutdown (END=S), two programs side by side without a modem (COM=NONE)
# and without automatic connecting (CONA=E):
#  - noc: "minutes without functioning connection" (ERR=NOC1): after one minute the connection
#    log says so, the program ends with status 0 and runs the shutdown command;
#  - endtime: the end-time question (ENDC=...E around now) left unanswered closes after its
#    90 s, the program ends and runs the shutdown command.
# Both commands reach only the sandbox's fake sudo. Takes about 100 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

hhmm() {
  local m=$((($(date +%-H) * 60 + $(date +%-M) + $1 + 1440) % 1440))
  printf '%02d:%02d' $((m / 60)) $((m % 60))
}
# start NAME LINE INSTANCE: a program in $WORK/NAME with one more configuration line, as an
# installation of its own (so that it does not end the other); sets $pid_NAME.
start() {
  mkdir -p "$WORK/$1"
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'COM=NONE' \
    'APN=web.example' 'CONA=E' 'END=S' 'MOD=P' "$2" >"$WORK/$1/mavlyn.ini"
  PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK/$1" NOSPLASH "INSTANCE=$3" >"$WORK/$1/stdout" \
    2>"$WORK/$1/stderr" &
  eval "pid_$1=$!"
}

started=$SECONDS
start noc "ERR=NOC1 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4" 1
start endtime "ENDC=$(hhmm -2);$(hhmm 60)E" 2
e2e_wait_dialog "Time warning" 60 >/dev/null
asked=$SECONDS
e2e_screenshot endtime-question

e2e_wait_clean_exit "$pid_noc" 150
# One minute of offline time is counted from the first poll, which comes after the start.
[ $((SECONDS - started)) -ge 60 ] || e2e_fail "ended after $((SECONDS - started)) s"
conn=$WORK/noc/connlog.txt
grep -Eq '^[0-9-]+ [0-9:]+ 1 minutes without functioning connection\.$' "$conn" ||
  e2e_fail "no NOC line in connlog.txt"
[ "$(e2e_count "$conn" 'without functioning connection')" -eq 1 ] || e2e_fail "NOC line repeated"
grep -A9 'without functioning connection' "$conn" | grep -q " Shutdown initiated\.$" ||
  e2e_fail "no shutdown line after the end condition"

e2e_wait_clean_exit "$pid_endtime" 130
[ $((SECONDS - asked)) -ge 88 ] || e2e_fail "ended $((SECONDS - asked)) s after the question"
grep -q "Exceeded termination time of day." "$WORK/endtime/servilog.txt" || e2e_fail "not refused"
grep -q "User Accepted" "$WORK/endtime/connlog.txt" && e2e_fail "accepted without answer"
grep -q " Shutdown initiated\.$" "$WORK/endtime/connlog.txt" || e2e_fail "no shutdown line"

for d in noc endtime; do
  grep -q "mavlyn terminated\." "$WORK/$d/servilog.txt" || e2e_fail "no end line in $d"
done
# The commands run in the background of a shell; their records appear a moment later.
expected='sudo shutdown -P 1 Shutdown initiated by mavlyn. See file mavlyn.ini, parameter END=S or END=R'
e2e_wait_count "$SB_CALLS" "$expected" 2 10
echo "PASS end_conditions"
