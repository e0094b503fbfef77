#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that the tree holds what a
# system installation needs: the program, the share files, both manuals, the desktop
# entries, the icons and the man page. Nothing is written outside the temporary folder.
set -euo pipefail
build=${1:?usage: install_tree_test.sh BUILD_DIR}
tmp=$(mktemp -d)
trap 'rm -r -- "$tmp"' EXIT
root=$tmp/root

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  exit 1
fi
# Every installed path must lie inside DESTDIR.
if grep -E '^-- (Installing|Up-to-date): ' "$tmp/install.log" | grep -v -- "$root/" >&2; then
  echo "FAIL: installed outside DESTDIR" >&2
  exit 1
fi

fail=0
check() { # description, test arguments...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what" >&2
    fail=1
  fi
}
share=$root/usr/share

check "executable bin/mavlyn" test -x "$root/usr/bin/mavlyn"
check "shared mavlyn.ini starts with '*'" test "$(head -c1 "$share/mavlyn/mavlyn.ini")" = "*"
check "mavlynS.ini header" \
  test "$(head -c 35 "$share/mavlyn/mavlynS.ini")" = "mavlyn Standard Settings   AAA00007"
check "mavlynS.ini has providers" \
  test "$(grep -ac '^{{Settings|' "$share/mavlyn/mavlynS.ini")" -gt 500
for pdf in mavlyn_Manual.pdf mavlyn_Anleitung.pdf; do
  check "$pdf is a PDF" test "$(head -c5 "$share/mavlyn/$pdf")" = "%PDF-"
  pages=$(grep -ao '/Count [0-9]*' "$share/mavlyn/$pdf" | awk '{print $2}' | sort -n | tail -1)
  check "$pdf has several pages" test "${pages:-0}" -ge 4
done
for d in mavlyn.desktop mavlyn-config.desktop; do
  check "$d installed" test -f "$share/applications/$d"
done
check "config entry starts the CONFIG role" grep -qx 'Exec=mavlyn CONFIG' \
  "$share/applications/mavlyn-config.desktop"
for n in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${n}x${n}/apps/mavlyn.png
  check "icon ${n}x${n}" test -f "$png"
  if [ -f "$png" ]; then
    # PNG signature, then the IHDR width and height.
    sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    check "icon ${n}x${n} is a PNG" test "$sig" = 89504e470d0a1a0a
    w=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    h=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    check "icon ${n}x${n} size" test "$w x $h" = "$n x $n"
  fi
done
man=$share/man/man1/mavlyn.1.gz
check "man page" test -f "$man"
if [ -f "$man" ]; then
  for word in DIR= NOSPLASH MUTE STARTTOGGLE INSTANCE CONFIG CONTROL PROFILE mavlyn_DEBIAN_REMOVE \
    /usr/share/mavlyn/mavlyn.ini; do
    check "man page mentions $word" sh -c "gzip -dc '$man' | grep -q -- '$word'"
  done
fi
[ $fail -eq 0 ] && echo "install tree: all checks passed"
exit $fail
