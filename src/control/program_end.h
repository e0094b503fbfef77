// The single place where the program ends, pauses for a standby, or interrupts a connection.
#pragma once

#include "core/program_services.h"

#include <string>

// False when nothing was to be done; true after a completed pause; no return at the end.
bool programmende(bool erzwingen);

// The automatic end conditions, checked in this order (times in hundredths of a second).
enum pe__condition { pe__NONE, pe__RESTARTED, pe__NOCONNECTION, pe__ONLINETIME, pe__INACTIVETIME };
pe__condition pe__endcondition(bool controlrole, bool endsignal, bool connected,
                               unsigned long online, unsigned long offline, unsigned long idle,
                               long nocminutes, long endminutes, bool endforce);
// The shell command that shuts the computer down (or reboots it) a minute later.
std::string pe__shutdowncommand(bool reboot, bool german);
