// Installation: the first step places program, manual and standard settings in the data
// directory and restarts from there; the second step creates or updates the program copies
// named after the roles. And the removal of all users' data directories.
#pragma once

#include <cstddef>

// First step (no valid file). False: the program ends (it always does, by design: the
// second step takes over, or the user cancelled, or an error was shown).
bool iv__firstinstall();
// Second step with an existing "mavlyn.ini": updates the program copies. -1: end now.
int iv__updatecopies();
// Creates the program copies CONFIG, GPRS, UMTS, UMTSGPRS. False: failed, the program ends.
bool iv__createcopies();
// Role 90: asks, then removes the data directories of all users.
void iv_debianremove();

// ---- Parts without dialogs ----

// The names the update looks for, in order, and their count.
extern const char* const iv__copynames[];
extern const int iv__copynamecount;
// The running program file, as copies are made from it.
extern const char* iv__programfile;

// Steps 5 to 7 of the first step into target (ending in '/'). False on a failure.
bool iv__placeprogram(const char* invocation, const char* target, bool german, bool sysdir);
// Step 8: starts "./mavlyn INSTALLSUB_D|E &" in target. False when that is not possible.
bool iv__startsecondstep(const char* target, bool german);
// The copy loop of the update: each existing copy gets the program file; the first one is
// kept as "mavlyn_downdate" before. Returns the number of copies found; *failed receives
// the name of a copy that could not be overwritten ("" when none).
int iv__updateexisting(char* failed, size_t n);
// Removes home/mavlyn when it is a real folder (no link) owned by the owner of home, with all
// it holds; links inside are removed as links, never followed. True when it has gone.
bool iv__removeuserfolder(const char* home);
// The data folders of all users: every homes/NAME/mavlyn, then roothome/mavlyn.
void iv__runremove(const char* homes = "/home", const char* roothome = "/root");
// Whether two paths name the same file (a copy onto itself would empty it).
bool iv__samefile(const char* a, const char* b);
