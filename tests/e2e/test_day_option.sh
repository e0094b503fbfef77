#!/usr/bin/env bash
# An Option GlobeTrotter (modemsim) found by "COM=?": see day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
day_maker "$1" option "?" /dev/ttyUSB0 --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
