// Received SMS built octet by octet for the tests, as a network would send them
// (3GPP TS 23.040 SMS-DELIVER, 3GPP TS 23.038 packing), independent of the program's codec.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Octets = std::vector<uint8_t>;

// Septets packed LSB first, after fillbits zero bits (or ones, to show that they are ignored).
// ASCII letters, digits and blank have the same code in the GSM default alphabet.
inline Octets pack7(const std::string& septets, int fillbits = 0, bool fillones = false) {
    Octets out;
    unsigned acc = fillones ? (1u << fillbits) - 1 : 0;
    int bits = fillbits;
    for (char s : septets) {
        acc |= static_cast<unsigned>(s & 0x7F) << bits;
        for (bits += 7; bits >= 8; bits -= 8, acc >>= 8) out.push_back(static_cast<uint8_t>(acc));
    }
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
    return out;
}

struct Deliver {
    Octets centre = {0x07, 0x91, 0x94, 0x71, 0x01, 0x67, 0x00, 0x00}; // +491710760000
    uint8_t first = 0x04;                                             // DELIVER, no more
    uint8_t addrlen = 0, toa = 0x91, pid = 0, dcs = 0, udl = 0;
    Octets addr, stamp = {0x01, 0x21, 0x31, 0x41, 0x51, 0x61, 0x40}, ud;

    Deliver& from(const std::string& digits, uint8_t type = 0x91) {
        addrlen = static_cast<uint8_t>(digits.size());
        toa = type;
        addr.clear();
        for (size_t i = 0; i < digits.size(); i += 2) {
            unsigned hi = i + 1 < digits.size() ? static_cast<unsigned>(digits[i + 1] - '0') : 15;
            addr.push_back(static_cast<uint8_t>(hi << 4 | static_cast<unsigned>(digits[i] - '0')));
        }
        return *this;
    }
    Deliver& fromname(const std::string& name) {
        addr = pack7(name);
        addrlen = static_cast<uint8_t>((name.size() * 7 + 3) / 4);
        toa = 0xD0;
        return *this;
    }
    Deliver& text7(const std::string& septets) {
        dcs = 0;
        udl = static_cast<uint8_t>(septets.size());
        ud = pack7(septets);
        return *this;
    }
    Octets octets() const {
        Octets o = centre;
        for (const Octets& part :
             {Octets{first, addrlen, toa}, addr, Octets{pid, dcs}, stamp, Octets{udl}, ud})
            o.insert(o.end(), part.begin(), part.end());
        return o;
    }
    std::string hex() const {
        std::string s;
        for (uint8_t b : octets()) s += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
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
    auto u8 = [](unsigned v) { return static_cast<uint8_t>(v); };
    Octets udh = ref16 ? Octets{6, 8, 4, u8(ref >> 8), u8(ref), u8(total), u8(part)}
                       : Octets{5, 0, 3, u8(ref), u8(total), u8(part)};
    int headerseptets = static_cast<int>((udh.size() * 8 + 6) / 7);
    int fill = headerseptets * 7 - static_cast<int>(udh.size()) * 8;
    // The first text octet shares its low bits with the fill.
    Octets text = pack7(ascii, fill, fillones);
    d.ud = udh;
    d.ud.insert(d.ud.end(), text.begin(), text.end());
    d.udl = static_cast<uint8_t>(headerseptets + static_cast<int>(ascii.size()));
    return d;
}
