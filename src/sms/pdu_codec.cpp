#include "sms/pdu_codec.h"

#include "foundation/encodings.h"
#include "foundation/utilities.h"

#include <cstdio>
#include <cstring>

// clang-format off
const unsigned char sm__gsmtolatin1[128] = {
    0x40, 0xA3, 0x24, 0xA5, 0xE8, 0xE9, 0xF9, 0xEC, 0xF2, 0xC7, 0x0A, 0xD8, 0xF8, 0x0D, 0xC5, 0xE5,
    '^',  '_',  '*',  '*',  '^',  'O',  'P',  '*',  'S',  '*',  '*',  ' ',  0xC6, 0xE6, 0xDF, 0xC9,
    ' ',  '!',  '"',  '#',  0xD7, '%',  '&',  '\'', '(',  ')',  '*',  '+',  ',',  '-',  '.',  '/',
    '0',  '1',  '2',  '3',  '4',  '5',  '6',  '7',  '8',  '9',  ':',  ';',  '<',  '=',  '>',  '?',
    0xA1, 'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',  'I',  'J',  'K',  'L',  'M',  'N',  'O',
    'P',  'Q',  'R',  'S',  'T',  'U',  'V',  'W',  'X',  'Y',  'Z',  0xC4, 0xD6, 0xD1, 0xDC, 0xA7,
    0xBF, 'a',  'b',  'c',  'd',  'e',  'f',  'g',  'h',  'i',  'j',  'k',  'l',  'm',  'n',  'o',
    'p',  'q',  'r',  's',  't',  'u',  'v',  'w',  'x',  'y',  'z',  0xE4, 0xF6, 0xF1, 0xFC, 0xE0,
};
// clang-format on

