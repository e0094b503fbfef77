#!/usr/bin/env bash
# The probes that need the network's services, against servers of the sandbox's own: the DNS
# probe of the probe list with a name server on loopback that knows no random name.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
unit_tests=$(dirname "$mavlyn")/tests/unit_tests
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

# No name server yet: the probe fails.
MAVLYN_TEST_NODNS=1 "$unit_tests" --gtest_filter='ProbesInSandbox.DnsProbeFailsWithoutNameServer' \
  >"$WORK/probes-nodns.txt" 2>&1 || e2e_fail "probe without name server: $(cat "$WORK/probes-nodns.txt")"
grep -q '\[  PASSED  \] 1 test' "$WORK/probes-nodns.txt" || e2e_fail "no-server probe test did not run"

python3 "$E2E_ROOT/tests/fake/dns_server.py" known.example=127.0.0.5 >"$WORK/dns.out" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for_text "$WORK/dns.out" READY 10
python3 -c "import socket; assert socket.gethostbyname('known.example') == '127.0.0.5'" ||
  e2e_fail "the loopback name server does not answer"

MAVLYN_TEST_DNS=1 "$unit_tests" --gtest_filter='ProbesInSandbox.DnsProbeCountsANonexistentNameAsReached' >"$WORK/probes.txt" 2>&1 ||
  e2e_fail "probe tests failed"
grep -q '\[  PASSED  \] 1 test' "$WORK/probes.txt" || e2e_fail "probe test did not run"
echo "PASS probes"
