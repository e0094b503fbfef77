#!/usr/bin/env bash
# An Ericsson F3507g (modemsim) by its by-id names, registered for calls only: the cell
# comes from "+CREG:". See day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
id=/dev/serial/by-id/usb-Ericsson_F3507g_Mobile_Broadband_Minicard_Composite_Device_0123
day_maker "$1" ericsson "" "" --set cgreg=2 --link ${id}-if01 --link ${id}-if03 --link ${id}-if09
