// Command words (an empty file in the working directory, or the shared record's command field)
// and the three user-defined programs of the configuration with their start marks.
#pragma once

#include "core/program_services.h"

#include <sys/types.h>

void dateikommandoholen(bool auch_datei);

void sp_ini();
void sp_end();
// The '!' programs, once per run of the program: a pause and restart does not start them again.
void sp_startatstart();

// ---- Parts for the tests ----
// Set once the '!' programs of this run have been started.
extern bool sp__startedatstart;
// Whether a command line's marks ask for its program to be ended ('!' or ',').
bool sp__stoppable(const char* cm);
// Starts "sh -c command" with no input and output, as leader of its own process group, or
// (detached) as an orphan in a session of its own. The pid, or -1.
pid_t sp__spawn(const char* command, bool detached);
// SIGTERM to the group, SIGKILL to what is left of it after grace_ms; true when SIGTERM sufficed.
bool sp__endgroup(pid_t pid, unsigned long grace_ms);
