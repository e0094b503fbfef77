// Incoming calls as a remote control while offline.
#pragma once

#include <cstddef>

// Detection runs while offline, with call entries configured, in the dial-up roles.
#define cm__ringdetect_ACTIVE (onlinezeit == 0 && inidat.smsring && inidat.funktion < 40)

// The real-time clock of the ring hold-off (1/100 s, monotonic) and its value at the last ring.
extern unsigned long (*cm__ringclock)();
extern unsigned long cm__ringreal;

// Removes unsolicited RING and +CLIP lines from an answer just read and acts on them.
void cm__ringdetect(char* t);

// Pure part: removes every "RING" followed by CR or LF and every "+CLIP" line (up to its line
// end) from t. rang tells whether a RING was there; number receives the first caller number
// of 4 to 48 characters ("+" and digits), "" when there is none.
void cm__ringscan(char* t, bool* rang, char* number, size_t n);
