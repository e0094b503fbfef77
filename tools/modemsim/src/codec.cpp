#include "codec.h"

#include <array>
#include <cstdio>

namespace modemsim {

namespace {

// GSM 03.38 default alphabet as Unicode code points; 0x1B (escape) is shown as a blank.
constexpr std::array<char32_t, 128> kGsmToUnicode = {
    0x40,  0xA3, 0x24, 0xA5,  0xE8, 0xE9,  0xF9,  0xEC,  0xF2,  0xC7,  0x0A,  0xD8,  0xF8,
    0x0D,  0xC5, 0xE5, 0x394, 0x5F, 0x3A6, 0x393, 0x39B, 0x3A9, 0x3A0, 0x3A8, 0x3A3, 0x398,
    0x39E, 0x20, 0xC6, 0xE6,  0xDF, 0xC9,  0x20,  0x21,  0x22,  0x23,  0xA4,  0x25,  0x26,
    0x27,  0x28, 0x29, 0x2A,  0x2B, 0x2C,  0x2D,  0x2E,  0x2F,  0x30,  0x31,  0x32,  0x33,
    0x34,  0x35, 0x36, 0x37,  0x38, 0x39,  0x3A,  0x3B,  0x3C,  0x3D,  0x3E,  0x3F,  0xA1,
    0x41,  0x42, 0x43, 0x44,  0x45, 0x46,  0x47,  0x48,  0x49,  0x4A,  0x4B,  0x4C,  0x4D,
    0x4E,  0x4F, 0x50, 0x51,  0x52, 0x53,  0x54,  0x55,  0x56,  0x57,  0x58,  0x59,  0x5A,
    0xC4,  0xD6, 0xD1, 0xDC,  0xA7, 0xBF,  0x61,  0x62,  0x63,  0x64,  0x65,  0x66,  0x67,
    0x68,  0x69, 0x6A, 0x6B,  0x6C, 0x6D,  0x6E,  0x6F,  0x70,  0x71,  0x72,  0x73,  0x74,
    0x75,  0x76, 0x77, 0x78,  0x79, 0x7A,  0xE4,  0xF6,  0xF1,  0xFC,  0xE0,
};

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Decodes one character: UTF-8 when the bytes form a valid sequence, else the byte as
// Latin-1, so both kinds of scenario text work.
char32_t next_code_point(std::string_view s, std::size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    auto cont = [&](std::size_t k) {
        return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]) & 0x3Fu; };
    if (b >= 0xC2 && b <= 0xDF && cont(1)) {
        char32_t cp = ((b & 0x1Fu) << 6) | bits(1);
        i += 2;
        return cp;
    }
    if (b >= 0xE0 && b <= 0xEF && cont(1) && cont(2)) {
        char32_t cp = ((b & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
        i += 3;
        return cp;
    }
    if (b >= 0xF0 && b <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        char32_t cp = ((b & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
        i += 4;
        return cp;
    }
    ++i;
    return b;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::uint16_t fcs16_update(std::uint16_t fcs, std::string_view data) {
    for (char c : data) {
        fcs ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            fcs = (fcs & 1) ? static_cast<std::uint16_t>((fcs >> 1) ^ 0x8408) : fcs >> 1;
    }
    return fcs;
}

std::uint16_t fcs16(std::string_view data) {
    return static_cast<std::uint16_t>(~fcs16_update(kFcs16Init, data));
}

std::string to_hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

std::optional<std::string> from_hex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = hex_value(hex[i]);
        int lo = hex_value(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

std::string pack_septets(std::string_view septets) {
    std::string out;
    unsigned acc = 0;
    int nbits = 0;
    for (char c : septets) {
        acc |= (static_cast<unsigned>(c) & 0x7Fu) << nbits;
        nbits += 7;
        while (nbits >= 8) {
            out += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            nbits -= 8;
        }
    }
    if (nbits > 0) out += static_cast<char>(acc & 0xFF);
    return out;
}

std::string unpack_septets(std::string_view octets, std::optional<std::size_t> count) {
    std::size_t n = count ? *count : octets.size() * 8 / 7;
    std::string out;
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t bit = k * 7;
        std::size_t byte = bit / 8;
        if (byte >= octets.size()) break;
        unsigned v = static_cast<unsigned char>(octets[byte]);
        if (byte + 1 < octets.size())
            v |= static_cast<unsigned>(static_cast<unsigned char>(octets[byte + 1])) << 8;
        out += static_cast<char>((v >> (bit % 8)) & 0x7F);
    }
    return out;
}

std::string text_to_gsm(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = next_code_point(text, i);
        char g = '?';
        for (std::size_t k = 0; k < kGsmToUnicode.size(); ++k) {
            if (kGsmToUnicode[k] == cp && k != 0x1B) {
                g = static_cast<char>(k);
                break;
            }
        }
        out += g;
    }
    return out;
}

std::string gsm_to_text(std::string_view septets) {
    std::string out;
    for (char c : septets) append_utf8(out, kGsmToUnicode[static_cast<unsigned char>(c) & 0x7F]);
    return out;
}

std::string text_to_ucs2_hex(std::string_view text) {
    std::string units;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = next_code_point(text, i);
        if (cp > 0xFFFF) cp = '?';
        units += static_cast<char>(cp >> 8);
        units += static_cast<char>(cp & 0xFF);
    }
    return to_hex(units);
}

std::string text_to_charset(std::string_view text, std::string_view cscs) {
    if (cscs == "GSM") return text_to_gsm(text);
    if (cscs == "UCS2") return text_to_ucs2_hex(text);
    // Code page 437 for the letters of the Latin-1 range it has.
    static constexpr std::pair<char32_t, unsigned char> kCp437[] = {
        {0xC7, 0x80}, {0xFC, 0x81}, {0xE9, 0x82}, {0xE2, 0x83}, {0xE4, 0x84}, {0xE0, 0x85},
        {0xE5, 0x86}, {0xE7, 0x87}, {0xEA, 0x88}, {0xEB, 0x89}, {0xE8, 0x8A}, {0xEF, 0x8B},
        {0xEE, 0x8C}, {0xEC, 0x8D}, {0xC4, 0x8E}, {0xC5, 0x8F}, {0xC9, 0x90}, {0xE6, 0x91},
        {0xC6, 0x92}, {0xF4, 0x93}, {0xF6, 0x94}, {0xF2, 0x95}, {0xFB, 0x96}, {0xF9, 0x97},
        {0xFF, 0x98}, {0xD6, 0x99}, {0xDC, 0x9A}, {0xA3, 0x9C}, {0xA5, 0x9D}, {0xDF, 0xE1}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = next_code_point(text, i);
        char c = '?';
        if (cp < 0x80)
            c = static_cast<char>(cp);
        else if (cscs == "8859-1" && cp <= 0xFF)
            c = static_cast<char>(cp);
        else if (cscs == "PCCP437")
            for (auto [from, to] : kCp437)
                if (from == cp) c = static_cast<char>(to);
        out += c;
    }
    return out;
}

std::optional<std::string> decode_packed_hex_text(std::string_view hex) {
    if (hex.size() < 2) return std::nullopt;
    auto octets = from_hex(hex);
    if (!octets) return std::nullopt;
    std::string septets = unpack_septets(*octets);
    if (octets->size() % 7 == 0 && !septets.empty() && septets.back() == 0) septets.pop_back();
    return gsm_to_text(septets);
}

std::string escape_bytes(std::string_view s) {
    std::string out;
    for (char c : s) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out;
}

} // namespace modemsim
