// Modem answers (USSD, SMS texts) reach the decoders unchecked: any bytes must be safe.
#include "fuzz_support.h"

#include "foundation/encodings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fz::text(data, size);
    fz::ctext t(text);
    sevenhextostr(t.m());
    t = fz::ctext(text);
    utf16hextostr(t.m());
    // The packer needs twice the packed length plus one; it is given that much room.
    for (int maxlen : {static_cast<int>(size % 200), 1 << 20}) {
        std::vector<char> packed(2 * text.size() + 2, 0);
        memcpy(packed.data(), text.data(), text.size());
        strtosevenhex(packed.data(), size % 2, maxlen);
        sevenhextostr(packed.data());
    }
    fz::bounded([&](char* out, size_t n) { strmtoutf8(out, text.c_str(), n); },
                {1, size % 64 + 1, 3 * text.size() + 1}, true);
    return 0;
}
