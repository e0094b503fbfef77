#include "modem/at_channel.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/incoming_calls.h"
#include "modem/router_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

bool cm_secport = false;
char cm_secporttext0[700];

namespace {

char cm__po[310] = "";
// The port's descriptor; any value from 0 up is an open port (a program started with its
// standard input closed gets descriptor 0 for it).
constexpr int closed_port = -1;
int cm__h = closed_port;
int cm__flags = 0;
struct termios cm__att;
bool cm__comsim = false;
bool cm__singleport = false;
char cm__singleporttext[1100] = "";
int cm__lesefehleranzahl = 0;
unsigned char cm__packet[cm__PACKETLEN];
bool cm__packetsready = false;

constexpr int open_attempts = 6;
constexpr size_t read_limit = 999;
// Devices send an answer in pieces: the read goes on while the answer is not complete, until
// the device has been quiet this long, and at most for read_onwards_ms.
constexpr int quiet_tenths = 5;
constexpr long read_onwards_ms = 3000;
constexpr int drain_limit = 1000; // pieces; a flooding device must not hold the drain forever

bool frozen() {
    return RUHEAKTIV;
}

// The dialogue is logged with the service log, or for a while after a standby.
bool logging_dialogue() {
    return MODUS('P') || lo_logafterstandby();
}

void set_vtime(int tenths) {
    cm__att.c_cc[VTIME] = static_cast<cc_t>(tenths);
    tcsetattr(cm__h, TCSANOW, &cm__att);
}

// Reads and discards whatever is waiting, without blocking.
void drain_input() {
    set_vtime(1);
    fcntl(cm__h, F_SETFL, cm__flags | O_NONBLOCK);
    char junk[100];
    for (int i = 0; i < drain_limit && read(cm__h, junk, sizeof junk) > 0; i++) {
    }
    fcntl(cm__h, F_SETFL, cm__flags);
}

bool configure_port(int fd) {
    if (tcgetattr(fd, &cm__att) != 0) memset(&cm__att, 0, sizeof cm__att);
    cm__att.c_iflag = 0;
    cm__att.c_oflag = 0;
    cm__att.c_cflag |= CREAD | HUPCL;
    cm__att.c_lflag = 0;
    cm__att.c_cc[VMIN] = 0;
    cm__att.c_cc[VTIME] = 1;
    tcsetattr(fd, TCSANOW, &cm__att);
    cm__flags = fcntl(fd, F_GETFL);
    if (cm__flags < 0) cm__flags = O_RDWR;
    cm__h = fd;
    drain_input();
    return true;
}

// Tries each comma-separated path of cm__po once.
bool open_one_of_the_paths() {
    char list[sizeof cm__po];
    strMcpy(list, cm__po);
    char* rest = list;
    while (*rest) {
        char path[sizeof cm__po];
        STRMTCPY(path, &rest, ',');
        if (!path[0]) continue;
        int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) return configure_port(fd);
    }
    return false;
}

void report_novatel_emulation() {
    lo_slog("Could not initialize Novatel DLL.\n", "", -1);
    if (MODUS('M'))
        lo_vlog(T("%s Novatel-DLL konnte nicht initialisiert werden. SMS-Empfang nur bei "
                  "Programmstart m" U8oe "glich.\n",
                  "%s Could not initialize Novatel DLL. SMS reception at program start only.\n"),
                "", -1);
    cc_show2(T("+Novatel-DLL-Emulation aktiviert.", "+Novatel DLL emulation activated."),
             T("+NovatelDLL-\\Emulation", "+NovatelDLL_emulation"));
    msleepx(1000);
}

bool is_open() {
    return cm__h != closed_port;
}

bool answered_from_canned_text() {
    return cm__comsim || (cm__singleport && !is_open());
}

void prepare_packets() {
    if (cm__packetsready) return;
    cm__buildpacket(cm__packet, "", false, novatelu740);
    cm__buildpacket(reinterpret_cast<unsigned char*>(cm_secporttext0), "", true, novatelu740);
    cm__packetsready = true;
}

bool write_all(const void* p, size_t n) {
    ssize_t w = write(cm__h, p, n);
    return w >= 0 && static_cast<size_t>(w) == n;
}

