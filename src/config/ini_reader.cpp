#include "config/ini_reader.h"

#include "config/profiles.h"
#include "config/scrambling.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/secret_masking.h"
#include "foundation/utilities.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

FILE* iv__fii = nullptr;

namespace {

char iv__fiimode[10] = "";
bool iv__profileread = false;

// Large enough for any number the file may hold, small enough never to overflow a long.
constexpr long number_cap = 2000000000L;

void mark() {
    _inidatneu = true;
}

bool starts_with(const char* s, const char* p) {
    return strncmp(s, p, strlen(p)) == 0;
}

bool starts_withi(const char* s, const char* p) {
    return memicmp(s, p, static_cast<long>(strlen(p))) == 0;
}

bool isdig(char c) {
    return c >= '0' && c <= '9';
}

// Digits from *p on, as long as they last; the value saturates at number_cap.
long read_digits(const char*& p) {
    long v = 0;
    while (isdig(*p)) {
        v = v * 10 + (*p - '0');
        if (v > number_cap) v = number_cap;
        p++;
    }
    return v;
}

// Copies a text value unless it is longer than the field.
template <size_t N> void take(char (&field)[N], const char* v) {
    if (strlen(v) < N) strMcpy(field, v);
}

// A stored credential, scrambled or plain (a plain one is rewritten scrambled). The value
// may be longer than the field as long as its plain text fits: a long login stored
// scrambled takes two characters per byte.
bool read_credential(const char* v, std::string& plain, size_t room) {
    size_t len = strlen(v);
    std::unique_ptr<char[]> buf(new char[len + 1]);
    bool was_scrambled = ob_deobfuscate(v, buf.get());
    if (strlen(buf.get()) >= room || (!was_scrambled && len >= 300)) return false;
    if (!was_scrambled && len) mark(); // empty is the stored form of "none"
    plain = buf.get();
    return true;
}

void read_lan(const char* v) {
    char c = static_cast<char>(toupper(static_cast<unsigned char>(v[0])));
    _de = c == 'D' || c == 'G';
    if (!strchr(v, '\t')) mark();
}

void read_pin(const char* v) {
    if (MODUS('K')) return;
    if (stricmp(v, "NONE") == 0) {
        inidat.pin[0] = 0;
        mark();
        return;
    }
    std::string plain;
    if (read_credential(v, plain, sizeof inidat.pin)) strMcpy(inidat.pin, plain.c_str());
}

void read_cona(const char* v, iv__readstate* st) {
    st->cona = true;
    inidat.constart = false;
    inidat.conende = false;
    for (; *v; v++) {
        char c = static_cast<char>(toupper(static_cast<unsigned char>(*v)));
        if (c == 'S') inidat.constart = true;
        if (c == 'E') inidat.conende = true;
    }
}

// What the line reader drops at the end of a line: values drop it beside their separators too,
// so that the written form reads back the same.
bool value_blank(char c) {
    return c == ' ' || c == '\t';
}

void read_con(const char* v, const iv__readstate* st) {
    char buf[iv__LINEMAX + 1];
    strMcpy(buf, v);
    char* p = buf;
    // The older marks ';' in front and behind; a repeated mark is the same mark, and blanks
    // beside them are no part of the port text, as blanks around any value.
    bool leading = p[0] == ';';
    while (*p == ';' || value_blank(*p)) p++;
    size_t len = strlen(p);
    bool trailing = len && p[len - 1] == ';';
    while (len && (p[len - 1] == ';' || value_blank(p[len - 1]))) p[--len] = 0;
    if (!st->cona) {
        inidat.constart = !leading;
        inidat.conende = !trailing;
    }
    if (leading || trailing) mark();
    const char* name = "";
    if (p[0] == 0 || strcmp(p, "Internet") == 0) {
        inidat.conad = 0;
    } else if (strcmp(p, "|") == 0 || strcmp(p, "|Internet") == 0) {
        inidat.conad = 1;
    } else if (strcmp(p, ",") == 0) {
        inidat.conad = 3;
    } else if (p[0] == ',') {
        inidat.conad = 4;
        name = p + 1;
    } else {
        inidat.conad = 2;
        name = p[0] == '|' ? p + 1 : p;
    }
    if (strlen(name) > 298) return;
    strMcpy(inidat.conport, name);
    strMcpy(inidat.con, name);
}

void read_pass(const char* v) {
    std::string login;
    if (!read_credential(v, login, sizeof inidat.conname + sizeof inidat.conpass)) return;
    size_t semi = login.find(';');
    std::string name = login.substr(0, semi);
    std::string pass = semi == std::string::npos ? "" : login.substr(semi + 1);
    if (name.size() >= sizeof inidat.conname || pass.size() >= sizeof inidat.conpass) return;
    strMcpy(inidat.conname, name.c_str());
    strMcpy(inidat.conpass, pass.c_str());
}

void read_day(const char* v) {
    if (*v == 'P' || *v == 'p') {
        inidat.round = 1;
        lo_slog("INI file: connlog, old syntax\n", "", -1);
        mark();
        v++;
    }
    int day = 0;
    for (int i = 0; i < 2 && isdig(*v); i++) day = day * 10 + (*v++ - '0');
    inidat.day = day;
    inidat.dayt = 0;
    if (*v == ';') {
        v++;
        long t = read_digits(v);
        if (t > 99) {
            inidat.round = static_cast<int>(t);
            t = 0;
            mark();
        }
        inidat.dayt = static_cast<int>(t);
    }
}

template <class T1, class T2> void read_pair(const char* v, T1* a, T2* b) {
    *a = static_cast<T1>(read_digits(v));
    *b = 0;
    if (*v == ';') {
        v++;
        *b = static_cast<T2>(read_digits(v));
    }
}

void read_homu(const char* v) {
    if (starts_withi(v, "http://")) {
        v += 7;
        mark();
    }
    take(inidat.homu, v);
}

void read_end(const char* v) {
    inidat.end = 0;
    inidat.endhightraffic = inidat.endforce = inidat.endverb = inidat.endstandby = false;
    inidat.endshutdown = 0;
    if (const char* semi = strchr(v, ';')) {
        // Older syntax: the start delay stood in front of the countdown.
        const char* p = v;
        long d = 0;
        for (; p < semi; p++)
            if (isdig(*p)) d = min(d * 10 + (*p - '0'), number_cap);
        inidat.startdelay = static_cast<unsigned long>(d);
        v = semi + 1;
        mark();
    }
    long e = 0;
    for (; *v; v++) {
        char c = static_cast<char>(toupper(static_cast<unsigned char>(*v)));
        if (isdig(c)) e = min(e * 10 + (c - '0'), number_cap);
        if (c == 'T') inidat.endhightraffic = true;
        if (c == 'F') inidat.endforce = true;
        if (c == 'C') inidat.endverb = true;
        if (c == 'Z') inidat.endstandby = true;
        if (c == 'S' && inidat.endshutdown != 2) inidat.endshutdown = 1;
        if (c == 'R') inidat.endshutdown = 2;
    }
    inidat.end = static_cast<unsigned long>(e);
}

void read_cmd(int i, const char* v) {
    if (strlen(v) >= sizeof inidat.cmd[i]) return;
    strMcpy(inidat.cmd[i], v);
    for (char* p = inidat.cmd[i]; *p; p++)
        if (*p == '\'') *p = '"';
}

void read_sms(int i, const char* v) {
    inidat.sms[i] = 0;
    inidat.smsnr[i][0] = 0;
    inidat.smskey[i][0] = 0;
    // Blanks in front of the call mark are no part of the entry either.
    while (value_blank(*v)) v++;
    bool call = v[0] == ',';
    const char* rest = call ? v + 1 : v;
    if (!rest[0]) return;
    const char* semi = strchr(rest, ';');
    size_t nlen = semi ? static_cast<size_t>(semi - rest) : strlen(rest);
    // Blanks around the number are no part of it.
    while (nlen && value_blank(*rest)) rest++, nlen--;
    while (nlen && value_blank(rest[nlen - 1])) nlen--;
    const char* key = semi ? semi + 1 : "";
    // An entry whose number or keyword does not fit stays unused: cutting a number short
    // would accept commands from somebody else.
    if (nlen >= sizeof inidat.smsnr[i] || strlen(key) >= sizeof inidat.smskey[i]) return;
    memcpy(inidat.smsnr[i], rest, nlen);
    inidat.smsnr[i][nlen] = 0;
    if (call) {
        inidat.sms[i] = 2;
        inidat.smsring = true;
        return;
    }
    strMcpy(inidat.smskey[i], key);
    strupper(inidat.smskey[i]);
    inidat.sms[i] = 1;
    inidat.mod[static_cast<unsigned char>('M')] = 1;
}

void read_smsc(const char* v) {
    if (!v[0]) {
        inidat.smsc[0] = 0;
    } else if (strlen(v) < 30 && v[0] == '+' && isdig(v[1])) {
        strMcpy(inidat.smsc, v);
    } else {
        strMcpy(inidat.smsc, T("(Formatfehler)", "(format error)"));
    }
}

void read_ipc(const char* v) {
    long m = 0;
    while (isdig(*v)) {
        m = m * 8 + (*v++ - '0');
        if (m >= 2048) m = 2048;
    }
    inidat.ipcmod = m >= 2048 ? 2047 : static_cast<int>(m);
}

void read_batt(const char* v) {
    long a = 0, b = 0;
    const char* p = v;
    for (; *p && *p != ';'; p++)
        if (isdig(*p)) a = min(a * 10 + (*p - '0'), number_cap);
    if (*p == ';')
        for (p++; *p; p++)
            if (isdig(*p)) b = min(b * 10 + (*p - '0'), number_cap);
    if (a > 100) a = 100, mark();
    if (b > 100) b = 100, mark();
    if (a < b) {
        long t = a;
        a = b;
        b = t;
        mark();
    }
    inidat.batt1 = static_cast<int>(a);
    inidat.batt2 = static_cast<int>(b);
}

enum Key {
    K_LAN,
    K_COM,
    K_DEVI,
    K_DEV,
    K_PING,
    K_PIN,
    K_NET,
    K_APN,
    K_USSD,
    K_PPQ,
    K_PPC,
    K_CONA,
    K_CON,
    K_PASS,
    K_DAY,
    K_RND,
    K_MAXV,
    K_MAXT,
    K_MAX,
    K_ERR,
    K_SDLY,
    K_ENDC,
    K_ENDM,
    K_END,
    K_CMD1,
    K_CMD2,
    K_CMD3,
    K_SMS1,
    K_SMS2,
    K_SMS3,
    K_CMD,
    K_SMSC,
    K_IPC,
    K_ICON,
    K_BATT,
    K_MOD,
    K_REM,
    K_HOMU,
    K_HOMI,
    K_HOMO,
    K_SERVICELOG,
    K_SERVILOG,
    K_NONE
};

// In this order, so that longer keys win over their prefixes.
constexpr const char* keynames[] = {
    "LAN",  "COM",  "DEVI", "DEV",  "PING", "PIN",  "NET",  "APN",        "USSD",    "PPQ",  "PPC",
    "CONA", "CON",  "PASS", "DAY",  "RND",  "MAXV", "MAXT", "MAX",        "ERR",     "SDLY", "ENDC",
    "ENDM", "END",  "CMD1", "CMD2", "CMD3", "SMS1", "SMS2", "SMS3",       "CMD",     "SMSC", "IPC",
    "ICON", "BATT", "MOD",  "REM",  "HOMU", "HOMI", "HOMO", "SERVICELOG", "SERVILOG"};
static_assert(sizeof keynames / sizeof keynames[0] == K_NONE);

void apply(Key k, const char* v, iv__readstate* st) {
    switch (k) {
    case K_LAN:
        read_lan(v);
        break;
    case K_COM:
        take(inidat.comport, v);
        break;
    case K_DEVI:
        take(inidat.devi, v);
        break;
    case K_DEV: {
        bool neg = *v == '-';
        const char* p = neg ? v + 1 : v;
        long d = read_digits(p);
        inidat.mangeraet = (!neg && d <= 99) ? static_cast<int>(d) : 0;
        break;
    }
    case K_PING:
        take(inidat.ping, v);
        break;
    case K_PIN:
        read_pin(v);
        break;
    case K_NET:
        take(inidat.net, v);
        break;
    case K_APN:
        take(inidat.apn, v);
        break;
    case K_USSD:
        break;
    case K_PPQ:
        take(inidat.ppq, v);
        break;
    case K_PPC:
        take(inidat.ppc, v);
        break;
    case K_CONA:
        read_cona(v, st);
        break;
    case K_CON:
        read_con(v, st);
        break;
    case K_PASS:
        read_pass(v);
        break;
    case K_DAY:
        read_day(v);
        break;
    case K_RND:
        read_pair(v, &inidat.round, &inidat.roundt);
        break;
    case K_MAXV:
    case K_MAX:
        if (iv__readlimits(v, inidat.max, false) || k == K_MAX) mark();
        break;
    case K_MAXT:
        if (iv__readlimits(v, inidat.maxt, true)) mark();
        break;
    case K_ERR:
        if (iv__readerr(v, inidat.err)) mark();
        break;
    case K_SDLY:
        read_pair(v, &inidat.startdelay, &inidat.resumedelay);
        break;
    case K_ENDC:
        if (iv__readendc(v, &inidat.enduhrzeit1, &inidat.enduhrzeit2, &inidat.enduhrzeite)) mark();
        break;
    case K_ENDM: {
        int m = isdig(v[0]) ? v[0] - '0' : 0;
        inidat.endm = m <= 2 ? m : 0;
        break;
    }
    case K_END:
        read_end(v);
        break;
    case K_CMD1:
        read_cmd(0, v);
        break;
    case K_CMD2:
        read_cmd(1, v);
        break;
    case K_CMD3:
        read_cmd(2, v);
        break;
    case K_SMS1:
        read_sms(0, v);
        break;
    case K_SMS2:
        read_sms(1, v);
        break;
    case K_SMS3:
        read_sms(2, v);
        break;
    case K_CMD:
        break;
    case K_SMSC:
        read_smsc(v);
        break;
    case K_IPC:
        read_ipc(v);
        break;
    case K_ICON: {
        int i = isdig(v[0]) ? v[0] - '0' : 0;
        inidat.icon = (i >= 1 && i <= 6) ? i : 1;
        break;
    }
    case K_BATT:
        read_batt(v);
        break;
    case K_MOD:
        iv_readmod(v);
        break;
    case K_REM:
        take(inidat.rem, v);
        break;
    case K_HOMU:
        read_homu(v);
        break;
    case K_HOMI:
        take(inidat.homi, v);
        break;
    case K_HOMO:
        take(inidat.homo, v);
        break;
    case K_SERVICELOG:
    case K_SERVILOG:
        inidat.mod[static_cast<unsigned char>('P')] = 1;
        mark();
        break;
    case K_NONE:
        break;
    }
}

bool is_line_number_only(const char* s) {
    return strlen(s) < 6 && isdig(s[0]) && isdig(s[1]);
}

} // namespace

