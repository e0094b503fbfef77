// The start-up sequence around the reading of "mavlyn.ini": data directory, role, one dial-up
// instance, service log, start delay, first installation, then for the dial-up roles the
// port search, PIN, network list and APN with the user, and the user programs at start.
#pragma once

#include <cstddef>

// -1 end now; 0 carry on; 1 the user must act first (hint shown, program ends, funktion 0);
// 2 the file was written because of INIWRITEEXIT.
int iv_iniparse();

// ---- Pure parts of the modem dialogue at start ----

// Whether an "ATI" answer names a modem the "?" port search accepts.
bool iv__knownmodem(const char* answer);
// Appends the networks of an "AT+COPS=?" answer to net (';' separated); the count added.
int iv__networklist(const char* answer, char* net, size_t n);
// The network code of an "AT+COPS?" answer, upper-cased; false for none or no service.
bool iv__copsnetwork(const char* answer, char* code, size_t n);
// The APN for a network code, "" when none is known.
const char* iv__apnfornetwork(const char* code);