bool send_command(const char* t) {
    size_t len = strlen(t);
    if (!cm_secport || len > cm__PACKETTEXT) return write_all(t, len);
    cm__buildpacket(cm__packet, t, false, novatelu740);
    return write_all(cm__packet, cm__PACKETLEN);
}

// One read with the given time-out; -1 when the read failed.
long read_once(char* t, size_t limit, int tenths) {
    set_vtime(tenths);
    ssize_t n = read(cm__h, t, limit);
    return n < 0 ? -1 : static_cast<long>(n);
}

long elapsed_ms(const std::chrono::steady_clock::time_point& since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

// What comes of an answer beyond the buffer (a list of many stored messages) is read to the
// answer's end and dropped: left waiting, it would stand for the answer to the next command.
void discard_rest(const char* t, size_t n) {
    constexpr size_t keep = 64; // enough for the last line
    std::string tail(t + n - std::min(n, keep), std::min(n, keep));
    auto start = std::chrono::steady_clock::now();
    char piece[256];
    while (!cm__answercomplete(tail.data(), tail.size()) && elapsed_ms(start) < read_onwards_ms) {
        long more = read_once(piece, sizeof piece, quiet_tenths);
        if (more <= 0) break;
        tail.append(piece, static_cast<size_t>(more));
        if (tail.size() > keep) tail.erase(0, tail.size() - keep);
    }
}

// The first piece of an answer within the read window, then the rest as it comes.
long read_answer(char* t, size_t limit) {
    long n = read_once(t, limit, 10);
    auto start = std::chrono::steady_clock::now();
    while (n > 0 && static_cast<size_t>(n) < limit &&
           !cm__answercomplete(t, static_cast<size_t>(n)) && elapsed_ms(start) < read_onwards_ms) {
        long more = read_once(t + n, limit - static_cast<size_t>(n), quiet_tenths);
        if (more <= 0) break;
        n += more;
    }
    if (n > 0 && static_cast<size_t>(n) == limit) discard_rest(t, limit);
    return n;
}

// The diagnostic port's packets come whole; a lone first byte is followed by the rest.
long read_packet(char* t, size_t limit) {
    long n = read_once(t, limit, 10);
    if (n == 1) {
        msleep(100);
        long more = read_once(t + 1, limit - 1, 1);
        if (more > 0) n += more;
    }
    return n;
}

void count_read(long n) {
    bool alarm = false;
    int next = cm__nextscore(cm__lesefehleranzahl, n, konsoleaktiv, &alarm);
    if (alarm) {
        char line[cc_mtextLEN], mini[cc_mtextLEN];
        snprintf(line, sizeof line, T("*Lesefehler bei %s.", "*Read error at %s."), cm__po);
        snprintf(mini, sizeof mini, T("*Lesefehler_%s.", "*Read error %s."), cm__po);
        cc_show2(line, mini);
        msleepx(MELDUNGZEIT);
    }
    cm__lesefehleranzahl = next;
    if (next > 9) {
        lo_vlog(
            T("%s Kommunikationsfehler bei Port %s.\n", "%s Communications error at port %s.\n"),
            cm__po, -1);
        cm__lesefehleranzahl = 0;
        ruhestatus = 1;
        th_requestend();
    }
}

void log_packet(const char* t, int lenbyte) {
    char hex[2 * 32 + 1];
    for (int i = 0; i < 32; i++)
        snprintf(hex + 2 * i, 3, "%02X", static_cast<unsigned char>(t[4 + i]));
    lo_slog("rb: %s %li\n", hex, lenbyte);
}

// The first packet of the secondary port only acknowledges the command; the answer is
// fetched with up to eight fetch packets.
void fetch_secondary_answer(char* t, long n) {
    if (n < 5 || t[0] != 'K' || (t[1] != '2' && static_cast<unsigned char>(t[1]) != 0xFA)) return;
    t[644] = 0;
    for (int i = 0; i < 8 && t[644] == 0; i++) {
        cm__buildpacket(reinterpret_cast<unsigned char*>(cm_secporttext0), "", true, novatelu740);
        write_all(cm_secporttext0, cm__PACKETLEN);
        msleep(static_cast<unsigned long>(comzeit));
        memset(t, 0, read_limit + 1);
        n = read_once(t, read_limit, 10);
        msleep(static_cast<unsigned long>(comzeit));
    }
    int lenbyte = static_cast<unsigned char>(t[644]);
    if (n != cm__PACKETLEN && n != cm__PACKETLEN + 1) {
        if (n >= 51 && n <= 1999)
            lo_slog("rb: %s: %li.\n", T("Falsche Paketl" U8ae "nge", "Wrong packet length"), n);
        t[0] = 0;
        return;
    }
    memset(t, ' ', 4);
    t[n] = 0;
    if (MODUS('P')) log_packet(t, lenbyte);
    if (const char* note = cm__correctlength(t, lenbyte)) lo_slog("%s\n", note, -1);
}

// The device's IMEI identifies its owner: it never reaches the log.
void log_answer(const char* t) {
    if (!strstr(t, "IMEI") && !strstr(t, "CPIN=")) {
        lo_slog("r:  %s\n", t, -1);
        return;
    }
    std::string masked(strlen(t) + 1, '\0');
    cm__maskimei(t, masked.data(), masked.size());
    cm__maskpinecho(masked.data());
    lo_slog("r:  %s\n", masked.c_str(), -1);
}

// Raw bytes are logged by their first characters only, up to a NUL.
std::string loggable_start(const char* t, int tlen) {
    std::string s;
    for (int i = 0; i < tlen && i < 20 && t[i]; i++) s.push_back(t[i]);
    return s;
}

} // namespace

