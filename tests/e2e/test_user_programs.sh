#!/usr/bin/env bash
# User-defined programs (CMD1..CMD3), whole program on the simulated modem with the fake
# pppd. The programs are small scripts written here; each appends a line to a record file.
#  1. ";!" and "!;" (both lines to start at program start) run once at the start and not
#     again at a connection, a reconnection or the end; a ",x.at" line sends the first line
#     of that file to the modem at every connection (transcript).
#  2. A ".at" name that cannot be read is skipped, a program that cannot be started leaves
#     its slot empty; neither stops the program, and a "|" program runs at the end.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat

# script PATH NAME: a user program that records "NAME" in $D/calls and ends.
script() {
  printf '#!/bin/sh\necho %s >>"%s/calls"\n' "$2" "$D" >"$1"
  chmod +x "$1"
}
start() {
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$D" NOSPLASH \
    >"$D/stdout" 2>"$D/stderr" &
  pid=$!
}
finish() { e2e_end_by_file "$pid" "$D"; }
ini() {
  cat >"$D/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
CMD1=$1
CMD2=$2
CMD3=$3
MOD=P
INI
}

e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
tr=$WORK/transcript

# ---- 1. At start, at every connection ----
D=$WORK/marks
mkdir -p "$D"
script "$D/first.sh" first
script "$D/second.sh" second
printf 'AT+GCAP\r\nAT+CGMR\r\n' >"$D/every.at"
ini ";!$D/first.sh" "!;$D/second.sh" ",$D/every.at"
start
e2e_wait_count "$D/servilog.txt" "Permitted to connect." 1 90
e2e_wait_count "$D/calls" first 1 20
e2e_wait_count "$D/calls" second 1 20
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 0 ] || e2e_fail "the .at file was sent before a connection"
e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
e2e_wait_count "$tr" "AT+GCAP" 1 20
: >"$D/mavlyn_RECONNECT"
e2e_wait_count "$D/connlog.txt" " Reconnect caused by command." 1 30
e2e_wait_count "$D/connlog.txt" " Connection established." 2 90
e2e_wait_count "$tr" "AT+GCAP" 2 20
# Only the first line of the file.
grep -q "AT+CGMR" "$tr" && e2e_fail "more than the first line of the .at file was sent"
finish
[ "$(sort "$D/calls" | tr '\n' ' ')" = "first second " ] ||
  e2e_fail "user programs ran: $(cat "$D/calls")"
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 2 ] || e2e_fail "the .at line not once per connection"

# ---- 2. Broken entries ----
D=$WORK/broken
mkdir -p "$D" "$D/unreadable.at"
script "$D/atend.sh" atend
ini ",$D/unreadable.at" "!/nonexistent/user-program" "|$D/atend.sh"
start
e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
[ -e "$D/calls" ] && e2e_fail "a program ran before the end: $(cat "$D/calls")"
: >"$D/mavlyn_END"
e2e_wait_clean_exit "$pid" 60
[ "$(cat "$D/calls" 2>/dev/null)" = atend ] || e2e_fail "the end program: $(cat "$D/calls" 2>/dev/null)"
grep -q "mavlyn terminated." "$D/servilog.txt" || e2e_fail "no end line"
grep -q "Sending user-defined commands." "$D/servilog.txt" &&
  e2e_fail "something sent for the unreadable .at file"
echo "PASS user_programs"
