// The main worker thread: configuration, modem preparation and the monitoring cycle.
#pragma once

#include <glib.h>

gpointer mt_mainthread(gpointer par);
