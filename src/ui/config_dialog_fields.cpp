// The configuration dialog: conversions between its fields and the configuration record.
#include "ui/config_dialog.h"

#include "foundation/utilities.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

long cf__number(const char* text) {
    if (!text) return 0;
    while (*text == ' ') text++;
    long v = 0;
    bool neg = false;
    if (*text == '-') {
        neg = true;
        text++;
    }
    for (; isdigit(static_cast<unsigned char>(*text)); text++) {
        if (v > 100000000L) break; // far beyond every field's range
        v = v * 10 + (*text - '0');
    }
    return neg ? -v : v;
}

int cf__timeminutes(const char* text) {
    if (!text) return -1;
    int digits[4];
    int nd = 0, before = -1; // digits before the separator
    const char* p = text;
    while (*p == ' ') p++;
    if (!*p) return -1;
    for (; *p; p++) {
        if (isdigit(static_cast<unsigned char>(*p))) {
            if (nd == 4) return -1;
            digits[nd++] = *p - '0';
        } else if ((*p == ':' || *p == '.') && before < 0) {
            before = nd;
        } else if (*p != ' ') {
            return -1;
        }
    }
    int h, m;
    if (before < 0) { // no separator: "HHMM" or "HH"
        if (nd == 4) {
            h = digits[0] * 10 + digits[1];
            m = digits[2] * 10 + digits[3];
        } else if (nd == 1 || nd == 2) {
            h = nd == 1 ? digits[0] : digits[0] * 10 + digits[1];
            m = 0;
        } else {
            return -1;
        }
    } else {
        int after = nd - before;
        if (before < 1 || before > 2 || after > 2) return -1;
        h = before == 1 ? digits[0] : digits[0] * 10 + digits[1];
        m = after == 0   ? 0
            : after == 1 ? digits[before] * 10
                         : digits[before] * 10 + digits[before + 1];
    }
    int minutes = h * 60 + m;
    return minutes > 1439 ? 1439 : minutes;
}

std::string cf__timetext(int minutes) {
    if (minutes < 0) return "";
    if (minutes > 1439) minutes = 1439;
    char t[8];
    snprintf(t, sizeof t, "%02i:%02i", minutes / 60, minutes % 60);
    return t;
}

void cf__battery(int* display, int* warn) {
    *display = bereich(*display, 0, 100);
    *warn = bereich(*warn, 0, 100);
    if (*display < *warn) *display = *warn;
}

std::string cf__network(int item, const char* entry) {
    std::string e = entry ? entry : "";
    switch (item) {
    case 0:
        return e;
    case 1:
        return e.empty() || e[0] == ';' ? e : ";" + e;
    default:
        return "";
    }
}

int cf__networkitem(const char* net, std::string* entry) {
    if (!net || !net[0]) {
        entry->clear();
        return 2;
    }
    if (net[0] == ';') {
        *entry = net + 1;
        return 1;
    }
    *entry = net;
    return 0;
}

namespace {
const char* const ping_soft = "999.111.000.000;999.003.000.000";
const char* const ping_frequent = "999.111.000.000";
} // namespace

std::string cf__ping(int mode, const char* ip1, const char* ip2, const char* ip3) {
    switch (mode) {
    case 0:
        return "";
    case 1:
        return ping_soft;
    case 2:
        return ping_frequent;
    default:
        break;
    }
    std::string first = cf__iptext(ip1);
    if (first.empty() || first == "000.000.000.000") return "?";
    std::string v = first;
    for (const char* ip : {ip2, ip3}) {
        std::string t = cf__iptext(ip);
        if (!t.empty()) v += ";" + t;
    }
    return v;
}

int cf__pingmode(const char* ping, std::string ips[3]) {
    for (int i = 0; i < 3; i++) ips[i].clear();
    if (!ping || !ping[0]) return 0;
    if (strcmp(ping, ping_soft) == 0) return 1;
    if (strcmp(ping, ping_frequent) == 0) return 2;
    if (strcmp(ping, "?") == 0) return 3;
    const char* p = ping;
    for (int i = 0; i < 3 && *p; i++) {
        const char* semi = strchr(p, ';');
        ips[i] = semi ? std::string(p, semi) : std::string(p);
        if (!semi) break;
        p = semi + 1;
    }
    return 3;
}

std::string cf__iptext(const char* text) {
    if (!text) return "";
    const char* p = text;
    while (*p == ' ') p++;
    if (!*p) return "";
    int n[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; i++) {
        long v = 0;
        bool any = false;
        while (*p && !isdigit(static_cast<unsigned char>(*p)) && *p != '.') p++;
        while (isdigit(static_cast<unsigned char>(*p))) {
            if (v < 100000) v = v * 10 + (*p - '0');
            any = true;
            p++;
        }
        n[i] = any ? static_cast<int>(bereichl(v, 0, 255)) : 0;
        while (*p && *p != '.') p++;
        if (*p == '.') p++;
    }
    char out[20];
    snprintf(out, sizeof out, "%03i.%03i.%03i.%03i", n[0], n[1], n[2], n[3]);
    return out;
}

