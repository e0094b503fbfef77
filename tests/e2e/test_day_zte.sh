#!/usr/bin/env bash
# A ZTE MF622 (modemsim) under the kernel's by-id names, the APN found from its network
# while it chatters: see day_maker in day_lib.sh.
source "$(dirname "$0")/day_lib.sh"
id=/dev/serial/by-id/usb-ZTE_Incorporated_ZTE_WCDMA_Technologies_MSM_P671A2TEST-if0
DAY_APN="" DAY_CELL="LAC=1A2B CID=C3D4E5" day_maker "$1" zte "" "" --link ${id}0-port0 \
  --link ${id}1-port0 --link ${id}2-port0 --link ${id}3-port0
