#!/usr/bin/env bash
# 1. A copy of the program named CONN reads a hand-written mavlyn.ini that asks for
#    INIWRITEEXIT: it rewrites the file in its current form and ends by itself. Nothing the user
#    set is lost, the plain PIN is stored scrambled, older syntaxes come back in their current
#    form.
# 2. Killed with SIGKILL at random moments while it rewrites the file and its counter line
#    (INIWRITE at each start), it never leaves a short, empty or mixed mavlyn.ini.
# 3. On a full disk the rewrite fails: the old file stays as it was and the log says so.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
cp "$mavlyn" "$WORK/CONN"
cat >"$WORK/mavlyn.ini" <<'INI'
01 9AA000001234-0000000000000-0000042
LAN=English
COM=NONE
PIN=1234
APN=web.example
DAY=1;1
MAXV=5G;500M;300
MAXT=2d;10h;90
ENDC=22:00;06:30E
BATT=10;30
IPC=0660
CON=|/dev/ttyUSB0
REM=kept comment
INIWRITEEXIT
INI

"$WORK/CONN" NOSPLASH >"$WORK/stdout" 2>"$WORK/stderr" &
e2e_wait_clean_exit $! 120

ini=$WORK/mavlyn.ini
first=$(head -1 "$ini")
[ ${#first} -eq 53 ] && [ "${first:6:9}" = "000001234" ] && [ "${first:37}" = "0000000000000000" ] ||
  e2e_fail "line 01: $first"
while IFS= read -r expected; do
  grep -qxF -- "$expected" "$ini" || e2e_fail "no line '$expected'"
done <<LINES
07 LAN=English$(printf '\t')
08 COM=NONE
13 APN=web.example
17 CON=/dev/ttyUSB0
19 DAY=01;01
21 MAXV=5G;500M;300k
22 MAXT=2d;10h;90min
30 ENDC=22:00;06:30E
39 IPC=0660
41 BATT=30;10
43 REM=kept comment
LINES
grep -q '^11 PIN=CRYPT1' "$ini" && ! grep -q '^11 PIN=.*1234$' "$ini" || e2e_fail "PIN not scrambled"
grep -q '^INIWRITEEXIT' "$ini" && e2e_fail "the request word was written back"
e2e_has "$ini" "Deutsche Beschreibung siehe unten"

# ---- 2. Killed while writing ----
sed 1d "$ini" >"$WORK/lines-expected"
for i in $(seq 15); do
  "$WORK/CONN" NOSPLASH INIWRITE >>"$WORK/stdout" 2>>"$WORK/stderr" &
  pid=$!
  sleep "$((i % 2)).$((RANDOM % 10))$((RANDOM % 10))" # a random moment of the rewrite
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  first=$(head -1 "$ini")
  [ ${#first} -eq 53 ] && [ "${first:6:9}" = "000001234" ] || e2e_fail "run $i: line 01 '$first'"
  sed 1d "$ini" | cmp -s - "$WORK/lines-expected" || e2e_fail "run $i: the file was cut or mixed"
done
"$WORK/CONN" NOSPLASH INIWRITEEXIT >>"$WORK/stdout" 2>>"$WORK/stderr" &
e2e_wait_clean_exit $! 120
ls -a "$WORK" | grep -q '\.tmp$' && e2e_fail "temporary files left: $(ls -a "$WORK")"

# ---- 3. A full disk ----
full=$WORK/full
mkdir "$full"
mount -t tmpfs -o size=64k tmpfs "$full"
e2e_ini "$full" COM=NONE REM=old
cp "$full/mavlyn.ini" "$WORK/ini-before"
head -c 40000 /dev/zero >"$full/filler" || true
"$WORK/CONN" "DIR=$full" NOSPLASH INIWRITEEXIT 'MOD=P' >>"$WORK/stdout" 2>>"$WORK/stderr" &
e2e_wait_clean_exit $! 120
cmp -s "$full/mavlyn.ini" "$WORK/ini-before" || e2e_fail "the old file was not kept: $(head -3 "$full/mavlyn.ini")"
e2e_has "$full/servilog.txt" "mavlyn.ini could not be written; the previous file is kept."
ls -a "$full" | grep -q '\.tmp$' && e2e_fail "a temporary file left on the full disk"
umount "$full"
