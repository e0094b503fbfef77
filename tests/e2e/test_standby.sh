#!/usr/bin/env bash
# Pauses of a connected session, whole program on the simulated modem with the fake pppd,
# with user programs running:
#  1. a standby: the program is stopped (SIGSTOP) for longer than the 5 s gap it detects while
#     the link goes; after SIGCONT it pauses ("paused. Standby.") instead of ending, and a
#     connect command given meanwhile does not dial before the session is prepared again;
#  2. the stick pulled (the simulated modem ends, its links go, pppd loses the line): the
#     program pauses and waits, showing "*Modem removed." in its window and the shared record;
#  3. plugged in again: the modem is prepared anew and connects; the counters and the
#     connection log of before are kept;
#  throughout, the '!' program runs on, started only once, and the ',' program is ended with
#  each lost link before its next start;
#  4. mavlyn_END: the end does not wait for the '!' program, which ignores SIGTERM and is
#     killed; the '|' program runs.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_need_chat

# program NAME [ignore]: records its start and a SIGTERM in $WORK/calls, then runs on.
program() {
  cat >"$WORK/$1.sh" <<SH
#!/bin/sh
echo "\$\$" >"$WORK/$1.pid"
echo "start $1" >>"$WORK/calls"
trap 'echo "term $1" >>"$WORK/calls"; exit 0' TERM
[ "${2:-}" = ignore ] && trap '' TERM
while :; do sleep 1; done
SH
  chmod +x "$WORK/$1.sh"
}
program stubborn ignore
program every
printf '#!/bin/sh\necho atend >>"%s/calls"\n' "$WORK" >"$WORK/atend.sh"
chmod +x "$WORK/atend.sh"
calls() { e2e_count "$WORK/calls" "$1"; }
volume() { head -1 "$WORK/mavlyn.ini" | cut -c7-15 | sed 's/^0*//'; }
line_of() { grep -nF -- "$2" "$1" | sed -n "${3:-1}p" | cut -d: -f1; }
# lose_link: pppd ends as it does when its line goes; its pid file and interface with it.
lose_link() {
  kill -TERM "$(head -1 /run/ppp0.pid)"
  e2e_until 10 "pppd did not end" [ ! -e /run/ppp0.pid ]
}

e2e_huawei
e2e_ini "$WORK" COM=/dev/ttyUSB2 CON=/dev/ttyUSB0 APN=web.example 'DAY=1;1' \
  "CMD1=!$WORK/stubborn.sh" "CMD2=,$WORK/every.sh" "CMD3=|$WORK/atend.sh"
E2E_FAKE_PPPD=1 e2e_start_program "$WORK"
log=$WORK/servilog.txt
conn=$WORK/connlog.txt
e2e_wait_count "$conn" " Connection established." 1 90
e2e_wait_count "$WORK/calls" "start every" 1 20
[ "$(head -1 "$log")" = "mavlyn service log" ] || e2e_fail "the service log was not begun anew"
stubborn=$(cat "$WORK/stubborn.pid")

# ---- 1. A standby ----
kill -STOP "$pid"
stopped=$SECONDS
lose_link
# The gap itself is a span of real time the program must not run: 7 s, above its 5 s.
sleep $((7 - (SECONDS - stopped) > 0 ? 7 - (SECONDS - stopped) : 0))
kill -CONT "$pid"
e2e_wait_count "$log" "mavlyn paused. Standby." 1 60
: >"$WORK/mavlyn_CONNECT"
e2e_has "$log" "Connection was terminated by extern."
pause=$(line_of "$log" "mavlyn paused. Standby.")
permitted=$(e2e_count "$log" "Permitted to connect.")
e2e_wait_count "$log" "Permitted to connect." $((permitted + 1)) 90
e2e_wait_count "$conn" " Connection established." 2 90
restart=$(line_of "$log" "Permitted to connect." $((permitted + 1)))
dial=$(awk -v p="$pause" 'NR > p && /Connecting via/ { print NR; exit }' "$log")
[ -n "$dial" ] && [ "$dial" -gt "$restart" ] ||
  e2e_fail "dialled during the pause (line $dial, pause $pause, restart $restart)"
e2e_wait_count "$WORK/calls" "start every" 2 20

# ---- 2. Pulled ----
e2e_modem quit
e2e_wait_pid "$MODEM_PID" 10 || true
lose_link
e2e_wait_count "$log" "mavlyn paused. Standby." 2 120
e2e_wait_for_text "$log" "Modem removed; waiting for /dev/ttyUSB2." 60
[ "$(e2e_shm_field 203 s)" = "*Modem removed." ] || e2e_fail "record: $(e2e_shm_field 203 s)"
[ "$(e2e_shm_field 132 u32)" -eq 0 ] || e2e_fail "online in the record while the modem is gone"
paused_volume=$(volume)
[ "${paused_volume:-0}" -gt 0 ] || e2e_fail "no volume counted: $(head -1 "$WORK/mavlyn.ini")"
cp "$conn" "$WORK/connlog-before"
e2e_alive "$pid" "the program ended without its modem"

# ---- 3. Plugged in again ----
mv "$WORK/transcript" "$WORK/transcript-1"
e2e_huawei
e2e_wait_for_text "$log" "Modem back: /dev/ttyUSB2." 30
e2e_wait_count "$WORK/transcript" "AT+CGDCONT=1" 1 90
: >"$WORK/mavlyn_CONNECT"
e2e_wait_count "$conn" " Connection established." 3 120
e2e_wait_count "$WORK/calls" "start every" 3 20
cmp -s "$WORK/connlog-before" <(head -c "$(stat -c %s "$WORK/connlog-before")" "$conn") ||
  e2e_fail "the connection log lost lines"
[ "$(e2e_shm_field 124 u32)" -ge "$paused_volume" ] || e2e_fail "volume lost: $(e2e_shm_field 124 u32)"
[ "$(calls "term every")" -eq 2 ] || e2e_fail "',' program not ended with its link: $(cat "$WORK/calls")"
[ "$(calls "start stubborn")" -eq 1 ] || e2e_fail "the '!' program again: $(cat "$WORK/calls")"
e2e_alive "$stubborn" "the '!' program did not live through the pauses"

# ---- 4. The end ----
: >"$WORK/mavlyn_END"
e2e_wait_clean_exit "$pid" 40
kill -0 "$stubborn" 2>/dev/null && e2e_fail "the '!' program outlived the end"
[ "$(calls atend)" -eq 1 ] || e2e_fail "the '|' program: $(cat "$WORK/calls")"
[ "$(volume)" -ge "$paused_volume" ] || e2e_fail "volume lost at the end: $(head -1 "$WORK/mavlyn.ini")"
[ "$(e2e_count "$log" "mavlyn terminated.")" -eq 1 ] || e2e_fail "no single end line"
e2e_lacks "$log" "GUI lock"
e2e_lacks "$SB_CALLS" shutdown