// ---- Pure parts ----

void iv__readline(const char* line, iv__readstate* st) {
    if (!line || !st) return;
    char buf[iv__LINEMAX + 1];
    strMcpy(buf, line);
    // A carriage return is a line end wherever it stands (files from other systems), never
    // part of a value.
    *std::remove(buf, buf + strlen(buf), '\r') = 0;
    // Trailing line ends and blanks go; tabs too, except on the language line, whose tab
    // tells the current form from an older one.
    bool lan = strstr(buf, "LAN") || strstr(buf, "lan");
    size_t len = strlen(buf);
    while (len && (buf[len - 1] == '\n' || buf[len - 1] == '\r' || buf[len - 1] == ' ' ||
                   (!lan && buf[len - 1] == '\t')))
        buf[--len] = 0;
    if (buf[0] == '*' || buf[0] == '(') return;
    char* p = buf;
    while (*p == ' ') p++;
    if (isdig(*p)) {
        p++;
        if (isdig(*p) || *p == ' ') {
            p++;
            while (*p == ' ') p++;
        }
    }
    if (*p == '*' || *p == '(') return;
    if (starts_with(p, "mavlyn ")) {
        if (strcmp(p + 7, MAVLYN_VERSION) != 0) mark();
        return;
    }
    if (starts_with(p, "--> ")) {
        mark();
        return;
    }
    for (char* q = p; *q && *q != '='; q++)
        *q = static_cast<char>(toupper(static_cast<unsigned char>(*q)));
    if (strcmp(p, "INIWRITE") == 0) {
        mark();
        return;
    }
    if (strcmp(p, "INIWRITEEXIT") == 0) {
        mark();
        st->exit = true;
        return;
    }
    Key k = K_NONE;
    for (int i = 0; i < K_NONE; i++)
        if (starts_with(p, keynames[i])) {
            k = static_cast<Key>(i);
            break;
        }
    if (k == K_NONE) return;
    p += strlen(keynames[k]);
    while (*p == ' ') p++;
    if (k == K_SERVICELOG || k == K_SERVILOG) {
        apply(k, "", st);
        return;
    }
    if (*p != '=') return;
    p++;
    while (*p == ' ') p++;
    apply(k, p, st);
}

