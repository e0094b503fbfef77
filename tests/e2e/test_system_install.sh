#!/usr/bin/env bash
# The program installed as a system package: the install tree of the build (as the Debian
# package carries it) is laid over /usr/share in this sandbox's private mount namespace and
# the executable placed in /usr/local/bin. A user's first start from there works in
# "~/mavlyn": after the language choice, the liability note and the standard mode it links
# "mavlyn" and "CONFIG" to the system program and the manual of the chosen language to the
# shared folder, and starts the program from there. Nothing outside the sandbox is written.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

build=$(cd "$(dirname "$mavlyn")" && pwd)
root=$WORK/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$WORK/install.log" 2>&1 ||
  e2e_fail "install failed: $(tail -5 "$WORK/install.log")"

# Read-only overlays: the sandbox's mounts are private, the real folders stay untouched.
mount -t overlay overlay -o "lowerdir=$root/usr/share:/usr/share" /usr/share
mount -t tmpfs tmpfs /usr/local
mkdir -p /usr/local/bin
cp "$root/usr/bin/mavlyn" /usr/local/bin/mavlyn
[ ! -e "$HOME/mavlyn" ] || e2e_fail "a home folder from before"

# press WINDOW-TITLE KEY...: keys to a dialog of the installation.
press() {
  local w
  w=$(e2e_wait_window "$1" 30)
  shift
  e2e_screenshot "install-$(date +%s%N)"
  e2e_keys "$w" "$@"
}

cd "$WORK"
PATH=$SB_FAKE_PATH /usr/local/bin/mavlyn NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
press "mavlyn   Installation" Return # English comes first and has the focus
press "mavlyn   Liability" Right Return # Yes
press "mavlyn   Installation/Update" Return # Standard: "~/mavlyn"

home=$HOME/mavlyn
linked() { [ -L "$home/CONFIG" ] && [ -L "$home/mavlyn_Manual.pdf" ]; }
e2e_until 30 "no links in $home" linked
for link in mavlyn:/usr/local/bin/mavlyn CONFIG:/usr/local/bin/mavlyn \
  mavlyn_Manual.pdf:/usr/share/mavlyn/mavlyn_Manual.pdf; do
  to=$(readlink "$home/${link%%:*}") || true
  [ "$to" = "${link#*:}" ] || e2e_fail "${link%%:*} -> $to"
done
[ ! -e "$home/mavlyn_Anleitung.pdf" ] || e2e_fail "the German manual for an English choice"
[ ! -e /usr/local/bin/mavlyn.ini ] || e2e_fail "written next to the system program"

# The second step runs from the home folder and writes its configuration there.
e2e_wait_for_text "$home/mavlyn.ini" "LAN=English" 60
e2e_screenshot installed

# installed_pids: the programs of this start, by their working folder and executable.
installed_pids() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/cwd" 2>/dev/null)" = "$home" ] &&
      [ "$(readlink "$p/exe" 2>/dev/null)" = /usr/local/bin/mavlyn ] && echo "${p#/proc/}"
  done
  return 0
}
# The second step still searches for a modem; SIGTERM ends it as at a logout.
deadline=$((SECONDS + 60))
while [ -n "$(installed_pids)" ]; do
  for p in $(installed_pids); do kill -TERM "$p" 2>/dev/null || true; done
  [ $SECONDS -lt $deadline ] || e2e_fail "the installed program did not end"
  sleep 1
done
e2e_wait_pid "$pid" 10 >/dev/null || true
