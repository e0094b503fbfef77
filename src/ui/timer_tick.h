// The one-second timer tick of the GUI thread (the panel icons that change without news from
// the modem, their blinking, the shared record's icon states, the SMS signal) and the
// program's monotonic time base.
#pragma once

#include "foundation/clock.h"

#include <glib.h>

typedef int threade_t; // 0 running, 1 stop requested, 2 stopped
extern threade_t ti__ticke;

void ti_ini();
void ti_end();
gboolean ti__tick(gpointer p);

// The countdown icon's kind (0 none, 1 connection ends by time, 2 for lack of traffic,
// 3 program ends for lack of connection) and its minutes left, from the times in hundredths
// of a second. The minutes may be negative once the period is over.
struct ti__countdown_t {
    int kind;
    long minutes;
};
ti__countdown_t ti__countdown(unsigned long online, unsigned long offline, unsigned long idle,
                              int nocminutes, unsigned long endminutes, bool endforce);
