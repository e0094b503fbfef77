#!/usr/bin/env bash
# A Sierra MC8775 (modemsim) with its ports given by hand: see day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
day_maker "$1" sierra /dev/ttyUSB2 /dev/ttyUSB0 --link /dev/ttyUSB0 --link /dev/ttyUSB1 \
  --link /dev/ttyUSB2
