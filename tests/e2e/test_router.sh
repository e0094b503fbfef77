#!/usr/bin/env bash
# A WWAN router in place of the modem, and the compression switch-off while connected:
# COM=LINKSYS with address, user and password: the program reads the router's status page,
# connects through it, counts the session usage it shows, and disconnects at the end. With
# option G the compression thread asks the operator's speed-manager page, which does not
# confirm, then sends its client description to the proxy; the proxy stays silent, so the
# program reports that graphics stay compressed.
# The router, the operator's speed-manager server and its proxy live on addresses of the
# sandbox's loopback; the operator's host name is resolved through its /etc/hosts.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"

router_addr=127.0.0.2
speedmanager_addr=127.0.0.3
proxy_addr=10.192.0.41 # the program reaches the proxy by this address
ip addr add "$proxy_addr/32" dev lo
echo "$speedmanager_addr speedmanager.vodafone.de" >>/etc/hosts
web=(python3 "$E2E_ROOT/tests/fake/web_peers.py")

# A status reading of the service log showed a download figure of 1200 kB or more.
downloaded() {
  sed -n 's/.*Linksys: ba=[0-9]* sig=[0-9]* tim=[0-9]* vup=[0-9]* vdo=\([0-9]*\) .*/\1/p' \
    "$d/servilog.txt" | awk '$1 >= 1200 { found = 1 } END { exit !found }'
}

e2e_start_fake router "${web[@]}" router "$router_addr" 80 admin s3cret "$WORK/router.log"
router_pid=$FAKE_PID
peers=$WORK/peers
mkdir -p "$peers"
e2e_start_fake peers "${web[@]}" compression "$speedmanager_addr" 80 "$proxy_addr" 4201 \
  "$peers" refuse silent
peers_pid=$FAKE_PID

# Repeated separators between the values count as one.
d=$WORK/session
e2e_ini "$d" "COM=LINKSYS $router_addr;; admin  ;s3cret" MOD=PG "DAY=1;1"
e2e_start_program "$d"
e2e_wait_for_text "$d/servilog.txt" "Linksys ip: $router_addr/" 30
e2e_has "$d/servilog.txt" "Linksys user: admin"
e2e_lacks "$d/servilog.txt" s3cret
e2e_wait_for_text "$WORK/router.log" "GET /Status_Wwan.asp" 30
e2e_wait_for_text "$WORK/router.log" "submit_type=Connect_wwan" 60
e2e_wait_for_text "$d/servilog.txt" "Linksys: ba=2 sig=15" 60

# The compression thread: the speed-manager request, then the client description.
e2e_wait_for_text "$peers/web-requests" "GET speedmanager.vodafone.de/m?s=n" 60
e2e_wait_for_text "$peers/proxy-packets" "626d6963" 60
description=$(head -1 "$peers/proxy-packets")
[ ${#description} -eq 514 ] || e2e_fail "client description of ${#description} hex digits, not 257 bytes"
case "$description" in
  626d696302010101*) ;;
  *) e2e_fail "client description header ${description:0:16}" ;;
esac
xp=$(printf 'Windows XP' | od -An -tx1 | tr -d ' \n')
[[ "$description" == *"$xp"* ]] || e2e_fail "no operating system record in the description"

# The session usage grows from page to page and is counted.
e2e_until 60 "session usage not read" downloaded

# Two silent reads of the proxy: the program says graphics stay compressed.
e2e_wait_for_text "$d/connlog.txt" "Could not deactivate graphics compressor." 150
# After the description only keep-alives (type 3, eight bytes) follow.
[ "$(grep -c '^626d69630201' "$peers/proxy-packets")" -eq 1 ] || e2e_fail "more than one description"
grep -qx "626d696302030008" "$peers/proxy-packets" || e2e_fail "no keep-alive between the reads"

e2e_stop_program "$pid"
e2e_has "$WORK/router.log" "submit_type=Disconnect_wwan"
e2e_lacks "$WORK/router.log" Authorization
# The month's data volume (kB, columns 7-15 of the header line) holds the session's traffic,
# and the end of the connection is logged with it.
volume=$(head -1 "$d/mavlyn.ini" | cut -c7-15)
[ "$((10#$volume))" -ge 1000 ] || e2e_fail "no data volume counted: $(head -1 "$d/mavlyn.ini")"
grep -q "Subtotal: [1-9][0-9]* kB" "$d/connlog.txt" || e2e_fail "no volume line at the end"
e2e_stop_fake "$peers_pid"
e2e_stop_fake "$router_pid"

# Without a modem port the program looks for the router at its default address. Another web
# server there is no router: nothing is sent to it but the status question.
ip addr add 192.168.1.1/32 dev lo
e2e_start_fake other "${web[@]}" router 192.168.1.1 80 admin qorvu "$WORK/other.log" \
  --not-found
d=$WORK/probe
e2e_ini "$d" COM=
e2e_start_program "$d"
e2e_wait_for_text "$d/servilog.txt" "Linksys: Not the router's status page." 30
e2e_wait_clean_exit "$pid" 90
e2e_lacks "$d/servilog.txt" "Linksys router will be used."
grep -v "GET /Status_Wwan.asp" "$WORK/other.log" && e2e_fail "requests to the other server"
e2e_stop_fake "$FAKE_PID"
e2e_start_fake probed "${web[@]}" router 192.168.1.1 80 admin qorvu "$WORK/probed.log"
e2e_start_program "$d"
e2e_wait_for_text "$d/servilog.txt" "Linksys router will be used." 30
e2e_wait_for_text "$WORK/probed.log" "submit_type=Connect_wwan" 60
e2e_stop_program "$pid"
