// Settings values and scrambled credentials come from a file the user may edit by hand.
#include "fuzz_support.h"

#include "config/scrambling.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fz::ctext text(fz::text(data, size));
    // What is read from the file, stored again, reads back the same.
    std::vector<char> plain(text.v.size() + 1);
    ob_deobfuscate(text.c(), plain.data());
    std::vector<char> stored(6 + 2 * strlen(plain.data()) + 1), back(stored.size());
    ob_obfuscate(plain.data(), stored.data());
    if (ob_deobfuscate(stored.data(), back.data()) && strcmp(back.data(), plain.data()) != 0)
        __builtin_trap();
    char field[7];
    for (char* p = text.m(); *p;) strmtcpy(field, &p, sizeof field, ';');
    fz::bounded([&](char* out, size_t n) { cc_minitext(out, n, text.c()); }, {1, cc_mtextLEN},
                true);
    return 0;
}
