#include "control/instance_interface.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "ui/message_box.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
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

// A semaphore set or a shared segment: how to find one under a key, see whose it is, remove it.
struct IpcKind {
    const char* what;
    int (*find)(key_t key);
    bool (*owner)(int id, ii__ipcowner* o);
    void (*remove)(int id);
    bool (*fits)(int id); // null: any size
};

const IpcKind flag_kind = {
    "semaphore set",
    [](key_t k) { return semget(k, 0, 0); },
    [](int id, ii__ipcowner* o) {
        struct semid_ds ds;
        semun_t arg;
        arg.buf = &ds;
        if (semctl(id, 0, IPC_STAT, arg) != 0) return false;
        *o = {ds.sem_perm.uid, ds.sem_perm.cuid, ds.sem_perm.mode & 07777u};
        return true;
    },
    [](int id) { semctl(id, 0, IPC_RMID); },
    nullptr,
};

const IpcKind record_kind = {
    "shared memory",
    [](key_t k) { return shmget(k, 0, 0); },
    [](int id, ii__ipcowner* o) {
        struct shmid_ds ds;
        if (shmctl(id, IPC_STAT, &ds) != 0) return false;
        *o = {ds.shm_perm.uid, ds.shm_perm.cuid, ds.shm_perm.mode & 07777u};
        return true;
    },
    [](int id) { shmctl(id, IPC_RMID, nullptr); },
    [](int id) {
        struct shmid_ds ds;
        return shmctl(id, IPC_STAT, &ds) == 0 && ds.shm_segsz >= ii__SHMSIZE;
    },
};

// Flags coordinate this user's own programs: nobody else has any business with them.
constexpr unsigned flag_mode = 0600;

unsigned record_mode() {
    // Only permission bits: anything else in the setting would change how shmget acts.
    return inidat.ipcmod ? ((static_cast<unsigned>(inidat.ipcmod) & 0777u) | 0600u) : 0600u;
}

// Each refused key is logged once. The flags are first asked for before the service log is
// switched on, and often under the GUI lock, where no status may be shown: what they found is
// logged and shown when the record is set up.
std::mutex refused_lock;
std::set<unsigned long> refused_logged;
std::map<unsigned long, std::string> refused_unlogged;
std::atomic<unsigned long> refused_unshown{0};

void report_refusal(const IpcKind& kind, unsigned long key, const ii__ipcowner* o) {
    char line[160];
    if (o)
        snprintf(line, sizeof line,
                 "Refused %s 0x%08lX of another user or with wider rights (owner %u, creator "
                 "%u, mode %03o).\n",
                 kind.what, key, o->uid, o->cuid, o->mode);
    else
        snprintf(line, sizeof line, "Refused %s 0x%08lX of another user.\n", kind.what, key);
    {
        std::lock_guard<std::mutex> hold(refused_lock);
        if (refused_logged.count(key)) return;
        if (!MODUS('P')) {
            if (refused_unlogged.emplace(key, line).second) refused_unshown = key;
            return;
        }
        refused_logged.insert(key);
    }
    lo_slog("%s", line, -1);
    refused_unshown = key;
}

void log_unlogged_refusals() {
    std::map<unsigned long, std::string> lines;
    {
        std::lock_guard<std::mutex> hold(refused_lock);
        lines.swap(refused_unlogged);
        for (const auto& l : lines) refused_logged.insert(l.first);
    }
    for (const auto& l : lines) lo_slog("%s", l.second.c_str(), -1);
}

