#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that the tree holds what a system
# installation needs: the program, the share files, both manuals, the desktop entries, the
# icons and the man page. Nothing is written outside the temporary folder.
set -euo pipefail
build=${1:?usage: install_tree_test.sh BUILD_DIR}
tmp=$(mktemp -d)
trap 'rm -r -- "$tmp"' EXIT
root=$tmp/root
share=$root/usr/share

DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; exit 1; }
fail=0
check() { # description, test arguments...
  local what=$1
  shift
  "$@" || { echo "FAIL: $what" >&2; fail=1; }
}
# Every installed path must lie inside DESTDIR.
check "installed outside DESTDIR" \
  test -z "$(grep -E '^-- (Installing|Up-to-date): ' "$tmp/install.log" | grep -v -- "$root/")"
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
check "desktop entry" test -f "$share/applications/mavlyn.desktop"
check "config entry starts the CONFIG role" grep -qx 'Exec=mavlyn CONFIG' \
  "$share/applications/mavlyn-config.desktop"
# Icons: the PNG signature, then the IHDR chunk with width and height.
for n in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${n}x${n}/apps/mavlyn.png
  check "icon ${n}x${n}" test "$(od -An -tx1 -N24 "$png" 2>/dev/null | tr -d ' \n')" = \
    "89504e470d0a1a0a0000000d49484452$(printf '%08x%08x' "$n" "$n")"
done
man=$(gzip -dc "$share/man/man1/mavlyn.1.gz" 2>/dev/null) || check "man page" false
for word in DIR= NOSPLASH MUTE STARTTOGGLE INSTANCE CONFIG CONTROL PROFILE mavlyn_DEBIAN_REMOVE \
  /usr/share/mavlyn/mavlyn.ini; do
  check "man page mentions $word" grep -q -- "$word" <<<"$man"
done
[ $fail -eq 0 ] && echo "install tree: all checks passed"
exit $fail
