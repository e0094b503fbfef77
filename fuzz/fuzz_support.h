// What the fuzz targets share: texts and output fields in heap blocks of exactly their size,
// so that the sanitizer catches any read or write past either end.
#pragma once

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

// Calls write(out, n) with ample room and with output fields of each size: each must come
// back NUL-terminated and, unless `cut_anywhere`, hold the start of what ample room gives.
// Returns the text written with ample room.
template <class F>
std::string bounded(F write, std::initializer_list<size_t> sizes = {1, 5, 20, 900},
                    bool cut_anywhere = false) {
    std::vector<char> big(8 * 4096 + 64, 'x');
    write(big.data(), big.size());
    if (!terminated(big)) __builtin_trap();
    for (size_t n : sizes) {
        std::vector<char> out(n, 'x');
        write(out.data(), n);
        if (!terminated(out) ||
            (!cut_anywhere && strncmp(big.data(), out.data(), strlen(out.data()))))
            __builtin_trap();
    }
    return big.data();
}

} // namespace fz
