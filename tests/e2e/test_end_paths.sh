#!/usr/bin/env bash
# Ways the running program is ended from outside, without a modem (COM=NONE):
#  1. an empty command file "mavlyn_END" in the working folder;
#  2. a command file of 30 bytes or more is left alone and ignored;
#  3. a second start of the program ends the first one ("restartet");
#  4. and none of them reaches the shutdown command.
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

# ---- 1 and 2: command files ----
a=$WORK/a
mkdir -p "$a"
e2e_simulation_ini "$a"
start "$a"
pid=$started
permitted "$a"
head -c 40 /dev/zero | tr '\0' 'x' >"$a/mavlyn_END"
sleep 12
kill -0 "$pid" 2>/dev/null || e2e_fail "a command file of 40 bytes ended the program"
[ -e "$a/mavlyn_END" ] || e2e_fail "the oversized command file was removed"
: >"$a/mavlyn_END"
status=0
e2e_wait_pid "$pid" 30 || status=$?
[ "$status" -eq 0 ] || e2e_fail "exit status $status after mavlyn_END"
[ -e "$a/mavlyn_END" ] && e2e_fail "the command file was not taken"
grep -Eq "Program terminated by command" "$a/connlog.txt" || e2e_fail "no end line in connlog.txt"
grep -Eq "mavlyn (terminated|beendet)\." "$a/servilog.txt" || e2e_fail "no end line"

# ---- 3: a second start ----
b=$WORK/b
mkdir -p "$b"
e2e_simulation_ini "$b"
start "$b"
first=$started
permitted "$b"
cp "$b/servilog.txt" "$b/servilog-first.txt"
start "$b"
second=$started
status=0
e2e_wait_pid "$first" 60 || status=$?
[ "$status" -eq 0 ] || e2e_fail "exit status $status of the first instance"
kill -0 "$second" 2>/dev/null || e2e_fail "the second instance ended too"
kill -TERM "$second"
status=0
e2e_wait_pid "$second" 60 || status=$?
[ "$status" -eq 0 ] || e2e_fail "exit status $status of the second instance"

# ---- 4 ----
grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown called: $(e2e_fake_calls)"
echo "PASS end_paths"
