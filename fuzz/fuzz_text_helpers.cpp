// Settings values and scrambled credentials come from a file the user may edit by hand.
#include "config/scrambling.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back(0);

    std::vector<char> plain(text.size() + 1);
    ob_deobfuscate(text.data(), plain.data());
    std::vector<char> stored(6 + 2 * strlen(plain.data()) + 1);
    ob_obfuscate(plain.data(), stored.data());
    std::vector<char> back(stored.size());
    if (ob_deobfuscate(stored.data(), back.data()) && strcmp(back.data(), plain.data()) != 0)
        __builtin_trap();

    char* p = text.data();
    char field[7];
    while (*p) strmtcpy(field, &p, sizeof field, ';');

    char mini[cc_mtextLEN];
    cc_minitext(mini, sizeof mini, text.data());
    return 0;
}
