// What the foundation reads of the running program. The flags belong to the session state
// (core/session_state.h includes this header), the switches are answered by the configuration
// record; both live above the foundation, which only reads them.
#pragma once

// Set when the program is to end; sliced sleeps stop early on it.
extern bool programmende_gewuenscht;
// Pause state: 0 normal, 1 pause requested, 2 pausing, 3 paused, 4 restarting.
extern int ruhestatus;
// 1 once an SMS file was written, for the SMS button and panel icon.
extern int smssignalstatus;
// Sounds off.
extern bool tonlos;
// The connection log's file name (connlog.txt, or the profile's own).
extern char connlogdatei[55];

// Whether option letter m of the MOD key is set.
bool rs_mode(char m);
// Whether this instance runs in the control role, which writes no logs of its own.
bool rs_controlrole();
// Whether the connection log is kept (either of its rounding options set).
bool rs_connectionlog();
