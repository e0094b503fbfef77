#!/usr/bin/env bash
# The panel icons in a real notification area (the sandbox's trayer), checked by colour on
# the screen; the screenshot is kept with SB_KEEP.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
cd "$WORK"
e2e_gtest "$WORK/icons.txt" "$(dirname "$mavlyn")/tests/gui_tests" \
  PanelIcons.IconsInTheTrayShowTheirPictures
