#!/usr/bin/env bash
# Runs one whole-program scenario in a sandbox of its own:
#   bash tests/e2e/sandbox.sh SCENARIO.sh [ARGS...]
#
# The scenario runs as root in fresh mount, network, IPC and PID namespaces: loopback only,
# a private /run, /etc/hosts and /dev (with a private devpts, so simulated modem ports can
# appear as /dev/ttyUSB0 or under /dev/serial/by-id), its own X server, window manager, tray
# and sound server, and fake sudo/rm/firefox/gedit that only record their arguments.
# Everything started inside ends with the PID namespace when the scenario ends, so scenarios
# run in parallel without seeing each other and nothing leaks to the machine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--inside" ]; then
  [ $# -ge 1 ] || { echo "usage: $0 SCENARIO.sh [ARGS...]" >&2; exit 2; }
  [ "$(id -u)" -eq 0 ] || { echo "sandbox: needs root (unshare of namespaces)" >&2; exit 2; }
  # The sandbox's files live in a private tmpfs on /tmp that disappears with the namespaces.
  SB=/tmp/mavlyn-sandbox-$$
  scenario=$(realpath "$1")
  shift
  # Paths given relative to the caller's folder still hold inside, where the scenario runs
  # in a folder of its own.
  args=()
  for a in "$@"; do
    if [ -e "$a" ]; then args+=("$(realpath "$a")"); else args+=("$a"); fi
  done
  [ ! -e "${MODEMSIM:-}" ] || { MODEMSIM=$(realpath "$MODEMSIM") && export MODEMSIM; }
  # SB_KEEP is created out here, so that what is kept outlives the private /tmp.
  [ -z "${SB_KEEP:-}" ] || { mkdir -p "$SB_KEEP" && SB_KEEP=$(realpath "$SB_KEEP") && export SB_KEEP; }
  exec unshare --mount --net --ipc --pid --fork --kill-child --mount-proc \
    bash "$here/sandbox.sh" --inside "$SB" "$scenario" ${args[@]+"${args[@]}"}
fi
SB=$2
shift 2

# --- inside the namespaces -------------------------------------------------------------
mount --make-rprivate /
# A private /tmp (X sockets and lock files included), holding the sandbox directory. A
# checkout, build or SB_KEEP folder that lives under the machine's /tmp stays reachable: the
# old /tmp is held open, and the top folder under it of each such path is bound back.
exec 9</tmp
mount -t tmpfs -o mode=1777 tmpfs /tmp
for path in "$here" "$@" ${MODEMSIM:+"$MODEMSIM"} ${SB_KEEP:+"$SB_KEEP"}; do
  case "$path" in
    /tmp/?*) ;;
    *) continue ;;
  esac
  top=${path#/tmp/}
  top=${top%%/*}
  [ -e "/proc/self/fd/9/$top" ] && [ ! -e "/tmp/$top" ] || continue
  if [ -d "/proc/self/fd/9/$top" ]; then mkdir "/tmp/$top"; else touch "/tmp/$top"; fi
  # Taken as written: mount would otherwise resolve the path to the new, empty /tmp.
  mount --no-canonicalize --rbind "/proc/self/fd/9/$top" "/tmp/$top"
done
exec 9<&-
mkdir -p "$SB"
export SB
mkdir -p "$SB"/{bin,dev,home,run,work,log}

ip link set lo up

mount -t tmpfs -o mode=0755 tmpfs /run
mkdir -p /run/user/0 && chmod 700 /run/user/0

# Host names resolve only to loopback addresses listed here (tests add their own).
printf '127.0.0.1 localhost\n::1 localhost\n' >"$SB/hosts"
mount --bind "$SB/hosts" /etc/hosts
# Name service only on loopback: a scenario that needs answers starts its own server there.
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"$SB/resolv.conf"
mount --bind "$SB/resolv.conf" /etc/resolv.conf

# A private /dev: the essential nodes of the machine, a devpts instance of our own, and
# room for the simulated modem ports.
devdir=$SB/dev
for node in null zero full random urandom tty; do
  touch "$devdir/$node"
  mount --bind "/dev/$node" "$devdir/$node"
done
mkdir -p "$devdir/pts" "$devdir/shm" "$devdir/serial/by-id" "$devdir/net"
ln -s /proc/self/fd "$devdir/fd"
for n in 0:stdin 1:stdout 2:stderr; do ln -s "/proc/self/fd/${n%:*}" "$devdir/${n#*:}"; done
[ -e /dev/net/tun ] && touch "$devdir/net/tun" && mount --bind /dev/net/tun "$devdir/net/tun"
mount --rbind "$devdir" /dev
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts
ln -sf pts/ptmx /dev/ptmx
mount -t tmpfs -o mode=1777 tmpfs /dev/shm

# The program's environment: a home of its own, fake commands first in PATH.
export HOME=$SB/home
export XDG_RUNTIME_DIR=/run/user/0
export SB_CALLS=$SB/log/fake-calls.log
for fake in sudo rm rmdir firefox gedit shutdown; do
  cat >"$SB/bin/$fake" <<EOF
#!/bin/sh
# Stand-in: records the call and does nothing else.
printf '%s\n' "$fake\${*:+ \$*}" >>"$SB_CALLS"
exit 0
EOF
  chmod +x "$SB/bin/$fake"
done
# The program dials by default: whatever a scenario sets up, it never reaches the real pppd.
if [ -r "$here/../fake/pppd" ]; then cp "$here/../fake/pppd" "$SB/bin/pppd"; fi
export SB_FAKE_PATH=$SB/bin:$PATH

# Display, window manager, tray.
# Under a heavy load Xvfb's keymap compiler can fail once; the server then ends and is started
# again.
for _ in 1 2 3; do
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$SB/log/display" 2>"$SB/log/xvfb.log" &
  xvfb=$!
  for _ in $(seq 600); do
    [ -s "$SB/log/display" ] || ! kill -0 $xvfb 2>/dev/null && break
    sleep 0.05
  done
  [ -s "$SB/log/display" ] && break
  kill $xvfb 2>/dev/null || true
  wait $xvfb 2>/dev/null || true
done
[ -s "$SB/log/display" ] || { echo "sandbox: Xvfb did not start" >&2; cat "$SB/log/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$SB/log/display")"
openbox --sm-disable >"$SB/log/openbox.log" 2>&1 &
for _ in $(seq 600); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
trayer --edge top --align right --widthtype request --height 24 >"$SB/log/trayer.log" 2>&1 &

# Sound: a null sink whose monitor can be recorded.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --system=false \
  --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse-native auth-anonymous=1" \
  --load="module-null-sink sink_name=null" >"$SB/log/pulseaudio.log" 2>&1 &
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse-native
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/pulse-native" ] && break; sleep 0.05; done

scenario=$1
shift
cd "$SB/work"
status=0
bash "$scenario" "$@" || status=$?
# SB_KEEP=DIR keeps the sandbox's logs and working files of a failed scenario.
if [ $status -ne 0 ] && [ -n "${SB_KEEP:-}" ]; then
  mkdir -p "$SB_KEEP" && cp -r "$SB/log" "$SB/work" "$SB/home" "$SB_KEEP"/ 2>/dev/null || true
fi
exit $status
