#!/usr/bin/env bash
# A day in a user's life with a Huawei E220 (modemsim): see day_in_the_life in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
day_in_the_life "$1" huawei /dev/ttyUSB2 /dev/ttyUSB0 --link /dev/ttyUSB0 --link /dev/ttyUSB1 \
  --link /dev/ttyUSB2
