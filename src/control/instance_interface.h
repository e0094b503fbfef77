// How instances of the program find each other: process flags (System V semaphore sets that
// hold the pid of the instance that raised them) and the shared status record mvlio_t, which
// the main instance creates and other programs read and send commands through.
#pragma once

#include "core/program_services.h"
#include "core/shared_record.h"
#include "foundation/utilities.h"

// Tells the user to end a running main instance first; 1 when one runs, else 0.
int ia_instance_message();
// 1 raises the SMS flag, 2 clears it (both false); 0 is true on a rising edge only.
bool ia_smssignal(int f);

// A semaphore holds at most 32767, so the pid is kept in two 15-bit halves.
void ii__pidsplit(long pid, unsigned short halves[2]);
long ii__pidjoin(unsigned short low, unsigned short high);
// "major.minor" as major * 256 + minor ("0.4" gives 4).
uint16_t ii__versionnumber(const char* version);
// Whether a process with this id exists (its directory under /proc).
bool ii__pidalive(long pid);

// Flags and record are this user's alone. An object under a key that belongs to another user
// (as owner or creator) or allows more than the configured rights is never used: the program
// moves on along a chain of keys of its own, which its other programs walk the same way.
#define ii__KEYCHAIN 4
// Key n of the chain for a base key: the base key itself, then keys set apart by n and by the
// user id (the low bits, which tell flags, record and instance apart, stay).
unsigned long ii__chainkey(unsigned long key, unsigned uid, int n);
struct ii__ipcowner {
    unsigned uid, cuid, mode;
};
// Whether an object of this owner, creator and mode may be used by user self with rights
// allowed (the semaphores always 0600; the record 0600 or what IPC= adds).
bool ii__trusted(const ii__ipcowner& o, unsigned self, unsigned allowed);

extern int ii__mvlioid;
extern bool mvlior_rw;
extern bool mvlioneu;

void ii_ini();
// cre: create the record (main instance); else attach as a reader, which may write the command
// field when mvlior_rw.
void ii_start(bool cre);
// Detaches. The main instance first sets process_counter to 0 and removes the segment, which
// goes when its last reader detaches; a reader only detaches.
void ii_stop();
void ii_end();
// The record for its command and answer fields: the main instance's, or a reader's attached
// read-write; null when commands cannot be written.
mvlio_t* ii_commandrecord();
