#include "foundation/utilities.h"

#include "foundation/handles.h"

#include "foundation/run_state.h"
#include "foundation/threads.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char digits[] = "0123456789abcdef";

// Writes the magnitude in base b; unsigned so that the most negative value works too.
char* unsigned_to_text(unsigned long mag, bool negative, char* s, int b) {
    if (b < 2 || b > 16) b = 10;
    char tmp[72];
    int n = 0;
    do {
        tmp[n++] = digits[mag % static_cast<unsigned>(b)];
        mag /= static_cast<unsigned>(b);
    } while (mag);
    char* p = s;
    if (negative) *p++ = '-';
    while (n) *p++ = tmp[--n];
    *p = 0;
    return s;
}

bool local_now(struct tm& t) {
    time_t now = time(nullptr);
    return localtime_r(&now, &t) != nullptr;
}

} // namespace

char* itoa(int v, char* s, int b) {
    unsigned long mag = v < 0 ? 0UL - static_cast<unsigned long>(static_cast<long>(v))
                              : static_cast<unsigned long>(v);
    return unsigned_to_text(mag, v < 0, s, b);
}

char* ltoa(long int v, char* s, int b) {
    unsigned long mag = v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    return unsigned_to_text(mag, v < 0, s, b);
}

char* strmcpy(char* dest, const char* src, size_t maxlen) {
    stpmcpy(dest, src, maxlen);
    return dest;
}

char* stpmcpy(char* dest, const char* src, size_t maxlen) {
    if (maxlen == 0) return dest;
    size_t i = 0;
    if (src)
        for (; i + 1 < maxlen && src[i]; i++) dest[i] = src[i];
    dest[i] = 0;
    return dest + i;
}

char* strmtcpy(char* dest, char** srcp, size_t maxlen, char token) {
    char* s = *srcp;
    size_t i = 0;
    while (s[i] && s[i] != token) {
        if (maxlen && i + 1 < maxlen) dest[i] = s[i];
        i++;
    }
    if (maxlen) dest[min(i, maxlen - 1)] = 0;
    if (s[i] == token && token) i++;
    *srcp = s + i;
    return dest;
}

void strupper(char* tp) {
    for (; *tp; tp++) *tp = static_cast<char>(toupper(static_cast<unsigned char>(*tp)));
}

static signed char lowered(char c) {
    return static_cast<signed char>(tolower(static_cast<unsigned char>(c)));
}

int stricmp(const char* s1, const char* s2) {
    for (;; s1++, s2++) {
        signed char c1 = lowered(*s1), c2 = lowered(*s2);
        if (c1 != c2) return c1 < c2 ? -1 : 1;
        if (!c1) return 0;
    }
}

int memicmp(const char* s1, const char* s2, long siz) {
    for (long i = 0; i < siz; i++) {
        signed char c1 = lowered(s1[i]), c2 = lowered(s2[i]);
        if (!s1[i]) return c1 >= c2 ? 1 : -1;
        if (c1 != c2) return c1 < c2 ? -1 : 1;
    }
    return 0;
}

int sortiervergleich(const void* a, const void* b) {
    return strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
}

int sortiervergleichi(const void* a, const void* b) {
    return stricmp(static_cast<const char*>(a), static_cast<const char*>(b));
}

int bereich(int i, int von, int bis) {
    if (i < von) i = von;
    if (i > bis) i = bis;
    return i;
}

long int bereichl(long int l, long int von, long int bis) {
    if (l < von) l = von;
    if (l > bis) l = bis;
    return l;
}

bool file_exists(const char* fn) {
    return fn && access(fn, R_OK) == 0;
}

bool file_find(const char* d, const char* st, char* re, size_t resize) {
    if (re && resize) re[0] = 0;
    const char* dir = d ? d : ".";
    Dir dp(opendir(dir));
    if (!dp) return false;
    size_t stlen = st ? strlen(st) : 0;
    while (struct dirent* e = readdir(dp.get())) {
        if (stlen && strncmp(e->d_name, st, stlen) != 0) continue;
        if (re && resize) {
            char* p = stpmcpy(re, dir, resize);
            size_t used = static_cast<size_t>(p - re);
            if (used && re[used - 1] != '/') p = stpmcpy(p, "/", resize - used);
            used = static_cast<size_t>(p - re);
            stpmcpy(p, e->d_name, resize - used);
        }
        return true;
    }
    return false;
}

long file_length(const char* fn) {
    struct stat st;
    if (!fn || stat(fn, &st) != 0) return -1;
    return static_cast<long>(st.st_size);
}

