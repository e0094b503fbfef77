// A counter reset made in the configuration program while a main instance runs. The main
// instance keeps its counters in memory and would write them back over the reset at its next
// header update, so it is told through the shared record's command field and resets its own.
#pragma once

// Configuration side: posts "mavlyn_COUNTERRESET" followed by V (volume), T (time) or both
// to a running main instance, waiting up to 10 s for the command field to be free.
void ii_postcounterreset(bool volume, bool time);

// Main side: carries out such a command found in the shared record and writes the header
// at once; true when there was one.
bool ii_takecounterreset();

// Which counters a command text resets; false when it is no counter reset.
bool ii__counterresetcommand(const char* command, bool* volume, bool* time);
