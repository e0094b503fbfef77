// The router's status page and the configured port text come from outside the program.
#include "fuzz_support.h"

#include "modem/router_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fz::text(data, size);
    cm__linkstatus s = cm__linkparsestatus(text.c_str());
    if (strlen(s.netname) >= sizeof s.netname || s.upload < 0 || s.download < 0) __builtin_trap();
    cm__linkparseconfig(text.c_str());
    return 0;
}