namespace {

int hexvalue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends to a bounded text; the writer stops quietly when the room is used up.
struct Out {
    char* p;
    size_t n;
    size_t used = 0;
    Out(char* dest, size_t size) : p(dest), n(size) {
        if (n) p[0] = 0;
    }
    void put(char c) {
        if (used + 1 >= n) return;
        p[used++] = c;
        p[used] = 0;
    }
    void put(const char* s) {
        while (*s) put(*s++);
    }
};

char semioctet(unsigned v) {
    return static_cast<char>(v < 10 ? '0' + v : 'A' + (v - 10));
}

// The digits of an address or of the service centre as swapped semi-octets, "F" filling an
// odd count.
void putswapped(Out& o, const char* digits, size_t count) {
    for (size_t i = 0; i < count; i += 2) {
        o.put(i + 1 < count ? digits[i + 1] : 'F');
        o.put(digits[i]);
    }
}

void puthexoctet(Out& o, unsigned v) {
    o.put(semioctet((v >> 4) & 15));
    o.put(semioctet(v & 15));
}

// Sender of an alphanumeric address: the semi-octets hold packed GSM 7-bit text.
void alphanumericsender(const uint8_t* a, size_t octets, size_t semioctets, char* out, size_t n) {
    uint8_t sept[24];
    size_t count = sm__unpackseptets(a, octets, 0, semioctets * 4 / 7, sept, sizeof sept);
    // A last septet 0 that only fills the final octet is padding, not an '@'.
    if (count && sept[count - 1] == 0 && (semioctets * 4) % 8 == 0 && (count * 7) % 8 != 0) count--;
    sm__septetstolatin1(sept, count, out, n);
    // The sender stays one word on one line in the message record.
    for (char* c = out; *c; c++)
        if (static_cast<unsigned char>(*c) <= ' ') *c = '_';
}

void numericsender(const uint8_t* a, size_t digits, bool international, char* out, size_t n) {
    Out o(out, n);
    if (international) o.put('+');
    bool alldigits = true;
    for (size_t i = 0; i < digits; i++)
        if (((a[i / 2] >> (4 * (i % 2))) & 15) > 9) alldigits = false;
    for (size_t i = 0; i < digits; i++)
        o.put(alldigits ? semioctet((a[i / 2] >> (4 * (i % 2))) & 15) : '0');
}

void decodestamp(const uint8_t* s, char* out, size_t n) {
    char f[7][3];
    for (int i = 0; i < 7; i++) {
        f[i][0] = semioctet(s[i] & 15);
        f[i][1] = semioctet(s[i] >> 4);
        f[i][2] = 0;
    }
    snprintf(out, n, "20%s-%s-%s %s:%s:%s [%s]", f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
}

// Walks the information elements of a user data header for a concatenation element.
void findconcat(const uint8_t* h, size_t len, sm__concat_t* c) {
    size_t i = 0;
    while (i + 2 <= len) {
        uint8_t iei = h[i];
        size_t l = h[i + 1];
        if (i + 2 + l > len) return;
        const uint8_t* v = h + i + 2;
        unsigned ref = 0;
        int total = 0, part = 0;
        bool found = false;
        if (iei == 0x00 && l == 3) {
            ref = v[0];
            total = v[1];
            part = v[2];
            found = true;
        } else if (iei == 0x08 && l == 4) {
            ref = static_cast<unsigned>(v[0]) << 8 | v[1];
            total = v[2];
            part = v[3];
            found = true;
        }
        // A part number outside its total leaves the part to be read on its own.
        if (found && total >= 2 && part >= 1 && part <= total) {
            c->present = true;
            c->ref = ref;
            c->total = total;
            c->part = part;
        }
        i += 2 + l;
    }
}

} // namespace

size_t sm__hextooctets(const char* hex, uint8_t* out, size_t max) {
    size_t k = 0;
    if (!hex) return 0;
    while (k < max) {
        int hi = hexvalue(hex[2 * k]);
        if (hi < 0) break;
        int lo = hexvalue(hex[2 * k + 1]);
        if (lo < 0) break;
        out[k++] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return k;
}

void sm__octetstohex(const uint8_t* in, size_t n, char* out) {
    for (size_t i = 0; i < n; i++) {
        out[2 * i] = semioctet(in[i] >> 4);
        out[2 * i + 1] = semioctet(in[i] & 15);
    }
    out[2 * n] = 0;
}

sm__alphabet_t sm__alphabet(uint8_t dcs) {
    switch (dcs >> 4) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x5:
    case 0x6:
    case 0x7:
        // General data coding (and the automatic-deletion group): a compressed text cannot be
        // read here and is shown as data.
        if (dcs & 0x20) return sm__DATA8;
        switch ((dcs >> 2) & 3) {
        case 1:
            return sm__DATA8;
        case 2:
            return sm__UCS2;
        default:
            return sm__GSM7;
        }
    case 0xE:
        return sm__UCS2;
    case 0xF:
        return (dcs & 0x04) ? sm__DATA8 : sm__GSM7;
    default:
        return sm__GSM7;
    }
}

size_t sm__unpackseptets(const uint8_t* in, size_t n, size_t skip, size_t count, uint8_t* out,
                         size_t max) {
    size_t k = 0;
    for (size_t s = skip; k < count && k < max; s++) {
        size_t bit = s * 7;
        size_t o = bit / 8;
        unsigned shift = static_cast<unsigned>(bit % 8);
        if (o >= n) break;
        unsigned v = in[o] >> shift;
        if (shift > 1) {
            // The septet reaches into the next octet; a missing one ends the text.
            if (o + 1 >= n) break;
            v |= static_cast<unsigned>(in[o + 1]) << (8 - shift);
        }
        out[k++] = static_cast<uint8_t>(v & 0x7F);
    }
    return k;
}

void sm__septetstolatin1(const uint8_t* s, size_t count, char* out, size_t n) {
    Out o(out, n);
    for (size_t i = 0; i < count; i++) {
        uint8_t c = s[i] & 0x7F;
        if (c == 0x1B && i + 1 < count) {
            const char* ext = nullptr;
            switch (s[i + 1] & 0x7F) {
            case 0x0A:
                ext = "\f";
                break;
            case 0x14:
                ext = "^";
                break;
            case 0x28:
                ext = "{";
                break;
            case 0x29:
                ext = "}";
                break;
            case 0x2F:
                ext = "\\";
                break;
            case 0x3C:
                ext = "[";
                break;
            case 0x3D:
                ext = "~";
                break;
            case 0x3E:
                ext = "]";
                break;
            case 0x40:
                ext = "|";
                break;
            case 0x65:
                ext = "EUR";
                break;
            default:
                break;
            }
            if (ext) {
                o.put(ext);
                i++;
                continue;
            }
        }
        o.put(static_cast<char>(sm__gsmtolatin1[c]));
    }
}

void sm__ucs2tolatin1(const uint8_t* s, size_t len, char* out, size_t n) {
    Out o(out, n);
    for (size_t i = 0; i + 1 < len; i += 2) {
        unsigned u = static_cast<unsigned>(s[i]) << 8 | s[i + 1];
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < len) {
            unsigned lo = static_cast<unsigned>(s[i + 2]) << 8 | s[i + 3];
            if (lo >= 0xDC00 && lo <= 0xDFFF) i += 2;
        }
        o.put(u <= 0xFF && u != 0 ? static_cast<char>(u) : '?');
    }
}

