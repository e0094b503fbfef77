#include "control/command_files.h"

#include "connection/dialup.h"
#include "control/counter_reset.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The program of a slot. A program with a stop mark ('!' or ',') is our child, the leader of
// a process group of its own, so that ending it ends what it started; any other runs on
// detached and is only remembered as started.
struct sp__slot {
    pid_t pid = 0;
    bool detached = false;
};
sp__slot sp__slots[3];
std::mutex sp__mutex; // the slots; taken by the main and the SMS thread, never around a wait

// How long a program may take to end after SIGTERM before it gets SIGKILL.
constexpr unsigned long sp__grace_ms = 2000;

// A mark at position pos counts when every character before it is one of its predecessors.
bool has_mark(const char* cm, char mark, const char* predecessors) {
    if (!cm) return false;
    for (int pos = 0; pos < 3 && cm[pos]; pos++) {
        if (cm[pos] == mark) return true;
        if (!strchr(predecessors, cm[pos])) return false;
    }
    return false;
}

// An empty command file of exactly this name (fewer than 30 bytes) is taken and removed.
bool take_file(const char* name) {
    struct stat st;
    if (stat(name, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size >= 30) return false;
    unlink(name);
    return true;
}

bool shared_command_is(const char* word) {
    return mvlior && strncasecmp(mvlior->command, word, sizeof mvlior->command) == 0;
}

void clear_shared_command() {
    if (mvlio_t* r = ii_commandrecord()) r->command[0] = 0;
}

void carry_out(int word) {
    switch (word) {
    case 0:
        lo_vlog(
            T("%s Verbindung per Kommando aktiviert.\n", "%s Connection activated by command.\n"),
            "", -1);
        inidat.constart = true;
        break;
    case 1:
        lo_vlog(T("%s Verbindung per Kommando deaktiviert.\n",
                  "%s Connection deactivated by command.\n"),
                "", -1);
        inidat.constart = false;
        cn_stop(1);
        break;
    case 2:
        lo_vlog(T("%s Neu verbinden durch Kommando.\n", "%s Reconnect caused by command.\n"), "",
                -1);
        unterbrechung_gewuenscht = 2;
        break;
    case 3:
        lo_vlog(T("%s Programm per Kommando beendet.\n", "%s Program terminated by command.\n"), "",
                -1);
        th_requestend();
        break;
    default:
        break;
    }
}

void answer_path() {
    mvlio_t* r = ii_commandrecord();
    if (!r || strncasecmp(r->command, "mavlyn_PATH", sizeof r->command) != 0) return;
    strmcpy(r->answer, _argc > 0 && _argv && _argv[0] ? _argv[0] : "?", 600);
    r->command[0] = 0;
}

// The first line of a ".at" file goes to the modem as user commands.
void send_at_file(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) return;
    char line[297] = "";
    if (fgets(line, sizeof line, f)) {
        size_t n = strlen(line);
        while (n && (line[n - 1] == '\r' || line[n - 1] == '\n')) line[--n] = 0;
        cm_userat(line);
    }
    fclose(f);
}

bool ends_in_at(const char* c) {
    size_t n = strlen(c);
    return n > 4 && strcasecmp(c + n - 3, ".at") == 0;
}

} // namespace

void dateikommandoholen(bool auch_datei) {
    answer_path();
    ii_takecounterreset();
    int from = 0; // 1 file, 2 shared record: the last word found decides the notice
    for (int w = 0; w < 4; w++) {
        bool file = auch_datei && take_file(kommandos[w]);
        bool shared = shared_command_is(kommandos[w]);
        if (!file && !shared) continue;
        carry_out(w);
        from = shared ? 2 : 1;
    }
    if (!from) return;
    if (from == 1) {
        cc_show2(T("+Datei-Kommando empfangen.", "+File command received."),
                 T("+Datei~Kommando", "+File_command"));
    } else {
        clear_shared_command();
        cc_show2(T("+Externes Kommando empfangen.", "+External command received."),
                 T("+Externes_Kommando", "+External_command"));
    }
    msleepx(2000);
}

bool sp__startedatstart = false;

void sp_startatstart() {
    if (sp__startedatstart) return;
    sp__startedatstart = true;
    for (int i = 0; i < 3; i++)
        if (inidat.cmd[i][0] && inidat.sms[i] == 0 && sp_atstart(inidat.cmd[i]))
            sp_start(i, inidat.cmd[i]);
}

void sp_ini() {}
void sp_end() {}

bool sp_ishidden(const char* cm) {
    return has_mark(cm, ';', ",|");
}
bool sp_atstart(const char* cm) {
    return has_mark(cm, '!', ";,");
}
bool sp_atend(const char* cm) {
    return has_mark(cm, '|', ";,");
}
bool sp_ateveryconnect(const char* cm) {
    return has_mark(cm, ',', ";|");
}

const char* sp_cstart(const char* cm) {
    if (!cm) return "";
    while (*cm && strchr(";!|,", *cm)) cm++;
    return cm;
}

void sp_start(int idx, const char* cm) {
    if (idx < 0 || idx > 2 || !cm || !cm[0]) return;
    const char* command = sp_cstart(cm);
    if (!command[0]) return;
    if (ends_in_at(command)) {
        send_at_file(command);
        return;
    }
    sp_stop(idx);
    bool stoppable = sp__stoppable(cm);
    pid_t pid = sp__spawn(command, !stoppable);
    std::lock_guard<std::mutex> lock(sp__mutex);
    if (pid <= 0) return;
    sp__slots[idx].pid = stoppable ? pid : 0;
    sp__slots[idx].detached = !stoppable;
}

bool sp_stop(int idx) {
    if (idx < 0 || idx > 2) return false;
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(sp__mutex);
        pid = sp__slots[idx].pid;
        bool had = pid > 0 || sp__slots[idx].detached;
        sp__slots[idx] = sp__slot{};
        if (!had) return false;
    }
    if (pid > 0) sp__endgroup(pid, sp__grace_ms);
    return true;
}

bool sp__stoppable(const char* cm) {
    return sp_atstart(cm) || sp_ateveryconnect(cm);
}

pid_t sp__spawn(const char* command, bool detached) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // Only calls that are safe between fork and exec in a threaded program.
        if (detached) {
            pid_t g = fork(); // the grandchild is nobody's to wait for
            if (g != 0) _exit(g < 0 ? 127 : 0);
            setsid();
        } else {
            setpgid(0, 0);
        }
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
        }
        // The modem port and the program's other files are none of the program's business.
        close_range(3, ~0U, 0);
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (detached) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? pid : -1;
    }
    setpgid(pid, pid); // also here: a stop may come before the child got to it
    return pid;
}

bool sp__endgroup(pid_t pid, unsigned long grace_ms) {
    kill(-pid, SIGTERM);
    bool ended = false, gone = false;
    for (unsigned long waited = 0; !gone && waited <= grace_ms; waited += 50) {
        if (!ended) ended = waitpid(pid, nullptr, WNOHANG) == pid;
        // The shell may be gone while what it started still runs its own SIGTERM handler.
        gone = ended && kill(-pid, 0) != 0 && errno == ESRCH;
        if (!gone) msleep(50);
    }
    if (gone) return true;
    kill(-pid, SIGKILL);
    if (!ended) waitpid(pid, nullptr, 0);
    return false;
}
