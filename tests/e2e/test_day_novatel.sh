#!/usr/bin/env bash
# A Novatel Merlin U740 (modemsim): the cycle asks through its diagnostic port while the
# other port carries the connection. See day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
day_maker "$1" novatel "/dev/ttyUSB0;/dev/ttyUSB1" /dev/ttyUSB0 --link /dev/ttyUSB0 \
  --link /dev/ttyUSB1
