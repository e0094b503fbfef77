// Text forms of modem traffic: Latin-1 to UTF-8 for display, UCS-2 hex, and the GSM 7-bit
// default alphabet packed into octets and written as hex digits (3GPP TS 23.038).
#pragma once

#include <cstddef>

// Latin-1 (with some UTF-8 already mixed in) to UTF-8; at most maxlen bytes with the NUL.
char* strmtoutf8(char* dest, const char* src, size_t maxlen);
#define strMtoutf8(d, s) strmtoutf8(d, s, sizeof(d))

// UCS-2 hex digits to single-byte text, in place; false (t unchanged) when t is no such text.
// Only a text whose first two characters lie below U+1000 is taken for UCS-2.
bool utf16hextostr(char* t);
// The same for a text known to be UCS-2 (from its coding scheme): any four-digit groups.
// Characters above U+00FF become '?', the euro sign "EUR".
bool ucs2hextostr(char* t);

// Text to packed GSM 7-bit, in place: as upper-case hex digits (bin false) or raw octets
// followed by a NUL (bin true). Packs at most maxlen characters and returns their number.
// t must hold twice the packed length plus one.
int strtosevenhex(char* t, bool bin, int maxlen);

// Packed GSM 7-bit as hex digits to text, in place; false (t unchanged) when t is no such text.
bool sevenhextostr(char* t);
