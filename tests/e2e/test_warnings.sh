#!/usr/bin/env bash
# The warning questions, whole program on the simulated modem with the fake pppd.
# Foreign network (NET=;26201;): each run connects in 26201, then the modem moves to 26202
# and the question comes up; it is
#  1. answered OK: accepted in both logs, the connection stays, no second question;
#  2. cancelled: the connection is ended as unwanted and not made again;
#  3. left unanswered: after its 30 s the box closes by itself, with the effect of 2.
# End time (ENDC from two minutes ago to an hour from now): the question comes right after
# the start and holds automatic connecting back while it is open;
#  4. OK: accepted, then connected, and not asked again during this stay in the window;
#  5. closed (Escape): refused, no connection, the program runs on (no E in ENDC).
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_need_chat

online() { ip link show ppp0 >/dev/null 2>&1; }
offline() { ! online; }
e2e_huawei
export FAKE_PPPD_ARGS E2E_FAKE_PPPD=1

# start NAME LINE: a program in $WORK/NAME (also $D) with one more configuration line.
start() {
  D=$WORK/$1
  FAKE_PPPD_ARGS=$D/pppd-args
  e2e_ini "$D" COM=/dev/ttyUSB2 CON=/dev/ttyUSB0 APN=web.example "$2"
  e2e_modem "set operator=26201|Telekom.de|Telekom|2"
  e2e_start_program "$D"
}
# network NAME: connected in the wanted network, then moved: the question is open in $box.
network() {
  start "$1" "NET=;26201;"
  e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
  [ -z "$(e2e_dialogs)" ] || e2e_fail "a question in the wanted network"
  e2e_modem "set operator=26202|Vodafone.de|Vodafone|2"
  e2e_wait_count "$D/connlog.txt" " Unwanted network: Vodafone.de" 1 60
  box=$(e2e_wait_dialog "Network warning" 20)
}
# endtime NAME: the question is open in $box; passes go on, nothing is dialled.
endtime() {
  start "$1" "ENDC=$(e2e_clock -2);$(e2e_clock 60)"
  box=$(e2e_wait_dialog "Time warning" 60)
  e2e_passes 3
  [ ! -e "$FAKE_PPPD_ARGS" ] || e2e_fail "dialled while the question was open"
}
# refused N: after the refusal nothing connects again within a few passes.
refused() {
  e2e_until 20 "the unwanted connection stayed" offline
  e2e_passes 4
  [ "$(wc -l 2>/dev/null <"$FAKE_PPPD_ARGS" || echo 0)" -eq "$1" ] || e2e_fail "dialled again"
  [ -z "$(e2e_dialogs)" ] || e2e_fail "asked again"
}
finish() { e2e_end_by_file "$pid" "$D"; }

# ---- 1. OK (Tab from Cancel to OK) ----
network ok
e2e_screenshot network-question
e2e_answer "$box" Tab Return
e2e_wait_count "$D/connlog.txt" " Other network accepted by user." 1 20
e2e_has "$D/servilog.txt" "Other network accepted by user."
e2e_passes 4
online || e2e_fail "the accepted connection was ended"
[ -z "$(e2e_dialogs)" ] || e2e_fail "asked a second time"
finish

# ---- 2. Cancel, the first button, has the focus ----
network cancel
e2e_answer "$box" Return
e2e_wait_count "$D/connlog.txt" " Unwanted Network." 1 30
refused 1
finish

# ---- 3. No answer ----
network timeout
asked=$SECONDS
e2e_wait_count "$D/connlog.txt" " Unwanted Network." 1 60
[ $((SECONDS - asked)) -ge 27 ] || e2e_fail "closed after $((SECONDS - asked)) s, not its 30 s"
refused 1
finish

# ---- 4. End time, OK ----
endtime endok
e2e_answer "$box" Tab Return
e2e_wait_count "$D/connlog.txt" " User Accepted connection continuation." 1 20
e2e_wait_count "$D/connlog.txt" " Connection established." 1 60
e2e_passes 3
[ -z "$(e2e_dialogs)" ] || e2e_fail "asked again within the same stay in the window"
finish

# ---- 5. End time, closed ----
endtime endclosed
e2e_answer "$box" Escape
e2e_wait_count "$D/servilog.txt" "Exceeded termination time of day." 1 20
refused 0
e2e_lacks "$D/connlog.txt" "User Accepted"
finish
e2e_lacks "$SB_CALLS" shutdown
