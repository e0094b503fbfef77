# Helpers for the whole-program scenarios. The scenarios run inside tests/e2e/sandbox.sh,
# which gives them a private /dev, /run, /tmp, display, tray, sound server and fake commands;
# these helpers start the simulated modem, wait with deadlines (never fixed sleeps) and look
# at windows. Every process started here is ended by its pid.

E2E_PIDS=()
E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$(cd "$E2E_HERE/../.." && pwd)

e2e_in_sandbox() { [ -n "${SB:-}" ]; }

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

e2e_cleanup() {
  local p
  for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${E2E_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  if [ -n "${WORK:-}" ] && ! e2e_in_sandbox; then rm -r -- "$WORK" 2>/dev/null || true; fi
}

# A fresh working directory (the program's DIR=), removed at the end outside the sandbox;
# inside, the sandbox's tmpfs goes with it.
e2e_workdir() {
  if e2e_in_sandbox; then
    WORK=$(mktemp -d "$SB/work/run-XXXXXX")
  else
    WORK=$(mktemp -d /tmp/mavlyn-e2e-XXXXXX)
  fi
  trap e2e_cleanup EXIT
}

# e2e_begin "$@": the start of every scenario: inside the sandbox, $mavlyn the program under
# test (the scenario's first argument), a fresh $WORK.
e2e_begin() {
  e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
  mavlyn=${1:-}
  e2e_workdir
}

# e2e_ini DIR [LINE...]: DIR/mavlyn.ini with a fresh counter line, English, the service log
# on (MOD=P) and the given lines; a later line of the same key wins, as in the program.
e2e_ini() {
  local dir=$1
  shift
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' 'MOD=P' "$@" \
    >"$dir/mavlyn.ini"
}

# A configuration for a run without a modem (COM=NONE) in directory $1, service log on,
# without automatic connecting (nothing to dial).
e2e_simulation_ini() { e2e_ini "$1" COM=NONE APN=web.example CONA=E; }

# e2e_start_program DIR [WORD...]: $mavlyn on DIR without splash, in the background, with
# the fake commands first in PATH (and the fake pppd before them when E2E_FAKE_PPPD=1);
# output appended to DIR/stdout and DIR/stderr. Sets pid; ended by its pid at the end.
e2e_start_program() {
  local dir=$1 path=$SB_FAKE_PATH
  shift
  [ "${E2E_FAKE_PPPD:-0}" = 1 ] && path=$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin
  PATH=$path "$mavlyn" "DIR=$dir" NOSPLASH "$@" >>"$dir/stdout" 2>>"$dir/stderr" &
  pid=$!
  E2E_PIDS+=("$pid")
}

# e2e_wait_permitted DIR: the program in DIR has come up to "Permitted to connect.".
e2e_wait_permitted() { e2e_wait_for_text "$1/servilog.txt" "Permitted to connect." 60; }

# e2e_clock MINUTES: the wall clock MINUTES from now (negative: ago) as HH:MM.
e2e_clock() {
  local m=$((($(date +%-H) * 60 + $(date +%-M) + $1 + 1440) % 1440))
  printf '%02d:%02d' $((m / 60)) $((m % 60))
}

# A display: the sandbox's own, or else a private Xvfb on a number it picks itself.
e2e_start_xvfb() {
  if e2e_in_sandbox && [ -n "${DISPLAY:-}" ]; then return 0; fi
  local fdfile="$WORK/.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>"$WORK/xvfb.log" &
  E2E_PIDS+=($!)
  e2e__until 10 "Xvfb did not start" test -s "$fdfile"
  export DISPLAY=":$(head -1 "$fdfile")"
}

# e2e_start_modem PROFILE [MODEMSIM ARGS...]
# Starts the simulated modem with a transcript ($WORK/transcript) and a control FIFO
# ($WORK/modem-control); sets MODEM_PID and MODEM_PORTS (the pty paths, port 0 first).
# Links for the program to find are given as modemsim's --link arguments, e.g.
#   e2e_start_modem huawei --link /dev/serial/by-id/usb-HUAWEI_E220-if00-port0 ...
e2e_start_modem() {
  local profile=$1
  shift
  local sim=${MODEMSIM:-$E2E_ROOT/build/tools/modemsim/modemsim}
  [ -x "$sim" ] || e2e_fail "no modemsim at $sim (set MODEMSIM)"
  e2e__start modemsim "$WORK/modem-banner" "$WORK/modem-stderr" 10 "$sim" --profile "$profile" \
    --transcript "$WORK/transcript" --control-fifo "$WORK/modem-control" "$@"
  MODEM_PID=$E2E__PID
  mapfile -t MODEM_PORTS < <(awk '$1 == "PORT" { print $4 }' "$WORK/modem-banner")
}

# e2e_modem COMMAND: one control command to the running simulated modem.
e2e_modem() { printf '%s\n' "$*" >"$WORK/modem-control"; }

# e2e_at DEVICE COMMAND: sends one command line to a modem port and prints what comes back
# within a second. The port is opened without becoming the controlling terminal.
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

# e2e__until SECONDS MESSAGE COMMAND...: runs COMMAND every tenth of a second until it
# succeeds; fails with MESSAGE after SECONDS.
e2e__until() {
  local deadline=$((SECONDS + $1)) message=$2
  shift 2
  until "$@"; do
    [ $SECONDS -lt $deadline ] || e2e_fail "$message"
    sleep 0.1
  done
}

# e2e__start NAME OUT ERR SECONDS COMMAND...: COMMAND in the background, ready once it prints
# READY at the start of a line on OUT; sets E2E__PID.
e2e__start() {
  local name=$1 out=$2 err=$3 deadline=$((SECONDS + $4))
  shift 4
  "$@" >"$out" 2>"$err" &
  E2E__PID=$!
  E2E_PIDS+=("$E2E__PID")
  until grep -q '^READY' "$out" 2>/dev/null; do
    kill -0 "$E2E__PID" 2>/dev/null || e2e_fail "$name ended: $(cat "$err")"
    [ $SECONDS -lt $deadline ] || e2e_fail "$name not ready"
    sleep 0.05
  done
}

# e2e_wait_for_text FILE TEXT SECONDS
e2e_wait_for_text() { e2e__until "$3" "no '$2' in $1 within $3 s" grep -sqF -- "$2" "$1"; }

# e2e_wait_pid PID SECONDS: returns the exit status of a child, fails after the deadline.
e2e_wait_pid() {
  local deadline=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      kill -KILL "$1" 2>/dev/null || true
      e2e_fail "process $1 still running after $2 s"
    fi
    sleep 0.1
  done
  wait "$1"
}

# e2e_wait_window NAME SECONDS: prints the id of a visible window whose title holds NAME.
e2e_wait_window() {
  e2e__until "$2" "no window '$1' within $2 s" e2e__window "$1"
  echo "$E2E__ID"
}
e2e__window() {
  E2E__ID=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
  [ -n "$E2E__ID" ]
}

# e2e_keys WINDOW KEY... and e2e_type WINDOW TEXT: activate the window and send to it.
e2e_keys() { xdotool windowactivate --sync "$1" 2>/dev/null || true; xdotool key --window "$@"; }
e2e_type() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool type --window "$1" --delay 30 "$2"
}