bool sm__decodedeliver(const uint8_t* pdu, size_t n, sm__deliver_t* out) {
    memset(out, 0, sizeof *out);
    size_t i = 0;
    if (n < 1) return false;
    i = 1 + static_cast<size_t>(pdu[0]); // service centre
    if (i + 3 > n) return false;
    uint8_t first = pdu[i++];
    size_t digits = pdu[i++];
    uint8_t toa = pdu[i++];
    size_t aoctets = (digits + 1) / 2;
    if (i + aoctets > n) return false;
    const uint8_t* addr = pdu + i;
    i += aoctets;
    // protocol identifier, coding scheme, time stamp, user-data length
    if (i + 10 > n) return false;
    out->dcs = pdu[i + 1];
    decodestamp(pdu + i + 2, out->stamp, sizeof out->stamp);
    i += 9;
    size_t udl = pdu[i++];
    const uint8_t* ud = pdu + i;
    size_t avail = n - i;

    if (digits > 20) {
        strMcpy(out->sender, "unknown");
        out->malformed = true;
        return true;
    }
    if ((toa & 0x70) == 0x50)
        alphanumericsender(addr, aoctets, digits, out->sender, sizeof out->sender);
    else
        numericsender(addr, digits, toa == 145, out->sender, sizeof out->sender);

    sm__alphabet_t alpha = sm__alphabet(out->dcs);
    size_t udoctets = alpha == sm__GSM7 ? (udl * 7 + 7) / 8 : udl;
    // Octets announced but missing are not read; what arrived is shown.
    if (udoctets > avail) udoctets = avail;

    size_t hdr = 0; // octets of the header with its length octet
    if (first & 0x40) {
        if (udoctets < 1 || 1 + static_cast<size_t>(ud[0]) > udoctets) {
            out->malformed = true;
            return true;
        }
        hdr = 1 + static_cast<size_t>(ud[0]);
        findconcat(ud + 1, hdr - 1, &out->concat);
    }

    if (alpha == sm__GSM7) {
        size_t skip = (hdr * 8 + 6) / 7;
        uint8_t sept[256];
        size_t count = udl > skip ? udl - skip : 0;
        count = sm__unpackseptets(ud, udoctets, skip, count, sept, sizeof sept);
        sm__septetstolatin1(sept, count, out->text, sizeof out->text);
    } else if (alpha == sm__UCS2) {
        sm__ucs2tolatin1(ud + hdr, udoctets - hdr, out->text, sizeof out->text);
    } else {
        size_t len = udoctets - hdr;
        if (len > (sizeof out->text - 1) / 2) len = (sizeof out->text - 1) / 2;
        sm__octetstohex(ud + hdr, len, out->text);
    }
    return true;
}

void sm__formatmessage(const sm__deliver_t& m, const char* text, char* out, size_t n) {
    snprintf(out, n, "%s %s\n\n%s", m.sender, m.stamp, text ? text : m.text);
}

bool sm__buildsubmit(const char* centre, const char* recipient, bool international,
                     const char* text, char* out, size_t n, int* tpdulen, int* chars) {
    if (!recipient || !text || !out || n == 0) return false;
    size_t rlen = strlen(recipient);
    if (rlen < 1 || rlen > 20 || strspn(recipient, "0123456789") != rlen) return false;

    char packed[2 * 140 + 8];
    char work[sizeof packed];
    // The packer works in place; hand it at most what fits into 160 characters of UTF-8.
    strMcpy(work, text);
    int count = strtosevenhex(work, false, 160);
    strMcpy(packed, work);

    Out o(out, n);
    size_t centrehex = 2;
    if (centre && centre[0] == '+') {
        size_t cd = strspn(centre + 1, "0123456789");
        if (cd > 20) cd = 20;
        puthexoctet(o, static_cast<unsigned>((cd + 3) / 2));
        o.put("91");
        putswapped(o, centre + 1, cd);
        centrehex = o.used;
    } else {
        o.put("00");
    }
    o.put("1100");
    puthexoctet(o, static_cast<unsigned>(rlen));
    o.put(international ? "91" : "81");
    putswapped(o, recipient, rlen);
    o.put("0000FF");
    puthexoctet(o, static_cast<unsigned>(count));
    o.put(packed);
    size_t hexlen = o.used;
    o.put('\x1A');
    if (o.used != hexlen + 1) return false; // out was too small
    if (tpdulen) *tpdulen = static_cast<int>((hexlen - centrehex) / 2);
    if (chars) *chars = count;
    return true;
}
