#include "foundation/encodings.h"

#include "foundation/utilities.h"

#include <array>
#include <cstring>
#include <string>

namespace {

struct Utf8Pair {
    unsigned char latin1, b1, b2;
};
constexpr Utf8Pair latin1_to_utf8[] = {
    {0xC4, 0xC3, 0x84}, {0xD6, 0xC3, 0x96}, {0xDC, 0xC3, 0x9C}, {0xE4, 0xC3, 0xA4},
    {0xF6, 0xC3, 0xB6}, {0xFC, 0xC3, 0xBC}, {0xDF, 0xC3, 0x9F}, {0xEB, 0xC3, 0xAB},
    {0xF1, 0xC3, 0xB1}, {0xE1, 0xC3, 0xA1}, {0xE3, 0xC4, 0x83},
};

const Utf8Pair* utf8_of(unsigned char c) {
    for (const auto& p : latin1_to_utf8)
        if (p.latin1 == c) return &p;
    return nullptr;
}

// UTF-8 pairs read back as one Latin-1 character when packing into GSM 7-bit.
unsigned char latin1_from_utf8(unsigned char b1, unsigned char b2) {
    if (b1 == 0xC4 && b2 == 0x83) return 0xE3;
    if (b1 != 0xC3) return 0;
    for (const auto& p : latin1_to_utf8)
        if (p.b1 == 0xC3 && p.b2 == b2) return p.latin1;
    return 0;
}

constexpr unsigned char gsm_underscore = 0x11;

constexpr std::array<unsigned char, 256> make_text_to_gsm() {
    std::array<unsigned char, 256> m{};
    for (auto& v : m) v = gsm_underscore;
    for (int c = '0'; c <= '9'; c++) m[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; c++) m[c] = static_cast<unsigned char>(c);
    for (int c = 'a'; c <= 'z'; c++) m[c] = static_cast<unsigned char>(c);
    for (char c : std::string_view(" !\"#%&'()*+,-./:;<=>?"))
        m[static_cast<unsigned char>(c)] = static_cast<unsigned char>(c);
    constexpr unsigned char others[][2] = {
        {'@', 0x00},  {0xA3, 0x01}, {'$', 0x02},  {0xA5, 0x03}, {0xE8, 0x04}, {0xE9, 0x05},
        {0xF9, 0x06}, {0xEC, 0x07}, {0xF2, 0x08}, {0xC7, 0x09}, {'\n', 0x0A}, {0xD8, 0x0B},
        {0xF8, 0x0C}, {'\r', 0x0D}, {0xC5, 0x0E}, {0xE5, 0x0F}, {'_', 0x11},  {0xC6, 0x1C},
        {0xE6, 0x1D}, {0xDF, 0x1E}, {0xC9, 0x1F}, {0xA4, 0x24}, {0xA1, 0x40}, {0xC4, 0x5B},
        {0xD6, 0x5C}, {0xD1, 0x5D}, {0xDC, 0x5E}, {0xA7, 0x5F}, {0xBF, 0x60}, {0xE4, 0x7B},
        {0xF6, 0x7C}, {0xF1, 0x7D}, {0xFC, 0x7E}, {0xE0, 0x7F}, {0x80, 0x65},
    };
    for (const auto& o : others) m[o[0]] = o[1];
    return m;
}
constexpr auto text_to_gsm = make_text_to_gsm();

constexpr std::array<unsigned char, 128> make_gsm_to_text() {
    std::array<unsigned char, 128> m{};
    for (int c = 0; c < 128; c++) m[c] = static_cast<unsigned char>(c);
    constexpr unsigned char specials[][2] = {
        {0x00, '@'},  {0x01, 0xA3}, {0x02, '$'},  {0x03, 0xA5}, {0x04, 0xE8}, {0x05, 0xE9},
        {0x06, 0xF9}, {0x07, 0xEC}, {0x08, 0xF2}, {0x09, 0xC7}, {0x0A, '\n'}, {0x0B, 0xD8},
        {0x0C, 0xF8}, {0x0D, '\r'}, {0x0E, 0xC5}, {0x0F, 0xE5}, {0x10, '^'},  {0x11, '_'},
        {0x12, '*'},  {0x13, '*'},  {0x14, '^'},  {0x15, 'O'},  {0x16, 'P'},  {0x17, '*'},
        {0x18, 'S'},  {0x19, '*'},  {0x1A, '*'},  {0x1B, ' '},  {0x1C, 0xC6}, {0x1D, 0xE6},
        {0x1E, 0xDF}, {0x1F, 0xC9}, {0x24, 0xD7}, {0x40, 0xA1}, {0x5B, 0xC4}, {0x5C, 0xD6},
        {0x5D, 0xD1}, {0x5E, 0xDC}, {0x5F, 0xA7}, {0x60, 0xBF}, {0x7B, 0xE4}, {0x7C, 0xF6},
        {0x7D, 0xF1}, {0x7E, 0xFC}, {0x7F, 0xE0},
    };
    for (const auto& s : specials) m[s[0]] = s[1];
    return m;
}
constexpr auto gsm_to_text = make_gsm_to_text();

int hexvalue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool all_hex(const char* t, size_t len) {
    for (size_t i = 0; i < len; i++)
        if (!ishexdigit(t[i])) return false;
    return true;
}

char hexdigit(unsigned v) {
    return "0123456789ABCDEF"[v & 15];
}

} // namespace