# e2e_screenshot NAME: the whole screen as $WORK/NAME.png, kept with SB_KEEP.
e2e_screenshot() { import -window root "$WORK/$1.png"; }

# e2e_fake_calls: what the fake sudo/rm/rmdir/firefox/gedit/shutdown were asked to do.
e2e_fake_calls() { cat "${SB_CALLS:-/dev/null}" 2>/dev/null || true; }

# e2e_start_fake NAME COMMAND...: a fake peer in the background, ready once it prints READY
# on its stdout ($WORK/NAME.out); sets FAKE_PID.
e2e_start_fake() {
  e2e__start "$1" "$WORK/$1.out" "$WORK/$1.err" 20 "${@:2}"
  FAKE_PID=$E2E__PID
}

# e2e_stop_fake PID
e2e_stop_fake() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# e2e_shm_field OFFSET KIND: one field of the shared record (KIND s text, u8, i16, u32);
# e2e_shm_command TEXT: TEXT into its command field, as a front end does (mavlyn_END,
# mavlyn_CONNECT, ...). Both under the key E2E_SHM_KEY when set.
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
elif kind == "s":
    print(raw[off:off + 65].split(b"\0")[0].decode("latin-1"))
elif kind == "u8":
    print(raw[off])
else:
    print(struct.unpack_from("<h" if kind == "i16" else "<I", raw, off)[0])
