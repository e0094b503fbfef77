#!/usr/bin/env bash
# The control window where the user left it, whole program without a modem:
#  1. the mini window opens at the position of the header line (columns 16-23);
#  2. a click turns it into the regular window at the same place, with the program's emblem;
#  3. at the end the header still holds that position.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

# Header: role 9, volume 0, x 300, y 200, day and month 0, form 2 (mini window).
printf '%s\n' '01 9AA000000000-0300020000002-0000000' 'LAN=English' 'COM=NONE' \
  'APN=web.example' 'MOD=P' >"$WORK/mavlyn.ini"

PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!

# position WINDOW: "x y" of the window on the screen.
position() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^[XY]=/ { printf "%s ", $2 }'; }
# near "X Y" WINDOW MAXDX MAXDY: the window's inside is at most that far right and down of X Y
# (the window manager's frame lies around it).
near() {
  local at
  read -r -a at <<<"$(position "$2")"
  local want=($1)
  local dx=$((at[0] - want[0])) dy=$((at[1] - want[1]))
  [ "$dx" -ge 0 ] && [ "$dx" -le "$3" ] && [ "$dy" -ge 0 ] && [ "$dy" -le "$4" ] ||
    e2e_fail "window at ${at[*]}, expected near $1"
}
has_emblem() { xprop -id "$1" _NET_WM_ICON | grep -q "22 x 22"; }

# ---- 1. The mini window at the header's place ----
deadline=$((SECONDS + 60))
until mini=$(xdotool search --onlyvisible --class mavlyn 2>/dev/null | head -1) && [ -n "$mini" ]; do
  [ $SECONDS -lt $deadline ] || e2e_fail "no mini window"
  sleep 0.2
done
near "300 200" "$mini" 0 0
has_emblem "$mini" || e2e_fail "the mini window has no emblem"

# ---- 2. A click opens the regular window in its place, emblem and all ----
e2e_screenshot mini
xdotool mousemove --sync 310 205 click 1
regular=$(e2e_wait_window "mavlyn 0.4" 20)
near "300 200" "$regular" 10 40
has_emblem "$regular" || e2e_fail "the regular window lost the emblem"
e2e_screenshot regular

# ---- 3. The end keeps the place in the header ----
e2e_end_by_file "$pid" "$WORK"
header=$(head -c 37 "$WORK/mavlyn.ini")
[ "${header:16:8}" = "03000200" ] || e2e_fail "header position: $header"
echo "PASS control_window"
