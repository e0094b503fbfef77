// The secondary port wraps commands in fixed-size diagnostic packets and hands back answers in
// the same form; the user's command strings come from the settings file. First byte: bit 0
// fetch packet, bit 1 U740 header, bit 2 secondary-port log, bit 3 an answer of 652 bytes
// instead of 651. Second byte: the answer's length byte when the answer is too short to hold
// it. The rest is the command text, the user command string and the received answer.
#include "fuzz_support.h"

#include "modem/at_channel.h"

namespace {

void check_packet(const std::string& text, bool fetch, bool u740) {
    std::vector<unsigned char> pkt(cm__PACKETLEN, 0xAA); // exactly the packet: no room behind
    cm__buildpacket(pkt.data(), text.c_str(), fetch, u740);
    size_t len = fetch ? 0 : std::min(strlen(text.c_str()), size_t{cm__PACKETTEXT});
    if (pkt[0] != 'K' || pkt[1] != (u740 ? 0xFA : 0x32) || pkt[2] != (fetch ? 0x04 : 0x03) ||
        pkt[644] != len || memcmp(pkt.data() + 4, text.data(), len) != 0 || pkt[650] != 0x7E)
        __builtin_trap();
    // Data and check bytes together leave the good residue of the HDLC frame check.
    if (cm__fcs16(pkt.data(), 650) != 0x0F47) __builtin_trap();
}

// The pieces of a user command string: bounded, only the last one without a separator.
void check_userstring(const std::string& s) {
    std::vector<cm__piece> pieces = cm__splituserstring(s.c_str());
    for (size_t i = 0; i < pieces.size(); i++) {
        const cm__piece& p = pieces[i];
        if (p.bytes.size() > 1019) __builtin_trap();
        if (p.sep == cm__SEP_END && (i + 1 != pieces.size() || p.bytes.empty())) __builtin_trap();
    }
    char fmt[32];
    cm__commandlog(s.c_str(), s.size() & 1, fmt, sizeof fmt);
    if (strstr(s.c_str(), "CPIN=") && strchr(fmt, '%')) __builtin_trap(); // the PIN stays out
}

// t is a secondary-port answer with its four leading blanks: the correction only cuts the
// text, keeps the blanks, and a note it gives is never empty.
void check_corrected_length(char* t, int lenbyte) {
    std::string before = t;
    const char* note = cm__correctlength(t, lenbyte);
    if (note && !note[0]) __builtin_trap();
    size_t len = strlen(t);
    if (len > before.size() || before.compare(0, len, t) != 0) __builtin_trap();
    if (len < 4 || memcmp(t, "    ", 4) != 0) __builtin_trap();
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
    check_corrected_length(t.data(), lenbyte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint8_t flags = data[0], lenhint = data[1];
    std::string all(reinterpret_cast<const char*>(data + 2), size - 2);
    std::string text = all.c_str(); // as the program sees it: up to the first NUL
    check_packet(text, flags & 1, flags & 2);
    check_userstring(text);
    check_answer(data + 2, size - 2, (flags & 8) ? cm__PACKETLEN + 1 : cm__PACKETLEN, lenhint);
    return 0;
}