PY
}

# e2e_count FILE TEXT: lines holding TEXT (0 for a missing file).
e2e_count() {
  local c
  c=$(grep -cF -- "$2" "$1" 2>/dev/null) || true
  echo "${c:-0}"
}

# e2e_wait_count FILE TEXT N SECONDS: waits until TEXT is in FILE N times; fails at once when
# the program of the scenario ($pid, when set) has ended.
e2e_wait_count() {
  e2e__until "$4" "not $3 times '$2' in $1 within $4 s" e2e__counted "$1" "$2" "$3"
}
e2e__counted() {
  [ "$(e2e_count "$1" "$2")" -ge "$3" ] && return 0
  [ -z "${pid:-}" ] || kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended (waiting for '$2')"
  return 1
}

# e2e_passes N: waits for N more monitoring passes (signal queries in the modem transcript).
e2e_passes() {
  local n
  n=$(e2e_count "$WORK/transcript" "AT+CSQ")
  e2e_wait_count "$WORK/transcript" "AT+CSQ" $((n + $1)) 60
}

# e2e_dialogs: the program's visible dialog windows (message boxes and questions).
e2e_dialogs() {
  local w
  for w in $(xdotool search --onlyvisible --class mavlyn 2>/dev/null); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$w"
  done
  return 0
}

# e2e_wait_dialog TITLE SECONDS: prints the first dialog to come up, which must be named TITLE.
e2e_wait_dialog() {
  local name
  e2e__until "$2" "no '$1' question within $2 s" e2e__dialog
  name=$(xdotool getwindowname "$E2E__ID" 2>/dev/null) || name=""
  [[ "$name" == *"$1"* ]] || e2e_fail "another box: '$name', not '$1'"
  echo "$E2E__ID"
}
e2e__dialog() { E2E__ID=$(e2e_dialogs | head -1); [ -n "$E2E__ID" ]; }

# e2e_answer WINDOW KEY...: the box may close between a key's press and release, which
# xdotool reports as an error; whether the answer arrived shows in the logs.
e2e_answer() { e2e_keys "$@" 2>/dev/null || true; }

# e2e_wait_clean_exit PID SECONDS: the program ends within the deadline with status 0.
e2e_wait_clean_exit() {
  local status=0
  e2e_wait_pid "$1" "$2" || status=$?
  [ "$status" -eq 0 ] || e2e_fail "exit status $status"
}

# e2e_stop_program PID: SIGTERM, then a clean exit within 60 s.
e2e_stop_program() {
  kill -TERM "$1"
  e2e_wait_clean_exit "$1" 60
}

# e2e_end_by_file PID DIR: the command file mavlyn_END in DIR, then a clean exit within 60 s.
e2e_end_by_file() {
  : >"$2/mavlyn_END"
  e2e_wait_clean_exit "$1" 60
}

# e2e_need_chat: the dial-up runs chat (package ppp), which lives in /usr/sbin.
e2e_need_chat() {
  command -v chat >/dev/null || PATH=$PATH:/usr/sbin
  command -v chat >/dev/null || e2e_fail "chat (package ppp) is missing"
}

