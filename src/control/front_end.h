// The CONTROL role: the same window and panel icons as the main instance, filled from its
// shared record, with connect and disconnect sent through the record.
#pragma once

#include "control/instance_interface.h"

#include <string>

// Runs until the program end is requested.
void frontend();

// The display lines made from a record (which another program wrote: every text is taken
// bounded, every number as it is).
struct fe__display_t {
    std::string message, mini, error;
    std::string mode, signal, up, down, volume, time;
};
fe__display_t fe__display(const mvlio_t& r, const long max[3], const long maxt[3]);
// The mini line that shows the record's mini text as the main instance shows it: the record
// holds the text as shown (marker gone, marks applied), so the marker is taken from the main
// line, and the text's first blank is written as the mark that stands for it.
std::string fe__miniline(const std::string& message, const std::string& minitext);
