// What the fuzz targets share: texts and output fields in heap blocks of exactly their size,
// so that the sanitizer catches any read or write past either end.
#pragma once

#include "modem/at_channel.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace fz {

// A C string in a block of exactly its size.
struct ctext {
    explicit ctext(const std::string& s) : v(s.c_str(), s.c_str() + s.size() + 1) {}
    const char* c() const { return v.data(); }
    char* m() { return v.data(); }
    size_t len() const { return v.size() - 1; }
    std::vector<char> v;
};

// The input as the program sees a text: up to its first NUL.
inline std::string text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

inline bool terminated(const std::vector<char>& b) {
    return memchr(b.data(), 0, b.size()) != nullptr;
}

inline bool starts_with(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}

// The input as `count` texts: the leading ones end at a NUL or newline, the last takes the
// rest up to its first NUL.
inline std::vector<std::string> pieces(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> out;
    size_t i = 0;
    while (out.size() + 1 < count) {
        size_t j = i;
        while (j < size && data[j] != 0 && data[j] != '\n') j++;
        out.emplace_back(reinterpret_cast<const char*>(data) + i, j - i);
        i = j < size ? j + 1 : size;
    }
    out.push_back(text(data + i, size - i));
    return out;
}

// Calls fill(out, n) with output fields of each size, from no room to plenty; each must come
// back NUL-terminated.
template <class F> void each_size(F fill, std::initializer_list<size_t> sizes = {1, 5, 20, 900}) {
    for (size_t n : sizes) {
        std::vector<char> out(n, 'x');
        fill(out.data(), n);
        if (!memchr(out.data(), 0, n)) __builtin_trap();
    }
}

// The same for functions that fill two fields (area and cell, say) and tell whether they
// did. With `marks`, a first field whose first byte is 1 is not supported by the modem and
// must be left alone.
template <class F> void each_size2(F fill, bool marks = true) {
    for (size_t n : {1, 5, 20})
        for (char first : {'x', marks ? '\1' : 'y'}) {
            std::vector<char> a(n, 'x'), b(n + 1, 'x');
            a[0] = first;
            const std::vector<char> a0 = a;
            bool wrote = fill(a.data(), n, b.data(), n + 1);
            if (first == 1 && a != a0) __builtin_trap();
            if (wrote && (!memchr(b.data(), 0, n + 1) || (first != 1 && !memchr(a.data(), 0, n))))
                __builtin_trap();
        }
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
