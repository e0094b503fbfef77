// The command table shared by the parser and the command implementations.
#pragma once

#include "modem.h"

#include <string_view>

namespace modemsim {

struct CommandEntry {
    std::string_view name;
    AtPort::Handler handler;
    unsigned feature; // 0: every profile
};

const CommandEntry* find_command(std::string_view name);

} // namespace modemsim