uint16_t cm__fcs16(const unsigned char* p, size_t n) {
    uint16_t fcs = 0xFFFF;
    for (size_t i = 0; i < n; i++) {
        fcs ^= p[i];
        for (int b = 0; b < 8; b++)
            fcs = (fcs & 1) ? static_cast<uint16_t>((fcs >> 1) ^ 0x8408)
                            : static_cast<uint16_t>(fcs >> 1);
    }
    return static_cast<uint16_t>(~fcs);
}

void cm__buildpacket(unsigned char* pkt, const char* text, bool fetch, bool u740) {
    memset(pkt, 0, cm__PACKETLEN);
    pkt[0] = 'K';
    pkt[1] = u740 ? 0xFA : 0x32;
    pkt[2] = fetch ? 0x04 : 0x03;
    if (!fetch) {
        size_t len = min(strlen(text), static_cast<size_t>(cm__PACKETTEXT));
        memcpy(pkt + 4, text, len);
        pkt[644] = static_cast<unsigned char>(len);
    }
    uint16_t fcs = cm__fcs16(pkt, 648);
    pkt[648] = static_cast<unsigned char>(fcs & 0xFF);
    pkt[649] = static_cast<unsigned char>(fcs >> 8);
    pkt[650] = 0x7E;
}

void cm__simanswer(const char* cmd, const char* conname, char* out, size_t n) {
    if (strstr(cmd, "AT+CREG?"))
        snprintf(out, n, "\r\n+CREG: 0,1\r\nOK\r\n");
    else if (strstr(cmd, "AT+CGREG?"))
        snprintf(out, n, "\r\n+CGREG: 0,1\r\nOK\r\n");
    else if (strstr(cmd, "AT+COPS?"))
        snprintf(out, n, "\r\n+COPS: 0,0,\"%.20s\",9\r\nOK\r\n",
                 conname && conname[0] ? conname : "Internet");
    else if (n)
        out[0] = 0;
}

bool cm__simulatedcommand(const char* cmd, int device) {
    if (device != 6) return false;
    if (strncmp(cmd, "AT_OPSYS=", 9) == 0) return true;
    return strncmp(cmd, "AT+COPS", 7) == 0 && strlen(cmd) >= 9 && !strchr("?01", cmd[8]);
}

void cm__commandlog(const char* cmd, bool secondary, char* format, size_t n) {
    if (strstr(cmd, "CPIN="))
        snprintf(format, n, "s:  AT+CPIN=xxxx\r\n");
    else if (secondary && strlen(cmd) <= 40)
        snprintf(format, n, "S:  %%s\r\n");
    else
        snprintf(format, n, "s:  %%s\r\n");
}

