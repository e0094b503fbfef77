#!/usr/bin/env bash
# A run with the service log on and a small bound for every log: the service log turns over
# into servilog.1.txt while the program runs, and no line is lost at the turnover.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_huawei
e2e_ini "$WORK" COM=/dev/ttyUSB0 APN=web.example
bound=12000
MAVLYN_LOGLIMIT=$bound e2e_start_program "$WORK"
e2e_wait_for_text "$WORK/servilog.1.txt" "" 180
e2e_passes 2
e2e_stop_program "$pid"

for f in servilog.1.txt servilog.txt; do
  size=$(stat -c %s "$WORK/$f")
  [ "$size" -lt $((bound + 1000)) ] || e2e_fail "$f has $size bytes"
done
# One turnover since the start: every signal query the modem heard is in the two files.
logged=$(($(e2e_count "$WORK/servilog.1.txt" "s:  AT+CSQ") + $(e2e_count "$WORK/servilog.txt" "s:  AT+CSQ")))
[ "$logged" -eq "$(e2e_count "$WORK/transcript" "AT+CSQ")" ] ||
  e2e_fail "$logged signal queries logged, $(e2e_count "$WORK/transcript" "AT+CSQ") sent"