bool iv__readlimits(const char* v, long out[3], bool time) {
    out[0] = out[1] = out[2] = 0;
    int i = 0;
    long n = 0;
    for (; *v; v++) {
        char c = static_cast<char>(toupper(static_cast<unsigned char>(*v)));
        if (isdig(c)) {
            n = min(n * 10 + (c - '0'), number_cap);
        } else if (c == ';') {
            out[i] = n;
            n = 0;
            if (++i == 3) return true; // a fourth number
        } else if (c == ',' || c == '.') {
            out[i] = n;
            return true;
        } else if (!time && c == 'M') {
            n = min(n * 1000, number_cap);
        } else if (!time && c == 'G') {
            n = min(n * 1000000, number_cap);
        } else if (time && c == 'H') {
            n = min(n * 60, number_cap);
        } else if (time && c == 'D') {
            n = min(n * 1440, number_cap);
        }
    }
    out[i] = n;
    return false;
}

bool iv__readendc(const char* v, int* start, int* end, bool* endflag) {
    *start = *end = -1;
    *endflag = false;
    const char* semi = strchr(v, ';');
    if (!isdig(v[0]) || !semi || (!strchr(v, ':') && !strchr(v, '.'))) return false;
    bool out_of_range = false;
    auto minutes = [&](const char* from, const char* to) {
        long n = 0;
        for (const char* p = from; p < to; p++)
            if (isdig(*p)) n = min(n * 10 + (*p - '0'), number_cap);
        long m = (n / 100) * 60 + n % 100;
        if (m > 1439) {
            m = 1439;
            out_of_range = true;
        }
        return static_cast<int>(m);
    };
    *start = minutes(v, semi);
    *end = minutes(semi + 1, semi + strlen(semi));
    if (strchr(semi, 'e') || strchr(semi, 'E')) *endflag = true;
    return out_of_range;
}

