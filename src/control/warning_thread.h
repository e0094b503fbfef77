// The warning thread: asks the user about a foreign network, the homezone and the end time.
#pragma once

#include <glib.h>

gpointer wa_warningthread(gpointer par);
