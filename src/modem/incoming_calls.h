// Incoming calls as a remote control while offline.
#pragma once

// Detection runs while offline, with call entries configured, in the dial-up roles.
#define cm__ringdetect_ACTIVE (onlinezeit == 0 && inidat.smsring && inidat.funktion < 40)

// Removes unsolicited RING and +CLIP lines from an answer just read and acts on them.
void cm__ringdetect(char* t);
