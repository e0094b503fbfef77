#include "foundation/threads.h"

#include "foundation/logging.h"
#include "foundation/run_state.h"
#include "foundation/utilities.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <pthread.h>

guint32 th__stat[th__statMAX];

namespace {

th__reg th__storage[th__NODES];
th__reg* th__free = nullptr;
th__reg* th__running = nullptr;
GMutex th__mutex;
std::atomic<bool> th__terminateflag{false};

std::atomic<unsigned> th__statp{0};
std::atomic<guint32> th__stati{1};
std::atomic<bool> th__monitorstarted{false};

constexpr gulong forever_step_us = 111222000;
constexpr int statring = 30; // the last two entries stay 0

bool valid(th_reg p) {
    return p >= th__storage && p < th__storage + th__NODES && p->magic == th__MAGIC;
}

void build_free_list() {
    for (int i = th__NODES - 1; i >= 0; i--) {
        th__storage[i].next = th__free;
        th__free = &th__storage[i];
    }
}

void append_running(th__reg* n) {
    if (!th__running) {
        n->next = n->prev = n;
        th__running = n;
        return;
    }
    th__reg* tail = th__running->prev;
    n->prev = tail;
    n->next = th__running;
    tail->next = n;
    th__running->prev = n;
}

// Unlinks a registered node and returns it to the free list; the caller holds th__mutex.
void release_node(th__reg* n) {
    if (n->next == n) {
        th__running = nullptr;
    } else {
        n->prev->next = n->next;
        n->next->prev = n->prev;
        if (th__running == n) th__running = n->next;
    }
    n->magic = 0;
    n->prev = nullptr;
    n->next = th__free;
    th__free = n;
}

[[noreturn]] void sleep_forever() {
    for (;;) g_usleep(forever_step_us);
}

// Every interruptible wait sleeps on this condition; whoever raises the end or terminate
// request, or hands a waiting thread its work, broadcasts it. A waiter looks at its own
// reason to wake under the mutex, so a broadcast between its look and its sleep is not lost.
GMutex th__wakemutex;
GCond th__wakecond;

bool terminate_seen() {
    return th__terminateflag;
}

bool end_requested() {
    return programmende_gewuenscht;
}

bool terminate_or_end() {
    return th__terminateflag || programmende_gewuenscht;
}

// Waits until ready() holds, the time is up or (with terminable) the terminate request comes;
// true when ready() held.
bool wait_until(unsigned long ms, bool (*ready)(), bool terminable) {
    gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    g_mutex_lock(&th__wakemutex);
    bool done = ready();
    bool timedout = ms == 0;
    while (!done && !(terminable && th__terminateflag) && !timedout) {
        timedout = !g_cond_wait_until(&th__wakecond, &th__wakemutex, deadline);
        done = ready();
    }
    g_mutex_unlock(&th__wakemutex);
    return done;
}

// Sleeps until done or terminate; true when terminate was seen.
bool terminable_sleep(unsigned long ms) {
    th_waitfor(ms, terminate_seen);
    return th__terminateflag;
}

void record_lock(bool enter, int line) {
    unsigned at = th__statp.fetch_add(1) % statring;
    th__stat[at] = th__statvalue(th__stati.fetch_add(1), enter, line);
}

gpointer th__monitor(gpointer) {
    th_register("th__monitor");
    for (;;) {
        if (rs_mode('P')) {
            char line[800];
            th__statline(th__stat, line, sizeof line);
            lo_slog("%s", line, -1);
        }
        th_msleepexit(20612);
    }
}

void start_monitor_once() {
    bool expected = false;
    if (!th__monitorstarted.compare_exchange_strong(expected, true)) return;
    memset(th__stat, 0, sizeof th__stat);
    th__statp = 0;
    th_create(th__monitor, nullptr);
}

} // namespace