char* strmtoutf8(char* dest, const char* src, size_t maxlen) {
    if (maxlen == 0) return dest;
    const auto* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    size_t room = maxlen - 1; // bytes left before the terminating NUL
    size_t o = 0;
    for (size_t i = 0; s[i]; i++) {
        unsigned char c = s[i];
        const Utf8Pair* p = utf8_of(c);
        if (p && room >= 2) {
            dest[o++] = static_cast<char>(p->b1);
            dest[o++] = static_cast<char>(p->b2);
            room -= 2;
        } else if ((c == 0xC3 || c == 0xC4) && s[i + 1] >= 0x80) {
            if (room < 2) break;
            dest[o++] = static_cast<char>(c);
            dest[o++] = static_cast<char>(s[++i]);
            room -= 2;
        } else if (c == 0xE2 && s[i + 1] == 0x86 && s[i + 2] >= 0x80) {
            if (room < 3) break;
            for (int k = 0; k < 3; k++) dest[o++] = static_cast<char>(s[i + k]);
            i += 2;
            room -= 3;
        } else {
            if (room < 1) break;
            dest[o++] = c < 0x80 ? static_cast<char>(c) : '_';
            room--;
        }
    }
    dest[o] = 0;
    return dest;
}

bool ucs2hextostr(char* t) {
    size_t len = strlen(t);
    if (len < 4 || len % 4 || !all_hex(t, len)) return false;
    size_t out = 0;
    for (size_t i = 0; i < len; i += 4) {
        unsigned c = 0;
        for (size_t k = 0; k < 4; k++) c = c * 16 + static_cast<unsigned>(hexvalue(t[i + k]));
        // Each group of four digits gives at most three bytes: the text never overtakes the
        // digits still to be read.
        if (c <= 0xFF) {
            t[out++] = static_cast<char>(c);
        } else if (c == 0x20AC) {
            memcpy(t + out, "EUR", 3); // as the SMS texts show the euro sign
            out += 3;
        } else {
            t[out++] = '?';
        }
    }
    t[out] = 0;
    return true;
}

bool utf16hextostr(char* t) {
    size_t len = strlen(t);
    if (len < 8 || len % 4 || !all_hex(t, len) || t[0] != '0' || t[4] != '0') return false;
    return ucs2hextostr(t);
}

int strtosevenhex(char* t, bool bin, int maxlen) {
    // Map to septets first; the packed form is never longer than the input.
    std::string septets;
    const auto* s = reinterpret_cast<const unsigned char*>(t);
    for (size_t i = 0; s[i] && static_cast<int>(septets.size()) < maxlen; i++) {
        unsigned char c = s[i];
        if (s[i + 1])
            if (unsigned char l = latin1_from_utf8(c, s[i + 1])) c = l, i++;
        septets.push_back(static_cast<char>(text_to_gsm[c]));
    }
    size_t n = septets.size();
    size_t octets = (7 * n + 7) / 8;
    auto* out = reinterpret_cast<unsigned char*>(t);
    memset(out, 0, octets);
    for (size_t k = 0; k < n; k++) {
        unsigned v = static_cast<unsigned char>(septets[k]) & 0x7F;
        size_t bit = 7 * k, at = bit / 8;
        unsigned shift = bit % 8;
        out[at] = static_cast<unsigned char>(out[at] | (v << shift));
        if (shift > 1) out[at + 1] = static_cast<unsigned char>(out[at + 1] | (v >> (8 - shift)));
    }
    if (bin) {
        out[octets] = 0;
        return static_cast<int>(n);
    }
    t[2 * octets] = 0;
    for (size_t i = octets; i-- > 0;) {
        unsigned v = out[i];
        t[2 * i] = hexdigit(v >> 4);
        t[2 * i + 1] = hexdigit(v);
    }
    return static_cast<int>(n);
}

bool sevenhextostr(char* t) {
    size_t len = strlen(t);
    if (len < 4 || len % 2 || !all_hex(t, len)) return false;
    strupper(t);
    size_t octets = len / 2;
    std::string bytes(octets, '\0');
    for (size_t i = 0; i < octets; i++)
        bytes[i] = static_cast<char>(hexvalue(t[2 * i]) * 16 + hexvalue(t[2 * i + 1]));
    size_t n = octets * 8 / 7;
    for (size_t k = 0; k < n; k++) {
        size_t bit = 7 * k, at = bit / 8;
        unsigned shift = bit % 8;
        unsigned v = static_cast<unsigned char>(bytes[at]) >> shift;
        if (shift > 1)
            v |= static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << (8 - shift);
        t[k] = static_cast<char>(gsm_to_text[v & 0x7F]);
    }
    if (n && t[n - 1] == '@') n--;
    t[n] = 0;
    return true;
}
