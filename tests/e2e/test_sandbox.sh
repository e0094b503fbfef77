#!/usr/bin/env bash
# The sandbox itself: what the other scenarios rely on is really there, and what must not
# leak (network, real commands, the machine's devices) is really shut off.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

# Loopback only.
links=$(ip -o link show | awk -F': ' '{ print $2 }' | tr '\n' ' ')
[ "$links" = "lo " ] || e2e_fail "network interfaces: $links"
ping -c1 -W2 127.0.0.1 >/dev/null || e2e_fail "loopback does not answer"
getent ahosts localhost | grep -q 127.0.0.1 || e2e_fail "private hosts file missing"

# The fakes come first and only record.
PATH=$SB_FAKE_PATH
target=$WORK/keep-me
touch "$target"
rm -fr "$target"
sudo shutdown -h now
[ -e "$target" ] || e2e_fail "the real rm ran"
e2e_has "$SB_CALLS" "rm -fr $target" "sudo shutdown -h now"

# A simulated modem behind a stable device name.
e2e_start_modem huawei --link /dev/serial/by-id/usb-HUAWEI_Technology_HUAWEI_Mobile-if00-port0 \
  --link /dev/serial/by-id/usb-HUAWEI_Technology_HUAWEI_Mobile-if01-port0
[ "${#MODEM_PORTS[@]}" -eq 3 ] || e2e_fail "ports: ${MODEM_PORTS[*]}"
dev=/dev/serial/by-id/usb-HUAWEI_Technology_HUAWEI_Mobile-if01-port0
[ "$(readlink -f "$dev")" = "${MODEM_PORTS[1]}" ] || e2e_fail "link does not point at port 1"
answer=$(e2e_at "$dev" ATI)
grep -q E220 <<<"$answer" || e2e_fail "no ATI answer through the link: $answer"
grep -q $'^1\tATI$' "$WORK/transcript" || e2e_fail "transcript lacks the command"

# Shared memory and semaphores start empty.
[ "$(ipcs -s | grep -c '^0x')" -eq 0 ] || e2e_fail "foreign semaphores visible"

# Display with a window manager, sound server with the null sink.
xdotool getdisplaygeometry >/dev/null || e2e_fail "no display"
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || e2e_fail "no window manager"
pactl list short sinks | grep -q null || e2e_fail "no null sink"
