#!/usr/bin/env bash
# The whole program's running costs on the simulated modem: start to "Permitted to connect.",
# CPU time and peak memory of a connected session, and the delay from each kind of end
# request to the exit. Needs root (the scenario sandbox) and a build.
#   bash bench/session_bench.sh [BUILD_DIR]      BENCH_MINUTES=10 by default
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/mavlyn" ] || { echo "no $build/mavlyn: build first" >&2; exit 1; }
echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "session: ${BENCH_MINUTES:-10} minutes connected, modemsim huawei, fake pppd, one ping a second"
MODEMSIM=$PWD/$build/tools/modemsim/modemsim BENCH_MINUTES=${BENCH_MINUTES:-10} \
  bash tests/e2e/sandbox.sh "$PWD/bench/session_run.sh" "$PWD/$build/mavlyn"
