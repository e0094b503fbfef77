#!/usr/bin/env bash
# A TERM signal ends the running program in order: the service log records the signal with
# its sender, the end line follows, the exit status is 0.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1

e2e_workdir
e2e_start_xvfb
e2e_simulation_ini "$WORK"

"$mavlyn" "DIR=  $WORK" NOSPLASH MOD=P >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/servilog.txt" 'Permitted to connect.' 20

kill -TERM "$pid"
sender=$BASHPID
e2e_wait_clean_exit "$pid" 30

log=$(cat "$WORK/servilog.txt")
grep -q "Received: signal 15, code 0 from process $sender\." <<<"$log" ||
  e2e_fail "no signal line in servilog.txt"
grep -Eq "mavlyn (terminated|beendet)\." <<<"$log" || e2e_fail "no end line"
# The signal line comes before the end of the threads.
sig_line=$(grep -n "Received: signal" <<<"$log" | head -1 | cut -d: -f1)
end_line=$(grep -En "mavlyn (terminated|beendet)" <<<"$log" | head -1 | cut -d: -f1)
[ "$sig_line" -lt "$end_line" ] || e2e_fail "end line before the signal line"
grep -q 'th_terminate error' <<<"$log" && e2e_fail "a thread did not end"
echo "PASS sigterm"
