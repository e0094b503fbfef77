#!/usr/bin/env bash
# A volume counter reset made in CONFIG while the main instance runs: the main instance takes
# it over, and neither its next header write nor its end puts the old counter back.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_simulation_ini "$WORK"
# 123456 kB and 789 minutes counted this month, both counters reset on the 1st.
sed -i "1s/.*/01 1AA000123456-00000000$(date +%d%m)1-0000789/; \$a DAY=01;01" "$WORK/mavlyn.ini"
volume() { cut -c7-15 <(head -1 "$WORK/mavlyn.ini"); }

e2e_start_program "$WORK"
e2e_wait_permitted "$WORK"

"$mavlyn" CONFIG "DIR=$WORK" NOSPLASH >"$WORK/config.out" 2>&1 & # the role word comes first
config=$!
E2E_PIDS+=("$config")
w=$(e2e_wait_window "mavlyn   Configuration" 30)
# The page "Log" is the seventh; its first button resets the volume.
e2e_keys "$w" $(printf 'ctrl+Page_Down %.0s' 1 2 3 4 5 6) Tab Tab space
eval "$(xdotool getwindowgeometry --shell "$w")"
xdotool mousemove --window "$w" $((WIDTH - 40)) $((HEIGHT - 25)) click 1
# When the file is written, a box says that the running program uses it at its next start.
config_ended() {
  ! e2e__first e2e_dialogs || e2e_answer "$E2E__ID" Return
  e2e_ended "$config"
}
e2e_until 30 "CONFIG did not end" config_ended

e2e_wait_for_text "$WORK/servilog.txt" "Counters reset by the configuration program: volume" 30
[ "$(volume)" = 000000000 ] || e2e_fail "volume after the reset: $(volume)"
written="Header in INI-file has been rewritten."
writes=$(e2e_count "$WORK/servilog.txt" "$written")
e2e_stop_program "$pid"
[ "$(e2e_count "$WORK/servilog.txt" "$written")" -gt "$writes" ] || e2e_fail "no header write at the end"
[ "$(volume)" = 000000000 ] || e2e_fail "the end wrote the old volume back: $(volume)"
head -1 "$WORK/mavlyn.ini" | grep -q -- '-0000789' || e2e_fail "time counter changed: $(head -1 "$WORK/mavlyn.ini")"
