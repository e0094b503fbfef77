// The single place where the program ends, pauses for a standby, or interrupts a connection.
#pragma once

// False when nothing was to be done; true after a completed pause; no return at the end.
bool programmende(bool erzwingen);
