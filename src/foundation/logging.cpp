#include "foundation/logging.h"

#include "foundation/handles.h"

#include "foundation/clock.h"
#include "foundation/run_state.h"
#include "foundation/secret_masking.h"
#include "foundation/utilities.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>

int lo__logafterstandby = 0;
char lo__vlogtimestamp[30] = "*";

namespace {

long tenths() {
    return (ti_htime() / 10) % 1000;
}

const char* text(const char* s) {
    return s ? s : "";
}

bool samefile(int fd, const char* name) {
    struct stat open, named;
    return fstat(fd, &open) == 0 && stat(name, &named) == 0 && open.st_ino == named.st_ino &&
           open.st_dev == named.st_dev;
}

// Opens a log for one line. Every log has a bound; past it the file becomes its old generation
// and a new one is begun, so that months of running keep at most two generations of each. The
// writer holds a lock on the file (for other threads and other instances alike) while it turns
// it over or appends; one that waited for the lock and finds the name now on a new file opens
// that one, so no generation is turned over twice. A new log is readable by the user alone:
// the logs tell what the program did and with whom it talked.
File open_log(const char* file) {
    for (int tries = 0; tries < 3; tries++) {
        File f(file_openprivate(file, "a"));
        if (!f) return f;
        int fd = fileno(f.get());
        if (flock(fd, LOCK_EX) != 0) return f;
        if (!samefile(fd, file)) continue;
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size < lo__logbound(file)) return f;
        char old[80];
        lo_oldlog(file, old, sizeof old);
        rename(file, old);
    }
    return File(file_openprivate(file, "a"));
}

// Formats are the program's own; s and li are passed as arguments, never as format. Both are
// always passed, so a format that names li is never short of an argument. Every line passes
// through the masking of secrets before it reaches the file.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void write_line(const char* file, const char* mode, const char* fmt, ...) {
    va_list args, again;
    va_start(args, fmt);
    va_copy(again, args);
    int n = vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string line(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
    if (n > 0) vsnprintf(line.data(), line.size(), fmt, again);
    va_end(again);
    if (n < 0) return;
    std::string masked = lo_masksecrets(line.c_str());
    File f(mode[0] == 'a' ? open_log(file) : File(file_openprivate(file, mode)));
    if (!f) return;
    fputs(masked.c_str(), f.get());
    fflush(f.get());
}
#pragma GCC diagnostic pop

// A standby or a pause holds the dated after-standby log open at its start.
void open_afterstandby_window() {
    if (!ruhestatus) return;
    if (lo__logafterstandby == 0) {
        lo__logafterstandby = 1;
        lo_slogx("------------------------------\n", "", -1);
        lo_slogx("Protokoll Stufe 2.\n", "", -1);
    }
    lo__logafterstandby = 1;
}

} // namespace

void lo_slog(const char* format, const char* s, long int li) {
    if (rs_controlrole() || !format) return;
    s = text(s);
    open_afterstandby_window();
    if (lo__logafterstandby >= 1 && lo__logafterstandby <= 120) lo_slogx(format, s, li);
    if (!rs_mode('P') && format[0] != '!') return;
    if (strlen(format) + strlen(s) + 60 > 999) return;
    char fmt[1000];
    char* p = stpMcpy(fmt, "%03li ");
    stpmcpy(p, format, sizeof fmt - static_cast<size_t>(p - fmt));
    write_line("servilog.txt", "a", fmt, tenths(), s, li);
}

void lo_slogx(const char* format, const char* s, long int li) {
    if (rs_controlrole() || !format) return;
    s = text(s);
    open_afterstandby_window();
    if (lo__logafterstandby == 0) return;
    lo__logafterstandby++;
    if (rs_mode('X') && strlen(format) + strlen(s) + 60 <= 199) {
        char fmt[200];
        char* p = stpMcpy(fmt, "%s %03li ");
        stpmcpy(p, format, sizeof fmt - static_cast<size_t>(p - fmt));
        write_line("servilogx.txt", "a", fmt, datumzeit(), tenths(), s, li);
    }
    if (lo__logafterstandby == 121) {
        lo_slogx("Protokoll Stufe 1.\n", "", -1);
    } else if (lo__logafterstandby == 161) {
        lo_slogx("Protokoll Stufe 0.\n", "", -1);
        lo__logafterstandby = 0;
    }
}

void lo_vlogtime() {
    strMcpy(lo__vlogtimestamp, datumzeit());
}

