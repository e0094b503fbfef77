// Unlocking the SIM: modem preparation on the command port, the SIM state, PIN, PUK.
#pragma once

#include <cstddef>

// Results of de_inipin.
#define PIN_NOPORT -1  // connected before the start, or the command port does not open
#define PIN_READY 0    // SIM ready (or no PIN handling here)
#define PIN_NEEDED 1   // a PIN must be entered (also after unlocking with the PUK)
#define PIN_NOANSWER 2 // the modem does not answer "OK"
#define PIN_REJECTED 3 // the PIN was rejected
#define PIN_NEEDSPUK 4 // the SIM needs the PUK
#define PIN_BADPUK 5   // the PUK was rejected
#define PIN_NOSIM 6    // no SIM

// art 1: full preparation with factory reset; 0: without it, and at once 0 when a check
// succeeded in this start; 2: PIN handling only.
int de_inipin(int art);
// Whether a SIM state answer means the SIM can be used without a PIN.
bool de__inipin_pin_ok(const char* t);
// Whether a SIM state answer says the SIM is still starting up (busy, or a plain error).
bool de__simstarting(const char* t);
// Attempts left for PIN and PUK (-1 unknown) from the maker's answer: "+CPINR:" lines,
// Huawei "^CPIN:", Option "_OERCN:", Sierra "!CPINC:".
struct de__attempts_t {
    int pin = -1;
    int puk = -1;
};
de__attempts_t de__pinattempts(const char* t);
// The PIN command for a device: the PIN, or PUK and new PIN separated by a comma.
void de__pincommand(char* out, size_t n, const char* pin, int device);
