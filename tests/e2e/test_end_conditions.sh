#!/usr/bin/env bash
# The end condition "minutes without functioning connection" (ERR=NOC, smallest value 1),
# whole program without a modem (COM=NONE) and without automatic connecting (CONA=E), so the
# time without connection simply runs: after one minute the connection log says so, the
# program ends by itself with status 0, and because END=S is configured it runs the shutdown
# command, which reaches only the sandbox's fake sudo. Takes about 65 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=NONE
APN=web.example
CON=/dev/ttyUSB0
CONA=E
ERR=NOC1 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4
END=S
MOD=P
INI
started=$SECONDS
PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 60
e2e_wait_clean_exit "$pid" 150
took=$((SECONDS - started))
# One minute of offline time is counted from the first poll, which comes after the start.
[ "$took" -ge 60 ] || e2e_fail "ended after $took s, before the minute was over"

conn=$WORK/connlog.txt
grep -Eq '^[0-9-]+ [0-9:]+ 1 minutes without functioning connection\.$' "$conn" ||
  e2e_fail "no NOC line in connlog.txt"
[ "$(grep -c 'without functioning connection' "$conn")" -eq 1 ] || e2e_fail "NOC line repeated"
grep -q " Shutdown initiated\.$" "$conn" || e2e_fail "no shutdown line in connlog.txt"
noc=$(grep -n 'without functioning connection' "$conn" | cut -d: -f1)
shut=$(grep -n 'Shutdown initiated' "$conn" | cut -d: -f1)
[ "$noc" -lt "$shut" ] || e2e_fail "shutdown before the end condition"
grep -Eq "mavlyn terminated\." "$WORK/servilog.txt" || e2e_fail "no end line in servilog.txt"

# The command runs in the background of a shell; give its record a moment to appear.
deadline=$((SECONDS + 10))
until grep -q '^sudo shutdown' <(e2e_fake_calls); do
  [ $SECONDS -lt $deadline ] || e2e_fail "shutdown command not run"
  sleep 0.1
done
expected='sudo shutdown -P 1 Shutdown initiated by mavlyn. See file mavlyn.ini, parameter END=S or END=R'
[ "$(grep '^sudo' <(e2e_fake_calls))" = "$expected" ] || e2e_fail "command: $(e2e_fake_calls)"
echo "PASS end_conditions ($took s)"
