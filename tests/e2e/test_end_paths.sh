#!/usr/bin/env bash
# The ways a running program ends, each program an instance of its own (INSTANCE=n), side by
# side so that the long waits overlap:
#  noc:     "minutes without functioning connection" (ERR=NOC1, END=S, no modem): after one
#           minute the connection log says so and the program ends with the shutdown command;
#  endtime: the end-time question (ENDC=...E around now, END=S) left unanswered closes after
#           its 90 s, the program ends with the shutdown command;
#  files:   out of coverage (a pass takes most of a minute) the command files are still taken
#           within seconds: mavlyn_DISCONNECT, then mavlyn_END (one of 30 bytes or more is left);
#  second:  a second start of the program ends the first one;
#  sigterm: the service log names the signal and its sender before the end line.
# Only the two END=S programs reach the sandbox's fake shutdown. Takes about 100 s.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

# start NAME INSTANCE LINE...: a program in $WORK/NAME with these configuration lines; the
# configuration without a modem unless given. Sets $pid.
start() {
  e2e_simulation_ini "$WORK/$1" "${@:3}"
  e2e_start_program "$WORK/$1" "INSTANCE=$2"
}

started=$SECONDS
start noc 1 END=S "ERR=NOC1 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4"
noc=$pid
start endtime 2 END=S "ENDC=$(e2e_clock -2);$(e2e_clock 60)E"
endtime=$pid
e2e_wait_dialog "Time warning" 60 >/dev/null
asked=$SECONDS
e2e_screenshot endtime-question

# ---- Command files, out of coverage ----
e2e_huawei --set reg=0
start files 3 COM=/dev/ttyUSB2 CON=/dev/ttyUSB0
a=$WORK/files
e2e_wait_count "$WORK/transcript" "AT+CGREG?" 4 120 # searching for a network
head -c 40 /dev/zero | tr '\0' 'x' >"$a/mavlyn_END"
: >"$a/mavlyn_DISCONNECT" # taken in the same look at the folder
e2e_wait_for_text "$a/connlog.txt" "Connection deactivated by command." 10
e2e_alive "$pid" "a command file of 40 bytes ended the program"
[ -e "$a/mavlyn_END" ] || e2e_fail "the oversized command file was removed"
: >"$a/mavlyn_END"
e2e_wait_for_text "$a/connlog.txt" "Program terminated by command." 10
e2e_wait_clean_exit "$pid" 60
[ -e "$a/mavlyn_END" ] && e2e_fail "the command file was not taken"

# ---- A second start ----
start second 4
first=$pid
e2e_wait_permitted "$WORK/second"
e2e_start_program "$WORK/second" INSTANCE=4
e2e_wait_clean_exit "$first" 60
e2e_alive "$pid" "the second instance ended too"
e2e_end_by_file "$pid" "$WORK/second"

# ---- SIGTERM ----
start sigterm 5
e2e_wait_permitted "$WORK/sigterm"
kill -TERM "$pid"
sender=$BASHPID
e2e_wait_clean_exit "$pid" 60
log=$WORK/sigterm/servilog.txt
sig_line=$(grep -n "Received: signal 15, code 0 from process $sender\." "$log" | cut -d: -f1)
end_line=$(grep -n "mavlyn terminated" "$log" | tail -1 | cut -d: -f1)
[ -n "$sig_line" ] && [ -n "$end_line" ] && [ "$sig_line" -lt "$end_line" ] ||
  e2e_fail "signal line $sig_line, end line $end_line"
e2e_lacks "$log" "th_terminate error"

# ---- No connection for a minute ----
e2e_wait_clean_exit "$noc" 150
# One minute of offline time is counted from the first poll, which comes after the start.
[ $((SECONDS - started)) -ge 60 ] || e2e_fail "ended after $((SECONDS - started)) s"
conn=$WORK/noc/connlog.txt
grep -Eq '^[0-9-]+ [0-9:]+ 1 minutes without functioning connection\.$' "$conn" ||
  e2e_fail "no NOC line in connlog.txt"
[ "$(e2e_count "$conn" 'without functioning connection')" -eq 1 ] || e2e_fail "NOC line repeated"
grep -A9 'without functioning connection' "$conn" | grep -q " Shutdown initiated\.$" ||
  e2e_fail "no shutdown line after the end condition"

# ---- The end-time question unanswered ----
e2e_wait_clean_exit "$endtime" 130
[ $((SECONDS - asked)) -ge 88 ] || e2e_fail "ended $((SECONDS - asked)) s after the question"
e2e_has "$WORK/endtime/servilog.txt" "Exceeded termination time of day."
e2e_lacks "$WORK/endtime/connlog.txt" "User Accepted"
e2e_has "$WORK/endtime/connlog.txt" " Shutdown initiated."
for d in noc endtime files second sigterm; do
  e2e_has "$WORK/$d/servilog.txt" "mavlyn terminated."
done

# The commands run in the background of a shell; their records appear a moment later.
pid=
expected='sudo shutdown -P 1 Shutdown initiated by mavlyn. See file mavlyn.ini, parameter END=S or END=R'
e2e_wait_count "$SB_CALLS" "$expected" 2 10
[ "$(e2e_count "$SB_CALLS" shutdown)" -eq 2 ] || e2e_fail "shutdown: $(e2e_fake_calls)"