# e2e_sms_pdu KIND ARGS: an SMS-DELIVER in hex, built here by the rules of 3GPP TS 23.040/23.038.
#   e2e_sms_pdu ucs2 SENDER REF TOTAL SEQ TEXT   (one part of a concatenated UCS-2 message)
#   e2e_sms_pdu gsm7 SENDER TEXT                  (SENDER starting with a letter is alphanumeric)
e2e_sms_pdu() {
  python3 - "$@" <<'PY'
import sys
GSM = ("@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
       "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")
EXT = {"€": 0x65, "[": 0x3C, "]": 0x3E, "{": 0x28, "}": 0x29, "~": 0x3D, "\\": 0x2F, "|": 0x40, "^": 0x14}
def septets(text):
    return [s for ch in text for s in ([0x1B, EXT[ch]] if ch in EXT else [GSM.index(ch)])]
def pack(sep):
    bits, n, out = 0, 0, bytearray()
    for s in sep:
        bits |= s << n
        n += 7
        while n >= 8:
            out.append(bits & 0xFF); bits >>= 8; n -= 8
    if n: out.append(bits & 0xFF)
    return bytes(out)
def bcd(digits):
    d = digits + ("F" if len(digits) % 2 else "")
    return bytes(int(d[i + 1] + d[i], 16) for i in range(0, len(d), 2))
def address(sender):
    if sender[0].isalpha():
        packed = pack(septets(sender))
        return bytes([len(packed) * 2, 0xD0]) + packed
    digits = sender.lstrip("+")
    return bytes([len(digits), 0x91]) + bcd(digits)
sca = bytes([0x07, 0x91]) + bcd("491710760000")
stamp = bcd("26120714151600")  # 2026-12-07 14:15:16, zone 0
kind = sys.argv[1]
if kind == "ucs2":
    sender, ref, total, seq, text = sys.argv[2:7]
    udh = bytes([5, 0, 3, int(ref), int(total), int(seq)])
    ud = udh + text.encode("utf-16-be")
    tpdu = bytes([0x44]) + address(sender) + bytes([0, 0x08]) + stamp + bytes([len(ud)]) + ud
else:
    sender, text = sys.argv[2:4]
    sep = septets(text)
    tpdu = bytes([0x04]) + address(sender) + bytes([0, 0x00]) + stamp + bytes([len(sep)]) + pack(sep)
print((sca + tpdu).hex().upper())
PY
}

# e2e_menu_select DOWNS: opens the control window's menu with the right button and picks the
# item DOWNS steps down from the top (the insensitive title and separators are skipped).
e2e_menu_select() {
  local w
  w=$(e2e_wait_window "mavlyn 0.4" 20)
  xdotool windowactivate --sync "$w" 2>/dev/null || true
  xdotool mousemove --window "$w" 60 12 click 3
  # The menu takes the keyboard once it is up; until then the keys would go to the window.
  local deadline=$((SECONDS + 10))
  until xdotool search --onlyvisible --class "gtk-menu|GtkMenu|mavlyn" 2>/dev/null |
    grep -qvx "$w"; do
    [ $SECONDS -lt $deadline ] || break
    sleep 0.1
  done
  local keys=()
  for _ in $(seq "$1"); do keys+=(Down); done
  xdotool key --delay 100 "${keys[@]}" Return
}

# e2e_no_secrets DIR SECRET...: no log, SMS file or other text file in DIR holds a SECRET (a
# PIN, password, IMEI, IMSI) as a word of its own; mavlyn.ini keeps them scrambled.
e2e_no_secrets() {
  local dir=$1 s hits
  shift
  for s in "$@"; do
    hits=$(grep -rlIwF --exclude=mavlyn.ini -- "$s" "$dir") || true
    [ -z "$hits" ] || e2e_fail "'$s' in clear in $hits: $(grep -hwF -- "$s" $hits | head -3)"
  done
}
