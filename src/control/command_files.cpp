#include "control/command_files.h"

#include "config/config_record.h"
#include "connection/dialup.h"
#include "control/counter_reset.h"
#include "control/instance_interface.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "ui/status_lines.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* T(const char* de, const char* en) {
    return _de ? de : en;
}

FILE* sp__fp[3] = {};

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
    if (mvlior && mvlior_rw) const_cast<mvlio_t*>(mvlior)->command[0] = 0;
    if (mvliow) mvliow->command[0] = 0;
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
        programmende_gewuenscht = true;
        break;
    default:
        break;
    }
}

void answer_path() {
    mvlio_t* r = mvliow ? mvliow : (mvlior && mvlior_rw ? const_cast<mvlio_t*>(mvlior) : nullptr);
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
    sp__fp[idx] = popen(command, "r");
}

bool sp_stop(int idx) {
    if (idx < 0 || idx > 2 || !sp__fp[idx]) return false;
    pclose(sp__fp[idx]);
    sp__fp[idx] = nullptr;
    return true;
}
