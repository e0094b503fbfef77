#!/usr/bin/env bash
# The desktop session's logout, from a real XSMP session manager (tests/sm, on the ICE local
# transport): a plain checkpoint is answered and the program runs on; a logout that allows
# interaction makes the program ask to interact and end in order, and only after its end
# line is written does the manager get InteractDone and SaveYourselfDone.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
manager=${XSMP_MANAGER:-$(dirname "$mavlyn")/tests/sm/mavlyn_test_session_manager}
[ -x "$manager" ] || e2e_fail "no session manager at $manager (set XSMP_MANAGER)"

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
e2e_lacks "$events" INTERACT_REQUEST
e2e_alive "$pid" "the program ended at a checkpoint"
e2e_lacks "$WORK/servilog.txt" "mavlyn terminated."

# The logout.
sm save 1 any
e2e_wait_for_text "$events" "INTERACT_REQUEST 1" 20
e2e_wait_for_text "$events" "INTERACT_DONE" 60
e2e_wait_clean_exit "$pid" 60
e2e_wait_for_text "$events" "CLOSE" 10

grep -qx "INTERACT_DONE 0" "$events" || e2e_fail "the logout was cancelled: $(cat "$events")"
[ "$(grep -c '^SAVE_YOURSELF_DONE 1$' "$events")" -eq 2 ] ||
  e2e_fail "no SaveYourselfDone for the logout: $(cat "$events")"
sed -n '/^INTERACT_DONE/,$p' "$events" | grep -q '^SAVE_YOURSELF_DONE' ||
  e2e_fail "SaveYourselfDone before InteractDone"
e2e_lacks "$events" IOERROR # the program closes the connection before it goes
e2e_has "$WORK/servilog-at-done.txt" "mavlyn terminated." # before InteractDone
