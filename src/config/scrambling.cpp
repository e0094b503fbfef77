#include "config/scrambling.h"

#include <cstring>

namespace {
constexpr char ob__xorkey[] = "Tq7Lr3xPz";
constexpr char ob__hexdec[] = "H7XC#B3VJ&G9SFEA";
constexpr char marker[] = "CRYPT1";
constexpr size_t keylen = sizeof ob__xorkey - 1;
constexpr size_t markerlen = sizeof marker - 1;

unsigned alphabet_value(char c) {
    const char* p = c ? strchr(ob__hexdec, c) : nullptr;
    return p ? static_cast<unsigned>(p - ob__hexdec) : 0;
}
} // namespace

void ob_obfuscate(const char* zd, char* ze) {
    if (!*zd) {
        *ze = 0;
        return;
    }
    memcpy(ze, marker, markerlen);
    char* o = ze + markerlen;
    for (size_t i = 0; zd[i]; i++) {
        unsigned x = (static_cast<unsigned char>(zd[i]) ^
                      static_cast<unsigned char>(ob__xorkey[i % keylen])) &
                     0xFF;
        *o++ = ob__hexdec[x >> 4];
        *o++ = ob__hexdec[x & 15];
    }
    *o = 0;
}

bool ob_deobfuscate(const char* ze, char* zd) {
    if (strncmp(ze, marker, markerlen) != 0) {
        memmove(zd, ze, strlen(ze) + 1);
        return false;
    }
    const char* p = ze + markerlen;
    size_t i = 0;
    for (; p[0] && p[1]; p += 2, i++) {
        unsigned v = alphabet_value(p[0]) * 16 + alphabet_value(p[1]);
        zd[i] = static_cast<char>(v ^ static_cast<unsigned char>(ob__xorkey[i % keylen]));
    }
    zd[i] = 0;
    return true;
}