bool iv__readerr(const char* v, int* err) {
    bool rewrite = false;
    int names = 0;
    const char* p = v;
    while (*p) {
        if (*p == ' ') {
            p++;
            continue;
        }
        int found = -1;
        for (int i = 0; i < ERRN; i++)
            if (starts_withi(p, errname[i])) {
                found = i;
                break;
            }
        if (found < 0) {
            rewrite = true;
            p++;
            continue;
        }
        p += strlen(errname[found]);
        while (*p == ' ') p++;
        int value = 0, digits = 0;
        while (digits < 3 && isdig(*p)) value = value * 10 + (*p++ - '0'), digits++;
        if (!digits) {
            rewrite = true;
            continue;
        }
        err[found] = value;
        names++;
    }
    return rewrite || names < ERRN;
}

void iv__nextport(const char* com1, char* com2, size_t n) {
    if (!n) return;
    strmcpy(com2, com1, n);
    size_t len = strlen(com2);
    if (!len || !isdig(com2[len - 1])) return;
    char& last = com2[len - 1];
    if (last != '9') {
        last++;
        return;
    }
    if (len >= 2 && isdig(com2[len - 2]) && com2[len - 2] != '9') {
        com2[len - 2]++;
        last = '0';
        return;
    }
    // "…9" after a non-digit (or after another 9) grows by one digit: ttyUSB9 -> ttyUSB10.
    size_t start = len - 1;
    while (start > 0 && com2[start - 1] == '9') start--;
    if (len + 1 >= n) return;
    com2[start] = '1';
    for (size_t i = start + 1; i <= len; i++) com2[i] = '0';
    com2[len + 1] = 0;
}

