// Modem answers (USSD, SMS texts) reach the decoders unchecked: any bytes must be safe.
#include "foundation/encodings.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back(0);

    std::vector<char> t = text;
    sevenhextostr(t.data());
    t = text;
    utf16hextostr(t.data());

    // The packer needs twice the packed length plus one; give it that much room.
    t.assign(2 * text.size() + 2, 0);
    memcpy(t.data(), text.data(), text.size());
    strtosevenhex(t.data(), size % 2, static_cast<int>(size % 200));
    t.assign(2 * text.size() + 2, 0);
    memcpy(t.data(), text.data(), text.size());
    strtosevenhex(t.data(), false, 1 << 20);
    sevenhextostr(t.data());

    char out[64];
    strmtoutf8(out, text.data(), size % sizeof out);
    std::vector<char> big(3 * text.size() + 1);
    strmtoutf8(big.data(), text.data(), big.size());
    return 0;
}