cf__commandrecord cf__commandstore(const cf__command& c) {
    cf__commandrecord r{};
    if (c.trigger <= 0 || c.trigger > 6 || c.command.empty()) return r;
    std::string v = c.hidden ? ";" : "";
    if (c.trigger == 1) v += "!";
    if (c.trigger == 2) v += "|";
    if (c.trigger == 4) v += ",";
    v += c.command;
    strMcpy(r.cmd, v.c_str());
    if (c.trigger == 5) {
        r.sms = 1;
        strMcpy(r.smsnr, c.sender.c_str());
        strMcpy(r.smskey, c.keyword.c_str());
        strupper(r.smskey); // keywords are compared in upper case
    } else if (c.trigger == 6) {
        r.sms = 2;
        strMcpy(r.smsnr, c.sender.c_str());
    }
    return r;
}

cf__command cf__commandload(const char* cmd, int sms, const char* smsnr, const char* smskey) {
    cf__command c;
    if (!cmd || !cmd[0]) return c;
    const char* p = cmd;
    // The marks stand in front of the command in any order.
    int mark = 3;
    while (*p && strchr(";!|,", *p)) {
        if (*p == ';') c.hidden = true;
        if (*p == '!') mark = 1;
        if (*p == '|') mark = 2;
        if (*p == ',') mark = 4;
        p++;
    }
    c.command = p;
    if (sms == 1) {
        c.trigger = 5;
        c.sender = smsnr ? smsnr : "";
        c.keyword = smskey ? smskey : "";
    } else if (sms == 2) {
        c.trigger = 6;
        c.sender = smsnr ? smsnr : "";
    } else {
        c.trigger = mark;
    }
    return c;
}

namespace {
const long volume_factor[3] = {1, 1000, 1000000};
const long time_factor[3] = {1, 60, 1440};
} // namespace

long cf__limit(long number, int unit, bool time) {
    unit = bereich(unit, 0, 2);
    return number * (time ? time_factor : volume_factor)[unit];
}

void cf__limitsplit(long value, bool time, long* number, int* unit) {
    const long* f = time ? time_factor : volume_factor;
    *number = value;
    *unit = 0;
    if (value <= 0) {
        *number = value < 0 ? 0 : value;
        return;
    }
    // The largest unit that divides the value and keeps it inside the field's range.
    for (int u = 2; u >= 1; u--) {
        if (value % f[u] == 0 && cf__clamplimit(value / f[u], u) == value / f[u]) {
            *number = value / f[u];
            *unit = u;
            return;
        }
    }
}

long cf__clamplimit(long v, int unit) {
    return bereichl(v, 0, unit == 2 ? 200 : 200000);
}

long cf__clampround(long v) {
    return bereichl(v, 1, 100000);
}

long cf__clamperr(long v) {
    return bereichl(v, 0, 9999);
}

int cf__dayitem(int day) {
    if (day < 1) return -1;
    if (day > 32) return 32;
    return day - 1;
}

int cf__day(int item) {
    if (item < 0) return 0;
    if (item >= 32) return 99; // "never" has its own value, not 33
    return item + 1;
}

int cf__iconitem(int icon) {
    return bereich(icon, 1, 6) - 1;
}

int cf__icon(int item) {
    return bereich(item, 0, 5) + 1;
}

int cf__endradio(unsigned long end, bool endforce, bool endverb) {
    if (end == 0) return 0;
    if (endverb) return endforce ? 1 : 2;
    return endforce ? 3 : 4;
}

void cf__endfields(int radio, unsigned long minutes, unsigned long* end, bool* endforce,
                   bool* endverb) {
    if (radio <= 0 || radio > 4 || minutes == 0) {
        *end = 0;
        *endforce = false;
        *endverb = false;
        return;
    }
    *end = minutes;
    *endforce = radio == 1 || radio == 3;
    *endverb = radio == 1 || radio == 2;
}

std::string cf__volumecounter(long kb) {
    if (kb < 0) kb = 0;
    char t[40];
    snprintf(t, sizeof t, "%3li %03li %03li ", kb / 1000000, kb / 1000 % 1000, kb % 1000);
    return t;
}

std::string cf__timecounter(long minutes) {
    if (minutes < 0) minutes = 0;
    char t[40];
    snprintf(t, sizeof t, "%04li:%02li ", minutes / 60, minutes % 60);
    return t;
}

const char* cf__hinttext(char code) {
    switch (code) {
    case '1':
        return "Bitte auswählen: Standardeinstellung bei \"Global\"~Please select: Standard "
               "settings at \"Global\"";
    case '3':
        return "Bitte seriellen Port bei \"Gerät\" manuell vorgeben.~Please enter serial port "
               "manually at \"Device\".";
    case '7':
        return "Bitte APN bei \"Netz\" überprüfen.~Please review APN at \"Network\".";
    case '8':
        return "Bitte APN bei \"Netz\" eintragen.~Please enter APN at \"Network\".";
    case '9':
        return "Bitte Verbindungsart oder genau vorgeben.~Please reexamine mode of connection.";
    default:
        return nullptr;
    }
}
