#include "control/main_thread.h"

#include "config/config_record.h"
#include "control/program_end.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

namespace {

// Until the configuration file is read, option letters can be given as a "MOD=" parameter.
void apply_mod_parameters() {
    for (int i = 1; i < _argc; i++)
        if (_argv[i] && memicmp(_argv[i], "MOD=", 4) == 0) iv_readmod(_argv[i] + 4);
}

} // namespace

// The worker so far only waits for an end request and then ends the program in order; the
// modem preparation and the monitoring cycle take its place as they are built.
gpointer mt_mainthread(gpointer) {
    int preset = inidat.funktion; // the role preset of program entry
    iv_inidefaults();
    inidat.funktion = preset;
    apply_mod_parameters();
    inidatgueltig = true;
    th_register("mainthread");
    for (;;) {
        th_msleep(300);
        programmende(false);
    }
}