void iv__ports() {
    inidat.com1[0] = inidat.com2[0] = 0;
    const char* c = inidat.comport;
    if (strcmp(c, "NOLINKSYS") == 0 || starts_with(c, "LINKSYS") || !c[0]) {
        // no command port of its own: the device search or the router link finds one
    } else if (isdig(c[0])) {
        strMcpy(inidat.com1, (std::string("COM") + c).c_str());
    } else {
        strMcpy(inidat.com1, c);
    }
    if (char* semi = strchr(inidat.com1, ';')) {
        *semi = 0;
        const char* second = semi + 1;
        if (isdig(second[0]))
            strMcpy(inidat.com2, (std::string("COM") + second).c_str());
        else
            strMcpy(inidat.com2, second);
        secportmanuell = true;
    } else if (inidat.com1[0]) {
        iv__nextport(inidat.com1, inidat.com2, sizeof inidat.com2);
    }
    inidat.com1none = strcmp(inidat.com1, "NONE") == 0;
}

void iv__readheader(const char* line, bool rolefromname) {
    size_t len = strlen(line);
    // Columns are read digit by digit; a missing or foreign character counts as 0, so that
    // a damaged line cannot put negative numbers into the counters.
    auto col = [&](size_t i) { return i < len ? line[i] : 0; };
    auto digit = [&](size_t i) { return isdig(col(i)) ? col(i) - '0' : 0; };
    auto number = [&](size_t from, size_t count) {
        long v = 0;
        for (size_t i = from; i < from + count; i++) v = v * 10 + digit(i);
        return v;
    };
    if (!rolefromname && col(3) >= '1' && col(3) <= '9') inidat.funktion = col(3) - '0';
    if (col(4)) inidat.header2 = static_cast<char>(toupper(static_cast<unsigned char>(col(4))));
    if (col(5)) inidat.header3 = static_cast<char>(toupper(static_cast<unsigned char>(col(5))));
    inidat.headerv = number(6, 9);
    if (isdig(col(16)) && isdig(col(20))) {
        inidat.headerx = static_cast<int>(number(16, 4));
        inidat.headery = static_cast<int>(number(20, 4));
    }
    inidat.headerday = static_cast<int>(number(24, 2));
    inidat.headermon = static_cast<int>(number(26, 2));
    int form = digit(28);
    inidat.headerfefo = (form >= 1 && form <= 4) ? form : 1;
    if (isdig(col(30))) inidat.hinweisk = col(30);
    inidat.headert = number(31, 6);
    inidat.headert_alt = inidat.headert;
    inidat.headerset = true;
}

