// Device names come from the system's by-id directories and answers from the modem: neither
// is under the program's control. The same bytes are read as a by-id name, an "ATI" answer,
// a SIM state answer and a stored PIN.
#include "modem/device_search.h"
#include "modem/operating_mode.h"
#include "modem/sim_pin.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool terminated_within(const char* out, size_t n) {
    return memchr(out, 0, n) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back(0);
    const char* t = text.data();

    de__byid_t c = de__classifybyid(t);
    if (c.use == de__USE_NONE) {
        if (c.maker[0] || c.device || c.priority) __builtin_trap();
    } else if (!c.maker[0] || c.priority < 21 || c.priority > 41 || c.device < 1 || c.device > 8) {
        __builtin_trap();
    }

    int d = de__classifyati(t);
    if (d < 0 || (d > 8 && d != 11 && d != 12)) __builtin_trap();
    de__novatelnewer(t);
    de__inipin_pin_ok(t);

    for (size_t n : {size_t{1}, size_t{9}, size_t{700}}) {
        std::vector<char> out(n, 'x');
        de__pincommand(out.data(), n, t, 3);
        if (!terminated_within(out.data(), n)) __builtin_trap();
        de__pincommand(out.data(), n, t, 5);
        if (!terminated_within(out.data(), n)) __builtin_trap();
    }
    if (size >= 2) {
        char cmd[16];
        de__opmodecommand(cmd, sizeof cmd, static_cast<int8_t>(data[0]),
                          static_cast<int8_t>(data[1]), data[0] & 1);
        if (!terminated_within(cmd, sizeof cmd)) __builtin_trap();
    }
    return 0;
}
