#include "ui/timer_tick.h"

#include "foundation/logging.h"

#include <glib.h>

namespace {
GTimer* ti__timer = nullptr;
bool ti__err = false;
GMutex ti__mutex;
} // namespace

long int ti_htime() {
    g_mutex_lock(&ti__mutex);
    bool first_failure = false;
    if (!ti__timer && !ti__err) {
        ti__timer = g_timer_new();
        first_failure = ti__err = (ti__timer == nullptr);
    }
    GTimer* t = ti__timer;
    g_mutex_unlock(&ti__mutex);
    if (first_failure) lo_slog("Timer initialization failed.\n", "", -1);
    return t ? static_cast<long>(g_timer_elapsed(t, nullptr) * 100.0) : 0;
}
