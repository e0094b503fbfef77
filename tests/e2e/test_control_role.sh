#!/usr/bin/env bash
# The CONTROL role, a second window on the same working folder that shows what the dial-up
# instance writes into the shared record:
#  1. alone, it shows "+mavlyn not active." (the first field in the notice colour);
#  2. a dial-up instance started later fills it with its status: the first field turns to
#     the plain colour of the network line;
#     While the dial-up instance is stopped for 30 s, the CONTROL window attached to its record
#     leaves every byte of it as the dial-up instance wrote it (counter and texts included);
#  3. when the dial-up instance ends, it shows "not active" again and keeps running.
# Colours are read from the screen; the screenshots stay in the working folder.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

notice_colour=ff66ff # a field whose text begins with '+'
plain_colour=ffffff

# first_field_colour WINDOW: the colour inside the right end of the window's first field.
first_field_colour() {
  local info x y
  # The client area's place on the screen, below the window manager's frame.
  info=$(xwininfo -id "$1")
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  x=$((x + $(awk '/Width:/ {print $2}' <<<"$info") - 12))
  y=$((y + 10))
  import -window root -crop "1x1+$x+$y" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'A-F' 'a-f' | head -1
}

# wait_colour WINDOW COLOUR SECONDS
wait_colour() {
  e2e_until "$3" "first field of window $1 is not #$2" colour_is "$1" "$2"
  e2e_screenshot "colour-$2"
}
colour_is() { [ "$(first_field_colour "$1")" = "$2" ]; }

e2e_huawei --set signal=12
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example CONA=E

# ---- 1. The CONTROL role alone ----
cp "$mavlyn" "$WORK/CONTROL"
"$WORK/CONTROL" "DIR=$WORK" NOSPLASH >"$WORK/control.out" 2>&1 &
control=$!
E2E_PIDS+=("$control")
control_window=$(e2e_wait_window "mavlyn" 30)
wait_colour "$control_window" "$notice_colour" 30
e2e_lacks "$WORK/transcript" AT # the CONTROL role does not talk to the modem

# ---- 2. A dial-up instance started later ----
e2e_start_program "$WORK"
main=$pid
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90
# Both windows open at the same place: the dial-up one moves aside.
e2e_until 20 "no window of the dial-up instance" e2e__first eval \
  "xdotool search --onlyvisible --name mavlyn | grep -vx $control_window"
xdotool windowmove "$E2E__ID" 600 500
wait_colour "$control_window" "$plain_colour" 60
e2e_alive "$control" "the CONTROL role ended"
kill -STOP "$main"
before=$(e2e_shm_field 0 x)
deadline=$((SECONDS + 30))
while [ $SECONDS -lt $deadline ]; do
  [ "$(e2e_shm_field 0 x)" = "$before" ] || e2e_fail "the CONTROL role wrote into the record"
  sleep 0.5
done
kill -CONT "$main"

# ---- 3. The dial-up instance ends ----
e2e_stop_program "$main"
wait_colour "$control_window" "$notice_colour" 60
e2e_alive "$control" "the CONTROL role ended with the dial-up instance"
e2e_stop_program "$control"