// The object of this user for a base key: the first trusted one along the key chain.
// Otherwise, with create, the first free key goes to *freekey (0 when there is none). An
// object of this user with wider rights than allowed is removed: somebody else may have
// written into it, or still hold it attached. So is a segment too small for the record.
int trusted_object(const IpcKind& kind, unsigned long base, unsigned allowed,
                   unsigned long* freekey) {
    if (freekey) *freekey = 0;
    const unsigned self = static_cast<unsigned>(geteuid());
    for (int n = 0; n < ii__KEYCHAIN; n++) {
        unsigned long key = ii__chainkey(base, self, n);
        int id = kind.find(static_cast<key_t>(key));
        if (id >= 0) {
            ii__ipcowner o{};
            if (!kind.owner(id, &o)) {
                report_refusal(kind, key, nullptr);
                continue;
            }
            if (ii__trusted(o, self, allowed) && (!kind.fits || kind.fits(id))) return id;
            if (o.uid != self || o.cuid != self) {
                report_refusal(kind, key, &o);
                continue;
            }
            char line[120];
            snprintf(line, sizeof line,
                     "Removed %s 0x%08lX with wider rights or too small (mode %03o).\n", kind.what,
                     key, o.mode);
            lo_slog("%s", line, -1);
            kind.remove(id);
        }
        if (freekey && !*freekey) *freekey = key;
    }
    return -1;
}

int open_flag(unsigned long key) {
    return trusted_object(flag_kind, key, flag_mode, nullptr);
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
    unsigned long key = 0;
    int id = trusted_object(record_kind, mvliok, record_mode(), &key);
    if (id < 0 && key)
        id = shmget(static_cast<key_t>(key), ii__SHMSIZE,
                    static_cast<int>(record_mode()) | IPC_CREAT | IPC_EXCL);
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

// Only a record of this user is read, and then read-write.
void attach_record() {
    int id = trusted_object(record_kind, mvliok, record_mode(), nullptr);
    if (id < 0) return;
    void* at = shmat(id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) return;
    ii__mvlioid = id;
    ii__creator = false;
    mvlior = static_cast<const mvlio_t*>(at);
    mvlior_rw = true;
    // Status fields are the main instance's alone: a reader writes only the command field
    // (ii_commandrecord).
    mvliow = nullptr;
}

// A refused key is told in the status line once, by the thread that sets up the record; the
// main instance holds it there as long as every notice.
void show_refusal(bool hold) {
    log_unlogged_refusals();
    unsigned long key = refused_unshown.exchange(0);
    if (!key) return;
    char l[cc_mtextLEN], m[cc_mtextLEN];
    snprintf(l, sizeof l,
             T("*IPC-Schl" U8ue "ssel %08lX geh" U8oe "rt anderem Benutzer.",
               "*IPC key %08lX belongs to another user."),
             key);
    snprintf(m, sizeof m, "%s", T("*IPC-Schl" U8ue "ssel_fremd.", "*IPC key_of another user."));
    cc_show2(l, m);
    if (hold) msleepx(MELDUNGZEIT);
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

unsigned long ii__chainkey(unsigned long key, unsigned uid, int n) {
    if (n <= 0) return key;
    return key ^ (static_cast<unsigned long>(n) << 24) ^ ((uid & 0xFFFul) << 12);
}

bool ii__trusted(const ii__ipcowner& o, unsigned self, unsigned allowed) {
    return o.uid == self && o.cuid == self && (o.mode & 07777u & ~allowed) == 0;
}

void fl_set(unsigned long key) {
    unsigned long freekey = 0;
    int id = trusted_object(flag_kind, key, flag_mode, &freekey);
    if (id < 0 && freekey)
        id = semget(static_cast<key_t>(freekey), flag_semaphores,
                    IPC_CREAT | IPC_EXCL | static_cast<int>(flag_mode));
    if (id < 0) {
        lo_slog("%s", "Could not create semaphore.\n", -1);
        return;
    }
    unsigned short halves[2];
    ii__pidsplit(static_cast<long>(getpid()), halves);
    write_halves(id, halves[0], halves[1]);
}

void fl_clear(unsigned long key) {
    int id = open_flag(key);
    if (id >= 0) remove_flag(id);
}

long fl_holder(unsigned long key) {
    int id = open_flag(key);
    if (id < 0) return 0;
    long pid = read_pid(id);
    if (pid > 0 && !ii__pidalive(pid)) pid = 0;
    if (pid <= 0) remove_flag(id);
    return pid > 0 ? pid : 0;
}

bool fl_query(unsigned long key) {
    return fl_holder(key) > 0;
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
    show_refusal(cre);
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

mvlio_t* ii_commandrecord() {
    if (mvliow) return mvliow;
    return mvlior && mvlior_rw ? const_cast<mvlio_t*>(mvlior) : nullptr;
}