void lo_vlog(const char* format, const char* s, long int li) {
    if (rs_controlrole() || !format) return;
    if (!rs_connectionlog()) return;
    if (lo__vlogtimestamp[0] == '*') lo_vlogtime();
    char fmt[128];
    if (strncmp(format, "%s", 2) == 0) {
        strMcpy(fmt, format);
        if (strlen(format) >= sizeof fmt) return; // a cut format could end inside a conversion
    } else {
        char* p = stpMcpy(fmt, "%s ");
        stpmcpy(p, format, 117);
    }
    write_line(connlogdatei, "a", fmt, lo__vlogtimestamp, text(s), li);
}

void lo_dlog(const char* format, const char* s, long int li) {
    if (!format) return;
    char fmt[300];
    char* p = stpMcpy(fmt, "%s ");
    stpmcpy(p, format, 297);
    write_line("debuglog.txt", "a", fmt, datumzeit(), text(s), li);
}

void lo__smsfilename(char* out, size_t n, const char* stamp, const char* s) {
    // "YYYY-MM-DD hh:mm:ss" -> "YYYYMMDD_hhmmss"
    char compact[16];
    size_t k = 0;
    for (size_t i = 0; stamp[i] && k < 15; i++) {
        char c = stamp[i];
        if (c >= '0' && c <= '9')
            compact[k++] = c;
        else if (c == ' ')
            compact[k++] = '_';
    }
    compact[k] = 0;

    // The sender stands in the head of the message; a '+' in its text does not count.
    const char* head_end = strstr(s, "\n\n");
    const char* plus = strchr(s, '+');
    if (plus && head_end && plus > head_end) plus = nullptr;
    const char* from = plus ? plus + 1 : s;
    char sender[30];
    strMcpy(sender, from);
    if (char* blank = strchr(sender, ' ')) *blank = 0;
    // The sender comes from the network: it must not lead out of "sms_in" or hide control
    // characters in a file name.
    for (char* c = sender; *c; c++)
        if (*c == '/' || static_cast<unsigned char>(*c) < 0x20) *c = '_';
    if (strcmp(sender, ".") == 0 || strcmp(sender, "..") == 0) sender[0] = '_';
    snprintf(out, n, "sms_in/sms_%s__%s.txt", compact, sender);
}

const char* lo__smsbody(const char* s) {
    const char* body = strstr(s, "\n\n");
    return body ? body + 2 : s;
}

void lo_mlog(const char* format, const char* s, long int li, bool sms1) {
    if (!rs_mode('M') || !format) return;
    s = text(s);
    char stamp[32];
    strMcpy(stamp, datumzeit());
    write_line("sms.txt", "a", format, stamp, s, li);
    if (!sms1) return;
    write_line("sms1.txt", "w", format, stamp, s, li);

    char base[80], name[90];
    lo__smsfilename(base, sizeof base, stamp, s);
    // Two messages of one sender within a second get names of their own, so none is lost.
    File f;
    strMcpy(name, base);
    for (int n = 2; n < 100; n++) {
        f.reset(file_openprivate(name, "wx"));
        if (f || errno != EEXIST) break;
        snprintf(name, sizeof name, "%.*s_%i.txt", static_cast<int>(strlen(base) - 4), base, n);
    }
    if (!f) return;
    const char* body = lo__smsbody(s);
    size_t len = strlen(body);
    bool ok = fwrite(body, 1, len, f.get()) == len && fflush(f.get()) == 0;
    f.reset();
    if (ok) smssignalstatus = 1;
}

bool lo_logafterstandby() {
    return lo__logafterstandby != 0;
}

long lo__logbound(const char* file) {
    if (const char* limit = getenv("MAVLYN_LOGLIMIT")) {
        long v = atol(limit);
        if (v > 0) return v;
    }
    if (strcmp(file, "servilog.txt") == 0) return rs_mode('Q') ? 2500000 : 250000;
    if (strcmp(file, connlogdatei) == 0) return 2000000;
    return 1000000;
}

void lo_oldlog(const char* file, char* out, size_t n) {
    const char* slash = strrchr(file, '/');
    const char* dot = strrchr(slash ? slash : file, '.');
    int stem = static_cast<int>(dot ? dot - file : static_cast<long>(strlen(file)));
    snprintf(out, n, "%.*s.1%s", stem, file, dot ? dot : "");
}
