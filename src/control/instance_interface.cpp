#include "control/instance_interface.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "ui/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

int ii__mvlioid = -1;
mvlio_t* mvliow = nullptr;
const mvlio_t* mvlior = nullptr;
bool mvlior_rw = false;
bool mvlioneu = false;

namespace {

constexpr int flag_semaphores = 2;
// Only the creator removes the segment: a reader that ends must not take the record away
// from the main instance and the other readers.
bool ii__creator = false;

union semun_t {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

int open_flag(unsigned long key, int mode) {
    return semget(static_cast<key_t>(key), flag_semaphores, mode);
}

bool write_halves(int id, unsigned short v0, unsigned short v1) {
    unsigned short values[flag_semaphores] = {v0, v1};
    semun_t arg;
    arg.array = values;
    return semctl(id, 0, SETALL, arg) == 0;
}

void remove_flag(int id) {
    write_halves(id, 0, 0);
    semctl(id, 0, IPC_RMID);
}

long read_pid(int id) {
    unsigned short values[flag_semaphores] = {0, 0};
    semun_t arg;
    arg.array = values;
    if (semctl(id, 0, GETALL, arg) != 0) return 0;
    return ii__pidjoin(values[0], values[1]);
}

void fill_new_record(mvlio_t* r) {
    memset(r, 0, sizeof *r);
    r->len = sizeof(mvlio_t);
    r->structure_version = ii__STRUCTUREVERSION;
    r->program_version = ii__versionnumber(ii__VERSION);
    r->volume = static_cast<uint32_t>(inidat.headerv + inidat.headervoffset / 1000);
    r->time = static_cast<uint32_t>(inidat.headert);
}

void create_record() {
    // Only permission bits: anything else in the setting would change how shmget acts.
    int mode = inidat.ipcmod ? ((inidat.ipcmod & 0777) | 0600) : 0600;
    int id = shmget(static_cast<key_t>(mvliok), ii__SHMSIZE, mode | IPC_CREAT);
    void* at = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (at == reinterpret_cast<void*>(-1)) {
        lo_slog("%s", "ii_start: Could not create shared memory.\n", -1);
        return;
    }
    ii__mvlioid = id;
    ii__creator = true;
    mvliow = static_cast<mvlio_t*>(at);
    mvlior = mvliow;
    mvlior_rw = true;
    fill_new_record(mvliow);
}

// Read-write if the segment's permissions allow it, else read-only.
void attach_record() {
    static constexpr int rw_modes[] = {0666, 0600};
    static constexpr int ro_modes[] = {0444, 0400};
    int id = -1;
    bool rw = false;
    for (int m : rw_modes)
        if (id < 0 && (id = shmget(static_cast<key_t>(mvliok), ii__SHMSIZE, m)) >= 0) rw = true;
    for (int m : ro_modes)
        if (id < 0) id = shmget(static_cast<key_t>(mvliok), ii__SHMSIZE, m);
    if (id < 0) return;
    void* at = shmat(id, nullptr, rw ? 0 : SHM_RDONLY);
    if (at == reinterpret_cast<void*>(-1)) return;
    ii__mvlioid = id;
    ii__creator = false;
    mvlior = static_cast<const mvlio_t*>(at);
    mvlior_rw = rw;
    mvliow = rw ? static_cast<mvlio_t*>(at) : nullptr;
}

} // namespace

void ii__pidsplit(long pid, unsigned short halves[2]) {
    halves[0] = static_cast<unsigned short>(pid & 0x7FFF);
    halves[1] = static_cast<unsigned short>((pid >> 15) & 0x7FFF);
}

long ii__pidjoin(unsigned short low, unsigned short high) {
    return static_cast<long>(high) * 32768 + low;
}

uint16_t ii__versionnumber(const char* version) {
    if (!version) return 0;
    char* end = nullptr;
    unsigned long major = strtoul(version, &end, 10);
    unsigned long minor = (end && *end == '.') ? strtoul(end + 1, nullptr, 10) : 0;
    return static_cast<uint16_t>((major & 0xFF) * 256 + (minor & 0xFF));
}

bool ii__pidalive(long pid) {
    if (pid <= 0) return false;
    char dir[32];
    snprintf(dir, sizeof dir, "/proc/%ld", pid);
    struct stat st;
    return stat(dir, &st) == 0;
}

void fl_set(unsigned long key) {
    int id = open_flag(key, 0666);
    if (id < 0) id = open_flag(key, IPC_CREAT | 0666);
    if (id < 0) {
        lo_slog("%s", "Could not create semaphore.\n", -1);
        return;
    }
    unsigned short halves[2];
    ii__pidsplit(static_cast<long>(getpid()), halves);
    write_halves(id, halves[0], halves[1]);
}

void fl_clear(unsigned long key) {
    int id = open_flag(key, 0666);
    if (id >= 0) remove_flag(id);
}

bool fl_query(unsigned long key) {
    int id = open_flag(key, 0444);
    if (id < 0) return false;
    long pid = read_pid(id);
    if (pid > 0 && !ii__pidalive(pid)) pid = 0;
    if (pid <= 0) remove_flag(id);
    return pid > 0;
}

bool ia_instance_isactive() {
    return fl_query(aktivsignal);
}

bool ia_configinstance_isactive() {
    return fl_query(konfigaktivsignal);
}

int ia_instance_message() {
    if (!ia_instance_isactive()) return 0;
    me_messagebox(0, _de ? "mavlyn   Konfiguration" : "mavlyn   Configuration",
                  _de ? "Bitte zuerst das parallel laufende  \nmavlyn-Programm beenden."
                      : "Please terminate the parallely  \nrunning mavlyn program first.",
                  2, 0, 0);
    return 1;
}

bool ia_smssignal(int f) {
    static bool previous = false;
    if (f == 1) {
        fl_set(smssignal);
        return false;
    }
    if (f == 2) {
        fl_clear(smssignal);
        return false;
    }
    bool now = fl_query(smssignal);
    bool rising = now && !previous;
    previous = now;
    return rising;
}

void ii_ini() {}

void ii_start(bool cre) {
    if (mvlior) return;
    if (cre)
        create_record();
    else
        attach_record();
}

void ii_stop() {
    // A counter of 0 tells the readers that the main instance has gone; a front end attached
    // read-write that ends must not say so while the main instance still runs.
    if (mvliow && ii__creator) mvliow->process_counter = 0;
    mvliow = nullptr;
    if (mvlior) shmdt(mvlior);
    mvlior = nullptr;
    mvlior_rw = false;
    if (ii__mvlioid >= 0 && ii__creator) shmctl(ii__mvlioid, IPC_RMID, nullptr);
    ii__mvlioid = -1;
    ii__creator = false;
}

void ii_end() {
    ii_stop();
}