void cm__maskimei(const char* in, char* out, size_t n) {
    strmcpy(out, in, n);
    char* p = strstr(out, "IMEI");
    if (!p) return;
    p += 4;
    for (int skipped = 0; skipped < 4 && *p && !(*p >= '0' && *p <= '9'); skipped++) p++;
    for (; *p >= '0' && *p <= '9'; p++) *p = 'x';
}

void cm__maskpinecho(char* t) {
    for (char* p = strstr(t, "CPIN="); p; p = strstr(p, "CPIN=")) {
        for (p += 5; *p && *p != '\r' && *p != '\n'; p++)
            if (*p >= '0' && *p <= '9') *p = 'x';
    }
}

const char* cm__correctlength(char* t, int lenbyte) {
    size_t tlen = strlen(t);
    long cut = -1;
    auto begins = [&](const char* word) {
        return tlen >= 6 && strncmp(t + 6, word, strlen(word)) == 0;
    };
    bool known = begins("+COPS:") || begins("+CREG:") || begins("+CGREG:") || begins("$NWRAT:") ||
                 begins("+CSQ:");
    // A known answer ends with its "OK", whatever the fields in front of it hold (a location
    // area and cell id once location reports are on, an operator name of any length).
    const char* ok = known ? strstr(t + 6, "\r\nOK\r\n") : nullptr;
    if (ok) {
        cut = ok + 6 - t;
    } else if (begins("+COPS:")) {
        const char* q1 =
            tlen > 12 ? static_cast<const char*>(memchr(t + 12, '"', min(tlen - 12, size_t{15})))
                      : nullptr;
        const char* q2 = nullptr;
        if (q1) {
            size_t after = tlen - static_cast<size_t>(q1 + 1 - t);
            q2 = static_cast<const char*>(memchr(q1 + 1, '"', min(after, size_t{50})));
        }
        if (q2)
            cut = (q2 - t) + 11;
        else
            return nullptr; // a name without both quotes: left as it came
    } else if (begins("+CREG:")) {
        cut = 24;
    } else if (begins("+CGREG:")) {
        cut = 25;
    } else if (begins("$NWRAT:")) {
        cut = 27;
    } else if (begins("+CSQ:")) {
        cut = 25;
    }
    if (cut >= 0) {
        if (static_cast<size_t>(cut) < tlen) t[cut] = 0;
        if (cut != 4 + lenbyte && cut != 5 + lenbyte)
            return T("rb: Syntax erkannt, L" U8ae "nge korrigiert.",
                     "rb: Syntax recognized, length adjusted.");
        return nullptr;
    }
    if (lenbyte <= 2 && strlen(t + min(tlen, size_t{4})) < 60)
        return T("rb: L" U8ae "nge korrigiert.", "rb: Length adjusted.");
    if (static_cast<size_t>(4 + lenbyte) < tlen) t[4 + lenbyte] = 0;
    return nullptr;
}

namespace {

bool final_result(const char* line, size_t n) {
    auto is = [&](const char* word) { return n == strlen(word) && memcmp(line, word, n) == 0; };
    auto begins = [&](const char* word) {
        return n >= strlen(word) && memcmp(line, word, strlen(word)) == 0;
    };
    return is("OK") || is("ERROR") || is("NO CARRIER") || is("BUSY") || is("NO ANSWER") ||
           is("NO DIALTONE") || begins("+CME ERROR") || begins("+CMS ERROR") || begins("CONNECT");
}

} // namespace

bool cm__answercomplete(const char* t, size_t n) {
    if (n >= 2 && t[n - 2] == '>' && t[n - 1] == ' ') return true; // the SMS text prompt
    if (!n || (t[n - 1] != '\r' && t[n - 1] != '\n')) return false;
    size_t end = n;
    while (end && (t[end - 1] == '\r' || t[end - 1] == '\n')) end--;
    size_t start = end;
    while (start && t[start - 1] != '\r' && t[start - 1] != '\n') start--;
    return end > start && final_result(t + start, end - start);
}

int cm__nextscore(int score, long n, bool console, bool* alarm) {
    *alarm = false;
    if (n < 0) {
        *alarm = score > 8;
        return score + 2;
    }
    if (n > 0) return 0;
    return console ? score : score + 1;
}

