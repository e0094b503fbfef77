// Dialog texts are put together from translations, settings and modem answers.
#include "ui/message_box.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool inside(const char* p, const std::vector<char>& buf) {
    return p >= buf.data() && p < buf.data() + buf.size();
}

bool sound_text(const char* p, const std::vector<char>& buf) {
    return inside(p, buf) || strcmp(p, "") == 0 || strcmp(p, "Message") == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> buf(data, data + size);
    buf.push_back(0);
    bd__parsed_t p;
    bd__parse(buf.data(), &p);
    if (p.buttn < 0 || p.buttn > bd__COLUMNS) __builtin_trap();
    if (p.buttdef < -1 || p.buttdef >= p.buttn) __builtin_trap();
    if (!sound_text(p.title, buf) || !sound_text(p.message, buf)) __builtin_trap();
    for (int i = 0; i < p.buttn; i++) {
        const bd__column_t& c = p.column[i];
        if (c.ret < 0 || c.ret > 9) __builtin_trap();
        if (!sound_text(c.label, buf) || !sound_text(c.text, buf)) __builtin_trap();
        // Every text ends inside the buffer.
        if (inside(c.text, buf) && !memchr(c.text, 0, buf.data() + buf.size() - c.text))
            __builtin_trap();
    }
    bd__stockicon(p.type);
    return 0;
}
