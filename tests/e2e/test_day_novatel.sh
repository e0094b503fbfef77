#!/usr/bin/env bash
# A Novatel Merlin U740 (modemsim): the cycle asks through its diagnostic port while the
# other port carries the connection; the program reads no SMS from a Novatel. See day_maker
# in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
DAY_SMS=no day_maker "$1" novatel "/dev/ttyUSB0;/dev/ttyUSB1" /dev/ttyUSB0 --link /dev/ttyUSB0 \
  --link /dev/ttyUSB1
