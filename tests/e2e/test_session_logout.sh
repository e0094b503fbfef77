#!/usr/bin/env bash
# The desktop session's logout, from a real XSMP session manager (tests/sm, on the ICE local
# transport): a plain checkpoint is answered and the program runs on; a logout that allows
# interaction makes the program ask to interact and end in order, and only after its end
# line is written does the manager get InteractDone and SaveYourselfDone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
manager=${XSMP_MANAGER:-$(dirname "$mavlyn")/tests/sm/mavlyn_test_session_manager}
[ -x "$manager" ] || e2e_fail "no session manager at $manager (set XSMP_MANAGER)"

e2e_workdir
e2e_start_xvfb
e2e_simulation_ini "$WORK"

events=$WORK/sm-events
mkfifo "$WORK/sm-commands"
# At InteractDone the manager copies the service log: the copy shows what the program had
# done by the moment it let the logout go on.
"$manager" --hook INTERACT_DONE "cp '$WORK/servilog.txt' '$WORK/servilog-at-done.txt'" \
  <"$WORK/sm-commands" >"$events" 2>"$WORK/sm-stderr" &
E2E_PIDS+=($!)
exec 7>"$WORK/sm-commands"
sm() { echo "$*" >&7; }
e2e_wait_for_text "$events" "LISTEN " 10
session_manager=$(sed -n 's/^LISTEN //p' "$events" | head -1)

SESSION_MANAGER=$session_manager ICEAUTHORITY=$WORK/iceauth \
  "$mavlyn" "DIR=  $WORK" NOSPLASH MOD=P >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
E2E_PIDS+=("$pid")
e2e_wait_for_text "$events" "REGISTER" 20
e2e_wait_for_text "$WORK/servilog.txt" 'Permitted to connect.' 20

# A checkpoint: answered, no interaction, no end.
sm save 0 any
e2e_wait_for_text "$events" "SAVE_YOURSELF_DONE 1" 20
sm sync
e2e_wait_for_text "$events" "SYNCED" 20
grep -q "^INTERACT_REQUEST" "$events" && e2e_fail "interaction asked for at a checkpoint"
kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended at a checkpoint"
grep -Eq "mavlyn (terminated|beendet)\." "$WORK/servilog.txt" && e2e_fail "end line at a checkpoint"

# The logout.
sm save 1 any
e2e_wait_for_text "$events" "INTERACT_REQUEST 1" 20
e2e_wait_for_text "$events" "INTERACT_DONE" 60
e2e_wait_clean_exit "$pid" 60
e2e_wait_for_text "$events" "CLOSE" 10

grep -qx "INTERACT_DONE 0" "$events" || e2e_fail "the logout was cancelled: $(cat "$events")"
[ "$(grep -c '^SAVE_YOURSELF_DONE 1$' "$events")" -eq 2 ] ||
  e2e_fail "no SaveYourselfDone for the logout: $(cat "$events")"
done_line=$(grep -n '^INTERACT_DONE' "$events" | cut -d: -f1)
save_line=$(grep -n '^SAVE_YOURSELF_DONE' "$events" | tail -1 | cut -d: -f1)
[ "$done_line" -lt "$save_line" ] || e2e_fail "SaveYourselfDone before InteractDone"
grep -q '^IOERROR' "$events" && e2e_fail "the program dropped the connection without closing it"
grep -Eq "mavlyn (terminated|beendet)\." "$WORK/servilog-at-done.txt" ||
  e2e_fail "InteractDone came before the end line: $(tail -5 "$WORK/servilog-at-done.txt")"
echo "PASS session logout"