std::vector<cm__piece> cm__splituserstring(const char* s) {
    constexpr size_t piece_limit = 1019; // the piece buffer holds 1020 bytes
    std::vector<cm__piece> pieces;
    std::string cur;
    auto add = [&](char c) {
        if (cur.size() < piece_limit) cur.push_back(c);
    };
    auto finish = [&](cm__sep sep) {
        pieces.push_back({cur, sep});
        cur.clear();
    };
    for (const char* p = s; *p; p++) {
        if (*p != '\\') {
            add(*p);
            continue;
        }
        char next = p[1];
        if (next == 'r' || next == 'R' || next == 'p' || next == 'P') {
            finish(next == 'r'   ? cm__SEP_CR
                   : next == 'R' ? cm__SEP_CR_READ
                   : next == 'p' ? cm__SEP_PAUSE
                                 : cm__SEP_LONGPAUSE);
            p++;
        } else if (next == '\\') {
            add('\\');
            p++;
        } else if (next == 'x' && ishexdigit(p[2]) && ishexdigit(p[3])) {
            auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
            add(static_cast<char>(hex(p[2]) * 16 + hex(p[3])));
            p += 3;
        } else {
            add('\\'); // nothing else is an escape: the backslash is sent as it is
        }
    }
    if (!cur.empty()) finish(cm__SEP_END);
    return pieces;
}

void cm_ini() {
    cm__lesefehleranzahl = 0;
    cm_postini();
}

void cm_postini() {
    if (is_open()) close(cm__h);
    cm__po[0] = 0;
    cm__h = closed_port;
    cm_secport = false;
    cm__singleport = false;
    cm__singleporttext[0] = 0;
    cm__comsim = false;
    cm_linkcom(0, nullptr);
}

bool cm_open(const char* port, int) {
    if (frozen()) return false;
    if (is_open()) return true;
    if (port)
        strMcpy(cm__po, port);
    else if (!cm__po[0] || cm_secport)
        return false;

    bool dll = stricmp(cm__po, "DLL") == 0;
    if (dll || (cm_secport && !secportmanuell)) lo_slog("No Novatel DLL in Linux.\n", "", -1);
    if (!dll && cm_secport && !secportmanuell) report_novatel_emulation();

    if (strcmp(cm__po, "NONE") == 0) {
        cm__comsim = true;
        return true;
    }
    bool opened = false;
    for (int attempt = 0; attempt < open_attempts && !opened; attempt++) {
        opened = open_one_of_the_paths();
        if (opened || attempt + 1 == open_attempts) break;
        msleep(2000);
        lo_slog(T("Versuche erneut, Port %s zu " U8oe "ffnen.\n", "Retry to open port %s.\n"),
                cm__po, -1);
    }
    lo_slog(opened ? T("Port %s ge" U8oe "ffnet.\n", "Opened Port %s.\n")
                   : T("Port %s konnte nicht ge" U8oe "ffnet werden.\n",
                       "Port %s could not be opened.\n"),
            cm__po, -1);
    return opened;
}

void cm_change() {
    if (frozen() || cm_secport) return;
    cm_secport = true;
    int old = cm__h;
    cm__h = closed_port;
    cm_open(inidat.com2, 0);
    msleep(100);
    if (old != closed_port) close(old);
}

bool cm_puts(const char* t) {
    if (frozen() || !t) return false;
    prepare_packets();
    if (answered_from_canned_text() || cm__simulatedcommand(t, geraet)) {
        lo_slog("simu s:  %s\r\n", t, -1);
        cm__simanswer(t, inidat.con, cm__singleporttext, sizeof cm__singleporttext);
        // The next read goes to a real device, which has nothing to say to a command it never
        // got: the "OK" the command would have had is queued here.
        if (!cm__singleporttext[0] && !answered_from_canned_text())
            strMcpy(cm__singleporttext, "\r\nOK\r\n");
        return true;
    }
    if (!is_open() && !cm_open(nullptr, 0)) return false;
    if (logging_dialogue()) {
        char fmt[32];
        cm__commandlog(t, cm_secport, fmt, sizeof fmt);
        lo_slog(fmt, t, -1);
    }
    if (!cm__ringdetect_ACTIVE) drain_input();
    return send_command(t);
}

