#!/usr/bin/env bash
# User-defined programs (CMD1..CMD3) and their marks, whole program on the simulated modem
# with the fake pppd: ";!" and "!;" (both at-start lines) run once at the start and not again
# at a connection or a reconnection; a ",x.at" line sends the first line of that file to the
# modem at every connection. Then broken entries: a ".at" name that cannot be read and a
# program that cannot be started are skipped without stopping the program.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat

# run DIR CMD1 CMD2 CMD3: the program in DIR with these user programs; its id in $pid.
run() {
  D=$1
  mkdir -p "$D"
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'COM=/dev/ttyUSB2' \
    'CON=/dev/ttyUSB0' 'APN=web.example' "CMD1=$2" "CMD2=$3" "CMD3=$4" 'MOD=P' >"$D/mavlyn.ini"
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$D" NOSPLASH \
    >"$D/stdout" 2>"$D/stderr" &
  pid=$!
}

e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
tr=$WORK/transcript

# ---- At start, at every connection ----
D=$WORK/marks
mkdir -p "$D"
printf 'AT+GCAP\r\nAT+CGMR\r\n' >"$D/every.at"
run "$D" ";!echo first >>$D/calls" "!;echo second >>$D/calls" ",$D/every.at"
e2e_wait_count "$D/servilog.txt" "Permitted to connect." 1 90
e2e_wait_count "$D/calls" second 1 20
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 0 ] || e2e_fail "the .at file was sent before a connection"
e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
e2e_wait_count "$tr" "AT+GCAP" 1 20
: >"$D/mavlyn_RECONNECT"
e2e_wait_count "$D/connlog.txt" " Connection established." 2 90
e2e_wait_count "$tr" "AT+GCAP" 2 20
e2e_end_by_file "$pid" "$D"
[ "$(sort "$D/calls" | tr '\n' ' ')" = "first second " ] || e2e_fail "ran: $(cat "$D/calls")"
[ "$(e2e_count "$tr" "AT+GCAP")" -eq 2 ] || e2e_fail "the .at line not once per connection"
grep -q "AT+CGMR" "$tr" && e2e_fail "more than the first line of the .at file was sent"

# ---- Broken entries ----
D=$WORK/broken
mkdir -p "$D/unreadable.at"
run "$D" ",$D/unreadable.at" "!/nonexistent/user-program" ""
e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
e2e_end_by_file "$pid" "$D"
grep -q "Sending user-defined commands." "$D/servilog.txt" &&
  e2e_fail "something sent for the unreadable .at file"
echo "PASS user_programs"
