# A day in a user's life (tests/e2e/README.md): the whole program from its download to its end
# with one maker's modem, and a shorter day with each other maker's (day_in_the_life and
# day_maker MAVLYN PROFILE COM CON [MODEMSIM ARGS...]).
# Checked through the program's files, its shared record and its windows.

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
DAY_PIN=4711
DAY_PEER=+491701234567
DAY_FAKETIME=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1

# day_window TITLE: the visible window of that title, mapped again when the window manager
# was still starting as it came.
day_window() {
  DAY_REMAP=$((SECONDS + 10))
  e2e_until 60 "no window '$1' within 60 s" day__mapped "$1"
  echo "$E2E__ID"
}
day__mapped() {
  e2e__first xdotool search --onlyvisible --name "$1" && return 0
  [ $SECONDS -ge $DAY_REMAP ] || return 1
  for w in $(xdotool search --name "$1" 2>/dev/null); do xdotool windowmap "$w" || true; done
  DAY_REMAP=$((SECONDS + 10))
  return 1
}

# day_press TITLE KEY...: keys to a window of that title, again while it stays.
day_press() {
  local title=$1 w tries=0
  shift
  w=$(day_window "$title")
  while xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -qx "$w"; do
    [ $tries -lt 5 ] || e2e_fail "window '$title' does not take the keys $*"
    e2e_answer "$w" "$@"
    tries=$((tries + 1))
    sleep 1
  done
}

# day_ini_set KEY VALUE / day_ini_value KEY: a numbered line "NN KEY=..." of mavlyn.ini.
day_ini_set() {
  grep -q "^[0-9]* $1=" "$DAY_INI" || e2e_fail "no line $1= in mavlyn.ini"
  sed -i "s|^\([0-9]* $1=\).*|\1$2|" "$DAY_INI"
}
day_ini_value() { sed -n "s/^[0-9]* $1=\([^\t]*\).*/\1/p" "$DAY_INI"; }

# day_start [NAME [ARGS]]: the installed program (or its copy NAME) started from its folder,
# by default a minute and twenty seconds before the end of January; sets pid.
day_start() {
  (cd "$DAY_HOME" && PATH="$E2E_ROOT/tests/fake:$SB_FAKE_PATH:/usr/sbin" \
    LD_PRELOAD=${DAY_CLOCK+$DAY_FAKETIME} FAKETIME=${DAY_CLOCK-} \
    exec "./${1:-mavlyn}" "${@:2}" NOSPLASH >>"$WORK/stdout" 2>>"$WORK/stderr") &
  pid=$!
  E2E_PIDS+=("$pid")
}
DAY_CLOCK="@2027-01-31 23:58:40"

# day_install: the downloaded program started from its folder installs itself into
# ~/mavlyn in English; the configuration dialog it offers at the end is declined.
day_install() {
  local download=$WORK/download
  mkdir -p "$download"
  cp "$mavlyn" "$download/mavlyn"
  cp "$(dirname "$mavlyn")/share/mavlyn_Manual.pdf" "$download/"
  (cd "$download" && PATH=$SB_FAKE_PATH exec ./mavlyn NOSPLASH >"$WORK/install.out" 2>&1) &
  E2E_PIDS+=("$!")
  day_press "mavlyn   Installation" Return # English comes first
  day_press "mavlyn   Liability" alt+y # "No" has the focus
  day_press "mavlyn   Installation/Update" Return # the standard folder ~/mavlyn
  day_press "mavlyn   Installation end" Return    # Cancel: the ports go in by hand
  DAY_HOME=$HOME/mavlyn
  DAY_INI=$DAY_HOME/mavlyn.ini
  [ -x "$DAY_HOME/mavlyn" ] || e2e_fail "not installed: $(ls -la "$DAY_HOME" 2>&1)"
  [ "$(day_ini_value LAN)" = English ] || e2e_fail "language: $(day_ini_value LAN)"
}

