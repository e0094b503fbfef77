# The network of the router scenarios: the router, the operator's speed-manager server and
# its compression proxy live on addresses of the sandbox's loopback; the operator's host name
# is resolved through the sandbox's /etc/hosts. Sourced after lib.sh and e2e_workdir.

router_addr=127.0.0.2
speedmanager_addr=127.0.0.3
proxy_addr=10.192.0.41 # the program reaches the proxy by this address
ip addr add "$proxy_addr/32" dev lo
echo "$speedmanager_addr speedmanager.vodafone.de" >>/etc/hosts
fakes=$E2E_ROOT/tests/fake

# router_dir NAME COM-TEXT OPTIONS: a working folder with a configuration for the router.
router_dir() {
  local d=$WORK/$1
  mkdir -p "$d"
  printf '%s\n' '01 9AA000000000-0000000000000-0000000' 'LAN=English' "COM=$2" "MOD=$3" \
    >"$d/mavlyn.ini"
  echo "$d"
}

# router_start NAME: the fake router, its request lines in $WORK/NAME.log;
# sets router_pid.
router_start() {
  local name=$1
  shift
  e2e_start_fake "$name" python3 "$fakes/wwan_router.py" "$router_addr" 80 admin s3cret \
    "$WORK/$name.log" "$@"
  router_pid=$FAKE_PID
}

# peers_start NAME confirm|refuse answer|silent: the speed-manager page and the proxy,
# recording into the folder $WORK/NAME; sets peers and peers_pid.
peers_start() {
  peers=$WORK/$1
  mkdir -p "$peers"
  e2e_start_fake "$1" python3 "$fakes/compression_peers.py" "$speedmanager_addr" 80 \
    "$proxy_addr" 4201 "$peers" "$2" "$3"
  peers_pid=$FAKE_PID
}
