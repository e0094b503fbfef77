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