th_reg th_register(const char* threadname) {
    const char* name = threadname ? threadname : "*unnamed thread*";
    g_mutex_lock(&th__mutex);
    lo_slog("th_register: \"%s\"\n", name, -1);
    if (!th__free) {
        if (th__running) {
            lo_slog("th_register: no free node available.\n", "", -1);
            g_mutex_unlock(&th__mutex);
            return nullptr;
        }
        build_free_list();
    }
    th__reg* n = th__free;
    th__free = n->next;
    n->magic = th__MAGIC;
    n->glibth = g_thread_self();
    strMcpy(n->name, name);
    append_running(n);
    g_mutex_unlock(&th__mutex);
    th_setosname(name);
    return n;
}

bool th_unregister(th_reg thp) {
    g_mutex_lock(&th__mutex);
    if (!thp) thp = th__self();
    if (!valid(thp)) {
        lo_slog("th_unregister: handle invalid.\n", "", -1);
        g_mutex_unlock(&th__mutex);
        return false;
    }
    lo_slog("th_unregister: \"%s\"\n", thp->name, -1);
    release_node(thp);
    g_mutex_unlock(&th__mutex);
    return true;
}

th_reg th__self() {
    if (!th__running) return nullptr;
    GThread* self = g_thread_self();
    if (!self) {
        lo_slog("th_self: g_thread_self reurned NULL\n", "", -1);
        return nullptr;
    }
    th__reg* n = th__running;
    do {
        if (n->glibth == self) return valid(n) ? n : nullptr;
        n = n->next;
    } while (n && n != th__running);
    return nullptr;
}

int th__count() {
    g_mutex_lock(&th__mutex);
    int count = 0;
    if (th__reg* n = th__running) do {
            count++;
            n = n->next;
        } while (n != th__running);
    g_mutex_unlock(&th__mutex);
    return count;
}

bool th_terminate(unsigned long milliseconds) {
    th__terminateflag = true;
    th_wakeall();
    // Without an open display there is no main loop to quit.
    bool quit = gdk_display_get_default() == nullptr;
    while ((milliseconds > 0 && th__count() > 0) || !quit) {
        if (!quit) {
            th_enter();
            if (gtk_main_level() == 0) {
                quit = true;
            } else if (!gtk_events_pending()) {
                gtk_main_quit();
                quit = true;
            }
            th_leave();
        }
        unsigned long slice = min(milliseconds, 250UL);
        if (slice) msleep(slice);
        milliseconds -= slice;
    }
    g_mutex_lock(&th__mutex);
    if (th__reg* n = th__running) do {
            lo_slog("th_terminate error: \"%s\" is still runing.\n", n->name, -1);
            n = n->next;
        } while (n != th__running);
    bool none_left = th__running == nullptr;
    g_mutex_unlock(&th__mutex);
    return none_left;
}

bool th_queryterminate() {
    return th__terminateflag;
}

bool th_msleep(unsigned long milliseconds) {
    return terminable_sleep(milliseconds);
}

bool th_msleepx(unsigned long milliseconds) {
    th_waitfor(milliseconds, terminate_or_end);
    return th__terminateflag;
}

bool th_waitfor(unsigned long milliseconds, bool (*ready)()) {
    return wait_until(milliseconds, ready, true);
}

void th_wakeall() {
    g_mutex_lock(&th__wakemutex);
    g_cond_broadcast(&th__wakecond);
    g_mutex_unlock(&th__wakemutex);
}

void th_requestend() {
    programmende_gewuenscht = true;
    th_wakeall();
}

void th_setosname(const char* name) {
    char os[16];
    strMcpy(os, name ? name : "");
    pthread_setname_np(pthread_self(), os);
}

void th_msleepexit(unsigned long milliseconds) {
    if (!terminable_sleep(milliseconds)) return;
    g_mutex_lock(&th__mutex);
    th__reg* self = th__self();
    if (valid(self)) {
        lo_slog("th_msleepexit: exiting \"%s\"\n", self->name, -1);
        release_node(self);
        g_mutex_unlock(&th__mutex);
        sleep_forever();
    }
    g_mutex_unlock(&th__mutex);
    lo_slog("th_msleepexit: thread was not registered\n", "", -1);
}