int iv__rolebyname(const char* name) {
    if (!name) return -1;
    const char* slash = strrchr(name, '/');
    char n[40];
    strMcpy(n, slash ? slash + 1 : name);
    size_t len = strlen(n);
    if (len >= 4 && stricmp(n + len - 4, ".EXE") == 0) n[len - 4] = 0;
    strupper(n);
    static constexpr struct {
        const char* name;
        int role;
    } roles[] = {{"MVL", 0},      {"MAVLYN", 0},   {"GPRS", 1},     {"UMTS", 2},
                 {"GPRSUMTS", 3}, {"UMTSGPRS", 4}, {"CONN", 9},     {"CONTROL", 40},
                 {"CONFIG", 50},  {"CONFIGX", 50}, {"PROFILE", 60}, {"MAVLYN_DEBIAN_REMOVE", 90}};
    for (const auto& r : roles)
        if (strcmp(n, r.name) == 0) return r.role;
    return -1;
}

namespace {

// Names under which the first parameter may choose the role.
bool generic_name(const char* n) {
    static constexpr const char* exe[] = {"mavlyn.exe", "MAVLYN.exe", "CONFIG.exe", "CO.exe"};
    static constexpr const char* plain[] = {"mavlyn", "mvl", "MAVLYN", "MVL", "CONFIG", "CO"};
    size_t len = strlen(n);
    for (const char* e : exe)
        if (len >= 10 && strcmp(n + len - strlen(e), e) == 0) return true;
    for (const char* e : plain)
        if (len >= 6 && len >= strlen(e) && strcmp(n + len - strlen(e), e) == 0) return true;
    return false;
}

// Words that are not role names: those of program entry and configuration lines.
bool parameter_word(const char* a) {
    static constexpr const char* words[] = {"NOSPLASH",    "MUTE",     "SILENTINSTALL",
                                            "STARTTOGGLE", "INIWRITE", "INIWRITEEXIT"};
    for (const char* w : words)
        if (stricmp(a, w) == 0) return true;
    return strchr(a, '=') || memicmp(a, "INSTANCE", 8) == 0;
}

} // namespace

