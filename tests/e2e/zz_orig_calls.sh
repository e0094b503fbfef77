#!/usr/bin/env bash
# Incoming calls as a remote control on a Huawei modem (modemsim), whole program, with the
# default data port (no CON, no by-id links):
#  1. a permitted caller ringing four times 5 s apart starts its call command and the one for
#     any caller once each, with the caller number in place of %1 and %0;
#  2. RING and +CLIP in the answers never disturb the passes: the shared record follows a
#     signal change made while it rings, and no RING/+CLIP text reaches the status line.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

# The program's own offline time (mvlio_t offset 136): the ring hold-off is measured in it.
offline_time() { e2e_shm_field 136 u32 2>/dev/null || echo 0; }
wait_offline() {
  local deadline=$((SECONDS + $1 + 30)) v=0
  while [ $SECONDS -lt $deadline ]; do
    v=$(offline_time)
    [ "$v" -ge "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended"
    sleep 0.2
  done
  e2e_fail "offline time stays at $v s, not $1 s: the call hold-off can never run out"
}

calls=$WORK/calls.log
cat >"$WORK/callcmd" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$calls"
SH
chmod +x "$WORK/callcmd"
touch "$calls"

permitted=+491701111111
e2e_start_modem huawei --set sim=ready --set signal=12 \
  --set operator='26202|Vodafone.de|Vodafone|2' \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB0
APN=web.example
CONA=E
MOD=P
CMD1=$WORK/callcmd permitted %1 %0 %% %5
SMS1=,$permitted
CMD2=$WORK/callcmd anyone "%1"
SMS2=,;
INI

PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/transcript" "AT+CLIP=1" 60
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90
# The first call counts only once 15 s of offline time have passed since the start.
wait_offline 17

# ---- 1. Four rings, one call ----
e2e_modem "ring $permitted 4 5000"
e2e_wait_count "$calls" "permitted " 1 20
# The signal changes while it rings.
e2e_modem "set signal=31"
e2e_wait_count "$WORK/servilog.txt" "Incomming call: \"$permitted\"." 4 40
[ "$(e2e_count "$calls" "permitted ")" -eq 1 ] || e2e_fail "four rings, several commands: $(cat "$calls")"
[ "$(e2e_count "$calls" "anyone ")" -eq 1 ] || e2e_fail "command for any caller: $(cat "$calls")"
grep -qxF "permitted $permitted ${permitted#+} % %5" "$calls" ||
  e2e_fail "expansion of %1 %0 %% %5: $(cat "$calls")"
grep -qxF "anyone $permitted" "$calls" || e2e_fail "command for any caller: $(cat "$calls")"
grep -qF " Call recieved: $permitted" "$WORK/connlog.txt" || e2e_fail "no call in connlog"
grep -qF " Command by call: $WORK/callcmd permitted" "$WORK/connlog.txt" ||
  e2e_fail "no command in connlog"

# ---- 2. The passes went on (signal_percent 150, network_name 154, message 203) ----
e2e_passes 2
[ "$(e2e_shm_field 150 u8)" = 100 ] || e2e_fail "signal change not seen while it rang"
[ "$(e2e_shm_field 154 s)" = "Vodafone.de" ] || e2e_fail "network name: $(e2e_shm_field 154 s)"
case "$(e2e_shm_field 203 s)" in
  *RING* | *CLIP*) e2e_fail "unsolicited text in the status line: $(e2e_shm_field 203 s)" ;;
esac
grep -q "Communications error" "$WORK/connlog.txt" "$WORK/servilog.txt" &&
  e2e_fail "the rings broke the channel"

e2e_stop_program "$pid"
[ -s "${SB_CALLS:-/dev/null}" ] && e2e_fail "fake commands called: $(e2e_fake_calls)"
echo "PASS calls"
