# Helpers for the whole-program scenarios: a private working directory, a private X server,
# and waits with deadlines (never fixed sleeps).

E2E_PIDS=()

e2e_fail() {
  echo "FAIL: $*" >&2
  [ -n "${WORK:-}" ] && for f in "$WORK"/*.txt "$WORK"/stderr; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -n 40 "$f" >&2; }
  done
  exit 1
}

e2e_cleanup() {
  for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${WORK:-}" ] && rm -r -- "$WORK" 2>/dev/null || true
}

e2e_workdir() {
  WORK=$(mktemp -d /tmp/mavlyn-e2e-XXXXXX)
  trap e2e_cleanup EXIT
}

# Starts Xvfb on a display number it picks itself and exports DISPLAY.
e2e_start_xvfb() {
  local fdfile="$WORK/.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>"$WORK/xvfb.log" &
  E2E_PIDS+=($!)
  local i
  for i in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || e2e_fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$fdfile")"
}

# e2e_wait_for_text FILE TEXT SECONDS
e2e_wait_for_text() {
  local deadline=$((SECONDS + $3))
  while [ $SECONDS -lt $deadline ]; do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  e2e_fail "no '$2' in $1 within $3 s"
}

# e2e_wait_pid PID SECONDS: returns the exit status of a child, fails after the deadline.
e2e_wait_pid() {
  local deadline=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      kill -KILL "$1" 2>/dev/null || true
      e2e_fail "process $1 still running after $2 s"
    fi
    sleep 0.1
  done
  wait "$1"
}
