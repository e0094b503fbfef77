#include "control/counter_reset.h"

#include "config/ini_writer.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

const char word[] = "mavlyn_COUNTERRESET";

} // namespace

bool ii__counterresetcommand(const char* command, bool* volume, bool* time) {
    size_t n = strlen(word);
    if (!command || strncasecmp(command, word, n) != 0) return false;
    const char* which = command + n;
    *volume = strpbrk(which, "Vv") != nullptr;
    *time = strpbrk(which, "Tt") != nullptr;
    return *volume || *time;
}

void ii_postcounterreset(bool volume, bool time) {
    if ((!volume && !time) || !ia_instance_isactive()) return;
    bool attached = mvlior != nullptr;
    if (!attached) ii_start(false);
    mvlio_t* r = ii_commandrecord();
    for (int i = 0; r && r->command[0] && i < 100; i++) msleep(100);
    if (r && !r->command[0]) {
        char command[40];
        snprintf(command, sizeof command, "%s %s%s", word, volume ? "V" : "", time ? "T" : "");
        strMcpy(r->command, command);
        lo_slog("Counter reset sent to the running program: %s\n", command, -1);
    } else {
        lo_slog("Counter reset not sent: the running program takes no commands.\n", "", -1);
    }
    if (!attached) ii_stop();
}

bool ii_takecounterreset() {
    bool volume = false, time = false;
    if (!mvliow || !ii__counterresetcommand(mvliow->command, &volume, &time)) return false;
    if (volume) {
        inidat.headerv = 0;
        inidat.headervoffset = 999;
    }
    if (time) inidat.headert = inidat.headert_alt = 0;
    mvliow->command[0] = 0;
    lo_slog("Counters reset by the configuration program: %s\n",
            volume && time ? "volume, time"
            : volume       ? "volume"
                           : "time",
            -1);
    iv_iniheaderwrite(false);
    return true;
}
