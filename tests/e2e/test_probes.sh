#!/usr/bin/env bash
# The DNS probe of the probe list in the sandbox: without a name server it fails; with one on
# loopback that knows no random name, a nonexistent name counts as reached.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

# probe_case none|server: the unit case of the probe in this sandbox.
probe_case() {
  MAVLYN_TEST_DNS=$1 e2e_gtest "$WORK/$1.txt" "$(dirname "$mavlyn")/tests/unit_tests" \
    ProbesInSandbox.DnsProbeCountsANonexistentNameAsReached
}
probe_case none
e2e_start_fake dns python3 "$E2E_ROOT/tests/fake/dns_server.py" known.example=127.0.0.5
python3 -c "import socket; assert socket.gethostbyname('known.example') == '127.0.0.5'" ||
  e2e_fail "the loopback name server does not answer"
probe_case server