# day_first_start: the PIN typed and saved, the APN found; the program then ends by itself
# so that the user can look at the APN.
day_first_start() {
  day_start
  local w
  w=$(day_window "mavlyn   PIN")
  e2e_type "$w" "$DAY_PIN"
  e2e_answer "$w" Tab Tab space # "Save"
  day_press "mavlyn   APN determination" Return
  e2e_wait_clean_exit "$pid" 60
  e2e_has "$WORK/transcript" "AT+CPIN=$DAY_PIN"
  [ -n "$(day_ini_value PIN)" ] || e2e_fail "PIN not saved"
  [ "$(day_ini_value PIN)" != "$DAY_PIN" ] || e2e_fail "PIN saved in plain text"
  [ -n "$(day_ini_value APN)" ] || e2e_fail "no APN found"
  e2e_has "$DAY_HOME/servilog.txt" "Attempts left: PIN 3, PUK 10."
}

# day_midnight: connected with traffic, the day and the month change at midnight.
day_midnight() {
  day_start
  local conn=$DAY_HOME/connlog.txt
  e2e_wait_count "$conn" " Connection established." 1 120
  ping -q -i 0.2 -s 1000 10.0.0.1 >/dev/null 2>&1 &
  E2E_PIDS+=("$!")
  [ "$(e2e_shm_field 154 s)" = "Vodafone.de" ] || e2e_fail "operator in the shared record"
  # Counted at midnight: the subtotal and the month total of January, dated with the last
  # pass of its last day (the start itself closed December, the month of the installation).
  e2e_until 150 "no month total for January in $conn" \
    grep -qa '^2027-01-31 23:5[0-9]:[0-9][0-9] Month total: [1-9][0-9]* kB' "$conn"
  grep -qa "^2027-01-31 23:5[0-9]:[0-9][0-9] Subtotal: [1-9][0-9]* kB" "$conn" ||
    e2e_fail "no subtotal for the old day: $(grep -a "Subtotal" "$conn")"
}

