#!/usr/bin/env bash
# The end-time question, whole program on the simulated modem with the fake pppd: the
# configured end-time window (ENDC, here from two minutes ago to an hour from now) holds the
# current time, so the question comes up right after the start; while it is open automatic
# connecting is held back.
#  1. OK: "User Accepted connection continuation." in the connection log, then the program
#     connects, and it does not ask again during this stay in the window;
#  2. closed without OK (Escape): the program does not connect and keeps running (no E in
#     ENDC, so no end).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat

hhmm() {
  local m=$((($(date +%-H) * 60 + $(date +%-M) + $1 + 1440) % 1440))
  printf '%02d:%02d' $((m / 60)) $((m % 60))
}

e2e_start_modem huawei --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
export FAKE_PPPD_ARGS

run() {
  D=$WORK/$1
  mkdir -p "$D"
  FAKE_PPPD_ARGS=$D/pppd-args
  cat >"$D/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
ENDC=$(hhmm -2);$(hhmm 60)
MOD=P
INI
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$D" NOSPLASH \
    >"$D/stdout" 2>"$D/stderr" &
  pid=$!
  box=$(e2e_wait_dialog "Time warning" 60)
  # Passes go on while the question is open, but nothing is dialled.
  e2e_passes 3
  [ -e "$FAKE_PPPD_ARGS" ] && e2e_fail "dialled while the question was open"
  grep -q "Connecting via" "$D/servilog.txt" && e2e_fail "connecting while asked"
  return 0
}
finish() { e2e_end_by_file "$pid" "$D"; }

# ---- 1. OK (Tab from Cancel to OK) ----
run ok
e2e_screenshot endtime-question
e2e_answer "$box" Tab Return
e2e_wait_count "$D/connlog.txt" " User Accepted connection continuation." 1 20
e2e_wait_count "$D/connlog.txt" " Connection established." 1 60
e2e_passes 3
[ -z "$(e2e_dialogs)" ] || e2e_fail "asked again within the same stay in the window"
grep -q "Exceeded termination time of day." "$D/servilog.txt" && e2e_fail "refused"
finish

# ---- 2. Closed ----
run cancel
e2e_answer "$box" Escape
e2e_wait_count "$D/servilog.txt" "Exceeded termination time of day." 1 20
e2e_passes 4
[ -e "$FAKE_PPPD_ARGS" ] && e2e_fail "connected after the closed question"
[ -z "$(e2e_dialogs)" ] || e2e_fail "asked again"
grep -q "User Accepted" "$D/connlog.txt" 2>/dev/null && e2e_fail "accepted although closed"
finish

grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown: $(e2e_fake_calls)"
echo "PASS endtime_warning"
