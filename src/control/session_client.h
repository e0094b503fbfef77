// A small client of the X session-management protocol: when the desktop session ends, the
// program asks to interact, ends in order, and only then lets the logout go on.
#pragma once

#include <X11/SM/SMlib.h>

// Connects to the session manager named by SESSION_MANAGER; without it does nothing.
void mt_sessionhook();
// "save-yourself": at a shutdown that allows interaction, asks for it and requests the end.
bool shutdownproc(SmcConn conn, SmPointer par, int save_type, bool shutdown, int interact_style,
                  bool fast);
// The interaction was granted; program end answers it once it has finished.
void shutdowninteract(SmcConn conn, SmPointer par);
// Last step of program end: answers a pending interaction (the logout is not cancelled), ends
// the save-yourself and closes the connection to the session manager.
void mt_sessioninteractiondone();