# day_sms: a message comes in and is answered through the queue folder.
day_sms() {
  e2e_modem "sms 1 $(e2e_sms_pdu gsm7 "$DAY_PEER" "Kommst du heute?")"
  e2e_wait_for_text "$DAY_HOME/sms.txt" "Kommst du heute?" 120
  ls "$DAY_HOME"/sms_in/sms_*__"${DAY_PEER#+}".txt >/dev/null 2>&1 || e2e_fail "not in sms_in"
  day_press "mavlyn   SMS Reception" Return # Cancel: the SMS manager is not started
  mkdir -p "$DAY_HOME/sms_send"
  local answer=sms_20270201_000500__${DAY_PEER#+}.txt
  printf 'Ja, gleich.' >"$DAY_HOME/sms_send/$answer"
  e2e_wait_count "$DAY_HOME/sms.txt" "Sent SMS: Ja, gleich." 1 120
  [ -e "$DAY_HOME/sms_out/$answer" ] || e2e_fail "answer not in sms_out"
  e2e_has "$WORK/transcript" "AT+CMGS="
}

# day_modem_faults: garbage answers, then the modem pulled and plugged again.
day_modem_faults() {
  local log=$DAY_HOME/servilog.txt before
  e2e_modem 'send 0 \x00\xff\x7e\x01+CSQ: \xfe\r\n'
  e2e_modem "send 2 $(head -c 2000 /dev/zero | tr '\0' 'Z')"
  e2e_modem 'send 2 +COPS: 0,0,"\x01\x02\x03",2\r\nOK\r\n'
  e2e_passes 3
  e2e_alive "$pid" "the program ended after garbage"
  before=$(e2e_count "$log" "Permitted to connect.")
  e2e_modem quit
  e2e_wait_pid "$MODEM_PID" 10 || true
  e2e_wait_for_text "$DAY_HOME/connlog.txt" "Communications error at port" 120
  e2e_alive "$pid" "the program ended when the modem went away"
  mv "$WORK/transcript" "$WORK/transcript-1"
  e2e_start_modem "$DAY_PROFILE" "${DAY_MODEM_ARGS[@]}"
  e2e_wait_count "$log" "Permitted to connect." $((before + 1)) 150
}

# day_end: the shared record's command ends the program; the counters are kept and the
# configuration is as the user left it.
day_end() {
  e2e_shm_command mavlyn_END
  e2e_wait_clean_exit "$pid" 60
  # Beside the counters only the hint line changes: the APN to review has been used.
  local skip='1d;/^04\( .*\)\?$/d'
  diff <(sed "$skip" "$WORK/ini-configured") <(sed "$skip" "$DAY_INI") >"$WORK/ini.diff" ||
    e2e_fail "configuration changed: $(cat "$WORK/ini.diff")"
  e2e_has "$DAY_HOME/servilog.txt" "mavlyn terminated."
  e2e_lacks "$SB_CALLS" shutdown
}

# day__begin MAVLYN PROFILE [MODEMSIM ARGS...]: the simulated modem, its SIM asking for the PIN.
day__begin() {
  e2e_begin "$1"
  e2e_need_chat
  DAY_PROFILE=$2
  DAY_MODEM_ARGS=(--set sim=pin --set pin=$DAY_PIN "${@:3}")
  e2e_start_modem "$DAY_PROFILE" "${DAY_MODEM_ARGS[@]}"
}

# day__kept: the day's volume is in the counter line, and no secret in any other file.
day__kept() {
  head -1 "$DAY_INI" | grep -q '^01 [0-9A-F]\{3\}0*[1-9]' || e2e_fail "no volume counted"
  e2e_no_secrets "$DAY_HOME" "$DAY_PIN" 353456789012345 262021234567890
}

day_in_the_life() {
  [ -e "$DAY_FAKETIME" ] || e2e_fail "no libfaketime (package faketime)"
  day__begin "$1" "$2" "${@:5}"
  day_install
  day_ini_set COM "$3"
  day_ini_set CON "$4"
  day_ini_set MOD PM
  day_ini_set DAY "1;1"
  day_first_start
  cp "$DAY_INI" "$WORK/ini-configured"
  day_midnight
  day_sms
  day_modem_faults
  day_end
  day__kept
}

# The program named UMTS sets the operating mode in the maker's dialect, unlocks the stored
# PIN, permits connecting without any alarm, shows the cell ($DAY_CELL), connects, counts the
# traffic, answers an SMS (unless DAY_SMS=no) and ends by command file. With COM "?" or no
# APN a first start finds them and ends, as it would for the user.
day_maker() {
  local com=$3 con=$4 conn log
  day__begin "$1" "$2" "${@:5}"
  DAY_HOME=$WORK/home DAY_INI=$WORK/home/mavlyn.ini
  conn=$DAY_HOME/connlog.txt log=$DAY_HOME/servilog.txt
  e2e_ini "$DAY_HOME" "COM=$com" "CON=$con" "PIN=$DAY_PIN" "APN=${DAY_APN-web.vodafone.de}" \
    'DAY=1;1' MOD=PIM
  cp "$mavlyn" "$DAY_HOME/UMTS"
  unset DAY_CLOCK
  if [ "$com" = "?" ] || [ -z "${DAY_APN-x}" ]; then
    day_start UMTS "DIR=$DAY_HOME"
    [ -z "${DAY_APN-x}" ] && day_press "mavlyn   APN determination" Return
    e2e_wait_clean_exit "$pid" 90
    [ "$com" != "?" ] || day_ini_value COM | grep -q '^/dev/ttyUSB' || e2e_fail "no port"
    [ -n "$(day_ini_value APN)" ] || e2e_fail "no APN found"
    cp "$log" "$WORK/first-servilog.txt" # the next start begins a fresh log
  fi
  day_start UMTS "DIR=$DAY_HOME"
  e2e_wait_count "$log" "Permitted to connect." 1 120
  # Either start may have unlocked the SIM; without a first start its log is missing.
  grep -qs "Attempts left: PIN 3, PUK 10." "$WORK/first-servilog.txt" "$log" ||
    e2e_fail "attempts left not logged"
  e2e_wait_count "$conn" " Connection established." 1 120
  e2e_wait_for_text "$conn" " $DAY_CELL" 60
  ping -q -i 0.2 -s 1000 10.0.0.1 >/dev/null 2>&1 &
  E2E_PIDS+=("$!")
  [ "${DAY_SMS-yes}" = no ] || day_sms
  grep -Ei "fail|error|not available|invalid" "$conn" && e2e_fail "a false alarm"
  e2e_end_by_file "$pid" "$DAY_HOME"
  day__kept
}

DAY_CELL="LAC=1A2B CID=00C3D4E5"