void iv__invocationrole(int argc, char** argv, iv__invocation* out) {
    memset(out, 0, sizeof *out);
    out->firstparam = 1;
    const char* name = argc > 0 && argv[0] ? argv[0] : "";
    const char* first = argc > 1 && argv[1] ? argv[1] : nullptr;
    if (generic_name(name) && first && strlen(first) > 3 && !parameter_word(first)) {
        if (strcmp(first, "INSTALLSUB_D") == 0) {
            out->language = 1;
            out->installsub = true;
        } else if (strcmp(first, "INSTALLSUB_E") == 0) {
            out->language = 2;
            out->installsub = true;
        } else {
            name = first;
        }
        out->firstparam = 2;
    }
    const char* slash = strrchr(name, '/');
    strMcpy(out->programm, slash ? slash + 1 : name);
    out->funktion = iv__rolebyname(out->programm);
}

bool iv__servicelogline(const char* line, char* out, size_t n) {
    if (!n) return false;
    out[0] = 0;
    if (line[0] == '*') return false;
    char buf[iv__LINEMAX + 1];
    strMcpy(buf, line);
    size_t len = strlen(buf);
    while (len && (buf[len - 1] == '\n' || buf[len - 1] == '\r')) buf[--len] = 0;
    if (len < 4 || is_line_number_only(buf)) return false;
    strmcpy(out, lo_masksecrets(buf).c_str(), n);
    return true;
}

bool iv__dirvalue(const char* line, char* out, size_t n) {
    if (!n) return false;
    out[0] = 0;
    const char* d = strstr(line, "DIR=");
    if (!d) d = strstr(line, "dir=");
    if (!d) return false;
    d += 4;
    while (*d == ' ' || *d == '\t' || *d == '"') d++;
    strmcpy(out, d, n);
    size_t len = strlen(out);
    while (len && strchr(" \t\"\\/\r\n", out[len - 1])) out[--len] = 0;
    return out[0] != 0;
}

// ---- The file ----

namespace {
// A file of an older version, readable by others, is narrowed when it is written anew.
void narrow_to_owner(int fd) {
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077))
        fchmod(fd, st.st_mode & 0700);
}
} // namespace

bool iv_iniopen(const char* modus) {
    if (!iv__profileread) {
        iv__profileread = true;
        iv__readprofilefile();
    }
    if (iv__fii) {
        if (strcmp(iv__fiimode, modus) == 0) return true;
        iv_iniclose();
    }
    bool writing = strchr(modus, 'w') || strchr(modus, '+');
    bool creating = strchr(modus, 'w') || strchr(modus, 'a');
    int attempts = writing ? 8 : 3;
    for (int i = 0; i < attempts; i++) {
        if (i > 0 && msleepx(900 + static_cast<unsigned long>(rand() % 200))) break;
        // The file holds the PIN and the login: a new one is the user's alone.
        iv__fii = file_openprivate(inidatei, modus);
        if (iv__fii) break;
        // Only a file held by somebody else is worth waiting for: a missing file, a
        // directory or a read-only file system stay as they are.
        if ((errno == ENOENT && !creating) || errno == EISDIR || errno == EROFS ||
            errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP)
            break;
    }
    if (iv__fii) {
        strMcpy(iv__fiimode, modus);
        if (modus[0] == 'w') narrow_to_owner(fileno(iv__fii));
        lo_slog("Opened INI file with access \"%s\".\n", modus, -1);
        return true;
    }
    lo_slog("Could not open INI file with access \"%s\".\n", modus, -1);
    if (errno != ENOENT || creating) {
        cc_show2(T(" INI-Datei gesperrt.", " INI file is locked."),
                 T(" INI-Datei_gesperrt.", " INI file_is locked."));
        msleepx(1000);
    }
    return false;
}

void iv_iniclose() {
    if (!iv__fii) return;
    fclose(iv__fii);
    iv__fii = nullptr;
    iv__fiimode[0] = 0;
    lo_slog("Closed INI file.\n", "", -1);
}

// Reads one line of at most iv__LINEMAX characters; the rest of a longer line is dropped,
// so that it cannot be read as a line of its own.
bool iv__readfileline(FILE* f, char* buf, size_t n) {
    if (!fgets(buf, static_cast<int>(n), f)) return false;
    size_t len = strlen(buf);
    if (len == n - 1 && buf[len - 1] != '\n') {
        int c;
        while ((c = fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}
