#!/usr/bin/env bash
# Dial-up through the fake pppd (tests/fake/pppd) with the real chat against the simulated
# modem, traffic through the veth the fake creates:
#  1. the sandbox cases of the unit tests: a burst right before the disconnect counted to the
#     byte, a dropped link closed with automatic connecting off, a stale lock, an unknown
#     replacedefaultroute, a failing link, four failed starts;
#  2. the whole program in its default set-up (COM typed by hand, no CON) on a network without
#     PAP/CHAP: it dials the stick's first port, shows a 5 MB/s transfer as such, counts it in
#     the connection log, and two short connections after it count one kilobyte each.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

unit=$(dirname "$mavlyn")/tests/unit_tests
[ -x "$unit" ] || e2e_fail "no unit test binary at $unit"
e2e_need_chat
e2e_huawei
export PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin"
[ "$(command -v pppd)" = "$E2E_ROOT/tests/fake/pppd" ] || e2e_fail "fake pppd not first in PATH"

# run_case NAME [VAR=VALUE...]: one sandbox case in a working directory of its own.
run_case() {
  CASE=$WORK/$1
  mkdir -p "$CASE"
  (
    export "${@:2}" DIALUP_WORK="$CASE" FAKE_PPPD_ARGS="$CASE/pppd-args"
    e2e_gtest "$CASE/gtest.log" "$unit" "DialupSandbox.$1"
  )
}

# A first device path that does not exist is passed over without an error.
run_case BurstBeforeTheDisconnectIsCountedToTheByte FAKE_PPPD_PASSWORD=web
head -1 "$CASE/pppd-args" | grep -q "^/dev/ttyUSB7 file " || e2e_fail "first path"
e2e_lacks "$CASE/servilog.txt" "Linux connect error" # a missing first path is no error
e2e_has "$CASE/connlog.txt" " Connection name: ppp0" " Connection established." \
  " Data volume: " " Connection terminated."

run_case DroppedLinkIsClosedWithoutAutomaticConnecting
e2e_has "$CASE/servilog.txt" "Connection was terminated by extern."
e2e_has "$CASE/connlog.txt" "Connection interrupted." " Data volume: 1 kB" \
  " Connection terminated."

# A stale lock: its holder, a pppd of ours, receives SIGTERM once, then the start succeeds.
cp "$(command -v sleep)" "$WORK/pppd"
"$WORK/pppd" 300 &
holder=$!
run_case StaleLockIsKilledOnce FAKE_PPPD_LOCKPID=$holder
e2e_has "$CASE/servilog.txt" "Linux connect: killing pid $holder"
status=0
wait "$holder" || status=$?
[ "$status" -eq 143 ] || e2e_fail "lock holder not ended by SIGTERM (status $status)"

# A lock held by anything but a pppd of ours: nobody is signalled, the start gives up.
sleep 300 &
other=$!
E2E_PIDS+=("$other")
run_case LockOfAnotherProgramIsLeftAlone FAKE_PPPD_LOCKPID=$other
e2e_alive "$other" "a process that is no pppd was ended for its lock"
e2e_has "$CASE/servilog.txt" "pid $other is no pppd of this user"

run_case UnknownReplaceDefaultRouteIsLeftOut FAKE_PPPD_NO_REPLACEDEFAULTROUTE=1
e2e_has "$CASE/servilog.txt" "Assumed Mandriva as operating system."
# Each start tries /dev/ttyUSB7 first; the refusal comes on /dev/ttyUSB0, then never again.
[ "$(wc -l <"$CASE/pppd-args")" -eq 6 ] || e2e_fail "starts: $(cat "$CASE/pppd-args")"
sed -n '3,$p' "$CASE/pppd-args" | grep -q replacedefaultroute && e2e_fail "option kept"

run_case LinkFailureIsAnErrorNumber FAKE_PPPD_SCENARIO=lcp
e2e_has "$CASE/servilog.txt" "Linux connect error 41."

run_case FourFailedStartsPauseTheSession
[ "$(grep -c 'Connection refused. Error 30.' "$CASE/connlog.txt")" -eq 4 ] || e2e_fail "refusals"

# ---- 2. The whole program ----
D=$WORK/program
e2e_ini "$D" COM=/dev/ttyUSB2 APN=web.example 'RND=1;1'
FAKE_PPPD_SCENARIO=noauth FAKE_PPPD_ARGS="$D/pppd-args" E2E_FAKE_PPPD=1 e2e_start_program "$D"
conn=$D/connlog.txt
e2e_wait_count "$conn" " Connection established." 1 120
head -1 "$D/pppd-args" | grep -q "^/dev/ttyUSB0 " || e2e_fail "dialled: $(cat "$D/pppd-args")"

# 5 MB/s upstream to the peer end for at most 30 s; the shared record shows it.
python3 - <<'PY' &
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
start, sent, chunk = time.monotonic(), 0, b"x" * 5000
while time.monotonic() - start < 30:
    if sent < 5000000 * (time.monotonic() - start):
        sent += s.sendto(chunk, ("10.0.0.1", 9))
    else:
        time.sleep(0.001)
PY
sender=$!
E2E_PIDS+=("$sender")
upload() { local up=$(e2e_shm_field 140 u32); [ "$up" -ge 4500000 ] && [ "$up" -le 5600000 ]; }
e2e_until 25 "the shared record shows no upload speed near 5 MB/s" upload
e2e_stop_fake "$sender"

# link_bytes: received and sent bytes of the link together, once they stand still.
link_bytes() {
  local a=-1 b
  b=$(awk -F'[: ]+' '$2 == "ppp0" { print $3 + $11 }' /proc/net/dev)
  while [ "$a" != "$b" ]; do
    a=$b
    sleep 0.5
    b=$(awk -F'[: ]+' '$2 == "ppp0" { print $3 + $11 }' /proc/net/dev)
  done
  echo "$b"
}
subtotal() { sed -n 's/.* Subtotal: \([0-9]*\) kB$/\1/p' "$conn" | tail -1; }

# disconnect N: by command file, until the connection log has N volume lines.
disconnect() {
  : >"$D/mavlyn_DISCONNECT"
  e2e_wait_count "$conn" " kB" "$1" 60
}

# Every byte through the link is in the connection log (the month starts at 999 bytes).
# A neighbour probe may still pass between the count here and the disconnect, so the log
# may hold one kilobyte more, never less.
bytes=$(link_bytes)
disconnect 1
least=$(((999 + bytes) / 1000))
[ "$(subtotal)" -ge "$least" ] && [ "$(subtotal)" -le $((least + 1)) ] ||
  e2e_fail "$bytes bytes sent: $(subtotal) kB"

for n in 2 3; do
  before=$(subtotal)
  : >"$D/mavlyn_CONNECT"
  e2e_wait_count "$conn" " Connection established." "$n" 120
  disconnect "$n"
  [ "$(subtotal)" -eq $((before + 1)) ] || e2e_fail "short connection: $before -> $(subtotal) kB"
done
e2e_lacks "$conn" "Connection refused"
e2e_end_by_file "$pid" "$D"
