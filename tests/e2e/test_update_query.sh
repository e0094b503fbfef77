#!/usr/bin/env bash
# The update query from the control window's menu, whole program: the home page's host name
# is resolved through the sandbox's /etc/hosts to a small web server on loopback that serves
# the version file.
#  1. a newer published version: logged, and the browser opens the "available" page;
#  2. the program's own version: "uptodate", and the browser opens that page;
#  3. no version file: the browser opens the home page's index.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

home=www.mavlyn.org
echo "127.0.0.4 $home" >>/etc/hosts
mkdir -p "$WORK/site"
e2e_start_fake home python3 "$E2E_ROOT/tests/fake/web_peers.py" home 127.0.0.4 80 "$WORK/site" \
  "$WORK/home.log"

e2e_huawei
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example CONA=E
e2e_start_program "$WORK"
e2e_wait_for_text "$WORK/servilog.txt" "Permitted to connect." 90

# query N: picks the menu's update item and waits for the N-th browser start.
query() {
  e2e_menu_select 1
  e2e_wait_count "$SB_CALLS" "firefox " "$1" 30
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

e2e_alive "$pid" "the program ended"
e2e_stop_program "$pid"
