#!/usr/bin/env bash
# The router link and the compression switch-off, the less common ways:
#  1. The operator's speed-manager page confirms: the compression proxy is never contacted.
#  2. Router status pages that are cut, huge or garbage do not stop the program.
# Peers as in test_router.sh (router_lib.sh).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir

source "$(dirname "$0")/router_lib.sh"

router_start router

# ---- 1. The speed-manager page confirms: the proxy stays untouched ----
peers_start peers2 confirm answer
d=$(router_dir confirmed "LINKSYS $router_addr admin s3cret" PG)
"$mavlyn" "DIR=$d" NOSPLASH >"$d/stdout" 2>"$d/stderr" &
pid=$!
e2e_wait_for_text "$peers/web-requests" "GET speedmanager.vodafone.de/m?s=n" 90
# The page is read ten seconds after the request, and the proxy step would follow at once;
# three more status readings (a pass each, about ten seconds apart) leave it time enough.
until_readings=$(($(status_readings "$WORK/router.log") + 3))
deadline=$((SECONDS + 90))
until [ "$(status_readings "$WORK/router.log")" -ge $until_readings ]; do
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended"
  [ $SECONDS -lt $deadline ] || e2e_fail "no status readings after the speed-manager request"
  sleep 0.5
done
[ -e "$peers/proxy-packets" ] && e2e_fail "the proxy was contacted after a confirmation"
grep -q "KD 1." "$d/servilog.txt" && e2e_fail "the proxy step ran after a confirmation"
e2e_stop_program "$pid"
e2e_stop_fake "$peers_pid"
e2e_stop_fake "$router_pid"

# ---- 2. Broken status pages: cut, huge and garbage in turn ----
router_start router-broken --page mixed
d=$(router_dir broken "LINKSYS $router_addr admin s3cret" P)
"$mavlyn" "DIR=$d" NOSPLASH >"$d/stdout" 2>"$d/stderr" &
pid=$!
deadline=$((SECONDS + 90))
until [ "$(status_readings "$WORK/router-broken.log")" -ge 6 ]; do
  kill -0 "$pid" 2>/dev/null || e2e_fail "the program ended on broken pages"
  [ $SECONDS -lt $deadline ] || e2e_fail "status readings stopped on broken pages"
  sleep 0.5
done
e2e_stop_program "$pid"
e2e_stop_fake "$router_pid"
echo "PASS router_pages"
