#include "control/warning_thread.h"

#include "foundation/threads.h"

// Until its questions exist the warning thread only idles and takes part in the end.
gpointer wa_warningthread(gpointer) {
    th_register("warningthread");
    for (;;) th_msleepexit(500);
}
