// The warning thread: asks the user, with a time-out, whether a connection may go on in a
// foreign network, outside the homezone or after the configured end time of day.
#pragma once

#include <glib.h>

gpointer wa_warningthread(gpointer par);

// One question as the thread asks it: title, text, icon, time-out; the message box's result.
using wa__askfn = int (*)(const char* title, const char* text, int icon, int mtime);

// The given warnings, kept between passes.
struct wa__state_t {
    bool network = false, homezone = false, endtime = false;
};
// Which warning is due (0 none, 1 foreign network, 2 homezone, 3 end time); sets its flag.
int wa__choose(wa__state_t* s, bool netzfremd, int homezonestatus, bool inendtime);
// Asks warning w and carries out the answer.
void wa__ask(int w, wa__askfn ask);
