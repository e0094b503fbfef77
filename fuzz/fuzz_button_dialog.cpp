// Dialog texts are put together from translations, settings and modem answers.
#include "fuzz_support.h"

#include "ui/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fz::ctext buf(std::string(reinterpret_cast<const char*>(data), size));
    bd__parsed_t p;
    bd__parse(buf.m(), &p);
    if (p.buttn < 0 || p.buttn > bd__COLUMNS || p.buttdef < -1 || p.buttdef >= p.buttn)
        __builtin_trap();
    static volatile size_t chars; // every text is read to its end, where it may be read
    chars = strlen(p.title) + strlen(p.message);
    for (int i = 0; i < p.buttn; i++) chars = strlen(p.column[i].label) + strlen(p.column[i].text);
    bd__stockicon(p.type);
    return 0;
}
