#!/usr/bin/env bash
# The update query from the control window's menu, whole program: the home page's host name
# is resolved through the sandbox's /etc/hosts to a small web server on loopback that serves
# the version file.
#  1. a newer published version: logged, and the browser opens the "available" page;
#  2. the program's own version: "uptodate", and the browser opens that page;
#  3. no version file: the browser opens the home page's index.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

home=www.mavlyn.org
echo "127.0.0.4 $home" >>/etc/hosts
mkdir -p "$WORK/site"
e2e_start_fake home python3 "$E2E_ROOT/tests/fake/home_page.py" 127.0.0.4 80 "$WORK/site" \
  "$WORK/home.log"

e2e_start_modem huawei --set sim=ready --set signal=20 \
  --set operator='26202|Vodafone.de|Vodafone|2' \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2
cat >"$WORK/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB0
APN=web.example
CONA=E
MOD=P
INI

PATH=$SB_FAKE_PATH "$mavlyn" "DIR=$WORK" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
pid=$!
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90

# query N: picks the menu's update item and waits for the N-th browser start.
query() {
  e2e_menu_select 1
  local deadline=$((SECONDS + 30))
  until [ "$(e2e_fake_calls | grep -c '^firefox ')" -ge "$1" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "no browser start for query $1"
    sleep 0.1
  done
}

# ---- 1. A newer version is published ----
printf 'mavlyn  401\n' >"$WORK/site/mavlyn_version.txt"
query 1
e2e_wait_for_text "$WORK/servilog.txt" "Update to version 401 is available." 10
grep -qx "GET /mavlyn_version.txt HTTP/1.[01]" "$WORK/home.log" ||
  e2e_fail "version file not asked for: $(cat "$WORK/home.log")"
e2e_fake_calls | grep -qx "firefox http://$home/update_available.html" ||
  e2e_fail "the available page was not opened"
e2e_screenshot update_available

# ---- 2. Our own version ----
printf 'mavlyn  400\n' >"$WORK/site/mavlyn_version.txt"
query 2
e2e_wait_for_text "$WORK/servilog.txt" "Update query: program version is uptodate." 10
e2e_fake_calls | grep -qx "firefox http://$home/update_uptodate.html" ||
  e2e_fail "the up-to-date page was not opened"

# ---- 3. No version file ----
rm "$WORK/site/mavlyn_version.txt"
query 3
e2e_wait_for_text "$WORK/servilog.txt" "Version page not available." 10
e2e_fake_calls | grep -qx "firefox http://$home/index.html" || e2e_fail "the index was not opened"

kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended"
e2e_stop_program "$pid"
echo "PASS update_query"
