// The secondary port wraps commands in fixed-size diagnostic packets and hands back answers in
// the same form; the user's command strings come from the settings file. First byte: bit 0
// fetch packet, bit 1 U740 header, bit 2 secondary-port log, bit 3 an answer of 652 bytes
// instead of 651. Second byte: the answer's length byte when the answer is too short to hold
// it. The rest is the command text, the user command string and the received answer.
#include "fuzz_support.h"

#include "modem/at_channel.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fz::terminated;

// A good frame check sequence, appended low byte first, leaves this over the whole.
constexpr uint16_t fcs_good = 0x0F47;

void check_fcs(const std::string& bytes) {
    std::vector<unsigned char> b(bytes.begin(), bytes.end());
    uint16_t fcs = cm__fcs16(b.data(), b.size());
    b.push_back(static_cast<unsigned char>(fcs & 0xFF));
    b.push_back(static_cast<unsigned char>(fcs >> 8));
    if (cm__fcs16(b.data(), b.size()) != fcs_good) __builtin_trap();
}

void check_packet(const std::string& text, bool fetch, bool u740) {
    std::vector<unsigned char> pkt(cm__PACKETLEN, 0xAA); // exactly the packet: no room behind
    cm__buildpacket(pkt.data(), text.c_str(), fetch, u740);
    if (pkt[0] != 'K' || pkt[1] != (u740 ? 0xFA : 0x32) || pkt[2] != (fetch ? 0x04 : 0x03) ||
        pkt[3] != 0)
        __builtin_trap();
    size_t len = fetch ? 0 : std::min(strlen(text.c_str()), size_t{cm__PACKETTEXT});
    if (pkt[644] != len || memcmp(pkt.data() + 4, text.data(), len) != 0) __builtin_trap();
    for (size_t i = 4 + len; i < 648; i++)
        if (i != 644 && pkt[i] != 0) __builtin_trap();
    uint16_t fcs = cm__fcs16(pkt.data(), 648);
    if (pkt[648] != (fcs & 0xFF) || pkt[649] != (fcs >> 8)) __builtin_trap();
    if (cm__fcs16(pkt.data(), 650) != fcs_good) __builtin_trap();
    if (pkt[650] != 0x7E) __builtin_trap();
}

const char* sep_text(cm__sep s) {
    switch (s) {
    case cm__SEP_CR:
        return "\\r";
    case cm__SEP_CR_READ:
        return "\\R";
    case cm__SEP_PAUSE:
        return "\\p";
    case cm__SEP_LONGPAUSE:
        return "\\P";
    default:
        return "";
    }
}

// The pieces of a user command string: bounded, only the last one without a separator, and
// written back with escapes they read the same.
void check_userstring(const std::string& s) {
    std::vector<cm__piece> pieces = cm__splituserstring(s.c_str());
    size_t total = 0, backslashes = 0;
    for (char c : s) backslashes += c == '\\';
    size_t separators = 0;
    for (size_t i = 0; i < pieces.size(); i++) {
        const cm__piece& p = pieces[i];
        if (p.bytes.size() > 1019) __builtin_trap();
        total += p.bytes.size();
        if (p.sep == cm__SEP_END && (i + 1 != pieces.size() || p.bytes.empty())) __builtin_trap();
        if (p.sep != cm__SEP_END) separators++;
    }
    if (total > s.size() || separators > backslashes) __builtin_trap();

    std::string back;
    for (const cm__piece& p : pieces) {
        for (char c : p.bytes) {
            if (c == '\\') {
                back += "\\\\";
            } else if (c == 0) {
                back += "\\x00";
            } else {
                back += c;
            }
        }
        back += sep_text(p.sep);
    }
    std::vector<cm__piece> again = cm__splituserstring(back.c_str());
    if (again.size() != pieces.size()) __builtin_trap();
    for (size_t i = 0; i < again.size(); i++)
        if (again[i].bytes != pieces[i].bytes || again[i].sep != pieces[i].sep) __builtin_trap();
}

// The log format of a sent command: the command as its only conversion, none with a PIN.
void check_commandlog(const std::string& cmd, bool secondary) {
    for (size_t n : {size_t{32}, size_t{1}, size_t{6}}) {
        std::vector<char> fmt(n, 'x');
        cm__commandlog(cmd.c_str(), secondary, fmt.data(), n);
        if (!terminated(fmt)) __builtin_trap();
        if (n != 32) continue;
        int conversions = 0;
        for (const char* p = fmt.data(); *p; p++) {
            if (*p != '%') continue;
            if (p[1] != 's') __builtin_trap();
            conversions++;
            p++;
        }
        bool pin = strstr(cmd.c_str(), "CPIN=") != nullptr;
        if (conversions != (pin ? 0 : 1)) __builtin_trap();
        if (!pin && fmt[0] != ((secondary && cmd.size() <= 40) ? 'S' : 's')) __builtin_trap();
    }
}

// An answer packet as the channel keeps it: four blanks, the text from byte 4, a NUL behind
// the received bytes; the length byte is byte 644.
void check_answer(const uint8_t* p, size_t size, size_t n, uint8_t lenhint) {
    std::vector<char> t(n + 1, 0);
    memcpy(t.data(), p, std::min(size, n));
    if (size <= 644) t[644] = static_cast<char>(lenhint);
    int lenbyte = static_cast<unsigned char>(t[644]);
    memset(t.data(), ' ', 4);
    t[n] = 0;
    fz::check_corrected_length(t.data(), lenbyte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint8_t flags = data[0], lenhint = data[1];
    const uint8_t* rest = data + 2;
    size_t restsize = size - 2;
    std::string all(reinterpret_cast<const char*>(rest), restsize);
    std::string text = all.c_str(); // as the program sees it: up to the first NUL

    static const bool known = [] {
        const unsigned char check[] = "123456789";
        return cm__fcs16(check, 9) == 0x906E; // the check value of this frame check sequence
    }();
    if (!known) __builtin_trap();

    check_fcs(all);
    check_packet(text, flags & 1, flags & 2);
    check_userstring(text);
    check_commandlog(text, flags & 4);
    check_answer(rest, restsize, (flags & 8) ? cm__PACKETLEN + 1 : cm__PACKETLEN, lenhint);
    return 0;
}
