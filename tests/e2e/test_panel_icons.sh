#!/usr/bin/env bash
# The panel icons in a real notification area (the sandbox's trayer), checked by colour on
# the screen; the screenshot is kept with SB_KEEP.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
tests=$(dirname "$mavlyn")/tests
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
cd "$WORK"
"$tests/gui_tests" --gtest_filter='PanelIcons.IconsInTheTrayShowTheirPictures' >"$WORK/icons.txt" 2>&1 ||
  e2e_fail "tray icons: $(tail -20 "$WORK/icons.txt")"
grep -q '\[  PASSED  \] 1 test' "$WORK/icons.txt" || e2e_fail "the tray test did not run"
echo "PASS panel icons"
