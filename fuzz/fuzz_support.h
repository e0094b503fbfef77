// Pieces the fuzz targets share: exact-size C strings, the NUL check of output buffers,
// splitting an input into several texts, and the invariants of the length correction.
#pragma once

#include "modem/at_channel.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fz {

// A C string in a heap block of exactly its size, so that reading past its end is caught.
struct ctext {
    explicit ctext(const std::string& s) : v(s.size() + 1, 0) {
        memcpy(v.data(), s.data(), s.size());
    }
    const char* c() const { return v.data(); }
    char* m() { return v.data(); }
    size_t len() const { return v.size() - 1; }
    std::vector<char> v;
};

inline bool terminated(const std::vector<char>& b) {
    return memchr(b.data(), 0, b.size()) != nullptr;
}

inline bool starts_with(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}

// Splits off the leading pieces ended by NUL or newline; the remainder (up to its first NUL)
// is the last element.
inline std::vector<std::string> pieces(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> out;
    size_t i = 0;
    while (out.size() + 1 < count) {
        size_t j = i;
        while (j < size && data[j] != 0 && data[j] != '\n') j++;
        out.emplace_back(reinterpret_cast<const char*>(data) + i, j - i);
        i = j < size ? j + 1 : size;
    }
    std::string rest(reinterpret_cast<const char*>(data) + i, size - i);
    out.push_back(rest.c_str());
    return out;
}

// t is a secondary-port answer with its four leading blanks: the correction only cuts the
// text, keeps the blanks, and a note it gives is never empty.
inline void check_corrected_length(char* t, int lenbyte) {
    std::string before = t;
    const char* note = cm__correctlength(t, lenbyte);
    if (note && !note[0]) __builtin_trap();
    size_t len = strlen(t);
    if (len > before.size() || before.compare(0, len, t) != 0) __builtin_trap();
    if (len < 4 || memcmp(t, "    ", 4) != 0) __builtin_trap();
}

} // namespace fz
