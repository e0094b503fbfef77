#!/usr/bin/env bash
# A copy of the program named CONN reads a hand-written mavlyn.ini that asks for INIWRITEEXIT:
# it rewrites the file in its current form and ends by itself. Nothing the user set is lost,
# the plain PIN is stored scrambled, older syntaxes come back in their current form.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1

e2e_workdir
e2e_start_xvfb

cp "$mavlyn" "$WORK/CONN"
cat >"$WORK/mavlyn.ini" <<'INI'
01 9AA000001234-0000000000000-0000042
LAN=English
COM=NONE
PIN=1234
APN=web.example
DAY=1;1
MAXV=5G;500M;300
MAXT=2d;10h;90
ENDC=22:00;06:30E
BATT=10;30
IPC=0660
CON=|/dev/ttyUSB0
REM=kept comment
INIWRITEEXIT
INI

"$WORK/CONN" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_clean_exit "$pid" 120

ini=$WORK/mavlyn.ini
line() { grep -m1 "^$1" "$ini" || e2e_fail "no line $1"; }
first=$(head -1 "$ini")
[ ${#first} -eq 53 ] || e2e_fail "line 01 has ${#first} characters"
[ "${first:6:9}" = "000001234" ] || e2e_fail "volume counter lost: $first"
[ "${first:37}" = "0000000000000000" ] || e2e_fail "line 01 tail: $first"
[ "$(line '07 LAN=')" = $'07 LAN=English\t' ] || e2e_fail "LAN line"
[ "$(line '08 COM=')" = "08 COM=NONE" ] || e2e_fail "COM line"
line '11 PIN=' | grep -q '^11 PIN=CRYPT1' || e2e_fail "PIN not scrambled"
grep -q '1234$' <(line '11 PIN=') && e2e_fail "plain PIN still there"
[ "$(line '13 APN=')" = "13 APN=web.example" ] || e2e_fail "APN line"
[ "$(line '17 CON=')" = "17 CON=/dev/ttyUSB0" ] || e2e_fail "CON line"
[ "$(line '19 DAY=')" = "19 DAY=01;01" ] || e2e_fail "DAY line"
[ "$(line '21 MAXV=')" = "21 MAXV=5G;500M;300k" ] || e2e_fail "MAXV line"
[ "$(line '22 MAXT=')" = "22 MAXT=2d;10h;90min" ] || e2e_fail "MAXT line"
[ "$(line '30 ENDC=')" = "30 ENDC=22:00;06:30E" ] || e2e_fail "ENDC line"
[ "$(line '39 IPC=')" = "39 IPC=0660" ] || e2e_fail "IPC line"
[ "$(line '41 BATT=')" = "41 BATT=30;10" ] || e2e_fail "BATT line"
[ "$(line '43 REM=')" = "43 REM=kept comment" ] || e2e_fail "REM line"
grep -q '^INIWRITEEXIT' "$ini" && e2e_fail "the request word was written back"
grep -q 'Deutsche Beschreibung siehe unten' "$ini" || e2e_fail "no description"
echo "PASS ini_rewrite"
