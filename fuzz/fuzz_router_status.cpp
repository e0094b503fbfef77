// The router's status page and the configured port text come from outside the program.
#include "modem/router_link.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    cm__linkstatus s = cm__linkparsestatus(text.c_str());
    if (strlen(s.netname) >= sizeof s.netname || strlen(s.unknownsignal) > 20) __builtin_trap();
    if (s.upload < 0 || s.download < 0) __builtin_trap();
    cm__linkconfig c = cm__linkparseconfig(text.c_str());
    if (c.mode && (c.address.empty() || c.address.back() != '/')) __builtin_trap();
    return 0;
}
