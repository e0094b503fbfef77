// Bounded text copies, number texts, simple file operations, interruptible sleeps,
// time stamps and the textual forms of data volumes and durations.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

char* itoa(int v, char* s, int b);
char* ltoa(long int v, char* s, int b);

char* strmcpy(char* dest, const char* src, size_t maxlen);
char* stpmcpy(char* dest, const char* src, size_t maxlen);
char* strmtcpy(char* dest, char** srcp, size_t maxlen, char token);

void strupper(char* tp);
int stricmp(const char* s1, const char* s2);
int memicmp(const char* s1, const char* s2, long siz);
int sortiervergleich(const void* a, const void* b);
int sortiervergleichi(const void* a, const void* b);
int bereich(int i, int von, int bis);
long int bereichl(long int l, long int von, long int bis);

bool file_exists(const char* fn);
// re (when not null) must hold resize bytes; it receives the directory and the entry name.
bool file_find(const char* d, const char* st, char* re, size_t resize = 300);
long file_length(const char* fn);
bool file_copy(const char* src, const char* dst, bool fiex);
bool file_makerw(const char* d, bool ri);
bool file_delete(const char* fn);
// fopen for the program's own files: one it creates is readable by the user alone (0600).
FILE* file_openprivate(const char* fn, const char* mode);
bool symlink_create(const char* src, const char* dst, bool lnex);
bool dir_create(const char* dn);

// A text as one word for the shell: in single quotes, with '\'' for each quote inside.
std::string ut_shellquoted(const char* v);

void msleep(unsigned long ms);
bool msleepx(unsigned long ms);

char* datumzeit();
char* datumzeitkompakt();
char* kbytemiteinheit(long kb);
char* zeitmiteinheit(long zeit);
char* stundenminuten(long minuten);

// Pure forms of the time texts and the end-time window, for a given local time.
struct tm;
void ut_formatdatumzeit(char* out, size_t n, const struct tm& t);
void ut_formatkompakt(char* out, size_t n, const struct tm& t);
bool ut_innerhalb(int minute_of_day, int von, int bis);

#define strMcpy(d, s) strmcpy(d, s, sizeof(d))
#define STRMTCPY(d, s, t) strmtcpy(d, s, sizeof(d), t)
#define stpMcpy(d, s) stpmcpy(d, s, sizeof(d))
#define strMtoutf8(d, s) strmtoutf8(d, s, sizeof(d))

// As functions rather than macros, so that the standard headers stay usable beside them.
template <class A, class B> constexpr auto max(A a, B b) {
    return a > b ? a : b;
}
template <class A, class B> constexpr auto min(A a, B b) {
    return a < b ? a : b;
}
#define FREE(x)                                                                                    \
    do {                                                                                           \
        if (x) {                                                                                   \
            free(x);                                                                               \
            (x) = nullptr;                                                                         \
        }                                                                                          \
    } while (0)
#define ishexdigit(x)                                                                              \
    (((x) >= '0' && (x) <= '9') || ((x) >= 'A' && (x) <= 'F') || ((x) >= 'a' && (x) <= 'f'))
#define DIRCHAR '/'
#define DIRSTR "/"

#define U8AE "\xC3\x84"
#define U8OE "\xC3\x96"
#define U8UE "\xC3\x9C"
#define U8ae "\xC3\xA4"
#define U8oe "\xC3\xB6"
#define U8ue "\xC3\xBC"
#define U8ss "\xC3\x9F"
