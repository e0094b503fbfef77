# Helpers for the whole-program scenarios (tests/e2e/README.md lists them). The scenarios run
# inside tests/e2e/sandbox.sh; these helpers start the program, the simulated modem and fake
# peers, wait with deadlines (never fixed sleeps) and look at windows and the shared record.
# Every process started here is ended by its pid. Sourcing sets strict mode.
set -euo pipefail

E2E_PIDS=()
E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

e2e_fail() {
  echo "FAIL: $*" >&2
  if [ -n "${WORK:-}" ]; then
    for f in "$WORK"/*.txt "$WORK"/stderr "$WORK"/transcript; do
      [ -f "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
    done
  fi
  [ -n "${SB_CALLS:-}" ] && [ -f "$SB_CALLS" ] && { echo "--- fake calls" >&2; cat "$SB_CALLS" >&2; }
  exit 1
}

# At the end every process started here is ended (a stopped one continued first); a scenario
# that got through says so.
e2e_cleanup() {
  local status=$? p
  for p in "${E2E_PIDS[@]}"; do
    kill -TERM "$p" 2>/dev/null && kill -CONT "$p" 2>/dev/null || true
  done
  for p in "${E2E_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  [ "$status" -ne 0 ] || echo "PASS $(basename "$0" .sh)"
}

e2e_begin() {
  [ -n "${SB:-}" ] || e2e_fail "not inside tests/e2e/sandbox.sh"
  mavlyn=${1:-}
  WORK=$(mktemp -d "$SB/work/run-XXXXXX")
  trap e2e_cleanup EXIT
}

# A later line of the same key wins, as in the program.
e2e_ini() {
  mkdir -p "$1"
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'MOD=P' "${@:2}" \
    >"$1/mavlyn.ini"
}

e2e_simulation_ini() { e2e_ini "$1" COM=NONE APN=web.example CONA=E "${@:2}"; }

e2e_start_program() {
  local path=$SB_FAKE_PATH
  [ "${E2E_FAKE_PPPD:-0}" = 1 ] && path=$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin
  PATH=$path "$mavlyn" "DIR=$1" NOSPLASH "${@:2}" >>"$1/stdout" 2>>"$1/stderr" &
  pid=$!
  E2E_PIDS+=("$pid")
}

e2e_wait_permitted() { e2e_wait_for_text "$1/servilog.txt" "Permitted to connect." 60; }

e2e_clock() {
  local m=$((($(date +%-H) * 60 + $(date +%-M) + $1 + 1440) % 1440))
  printf '%02d:%02d' $((m / 60)) $((m % 60))
}

e2e_start_fake() {
  "${@:2}" >"$WORK/$1.out" 2>"$WORK/$1.err" &
  FAKE_PID=$!
  E2E_PIDS+=("$FAKE_PID")
  e2e_until 20 "$1 not ready" e2e__ready "$1"
}
e2e__ready() {
  grep -q '^READY' "$WORK/$1.out" && return 0
  e2e_alive "$FAKE_PID" "$1 ended: $(cat "$WORK/$1.err")"
  return 1
}

e2e_stop_fake() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

e2e_start_modem() {
  local sim=${MODEMSIM:-$E2E_ROOT/build/tools/modemsim/modemsim}
  [ -x "$sim" ] || e2e_fail "no modemsim at $sim (set MODEMSIM)"
  e2e_start_fake modem "$sim" --profile "$1" --transcript "$WORK/transcript" \
    --control-fifo "$WORK/modem-control" "${@:2}"
  MODEM_PID=$FAKE_PID
  mapfile -t MODEM_PORTS < <(awk '$1 == "PORT" { print $4 }' "$WORK/modem.out")
}

# As the stick comes: SIM ready, signal 20, in Vodafone.de (26202), cell 1A2B/00C3D4E5.
e2e_huawei() {
  e2e_start_modem huawei "$@" --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
}

e2e_modem() { printf '%s\n' "$*" >"$WORK/modem-control"; }

# The port is opened without becoming the controlling terminal.
e2e_at() {
  python3 - "$1" "$2" <<'PY'
import os, select, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
os.write(fd, sys.argv[2].encode() + b"\r")
out, end = b"", time.time() + 1
while time.time() < end and b"OK\r\n" not in out and b"ERROR" not in out:
    if select.select([fd], [], [], 0.1)[0]:
        out += os.read(fd, 4096)
sys.stdout.write(out.decode("latin-1"))
PY
}

e2e_until() {
  local deadline=$((SECONDS + $1))
  until "${@:3}"; do
    [ $SECONDS -lt $deadline ] || e2e_fail "$2"
    sleep 0.1
  done
}

e2e_alive() { kill -0 "$1" 2>/dev/null || e2e_fail "$2"; }
e2e_ended() { ! kill -0 "$1" 2>/dev/null; }

e2e_wait_for_text() { e2e_until "$3" "no '$2' in $1 within $3 s" grep -sqF -- "$2" "$1"; }

e2e_has() {
  local t
  for t in "${@:2}"; do grep -sqF -- "$t" "$1" || e2e_fail "$1 lacks '$t'"; done
}
e2e_lacks() {
  local t
  for t in "${@:2}"; do
    ! grep -sqF -- "$t" "$1" || e2e_fail "$1 holds '$t': $(grep -F -- "$t" "$1" | head -3)"
  done
}

e2e_wait_pid() {
  e2e_until "$2" "process $1 still running after $2 s" e2e_ended "$1"
  wait "$1"
}
e2e_wait_clean_exit() { e2e_wait_pid "$1" "$2" || e2e_fail "process $1: exit status $?"; }

e2e_stop_program() {
  kill -TERM "$1"
  e2e_wait_clean_exit "$1" 60
}
e2e_end_by_file() {
  : >"$2/mavlyn_END"
  e2e_wait_clean_exit "$1" 60
}

# e2e__first COMMAND...: the first line COMMAND prints, in E2E__ID; fails when there is none.
e2e__first() {
  E2E__ID=$("$@" 2>/dev/null | head -1) || true
  [ -n "$E2E__ID" ]
}

e2e_wait_window() {
  e2e_until "$2" "no window '$1' within $2 s" e2e__first xdotool search --onlyvisible --name "$1"
  echo "$E2E__ID"
}

e2e_keys() { xdotool windowactivate --sync "$1" 2>/dev/null || true; xdotool key --window "$@"; }
e2e_type() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool type --window "$1" --delay 30 "$2"
}

e2e_screenshot() { import -window root "$WORK/$1.png"; }

e2e_fake_calls() { cat "${SB_CALLS:-/dev/null}" 2>/dev/null || true; }

# The shared record under the key E2E_SHM_KEY when set.
e2e_shm_field() { e2e__shm "$1" "$2"; }
e2e_shm_command() { e2e__shm 20 w "$1" || e2e_fail "no shared record"; }
e2e__shm() {
  python3 - "$@" <<'PY'
import ctypes, os, struct, sys
libc = ctypes.CDLL("libc.so.6", use_errno=True)
libc.shmat.restype = ctypes.c_void_p
off, kind = int(sys.argv[1]), sys.argv[2]
shmid = libc.shmget(int(os.environ.get("E2E_SHM_KEY", "0x4B564FF0"), 16), 0, 0)
p = libc.shmat(shmid, None, 0 if kind == "w" else 0o10000) if shmid >= 0 else None  # SHM_RDONLY
if p in (None, ctypes.c_void_p(-1).value):
    sys.exit(1)
raw = ctypes.string_at(p, 984)
if kind == "w":
    ctypes.memmove(p + off, sys.argv[3].encode() + b"\0", len(sys.argv[3]) + 1)
elif kind == "x":
    print(raw.hex())
elif kind == "s":
    print(raw[off:off + 65].split(b"\0")[0].decode("latin-1"))
elif kind == "u8":
    print(raw[off])
else:
    print(struct.unpack_from("<h" if kind == "i16" else "<I", raw, off)[0])
PY
}

e2e_count() {
  local c
  c=$(grep -cF -- "$2" "$1" 2>/dev/null) || true
  echo "${c:-0}"
}

e2e_wait_count() {
  e2e_until "$4" "not $3 times '$2' in $1 within $4 s" e2e__counted "$1" "$2" "$3"
}
e2e__counted() {
  [ "$(e2e_count "$1" "$2")" -ge "$3" ] && return 0
  [ -z "${pid:-}" ] || e2e_alive "$pid" "the program ended (waiting for '$2')"
  return 1
}

# A monitoring pass asks for the signal.
e2e_passes() {
  e2e_wait_count "$WORK/transcript" "AT+CSQ" $(($(e2e_count "$WORK/transcript" "AT+CSQ") + $1)) 60
}

e2e_dialogs() {
  local w
  for w in $(xdotool search --onlyvisible --class mavlyn 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$w"
  done
  return 0
}

e2e_wait_dialog() {
  local name
  e2e_until "$2" "no '$1' question within $2 s" e2e__first e2e_dialogs
  name=$(xdotool getwindowname "$E2E__ID" 2>/dev/null) || name=""
  [[ "$name" == *"$1"* ]] || e2e_fail "another box: '$name', not '$1'"
  echo "$E2E__ID"
}

# The box may close between a key's press and release, which xdotool reports as an error;
# whether the answer arrived shows in the logs.
e2e_answer() { e2e_keys "$@" 2>/dev/null || true; }

# The dial-up runs chat (package ppp), which lives in /usr/sbin.
e2e_need_chat() {
  command -v chat >/dev/null || PATH=$PATH:/usr/sbin
  command -v chat >/dev/null || e2e_fail "chat (package ppp) is missing"
}

# Built by the rules of 3GPP TS 23.040/23.038; a sender starting with a letter is alphanumeric.
e2e_sms_pdu() {
  python3 - "$@" <<'PY'
import sys
GSM = ("@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
       "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")
EXT = {"€": 0x65, "[": 0x3C, "]": 0x3E, "{": 0x28, "}": 0x29, "~": 0x3D, "\\": 0x2F, "|": 0x40, "^": 0x14}
def septets(text):
    return [s for ch in text for s in ([0x1B, EXT[ch]] if ch in EXT else [GSM.index(ch)])]
def pack(sep):
    return sum(s << (7 * i) for i, s in enumerate(sep)).to_bytes((7 * len(sep) + 7) // 8, "little")
def bcd(digits):
    d = digits + ("F" if len(digits) % 2 else "")
    return bytes(int(d[i + 1] + d[i], 16) for i in range(0, len(d), 2))
def address(sender):
    if sender[0].isalpha():
        packed = pack(septets(sender))
        return bytes([len(packed) * 2, 0xD0]) + packed
    return bytes([len(sender.lstrip("+")), 0x91]) + bcd(sender.lstrip("+"))
head = bytes([0x07, 0x91]) + bcd("491710760000")  # the service centre
stamp = bcd("26120714151600")  # 2026-12-07 14:15:16, zone 0
if sys.argv[1] == "ucs2":
    sender, ref, total, seq, text = sys.argv[2:7]
    ud = bytes([5, 0, 3, int(ref), int(total), int(seq)]) + text.encode("utf-16-be")
    tpdu = bytes([0x44]) + address(sender) + bytes([0, 0x08]) + stamp + bytes([len(ud)]) + ud
else:
    sender, text = sys.argv[2:4]
    sep = septets(text)
    tpdu = bytes([0x04]) + address(sender) + bytes([0, 0x00]) + stamp + bytes([len(sep)]) + pack(sep)
print((head + tpdu).hex().upper())
PY
}

# The menu opens with the right button; its insensitive title and separators are skipped.
e2e_menu_select() {
  local w keys=()
  w=$(e2e_wait_window "mavlyn 0.4" 20)
  xdotool windowactivate --sync "$w" 2>/dev/null || true
  xdotool mousemove --window "$w" 60 12 click 3
  # The menu takes the keyboard once it is up; until then the keys would go to the window.
  e2e_until 10 "the menu did not open" e2e__first eval \
    "xdotool search --onlyvisible --class 'gtk-menu|GtkMenu|mavlyn' | grep -vx $w"
  for _ in $(seq "$1"); do keys+=(Down); done
  xdotool key --delay 100 "${keys[@]}" Return
}

# A PIN, password, IMEI or IMSI as a word of its own; mavlyn.ini keeps them scrambled.
e2e_no_secrets() {
  local s hits
  for s in "${@:2}"; do
    hits=$(grep -rlIwF --exclude=mavlyn.ini -- "$s" "$1") || true
    [ -z "$hits" ] || e2e_fail "'$s' in clear in $hits: $(grep -hwF -- "$s" $hits | head -3)"
  done
}

e2e_gtest() {
  "$2" --gtest_filter="$3" >"$1" 2>&1 && grep -q '\[  PASSED  \] 1 test' "$1" ||
    e2e_fail "$3: $(tail -20 "$1")"
}