void th_sleepinfinite() {
    g_mutex_lock(&th__mutex);
    th__reg* self = th__self();
    char name[16] = "";
    if (self) strMcpy(name, self->name);
    g_mutex_unlock(&th__mutex);
    if (self)
        lo_slog("th_sleepinfinite: \"%s\" is still registered\n", name, -1);
    else
        lo_slog("th_sleepinfinite: unregistered thread - ok.\n", "", -1);
    sleep_forever();
}

GThread* th_create(GThreadFunc func, gpointer data) {
    return th_createx(func, data, 0);
}

// GLib no longer takes a stack size; its threads get the system default (8 MiB on Linux),
// more than any caller asks for. The reference is dropped at once: the threads are never
// joined, and the handle stays valid while the thread runs.
GThread* th_createx(GThreadFunc func, gpointer data, gulong /*stack_size*/) {
    GThread* t = g_thread_try_new(nullptr, func, data, nullptr);
    if (t) g_thread_unref(t);
    return t;
}

guint32 th__statvalue(guint32 counter, bool enter, int line) {
    guint32 l = static_cast<guint32>(line < 0 ? 0 : line) % 100000;
    return (counter % 1000) * 1000000u + (enter ? 100000u : 200000u) + l;
}

void th__statline(const guint32* stat, char* out, size_t n) {
    guint32 sorted[th__statMAX];
    memcpy(sorted, stat, sizeof sorted);
    std::sort(sorted, sorted + th__statMAX);
    const guint32 first = stat[0];
    char* p =
        stpmcpy(out, "GTK thread locks (nnnxlllll for counter, enter/leave, line number):", n);
    for (guint32 v : sorted) {
        if (!v) continue;
        if (v - first > 33999999u && first - v > 33999999u) continue;
        char num[16];
        int len = snprintf(num, sizeof num, "%u", v);
        if (len >= 6) {
            char& kind = num[len - 6];
            kind = kind == '1' ? 'E' : kind == '2' ? 'L' : kind;
        }
        size_t used = static_cast<size_t>(p - out);
        if (used + strlen(num) + 2 >= n) break;
        p = stpmcpy(p, " ", n - used);
        p = stpmcpy(p, num, n - used - 1);
    }
    size_t used = static_cast<size_t>(p - out);
    stpmcpy(p, "\n", n - used);
}

std::atomic<int> th__guilockfaults{0};

namespace {
// The GUI lock is not recursive: a function that takes it is called outside it. Its holder is
// known, so that a nested use, which is a fault of the caller, is reported instead of freezing
// the program: the inner pair then does nothing.
GMutex th__guilock;
std::atomic<GThread*> th__guiholder{nullptr};
thread_local int th__guinested = 0;

void th__guilock_enter() {
    if (th__guiholder.load() == g_thread_self()) {
        th__guinested++;
        th__guilockfaults++;
        lo_slog("!GUI lock taken again by the thread that holds it (last line %li).\n", "",
                static_cast<long>(th__stat[(th__statp.load() + statring - 1) % statring] % 100000));
        return;
    }
    g_mutex_lock(&th__guilock);
    th__guiholder = g_thread_self();
}

void th__guilock_leave() {
    if (th__guinested > 0) {
        th__guinested--;
        return;
    }
    if (th__guiholder.load() != g_thread_self()) {
        th__guilockfaults++;
        lo_slog("!GUI lock released by a thread that does not hold it.\n", "", -1);
        return;
    }
    th__guiholder = nullptr;
    g_mutex_unlock(&th__guilock);
}
} // namespace

bool th__guilockheld() {
    return th__guiholder.load() == g_thread_self();
}

void th_guiinit() {
    static bool done = false;
    if (done) return;
    done = true;
    gdk_threads_set_lock_functions(th__guilock_enter, th__guilock_leave);
    gdk_threads_init();
}

void th_enter_line(int line) {
    start_monitor_once();
    record_lock(true, line);
    gdk_threads_enter();
}

void th_leave_line(int line) {
    gdk_threads_leave();
    record_lock(false, line);
}

bool th_sleepunlessend(unsigned long milliseconds) {
    wait_until(milliseconds, end_requested, false);
    return programmende_gewuenscht;
}
