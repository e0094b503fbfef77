#!/usr/bin/env bash
# The monitoring cycle of the main thread, whole program:
#  1. COM=NONE: no modem preparation, straight into the cycle, which permits connecting.
#  2. A Huawei modem with a PIN and a network: PIN, APN and the passes of the cycle; the
#     shared record and the status line show signal, network, code and cell; empty, cut,
#     oversized and binary answers thrown in while it runs do not stop the passes; a modem
#     that goes away pauses the session, and the program starts over when it is back.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir


# wait_field OFFSET KIND EXPECTED SECONDS
wait_field() {
  local deadline=$((SECONDS + $4)) v=""
  while [ $SECONDS -lt $deadline ]; do
    v=$(e2e_shm_field "$1" "$2" 2>/dev/null) || v=""
    [ "$v" = "$3" ] && return 0
    sleep 0.2
  done
  e2e_fail "shared record at $1 is '$v', not '$3'"
}

# passes: the signal queries the modem received, one or two per pass.
passes() { grep -c "AT+CSQ" "$WORK/transcript" 2>/dev/null || echo 0; }

write_ini() {
  cat >"$1/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=$2
PIN=$3
APN=web.example
CONA=E
NET=
MOD=P
INI
}

# ---- 1. Simulation ----
sim=$WORK/sim
mkdir -p "$sim"
write_ini "$sim" NONE ""
"$mavlyn" "DIR=$sim" NOSPLASH >"$sim/stdout" 2>"$sim/stderr" &
pid=$!
e2e_wait_for_text "$sim/servilog.txt" "Permitted to connect." 60
grep -q "AT+CPIN" "$sim/servilog.txt" && e2e_fail "PIN handling without a modem"
grep -Eq "AT\+COPS=[01]" "$sim/servilog.txt" && e2e_fail "network selection without a modem"
e2e_stop_program "$pid"

# ---- 2. Huawei with PIN and network ----
e2e_start_modem huawei --set sim=pin --set pin=4711 --set signal=12 \
  --set operator='26202|Vodafone.de|Vodafone|2' --set lac=1A2B --set cell=00C3D4E5 \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
hw=$WORK/hw
mkdir -p "$hw"
write_ini "$hw" /dev/ttyUSB0 4711
# Named UMTS, the program selects the operating mode and the network itself.
cp "$mavlyn" "$hw/UMTS"
"$hw/UMTS" "DIR=$hw" NOSPLASH >"$hw/stdout" 2>"$hw/stderr" &
pid=$!
e2e_wait_for_text "$WORK/transcript" "AT+CPIN=" 60
e2e_wait_for_text "$WORK/transcript" 'AT+CGDCONT=1,"IP","web.example"' 60
e2e_wait_for_text "$hw/servilog.txt" "Permitted to connect." 90
grep -q "AT+COPS=0" "$WORK/transcript" || e2e_fail "no automatic network selection"

# Offsets of mvlio_t: network_name 154, plmn 186, lac 193, cid 198, message 203,
# signal_raw 149, signal_percent 150, signal_dbm 152, mini_message 268.
wait_field 154 s "Vodafone.de" 30
wait_field 150 u8 40 30
wait_field 149 u8 12 5
wait_field 152 i16 -89 5
wait_field 186 s 26202 30
wait_field 193 s 1A2B 30
wait_field 198 s D4E5 30
wait_field 351 s 00C3 30
wait_field 203 s " Vodafone.de [26202.1A2B.00C3D4E5]" 30
mini=$(e2e_shm_field 268 s)
case "$mini" in
  # As the record shows it: marker gone, the first "_" a blank.
  "U40% "*" Vodafone.de") ;;
  *) e2e_fail "mini line '$mini'" ;;
esac

# A stronger signal shows in the next passes.
e2e_modem "set signal=31"
wait_field 150 u8 100 30
wait_field 152 i16 -51 5

# Broken answers on the command port between the passes: empty lines, a cut answer, a
# long run of bytes and binary garbage. The cycle goes on and finds the network again.
before=$(passes)
e2e_modem 'send 0 \r\n\r\n'
e2e_modem 'send 0 +CGREG: 2,1,"1A'
e2e_modem "send 0 $(head -c 3000 /dev/zero | tr '\0' 'Z')"
e2e_modem 'send 0 \x00\xff\x7e\x01+CSQ: \xfe\r\n'
e2e_modem 'send 0 +COPS: 0,0,"\x01\x02\x03",2\r\nOK\r\n'
deadline=$((SECONDS + 90))
until [ "$(passes)" -ge $((before + 4)) ]; do
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended"
  [ $SECONDS -lt $deadline ] || e2e_fail "the cycle stopped after broken answers"
  sleep 0.5
done
wait_field 154 s "Vodafone.de" 30
wait_field 150 u8 100 30

# The modem goes away (the stick pulled): read errors pause the session, and once the modem
# is back the program prepares it again and goes on with its passes.
permitted() { grep -c "Permitted to connect." "$hw/servilog.txt" || true; }
before=$(permitted)
e2e_modem quit
e2e_wait_pid "$MODEM_PID" 10 || true
e2e_wait_for_text "$hw/connlog.txt" "Communications error at port" 120
kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended when the modem went away"
mv "$WORK/transcript" "$WORK/transcript-1"
e2e_start_modem huawei --set sim=pin --set pin=4711 --set signal=20 \
  --set operator='26202|Vodafone.de|Vodafone|2' --set lac=1A2B --set cell=00C3D4E5 \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
e2e_wait_for_text "$WORK/transcript" "AT+CPIN=" 120
deadline=$((SECONDS + 120))
until [ "$(permitted)" -gt "$before" ]; do
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended after the modem came back"
  [ $SECONDS -lt $deadline ] || e2e_fail "no new permission after the modem came back"
  sleep 0.5
done
wait_field 150 u8 66 60

e2e_stop_program "$pid"
grep -q "Volume/time exceeded" "$hw/servilog.txt" && e2e_fail "limit without a limit"
echo "PASS monitoring"
