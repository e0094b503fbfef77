#!/usr/bin/env bash
# The dialogs and the instance interface inside the sandbox: its display and window manager,
# and an IPC namespace in which no other program's flags or records exist.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
tests=$(dirname "$mavlyn")/tests
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
cd "$WORK"

"$tests/unit_tests" --gtest_filter='Instance*:Ipc*:Process*:Flag*' >"$WORK/ipc.txt" 2>&1 ||
  e2e_fail "instance interface tests: $(tail -20 "$WORK/ipc.txt")"
grep -q '\[  PASSED  \]' "$WORK/ipc.txt" || e2e_fail "no instance interface test ran"

# Each dialog case in a process of its own, as ctest runs them.
for t in $("$tests/gui_tests" --gtest_list_tests --gtest_filter='Dialogs.*' | awk '/^  / { print $1 }'); do
  timeout 120 "$tests/gui_tests" --gtest_filter="Dialogs.$t" >"$WORK/dialog.txt" 2>&1 ||
    e2e_fail "Dialogs.$t: $(tail -20 "$WORK/dialog.txt")"
done
echo "PASS dialogs and IPC"
