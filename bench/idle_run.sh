#!/usr/bin/env bash
# Inside the sandbox (bench/idle_bench.sh starts it): the program on modemsim's Huawei stick
# without a connection (automatic connecting off, no option letters), then connected through
# the fake pppd with one ping a second; each phase measured from /proc over BENCH_SECONDS
# beside the bare GTK program.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
window=${BENCH_SECONDS:-60}
e2e_need_chat

# snapshot PID: one line per thread "tid name switches cpu_ns" (voluntary plus involuntary
# context switches; each is one time the thread went to sleep or was put aside).
snapshot() {
  local t name sw ns
  for t in /proc/"$1"/task/*; do
    name=$(cat "$t/comm" 2>/dev/null) || continue
    sw=$(awk '/ctxt_switches/ { s += $2 } END { print s }' "$t/status" 2>/dev/null) || continue
    ns=$(awk '{ print $1 }' "$t/schedstat" 2>/dev/null) || continue
    echo "${t##*/} ${name// /_} $sw $ns"
  done
}
rss_kb() { awk '$1 == "VmRSS:" { print $2 }' "/proc/$1/status"; }

# report LABEL PID BEFORE AFTER: wake-ups a second per thread, their sum, CPU share, memory.
report() {
  awk -v label="$1" -v secs="$window" -v rss="$(rss_kb "$2")" '
    FNR == NR { sw[$1] = $3; ns[$1] = $4; next }
    {
      d = $3 - ($1 in sw ? sw[$1] : 0); c = $4 - ($1 in ns ? ns[$1] : 0)
      total += d; cpu += c
      printf "  %-16s %-8s %7.2f wake-ups/s\n", $2, $1, d / secs
    }
    END {
      printf "%s: %.2f wake-ups/s over all threads, %.3f %% of a core, %d kB resident\n",
        label, total / secs, cpu / secs / 1e7, rss
    }' "$3" "$4"
}

# measure PHASE: both programs over the same window.
measure() {
  local a b c d
  a=$(mktemp) b=$(mktemp) c=$(mktemp) d=$(mktemp)
  snapshot "$pid" >"$a"
  snapshot "$bare" >"$c"
  sleep "$window"
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended during the window"
  snapshot "$pid" >"$b"
  snapshot "$bare" >"$d"
  report "$1, mavlyn" "$pid" "$a" "$b"
  report "$1, bare GTK program" "$bare" "$c" "$d"
  awk -v m="$(rss_kb "$pid")" -v g="$(rss_kb "$bare")" \
    'BEGIN { printf "%s: resident memory %.2f x the bare program\n", "'"$1"'", m / g }'
  rm -f "$a" "$b" "$c" "$d"
}

# session CONA: a fresh folder, modem and program, no option letters; sets WORK and pid.
session() {
  E2E_PIDS=()
  e2e_workdir
  e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'COM=/dev/ttyUSB2' \
    'CON=/dev/ttyUSB0' 'APN=web.example' 'MOD=' "CONA=$1" >"$WORK/mavlyn.ini"
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$WORK" NOSPLASH \
    >"$WORK/stdout" 2>"$WORK/stderr" &
  pid=$!
  E2E_PIDS+=("$pid")
  "$BARE_GTK" >/dev/null 2>&1 &
  bare=$!
  E2E_PIDS+=("$bare")
}

# ---- monitoring without a connection ----
session E
# Three passes of the cycle: the modem is prepared and the signal known.
e2e_wait_count "$WORK/transcript" "AT+CSQ" 3 120
measure "idle"
e2e_end_by_file "$pid" "$WORK"
e2e_cleanup
trap - EXIT

# ---- connected ----
session SE
e2e_wait_count "$WORK/connlog.txt" " Connection established." 1 120
ping -q -i 1 10.0.0.1 >/dev/null 2>&1 &
E2E_PIDS+=("$!")
e2e_passes 2
measure "connected"
e2e_end_by_file "$pid" "$WORK"
e2e_cleanup
trap - EXIT
