#!/usr/bin/env bash
# The foreign-network question, whole program on the simulated modem, connected through the
# fake pppd, with NET=;26201; as the list of wanted networks. Each run connects in 26201,
# then the modem moves to 26202 (its network settings through the control channel) and the
# question comes up; once per run it is
#  1. answered OK: accepted in both logs, the connection stays, no second question;
#  2. cancelled: the connection is ended as unwanted and not made again;
#  3. left unanswered: after its 30 s the box closes by itself, with the effect of 2.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
mavlyn=$1
e2e_in_sandbox || e2e_fail "not inside tests/e2e/sandbox.sh"
e2e_workdir
e2e_need_chat

online() { ip link show ppp0 >/dev/null 2>&1; }

e2e_start_modem huawei --set "operator=26201|Telekom.de|Telekom|2" \
  --link /dev/ttyUSB0 --link /dev/ttyUSB1 --link /dev/ttyUSB2

# run NAME: one program run in $WORK/NAME up to the open question, whose window is $box.
run() {
  D=$WORK/$1
  mkdir -p "$D"
  cat >"$D/mavlyn.ini" <<INI
01 9AA000000000-0000000000000-0000000
LAN=English
COM=/dev/ttyUSB2
CON=/dev/ttyUSB0
APN=web.example
NET=;26201;
MOD=P
INI
  e2e_modem "set operator=26201|Telekom.de|Telekom|2"
  PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" "$mavlyn" "DIR=$D" NOSPLASH \
    >"$D/stdout" 2>"$D/stderr" &
  pid=$!
  e2e_wait_count "$D/connlog.txt" " Connection established." 1 90
  [ -z "$(e2e_dialogs)" ] || e2e_fail "a question in the wanted network"
  e2e_modem "set operator=26202|Vodafone.de|Vodafone|2"
  e2e_wait_count "$D/connlog.txt" " Unwanted network: Vodafone.de" 1 60
  box=$(e2e_wait_dialog "Network warning" 20)
}
finish() { e2e_end_by_file "$pid" "$D"; }

# ---- 1. OK (Tab from Cancel to OK) ----
run ok
e2e_screenshot network-question
e2e_answer "$box" Tab Return
e2e_wait_count "$D/connlog.txt" " Other network accepted by user." 1 20
grep -q "^... Other network accepted by user." "$D/servilog.txt" || e2e_fail "not in servilog"
e2e_passes 4
online || e2e_fail "the accepted connection was ended"
[ -z "$(e2e_dialogs)" ] || e2e_fail "asked a second time"
grep -q "Unwanted Network." "$D/servilog.txt" && e2e_fail "refused although accepted"
finish

# ---- 2. Cancel ----
run cancel
e2e_answer "$box" Return # Cancel, the first button, has the focus
e2e_wait_count "$D/connlog.txt" " Unwanted Network." 1 30
grep -q "Other network accepted" "$D/connlog.txt" && e2e_fail "accepted although cancelled"
deadline=$((SECONDS + 20))
while online; do
  [ $SECONDS -lt $deadline ] || e2e_fail "the unwanted connection stayed"
  sleep 0.2
done
e2e_passes 4
online && e2e_fail "connected again in the unwanted network"
[ "$(e2e_count "$D/connlog.txt" " Connection established.")" -eq 1 ] || e2e_fail "reconnected"
finish

# ---- 3. No answer ----
run timeout
asked=$SECONDS
e2e_wait_count "$D/connlog.txt" " Unwanted Network." 1 60
waited=$((SECONDS - asked))
[ "$waited" -ge 27 ] || e2e_fail "closed after $waited s, not after its 30 s"
[ -z "$(e2e_dialogs)" ] || e2e_fail "the question is still open after its time-out"
e2e_passes 3
online && e2e_fail "the connection stayed without an answer"
finish

grep -q shutdown <(e2e_fake_calls) && e2e_fail "shutdown: $(e2e_fake_calls)"
echo "PASS warnings"
