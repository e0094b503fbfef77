#!/usr/bin/env bash
# What the program costs while it waits: wake-ups a second per thread, share of a core and
# resident memory, monitoring the simulated stick without a connection and then connected,
# each beside a bare GTK 2 program with a status icon and a two-second timer measured over
# the same window. Needs root (the scenario sandbox) and a build with bench/bare_gtk.
#   bash bench/idle_bench.sh [BUILD_DIR]      BENCH_SECONDS=60 (window per phase)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/mavlyn" ] || { echo "no $build/mavlyn: build first" >&2; exit 1; }
[ -x "$build/bench/bare_gtk" ] || { echo "no $build/bench/bare_gtk: build first" >&2; exit 1; }
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "window: ${BENCH_SECONDS:-60} s per phase"
MODEMSIM=$PWD/$build/tools/modemsim/modemsim BENCH_SECONDS=${BENCH_SECONDS:-60} \
  BARE_GTK=$PWD/$build/bench/bare_gtk \
  bash tests/e2e/sandbox.sh "$PWD/bench/idle_run.sh" "$PWD/$build/mavlyn"
