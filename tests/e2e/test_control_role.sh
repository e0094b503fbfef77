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
set -euo pipefail
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
  local deadline=$((SECONDS + $3)) c=""
  while [ $SECONDS -lt $deadline ]; do
    c=$(first_field_colour "$1")
    [ "$c" = "$2" ] && return 0
    sleep 0.3
  done
  e2e_screenshot "colour-$2"
  e2e_fail "first field of window $1 is #$c, not #$2"
}

# record: the whole shared record, in hex.
record() {
  python3 - <<'PY'
import ctypes
libc = ctypes.CDLL("libc.so.6")
libc.shmat.restype = ctypes.c_void_p
p = libc.shmat(libc.shmget(0x4B564FF0, 0, 0), None, 0o10000)
print(ctypes.string_at(p, 984).hex())
PY
}

e2e_start_modem huawei --set sim=ready --set signal=12 \
  --set operator='26202|Vodafone.de|Vodafone|2' --set lac=1A2B --set cell=00C3D4E5 \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example CONA=E

# ---- 1. The CONTROL role alone ----
cp "$mavlyn" "$WORK/CONTROL"
"$WORK/CONTROL" "DIR=$WORK" NOSPLASH >"$WORK/control.out" 2>&1 &
control=$!
control_window=$(e2e_wait_window "mavlyn" 30)
wait_colour "$control_window" "$notice_colour" 30
e2e_screenshot control-alone
grep -q "AT" "$WORK/transcript" 2>/dev/null && e2e_fail "the CONTROL role talked to the modem"

# ---- 2. A dial-up instance started later ----
"$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/main.out" 2>"$WORK/main.err" &
main=$!
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90
# Both windows open at the same place: the dial-up one moves aside.
deadline=$((SECONDS + 20))
main_window=""
while [ -z "$main_window" ]; do
  main_window=$(xdotool search --onlyvisible --name "mavlyn" 2>/dev/null | grep -vx "$control_window" | head -1) || true
  [ $SECONDS -lt $deadline ] || e2e_fail "no window of the dial-up instance"
  sleep 0.2
done
xdotool windowmove "$main_window" 600 500
wait_colour "$control_window" "$plain_colour" 60
e2e_screenshot control-with-main
kill -0 "$control" 2>/dev/null || e2e_fail "the CONTROL role ended"
kill -STOP "$main"
before=$(record)
deadline=$((SECONDS + 30))
while [ $SECONDS -lt $deadline ]; do
  [ "$(record)" = "$before" ] || { kill -CONT "$main"; e2e_fail "the CONTROL role wrote into the record"; }
  sleep 0.5
done
kill -CONT "$main"

# ---- 3. The dial-up instance ends ----
e2e_stop_program "$main"
wait_colour "$control_window" "$notice_colour" 60
e2e_screenshot control-after-main
kill -0 "$control" 2>/dev/null || e2e_fail "the CONTROL role ended with the dial-up instance"
e2e_stop_program "$control"
echo "PASS control_role"
