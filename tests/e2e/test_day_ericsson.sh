#!/usr/bin/env bash
# A day in a user's life with an Ericsson F3507g (modemsim): see day_lib.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/day_lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
day_in_the_life ericsson /dev/ttyUSB2 /dev/ttyUSB0 /dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyUSB2
echo "PASS day ericsson"
