#include "foundation/clock.h"

#include "foundation/logging.h"

#include <glib.h>

namespace {
GTimer* timer = nullptr;
bool failed = false;
GMutex mutex;
} // namespace

void ti__clockstop() {
    g_mutex_lock(&mutex);
    if (timer) g_timer_destroy(timer);
    timer = nullptr;
    g_mutex_unlock(&mutex);
}

long int ti_htime() {
    g_mutex_lock(&mutex);
    bool first_failure = false;
    if (!timer && !failed) {
        timer = g_timer_new();
        first_failure = failed = (timer == nullptr);
    }
    GTimer* t = timer;
    long elapsed = t ? static_cast<long>(g_timer_elapsed(t, nullptr) * 100.0) : 0;
    g_mutex_unlock(&mutex);
    if (first_failure) lo_slog("Timer initialization failed.\n", "", -1);
    return elapsed;
}
