// SMS in PDU form (3GPP TS 23.040): the received SMS-DELIVER taken apart into sender, time
// stamp and text, and the SMS-SUBMIT built for sending. No I/O: octets and texts in, texts out.
#pragma once

#include <cstddef>
#include <cstdint>

// The GSM 7-bit default alphabet as Latin-1 bytes, index = septet value. Characters that
// Latin-1 lacks are shown by a look-alike; the escape (27) is a blank.
extern const unsigned char sm__gsmtolatin1[128];

// Upper-case hex digit pairs to octets, up to the first character that is no such digit (an
// odd last digit is dropped); at most max octets. Returns the number of octets.
size_t sm__hextooctets(const char* hex, uint8_t* out, size_t max);

// Octets as upper-case hex digits; out must hold 2 * n + 1 bytes.
void sm__octetstohex(const uint8_t* in, size_t n, char* out);

// Character sets of the user data, from the data coding scheme.
enum sm__alphabet_t { sm__GSM7 = 0, sm__DATA8 = 1, sm__UCS2 = 2 };
sm__alphabet_t sm__alphabet(uint8_t dcs);

// A part of a long message, from the concatenation element of the user data header.
struct sm__concat_t {
    bool present;
    unsigned ref; // the reference (8 or 16 bits), the same in all parts
    int total;    // parts of the message, 1..255
    int part;     // this part, 1..total
};

#define sm__SENDERLEN 48
#define sm__STAMPLEN 32
#define sm__TEXTLEN 700

struct sm__deliver_t {
    char sender[sm__SENDERLEN]; // "+" and digits, digits, or the sender's name
    char stamp[sm__STAMPLEN];   // "2010-12-13 14:15:16 [04]"
    char text[sm__TEXTLEN];     // Latin-1
    uint8_t dcs;
    bool malformed; // the user data did not fit its own lengths; text is then empty
    sm__concat_t concat;
};

// Takes an SMS-DELIVER apart (service-centre part first). False when the PDU ends before
// its user-data length, so that nothing of it can be trusted; out is then cleared.
bool sm__decodedeliver(const uint8_t* pdu, size_t n, sm__deliver_t* out);

// The message as it is logged and shown: sender, blank, stamp, two line feeds, text.
void sm__formatmessage(const sm__deliver_t& m, const char* text, char* out, size_t n);

// Unpacks count septets starting at septet offset skip of packed 7-bit octets; stops at the
// end of the octets. Returns the number of septets written to out (room for max).
size_t sm__unpackseptets(const uint8_t* in, size_t n, size_t skip, size_t count, uint8_t* out,
                         size_t max);

// GSM septets (the escape sequences of the extension table included) to Latin-1; the euro
// sign becomes "EUR". Writes at most n - 1 bytes and a NUL.
void sm__septetstolatin1(const uint8_t* s, size_t count, char* out, size_t n);

// UCS-2 (big-endian pairs) to Latin-1: characters above U+00FF, a surrogate pair counted as
// one, become '?'. An odd last octet is dropped.
void sm__ucs2tolatin1(const uint8_t* s, size_t len, char* out, size_t n);

// The SMS-SUBMIT for AT+CMGS, as upper-case hex digits followed by Ctrl-Z. centre: the
// service centre ("+" and digits), anything else means the modem's stored one. recipient:
// the digits, international (type 0x91) or national (0x81). text: Latin-1 or UTF-8, at most
// 160 characters are taken. tpdulen receives the octets behind the service-centre part,
// chars the characters sent. False when out is too small or the recipient is no number.
bool sm__buildsubmit(const char* centre, const char* recipient, bool international,
                     const char* text, char* out, size_t n, int* tpdulen, int* chars);
