#!/usr/bin/env bash
# Dial-up through the fake pppd (tests/fake/pppd) with the real chat against the simulated
# modem on /dev/ttyUSB0: a first device path that does not exist, traffic through the veth
# the fake creates, disconnect through the pid file; the stale lock, a missing
# authentication, an unknown replacedefaultroute, a failing link and four failed starts.
# The connection start and end are driven by the sandbox cases of the unit tests, since no
# part of the program calls them on its own yet.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

unit=$(dirname "$1")/tests/unit_tests
[ -x "$unit" ] || e2e_fail "no unit test binary at $unit"
e2e_need_chat

e2e_start_modem huawei --link /dev/ttyUSB0
export PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin"
[ "$(command -v pppd)" = "$E2E_ROOT/tests/fake/pppd" ] || e2e_fail "fake pppd not first in PATH"

# run_case NAME [VAR=VALUE...]: one sandbox case in a working directory of its own.
run_case() {
  local name=$1
  shift
  CASE=$WORK/$name
  mkdir -p "$CASE"
  env "$@" DIALUP_WORK="$CASE" FAKE_PPPD_ARGS="$CASE/pppd-args" \
    "$unit" --gtest_filter="DialupSandbox.$name" >"$CASE/gtest.log" 2>&1 ||
    { cat "$CASE/gtest.log" >&2; e2e_fail "case $name"; }
  grep -q '\[  PASSED  \] 1 test' "$CASE/gtest.log" || { cat "$CASE/gtest.log" >&2; e2e_fail "case $name did not run"; }
}

# Connect, count, disconnect.
run_case ConnectCountTrafficAndDisconnect
args=$CASE/pppd-args
[ "$(wc -l <"$args")" -eq 2 ] || e2e_fail "pppd starts: $(cat "$args")"
head -1 "$args" | grep -q "^/dev/ttyUSB7 user web " || e2e_fail "first path: $(head -1 "$args")"
expected="/dev/ttyUSB0 user web password web crtscts lock usepeerdns noipdefault defaultroute"
expected+=" replacedefaultroute nodetach child-timeout 5 connect 'chat \"\" atd*99#'"
[ "$(sed -n 2p "$args")" = "$expected" ] || e2e_fail "command line: $(sed -n 2p "$args")"
grep -qi 'atd\*99#' "$WORK/transcript" || e2e_fail "the modem was not dialled"
log=$CASE/servilog.txt
grep -q "Connecting via /dev/ttyUSB7" "$log" || e2e_fail "no attempt on the first path"
grep -q "Connect answer: pppd: unrecognized option '/dev/ttyUSB7'" "$log" || e2e_fail "answer"
grep -q "Connection established." "$log" || e2e_fail "not established"
if grep -q "Linux connect error" "$log"; then e2e_fail "a missing first path is no error"; fi
conn=$CASE/connlog.txt
for line in " Connection name: ppp0" " Connection established." " Online time: 0000:0" \
  " Connection terminated."; do
  grep -qF -- "$line" "$conn" || e2e_fail "connlog lacks '$line'"
done
kb=$(sed -n 's/.* Data volume: \([0-9]*\) kB$/\1/p' "$conn")
[ -n "$kb" ] && [ "$kb" -ge 20 ] || e2e_fail "data volume: '$kb'"
ip link show ppp0 >/dev/null 2>&1 && e2e_fail "the interface is still there"

# A stale lock: its holder receives SIGTERM once, then the start succeeds.
sleep 300 &
holder=$!
run_case StaleLockIsKilledOnce FAKE_PPPD_LOCKPID=$holder
grep -q "Linux connect: killing pid $holder" "$CASE/servilog.txt" || e2e_fail "no kill logged"
status=0
wait "$holder" || status=$?
[ "$status" -eq 143 ] || e2e_fail "lock holder not ended by SIGTERM (status $status)"

# No "authentication succeeded": error 49 after the countdown, and pppd is ended.
run_case NoAuthenticationIsNoConnection FAKE_PPPD_SCENARIO=noauth
grep -q "Linux connect timeout." "$CASE/servilog.txt" || e2e_fail "no timeout logged"
[ -e /run/ppp0.pid ] && e2e_fail "pppd left running after the timeout"

# pppd without replacedefaultroute: rebuilt once, later starts leave it out.
run_case UnknownReplaceDefaultRouteIsLeftOut FAKE_PPPD_NO_REPLACEDEFAULTROUTE=1
grep -q "Assumed Mandriva as operating system." "$CASE/servilog.txt" || e2e_fail "no Mandriva"
# Each start tries /dev/ttyUSB7 first; the refusal comes on /dev/ttyUSB0, then never again.
sed -n 2p "$CASE/pppd-args" | grep -q '^/dev/ttyUSB0 .* replacedefaultroute ' ||
  e2e_fail "refused start: $(cat "$CASE/pppd-args")"
[ "$(wc -l <"$CASE/pppd-args")" -eq 6 ] || e2e_fail "starts: $(cat "$CASE/pppd-args")"
if sed -n '3,$p' "$CASE/pppd-args" | grep -q replacedefaultroute; then e2e_fail "option kept"; fi

run_case LinkFailureIsAnErrorNumber FAKE_PPPD_SCENARIO=lcp
grep -q "Linux connect error 41." "$CASE/servilog.txt" || e2e_fail "no error 41"

run_case FourFailedStartsPauseTheSession
[ "$(grep -c 'Connection refused. Error 30.' "$CASE/connlog.txt")" -eq 4 ] || e2e_fail "refusals"

echo "PASS dialup"
