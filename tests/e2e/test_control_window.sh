#!/usr/bin/env bash
# The control window where the user left it, whole program without a modem:
#  1. the mini window opens at the position of the header line (columns 16-23);
#  2. a click turns it into the regular window at the same place, with the program's emblem;
#  3. at the end the header still holds that position.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

# Header: role 9, volume 0, x 300, y 200, day and month 0, form 2 (mini window).
printf '%s\n' '01 9AA000000000-0300020000002-0000000' 'LAN=English' 'COM=NONE' \
  'APN=web.example' 'MOD=P' >"$WORK/mavlyn.ini"

e2e_start_program "$WORK"

# near WINDOW MAXDX MAXDY: the window's inside is at most that far right and down of 300,200
# (the window manager's frame lies around it).
near() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$X" -ge 300 ] && [ "$X" -le $((300 + $2)) ] && [ "$Y" -ge 200 ] && [ "$Y" -le $((200 + $3)) ] ||
    e2e_fail "window at $X $Y, expected near 300 200"
}
has_emblem() { xprop -id "$1" _NET_WM_ICON | grep -q "22 x 22"; }

# ---- 1. The mini window at the header's place ----
e2e_until 60 "no mini window" e2e__first xdotool search --onlyvisible --class mavlyn
mini=$E2E__ID
near "$mini" 0 0
has_emblem "$mini" || e2e_fail "the mini window has no emblem"

# ---- 2. A click opens the regular window in its place, emblem and all ----
e2e_screenshot mini
xdotool mousemove --sync 310 205 click 1
regular=$(e2e_wait_window "mavlyn 0.4" 20)
near "$regular" 10 40
has_emblem "$regular" || e2e_fail "the regular window lost the emblem"
e2e_screenshot regular

# ---- 3. The end keeps the place in the header ----
e2e_end_by_file "$pid" "$WORK"
header=$(head -c 37 "$WORK/mavlyn.ini")
[ "${header:16:8}" = "03000200" ] || e2e_fail "header position: $header"
