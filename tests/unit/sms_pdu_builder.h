// Received SMS built octet by octet for the tests, as a network would send them
// (3GPP TS 23.040 SMS-DELIVER, 3GPP TS 23.038 packing), independent of the program's codec.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Octets = std::vector<uint8_t>;

// Septets packed LSB first, after fillbits zero bits (or ones, to show that they are ignored).
inline Octets pack7(const std::vector<uint8_t>& septets, int fillbits = 0, bool fillones = false) {
    Octets out;
    unsigned acc = fillones ? (1u << fillbits) - 1 : 0;
    int bits = fillbits;
    for (uint8_t s : septets) {
        acc |= static_cast<unsigned>(s & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc & 0xFF));
    return out;
}

// ASCII letters, digits and blank have the same code in the GSM default alphabet.
inline std::vector<uint8_t> septets(const std::string& ascii) {
    return std::vector<uint8_t>(ascii.begin(), ascii.end());
}

inline Octets semioctets(const std::string& digits) {
    Octets out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        unsigned lo = static_cast<unsigned>(digits[i] - '0');
        unsigned hi = i + 1 < digits.size() ? static_cast<unsigned>(digits[i + 1] - '0') : 15;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

struct Deliver {
    Octets centre = {0x07, 0x91, 0x94, 0x71, 0x01, 0x67, 0x00, 0x00}; // +491710760000
    uint8_t first = 0x04;                                             // DELIVER, no more
    uint8_t addrlen = 0;
    uint8_t toa = 0x91;
    Octets addr;
    uint8_t pid = 0;
    uint8_t dcs = 0;
    std::array<uint8_t, 7> stamp = {0x01, 0x21, 0x31, 0x41, 0x51, 0x61, 0x40};
    uint8_t udl = 0;
    Octets ud;

    Deliver& from(const std::string& digits, uint8_t type = 0x91) {
        addrlen = static_cast<uint8_t>(digits.size());
        toa = type;
        addr = semioctets(digits);
        return *this;
    }
    Deliver& fromname(const std::string& name) {
        addr = pack7(septets(name));
        addrlen = static_cast<uint8_t>((name.size() * 7 + 3) / 4);
        toa = 0xD0;
        return *this;
    }
    Deliver& text7(const std::string& ascii) {
        dcs = 0;
        udl = static_cast<uint8_t>(ascii.size());
        ud = pack7(septets(ascii));
        return *this;
    }
    Octets octets() const {
        Octets o = centre;
        o.push_back(first);
        o.push_back(addrlen);
        o.push_back(toa);
        o.insert(o.end(), addr.begin(), addr.end());
        o.push_back(pid);
        o.push_back(dcs);
        o.insert(o.end(), stamp.begin(), stamp.end());
        o.push_back(udl);
        o.insert(o.end(), ud.begin(), ud.end());
        return o;
    }
    std::string hex() const {
        static const char* d = "0123456789ABCDEF";
        std::string s;
        for (uint8_t b : octets()) {
            s += d[b >> 4];
            s += d[b & 15];
        }
        return s;
    }
};

// A part of a long message in GSM 7-bit: the concatenation element (8-bit or 16-bit
// reference) in the header, the text from the next septet boundary.
inline Deliver longpart(const std::string& sender, unsigned ref, int total, int part,
                        const std::string& ascii, bool ref16, bool fillones = false) {
    Deliver d;
    d.from(sender);
    d.first = 0x44;
    Octets udh = ref16 ? Octets{0x06,
                                0x08,
                                0x04,
                                static_cast<uint8_t>(ref >> 8),
                                static_cast<uint8_t>(ref),
                                static_cast<uint8_t>(total),
                                static_cast<uint8_t>(part)}
                       : Octets{0x05,
                                0x00,
                                0x03,
                                static_cast<uint8_t>(ref),
                                static_cast<uint8_t>(total),
                                static_cast<uint8_t>(part)};
    int headerseptets = static_cast<int>((udh.size() * 8 + 6) / 7);
    int fill = headerseptets * 7 - static_cast<int>(udh.size()) * 8;
    Octets text = pack7(septets(ascii), fill, fillones);
    // The first text octet shares its low bits with the fill.
    d.ud = udh;
    d.ud.insert(d.ud.end(), text.begin(), text.end());
    d.udl = static_cast<uint8_t>(headerseptets + static_cast<int>(ascii.size()));
    return d;
}