bool file_copy(const char* src, const char* dst, bool fiex) {
    if (!src || !dst) return false;
    if (fiex && access(dst, F_OK) == 0) return false;
    Fd in{open(src, O_RDONLY)};
    if (in.fd < 0) return false;
    // A copy onto itself would empty the file before reading it: it is already in place.
    struct stat si, so;
    if (fstat(in.fd, &si) == 0 && stat(dst, &so) == 0 && si.st_dev == so.st_dev &&
        si.st_ino == so.st_ino)
        return true;
    Fd out{open(dst, O_WRONLY | O_CREAT | O_TRUNC, 0600)};
    if (out.fd < 0) out.fd = open(dst, O_WRONLY | O_TRUNC);
    if (out.fd < 0) return false;
    constexpr size_t block = 32768;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[block]);
    if (!buf) return false;
    for (;;) {
        ssize_t n = read(in.fd, buf.get(), block);
        if (n == 0) return true;
        if (n < 0) return false;
        if (write(out.fd, buf.get(), static_cast<size_t>(n)) != n) return false;
    }
}

bool file_makerw(const char* d, bool ri) {
    struct stat st;
    if (!d || stat(d, &st) != 0) return false;
    mode_t need = S_ISDIR(st.st_mode) ? S_IRWXU : (ri ? S_IRWXU : (S_IRUSR | S_IWUSR));
    mode_t mode = st.st_mode & 07777;
    if ((mode & need) == need) return true;
    return chmod(d, mode | need) == 0;
}

FILE* file_openprivate(const char* fn, const char* mode) {
    if (!fn || !mode) return nullptr;
    const bool update = strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC | (update ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY));
    if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
    if (mode[0] == 'a') flags |= O_CREAT | O_APPEND;
    if (strchr(mode, 'x')) flags |= O_EXCL;
    int fd = open(fn, flags, 0600);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, mode);
    if (!f) close(fd);
    return f;
}

bool file_delete(const char* fn) {
    return fn && unlink(fn) == 0;
}

bool symlink_create(const char* src, const char* dst, bool /*lnex*/) {
    if (!src || !dst) return false;
    struct stat st;
    if (lstat(dst, &st) == 0) return true;
    return symlink(src, dst) == 0;
}

bool dir_create(const char* dn) {
    if (!dn) return false;
    if (mkdir(dn, 0700) == 0) return true;
    struct stat st;
    return stat(dn, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ut_shellquoted(const char* v) {
    std::string q = "'";
    for (; *v; v++) {
        if (*v == '\'')
            q += "'\\''";
        else
            q += *v;
    }
    return q + "'";
}

void msleep(unsigned long ms) {
    g_usleep(static_cast<gulong>(ms) * 1000);
}

bool msleepx(unsigned long ms) {
    return th_sleepunlessend(ms);
}

void ut_formatdatumzeit(char* out, size_t n, const struct tm& t) {
    snprintf(out, n, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec);
}

void ut_formatkompakt(char* out, size_t n, const struct tm& t) {
    snprintf(out, n, "%04d%02d%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec);
}

// The result buffers are per thread: every thread logs, and a shared buffer would let one
// thread's time stamp appear in another's line.
char* datumzeit() {
    static thread_local char buf[64];
    struct tm t {};
    if (!local_now(t)) return strcpy(buf, "0000-00-00 00:00:00");
    ut_formatdatumzeit(buf, sizeof buf, t);
    return buf;
}

char* datumzeitkompakt() {
    static thread_local char buf[64];
    struct tm t {};
    if (!local_now(t)) return strcpy(buf, "00000000_000000");
    ut_formatkompakt(buf, sizeof buf, t);
    return buf;
}

char* kbytemiteinheit(long kb) {
    static thread_local char buf[32];
    if (kb < 0) kb = 0;
    if (kb == 0)
        snprintf(buf, sizeof buf, "0");
    else if (kb % 1000000 == 0)
        snprintf(buf, sizeof buf, "%liG", kb / 1000000);
    else if (kb % 1000 == 0)
        snprintf(buf, sizeof buf, "%liM", kb / 1000);
    else
        snprintf(buf, sizeof buf, "%lik", kb);
    return buf;
}

char* zeitmiteinheit(long zeit) {
    static thread_local char buf[32];
    if (zeit < 0) zeit = 0;
    if (zeit == 0)
        snprintf(buf, sizeof buf, "0");
    else if (zeit % 1440 == 0)
        snprintf(buf, sizeof buf, "%lid", zeit / 1440);
    else if (zeit % 60 == 0)
        snprintf(buf, sizeof buf, "%lih", zeit / 60);
    else
        snprintf(buf, sizeof buf, "%limin", zeit);
    return buf;
}

char* stundenminuten(long minuten) {
    static thread_local char buf[48];
    if (minuten < 0) minuten = 0;
    snprintf(buf, sizeof buf, "%04li:%02li", minuten / 60, minuten % 60);
    return buf;
}

bool ut_innerhalb(int minute_of_day, int von, int bis) {
    if (von < 0 || bis < 0) return false;
    if (von <= bis) return minute_of_day >= von && minute_of_day <= bis;
    return minute_of_day >= von || minute_of_day <= bis;
}
