#!/usr/bin/env bash
# A second local user (nobody, uid 65534) on the same computer, and the secrets in the logs,
# with the whole program on the simulated modem and the fake pppd:
#  1. nobody places a world-writable shared segment under the record's key and semaphore
#     sets holding a live pid under the flags' keys before the start: they are refused and
#     reported, the program starts anyway under keys of its own (mode 0600), which nobody
#     cannot attach; nobody's "mavlyn_END" and end flag do nothing, the user's own commands
#     through the record work;
#  2. pppd gets the password from a private file, never on its command line (/proc), and the
#     PIN, password, IMEI and IMSI reach no file in clear, though the PIN is also a program
#     parameter and IMEI and IMSI are asked for through the record;
#  3. an SMS argument with blanks and a leading '-' reaches the program as one word;
#  4. the removal role, against a user's folder that is a link, in a /home of the sandbox.
source "$(dirname "$0")/lib.sh"
e2e_begin "$@"
e2e_need_chat
PIN=8642 PASSWORD=s3cr3t-pw IMEI=353456789012345 IMSI=262021234567890
OWN_KEY=0x4A564FF0 # the record's key after 0x4B564FF0 for uid 0

# as_nobody PYTHON: runs the code as uid 65534 with libc in "libc" and the key in "key".
as_nobody() {
  setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/python3 -c "
import ctypes
libc = ctypes.CDLL('libc.so.6', use_errno=True)
libc.shmat.restype = ctypes.c_void_p
$1"
}
as_nobody "
sem = libc.semget(0x4B564FA0, 2, 0o1666)  # a main instance 'runs': pid 1
libc.semctl(sem, 0, 16, 1)                # SETVAL
end = libc.semget(0x4B564FB0, 2, 0o1666)  # and shall end
libc.semctl(end, 0, 16, 1)
shm = libc.shmget(0x4B564FF0, 1024, 0o1666)
assert sem >= 0 and end >= 0 and shm >= 0
p = libc.shmat(shm, None, 0)
ctypes.memmove(p + 20, b'mavlyn_END\0', 11)"

e2e_huawei --set sim=pin --set pin=$PIN
e2e_modem "sms 1 $(e2e_sms_pdu gsm7 +491700000000 "RUN -o ../x --exec=y")"
D=$WORK/program
printf '#!/bin/sh\nprintf "%%s\\n" "$#" "$@" >%s/args\n' "$WORK" >"$WORK/argcmd"
chmod +x "$WORK/argcmd"
e2e_ini "$D" COM=/dev/ttyUSB2 APN=web.example "PIN=$PIN" "PASS=webuser;$PASSWORD" CONA=S \
  RND='1;1' MOD=PM1 SMS1=+491700000000\;RUN "CMD1=$WORK/argcmd %2"
export FAKE_PPPD_PASSWORD=$PASSWORD FAKE_PPPD_ARGS=$WORK/pppd-args
E2E_FAKE_PPPD=1 e2e_start_program "$D" "PIN=$PIN"

# ---- 1 ----
for what in "shared memory 0x4B564FF0" "semaphore set 0x4B564FA0" "semaphore set 0x4B564FB0"; do
  e2e_wait_for_text "$D/servilog.txt" "Refused $what of another user" 60
done
export E2E_SHM_KEY=$OWN_KEY
refused() { [[ "$(e2e_shm_field 203 s 2>/dev/null)" == *"4B564FF0 belongs to another user"* ]]; }
e2e_until 20 "no status line about the refused record" refused
ipcs -m | grep -q "^${OWN_KEY,,} .* root *600 " || e2e_fail "own record: $(ipcs -m)"
ipcs -s | grep -q " root *600 " || e2e_fail "own flags: $(ipcs -s)"
as_nobody "
shm = libc.shmget($OWN_KEY, 0, 0)
assert shm < 0 or libc.shmat(shm, None, 0o10000) in (None, ctypes.c_void_p(-1).value)" ||
  e2e_fail "nobody can read the user's record"

# ---- 2 ----
e2e_wait_count "$D/connlog.txt" " Connection established." 1 120
pppd=$(cat /var/run/ppp0.pid)
tr '\0' ' ' <"/proc/$pppd/cmdline" | grep -q " file $D/.pppd_login " ||
  e2e_fail "pppd: $(tr '\0' ' ' <"/proc/$pppd/cmdline")"
e2e_lacks "/proc/$pppd/cmdline" "$PASSWORD"
[ ! -e "$D/.pppd_login" ] || e2e_fail "the login file outlives the start"
# IMEI and IMSI through the record, as a front end of the user asks for them.
taken() { [ -z "$(e2e_shm_field 20 s)" ]; }
for command in :AT+CGSN :AT+CIMI ":0:3000:AT+CPIN=$PIN"; do
  e2e_shm_command "$command"
  e2e_until 60 "'$command' not taken" taken
  [[ $command == *PIN* ]] || [[ "$(e2e_shm_field 384 s)" == *xxxxxxxxxxxxxxx* ]] ||
    e2e_fail "answer to $command: $(e2e_shm_field 384 s)"
done
e2e_wait_for_text "$WORK/transcript" "AT+CPIN=$PIN" 10
e2e_has "$D/servilog.txt" "AT+CPIN=xxxx"

# ---- 3 ----
e2e_wait_for_text "$WORK/args" "exec" 180
[ "$(cat "$WORK/args")" = "$(printf '1\n_o ../x --exec=y')" ] || e2e_fail "args: $(cat "$WORK/args")"

e2e_alive "$pid" "nobody's end request was taken"
e2e_shm_command mavlyn_END
e2e_wait_clean_exit "$pid" 60
e2e_no_secrets "$D" "$PIN" "$PASSWORD" "$IMEI" "$IMSI"

# ---- 4 ----
for dir in /home /root; do
  mount -t tmpfs tmpfs "$dir" && mountpoint -q "$dir" && [ -z "$(ls -A "$dir")" ] ||
    e2e_fail "no private $dir"
done
mkdir -p /home/alice /home/bob/mavlyn/sms_in /home/precious
echo data >/home/precious/file
echo text >/home/bob/mavlyn/sms_in/sms_1.txt
chown -R 65534:65534 /home/alice /home/bob
ln -s /home/precious /home/alice/mavlyn
R=$WORK/removal
e2e_simulation_ini "$R"
# The role word comes first, as the package's removal script gives it.
PATH=$SB_FAKE_PATH "$mavlyn" mavlyn_DEBIAN_REMOVE "DIR=$R" NOSPLASH >"$R/stdout" 2>&1 &
pid=$!
e2e_answer "$(e2e_wait_window "mavlyn   Uninstall" 30)" Return
e2e_wait_clean_exit "$pid" 30
[ -e /home/bob/mavlyn ] && e2e_fail "bob's folder stayed"
[ "$(cat /home/precious/file)" = data ] || e2e_fail "removed through alice's link"
[ -L /home/alice/mavlyn ] || e2e_fail "alice's link"
