#!/usr/bin/env bash
# Inside the sandbox (bench/session_bench.sh starts it): one connected session on modemsim
# through the fake pppd, measured from outside through /proc, then two short sessions for the
# remaining ways to end the program. Prints "figure: value" lines.
#   BENCH_MINUTES  length of the connected session (default 10)
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
minutes=${BENCH_MINUTES:-10}
ticks=$(getconf CLK_TCK)
e2e_need_chat

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
# cpu_ticks PID: user plus system time of the process and all its threads.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# peak_rss_kb PID: the high-water mark of the resident set.
peak_rss_kb() { awk '$1 == "VmHWM:" { print $2 }' "/proc/$1/status"; }

# session: a fresh working folder, modem and program; sets WORK, pid, started, permitted_at.
session() {
  E2E_PIDS=()
  e2e_workdir
  e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'COM=/dev/ttyUSB2' \
    'CON=/dev/ttyUSB0' 'APN=web.example' 'MOD=P' >"$WORK/mavlyn.ini"
  started=$(now)
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$WORK" NOSPLASH \
    >"$WORK/stdout" 2>"$WORK/stderr" &
  pid=$!
  E2E_PIDS+=("$pid")
  until grep -qF "Permitted to connect." "$WORK/servilog.txt" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended before it was permitted to connect"
    sleep 0.02
  done
  permitted_at=$(now)
  e2e_wait_count "$WORK/connlog.txt" " Connection established." 1 120
}

# ended_after PID SINCE: waits for the exit and prints the seconds since SINCE.
ended_after() {
  while kill -0 "$1" 2>/dev/null; do sleep 0.01; done
  wait "$1" 2>/dev/null || true
  elapsed "$2" "$(now)"
}

# ---- the connected session, ended by the command file ----
session
echo "start to \"Permitted to connect.\": $(elapsed "$started" "$permitted_at") s"
# Some traffic over the link for the counting: one ping a second to the peer end.
ping -q -i 1 10.0.0.1 >/dev/null 2>&1 &
E2E_PIDS+=("$!")
cpu_before=$(cpu_ticks "$pid")
modem_before=$(cpu_ticks "$MODEM_PID")
sleep $((minutes * 60))
kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended during the session"
cpu_after=$(cpu_ticks "$pid")
modem_after=$(cpu_ticks "$MODEM_PID")
echo "CPU time in $minutes connected minutes: $(awk -v a="$cpu_before" -v b="$cpu_after" \
  -v t="$ticks" 'BEGIN { printf "%.2f", (b - a) / t }') s"
echo "CPU time of modemsim meanwhile: $(awk -v a="$modem_before" -v b="$modem_after" \
  -v t="$ticks" 'BEGIN { printf "%.2f", (b - a) / t }') s"
echo "peak resident memory: $(peak_rss_kb "$pid") kB"
echo "passes: $(e2e_count "$WORK/transcript" "AT+CSQ") signal queries"
asked=$(now)
: >"$WORK/mavlyn_END"
echo "end request to exit, command file mavlyn_END: $(ended_after "$pid" "$asked") s"
e2e_cleanup
trap - EXIT

# ---- short sessions for the other two ways ----
session
asked=$(now)
e2e_shm_command mavlyn_END
echo "end request to exit, shared record command: $(ended_after "$pid" "$asked") s"
e2e_cleanup

session
asked=$(now)
kill -TERM "$pid"
echo "end request to exit, SIGTERM: $(ended_after "$pid" "$asked") s"
e2e_cleanup
trap - EXIT
