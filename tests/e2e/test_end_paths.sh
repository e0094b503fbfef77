#!/usr/bin/env bash
# Ways the running program is ended from outside, without a modem (COM=NONE):
#  1. an empty command file "mavlyn_END" (one of 30 bytes or more is left alone);
#  2. a second start of the program ends the first one ("restartet");
#  3. SIGTERM: the service log names the signal and its sender before the end line;
#  and none of them reaches the shutdown command.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

# start DIR: one instance working in DIR; its id in $started.
start() {
  PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$1" NOSPLASH >>"$1/stdout" 2>>"$1/stderr" &
  started=$!
}
permitted() { e2e_wait_for_text "$1/servilog.txt" "Permitted to connect." 60; }

# ---- 1. Command files ----
a=$WORK/a
mkdir -p "$a"
e2e_simulation_ini "$a"
start "$a"
pid=$started
permitted "$a"
head -c 40 /dev/zero | tr '\0' 'x' >"$a/mavlyn_END"
: >"$a/mavlyn_DISCONNECT" # taken in the same look at the folder
e2e_wait_for_text "$a/connlog.txt" "Connection deactivated by command." 30
kill -0 "$pid" 2>/dev/null || e2e_fail "a command file of 40 bytes ended the program"
[ -e "$a/mavlyn_END" ] || e2e_fail "the oversized command file was removed"
: >"$a/mavlyn_END"
e2e_wait_clean_exit "$pid" 30
[ -e "$a/mavlyn_END" ] && e2e_fail "the command file was not taken"
grep -q "Program terminated by command" "$a/connlog.txt" || e2e_fail "no end line in connlog.txt"
grep -q "mavlyn terminated\." "$a/servilog.txt" || e2e_fail "no end line"

# ---- 2. A second start ----
b=$WORK/b
mkdir -p "$b"
e2e_simulation_ini "$b"
start "$b"
first=$started
permitted "$b"
start "$b"
second=$started
e2e_wait_clean_exit "$first" 60
kill -0 "$second" 2>/dev/null || e2e_fail "the second instance ended too"
e2e_end_by_file "$second" "$b"

# ---- 3. SIGTERM ----
c=$WORK/c
mkdir -p "$c"
e2e_simulation_ini "$c"
start "$c"
permitted "$c"
kill -TERM "$started"
sender=$BASHPID
e2e_wait_clean_exit "$started" 60
log=$c/servilog.txt
sig_line=$(grep -n "Received: signal 15, code 0 from process $sender\." "$log" | cut -d: -f1)
end_line=$(grep -n "mavlyn terminated" "$log" | tail -1 | cut -d: -f1)
[ -n "$sig_line" ] && [ -n "$end_line" ] && [ "$sig_line" -lt "$end_line" ] ||
  e2e_fail "signal line $sig_line, end line $end_line"
grep -q 'th_terminate error' "$log" && e2e_fail "a thread did not end"

grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown called: $(e2e_fake_calls)"
echo "PASS end_paths"
