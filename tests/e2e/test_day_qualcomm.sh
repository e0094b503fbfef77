#!/usr/bin/env bash
# A Qualcomm-based stick (modemsim), one port for commands and connection, so no SMS is read
# while connected: see day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
DAY_SMS=no day_maker "$1" qualcomm /dev/ttyUSB0 /dev/ttyUSB0 --link /dev/ttyUSB0