bool cm_putm(const char* t, int tlen) {
    if (frozen() || !t) return false;
    if (answered_from_canned_text()) {
        lo_slog("simu t:  %20s\r\n", loggable_start(t, tlen).c_str(), -1);
        cm__singleporttext[0] = 0;
        return true;
    }
    if (!is_open() && !cm_open(nullptr, 0)) return false;
    lo_slog("t:  %20s\r\n", loggable_start(t, tlen).c_str(), -1);
    if (tlen <= 0) return true;
    if (!cm__ringdetect_ACTIVE && !konsoleaktiv) drain_input();
    return write_all(t, static_cast<size_t>(tlen));
}

void cm_exchange(const char* cmd, char* t, long before, long after) {
    cm_puts(cmd);
    msleep(static_cast<unsigned long>(before < 0 ? comzeit : before));
    cm_gets(t, 5);
    msleep(static_cast<unsigned long>(after < 0 ? comzeit : after));
}

void cm_gets(char* t, int) {
    t[0] = 0;
    if (frozen()) return;
    if (cm__singleporttext[0]) {
        strmcpy(t, cm__singleporttext, read_limit + 1);
        lo_slog("simu r:  %s\n", t, -1);
        cm__singleporttext[0] = 0;
        return;
    }
    if (answered_from_canned_text()) {
        strcpy(t, "\r\nOK\r\n");
        lo_slog("ok r:  %s\n", t, -1);
        return;
    }
    if (!is_open() && !cm_open(nullptr, 0)) return;

    memset(t, 0, read_limit + 1);
    long n = cm_secport ? read_packet(t, cm__PACKETLEN) : read_answer(t, read_limit);
    count_read(n);
    t[n > 0 ? n : 0] = 0;
    if (cm_secport) fetch_secondary_answer(t, n);
    if (logging_dialogue()) log_answer(t);
    if (cm__ringdetect_ACTIVE) cm__ringdetect(t);
}

void cm_userat(const char* dp) {
    bool configured = dp == nullptr;
    const char* s = configured ? inidat.devi : dp;
    if (frozen() || !s || !s[0] || !is_open()) return;
    lo_slog(T("Sende benutzerdefinierte Kommandos.\n", "Sending user-defined commands.\n"), "", -1);
    if (configured)
        cc_show2(T(" Initialisierung.", " Initialization."),
                 T(" Initialisierung.", " Initialization."));
    else
        cc_show2(T(" Sende AT-Kommandos.", " Sending AT commands."),
                 T(" Sende_AT-Kommandos.", " Sending_AT commands."));
    msleep(50);
    if (s[0] == '\\' && s[1] == '*') s += 2;

    char answer[antwortLEN];
    for (const cm__piece& piece : cm__splituserstring(s)) {
        if (configured && programmende_gewuenscht) break;
        bool with_cr =
            piece.sep == cm__SEP_CR || piece.sep == cm__SEP_CR_READ || piece.sep == cm__SEP_END;
        // An empty piece sends nothing, except a lone carriage return for "\r" and "\R";
        // its pause is kept.
        if (!piece.bytes.empty() || piece.sep == cm__SEP_CR || piece.sep == cm__SEP_CR_READ) {
            std::string out = piece.bytes + (with_cr ? "\r" : "");
            cm_puts(out.c_str());
            msleep(100);
            msleep(10);
        }
        if (piece.sep == cm__SEP_CR_READ)
            cm_gets(answer, 15);
        else if (piece.sep == cm__SEP_PAUSE)
            msleep(500);
        else if (piece.sep == cm__SEP_LONGPAUSE)
            msleep(5000);
    }
    lo_slog(T("Ende der benutzerdefinierten Kommandos.\n", "End of user-defined commands.\n"), "",
            -1);
}

void cm_close() {
    cm__comsim = false;
    if (is_open()) {
        close(cm__h);
        cm__h = closed_port;
        lo_slog(T("Port %s geschlossen.\n", "Port %s closed.\n"), cm__po, -1);
    }
}

void cm_preend() {
    cm_close();
    lo_slog(T("Pre-Ende.\n", "Pre-termination.\n"), "", -1);
}

void cm_end() {
    cm_preend();
}

bool cm_isopen() {
    return is_open();
}
bool cm_issim() {
    return cm__comsim;
}
bool cm_singleport() {
    return cm__singleport;
}
void cm_setsingleport(bool on) {
    cm__singleport = on;
}
