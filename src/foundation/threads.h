// Registry of the program's named worker threads, the terminate flag with interruptible
// sleeps, the orderly shutdown step, and the GUI lock that guards every GTK call.
#pragma once

#include <atomic>
#include <glib.h>

struct th__reg {
    th__reg* next;
    th__reg* prev;
    GThread* glibth;
    guint32 magic;
    char name[16];
};
typedef th__reg* th_reg;

#define th__MAGIC 0x74684d41u
#define th__NODES 30
#define th__statMAX 32

th_reg th_register(const char* threadname);
bool th_unregister(th_reg thp);
th_reg th__self();
bool th_terminate(unsigned long milliseconds);
bool th_queryterminate();
bool th_msleep(unsigned long milliseconds);
bool th_msleepx(unsigned long milliseconds);
void th_msleepexit(unsigned long milliseconds);
[[noreturn]] void th_sleepinfinite();
// Waits up to the given time until ready() holds or the terminate request comes; true when
// ready() held. ready() is looked at under the wake lock and only reads flags.
bool th_waitfor(unsigned long milliseconds, bool (*ready)());
// Wakes every waiting thread so that it looks at its requests and its work again: called by
// whoever raises a request or hands a waiting thread its work.
void th_wakeall();
// Raises programmende_gewuenscht and wakes the sleepers: the one way to ask for the end.
void th_requestend();
// Sleeps until the time is up or the end is requested; true when it is.
bool th_sleepunlessend(unsigned long milliseconds);
// The calling thread's name as the system shows it (top -H, debuggers), cut to 15 characters.
void th_setosname(const char* name);
GThread* th_create(GThreadFunc func, gpointer data);
GThread* th_createx(GThreadFunc func, gpointer data, gulong stack_size);

// Lock order: the GUI lock is the outermost lock. A module mutex (the registry's, the user
// programs', the timer's) is taken inside it or without it, never around it; a function that
// takes the GUI lock itself (cc_show, the panel icons, message boxes, dialogs, cs_show) is
// called outside it. GTK callbacks and the timer tick run inside it.
//
// Sets up the GUI lock (not recursive) before GTK starts.
void th_guiinit();
void th_enter_line(int line);
void th_leave_line(int line);
#define th_enter() th_enter_line(__LINE__)
#define th_leave() th_leave_line(__LINE__)

// The last GUI lock operations, "nnnxlllll": counter mod 1000, 1 enter / 2 leave, line.
extern guint32 th__stat[th__statMAX];
// Pure parts of the lock statistics, for the monitor and its tests.
guint32 th__statvalue(guint32 counter, bool enter, int line);
void th__statline(const guint32* stat, char* out, size_t n);
// Number of registered threads.
int th__count();
// Whether the calling thread holds the GUI lock; how often it was taken again by its holder or
// released by another thread (faults of the callers, reported in the service log).
bool th__guilockheld();
extern std::atomic<int> th__guilockfaults;
