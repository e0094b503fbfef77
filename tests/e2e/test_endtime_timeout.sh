#!/usr/bin/env bash
# The end-time question left unanswered, whole program without a modem (COM=NONE): with the
# end-time window holding the current time, its end option (ENDC=...E) and a shutdown after
# an automatic end (END=S), the box closes by itself after its 90 s, the program ends with
# status 0 and runs the shutdown command (the sandbox's fake sudo). Takes about 100 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

hhmm() {
  local m=$((($(date +%-H) * 60 + $(date +%-M) + $1 + 1440) % 1440))
  printf '%02d:%02d' $((m / 60)) $((m % 60))
}

cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=NONE
APN=web.example
CONA=E
ENDC=$(hhmm -2);$(hhmm 60)E
END=S
MOD=P
INI
PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
deadline=$((SECONDS + 60))
until [ -n "$(e2e_dialogs)" ]; do
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended before asking"
  [ $SECONDS -lt $deadline ] || e2e_fail "no question within 60 s"
  sleep 0.2
done
asked=$SECONDS
e2e_screenshot endtime-question
e2e_wait_clean_exit "$pid" 130
waited=$((SECONDS - asked))
[ "$waited" -ge 88 ] || e2e_fail "ended $waited s after the question, before its 90 s"

log=$WORK/servilog.txt
grep -q "Exceeded termination time of day." "$log" || e2e_fail "no refusal in servilog.txt"
grep -q "User Accepted" "$WORK/connlog.txt" 2>/dev/null && e2e_fail "accepted without answer"
grep -q " Shutdown initiated\.$" "$WORK/connlog.txt" || e2e_fail "no shutdown line"
grep -q "mavlyn terminated." "$log" || e2e_fail "no end line"
deadline=$((SECONDS + 10))
until grep -q '^sudo shutdown -P 1 ' <(e2e_fake_calls); do
  [ $SECONDS -lt $deadline ] || e2e_fail "shutdown command not run: $(e2e_fake_calls)"
  sleep 0.1
done
echo "PASS endtime_timeout ($waited s after the question)"
