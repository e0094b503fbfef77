// The splash window: a small yellow undecorated window with the program name and a state
// text at start, restart, end, standby, while the configuration is stored, and as short
// confirmations, some of which hide themselves.
#pragma once

#include "core/user_contact.h"

// The text of a kind and how long it stays (0 until the next call); null when the kind hides
// the window.
struct cs__kind_t {
    const char* text;
    unsigned long hideafter;
};
cs__kind_t cs__kind(int kind);
