#include "ui/network_analysis.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/operating_mode.h"
#include "modem/sim_pin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

cf__netz_t cf__netz[cf__NETZMAX];
int cf__netzn = 0;
std::atomic<int> cf__netzsuche{0};
char cf__netzport[300] = "";
bool cf__netzsucheblockmark = false;
std::atomic<int> cf__netzzeitprozent{100};

namespace {

// Copies at most n bytes of a quoted text into a field of size `size`, control characters
// turned into blanks.
void copy_field(char* dest, size_t size, const char* src, size_t n) {
    size_t len = std::min(n, size - 1);
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        dest[i] = c < 0x20 || c == 0x7f ? ' ' : static_cast<char>(c);
    }
    dest[len] = 0;
}

bool all_digits(const char* s, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

std::string field_text(const char* f, size_t size) {
    return std::string(f, strnlen(f, size));
}

// Whether an answer holds its final result.
bool final_result(const std::string& a) {
    return a.compare(0, 2, "OK") == 0 || a.find("\nOK") != std::string::npos ||
           a.find("\rOK") != std::string::npos || a.find("ERROR") != std::string::npos;
}

} // namespace

// ======================================================================= pure parts

int cf__netzparse(const char* a, int ba, cf__netz_t* table, int* n, int max) {
    if (!a || !table || !n || *n < 0) return 0;
    if (max > cf__NETZMAX) max = cf__NETZMAX;
    int added = 0;
    const char* p = a;
    while (*n < max && (p = strchr(p, '(')) != nullptr) {
        p++;
        // The availability digit stands before the first comma.
        int status = 0;
        const char* q = p;
        while (*q == ' ') q++;
        if (*q >= '1' && *q <= '3') {
            const char* r = q + 1;
            while (*r == ' ') r++;
            if (*r == ',') status = *q - '0';
        }
        char name[sizeof cf__netz[0].name] = "";
        char code[sizeof cf__netz[0].plmn] = "";
        bool quoted = false, closed = false, restart = false;
        while (*p) {
            if (*p == ')') {
                closed = true;
                p++;
                break;
            }
            if (*p == '(') {
                restart = true; // an unclosed group: start again at this one
                break;
            }
            if (*p == '"') {
                const char* e = strchr(p + 1, '"');
                if (!e) {
                    p += strlen(p);
                    break;
                }
                size_t len = static_cast<size_t>(e - (p + 1));
                if (!quoted)
                    copy_field(name, sizeof name, p + 1, len);
                else if (!code[0] && (len == 5 || len == 6) && all_digits(p + 1, len))
                    copy_field(code, sizeof code, p + 1, len);
                quoted = true;
                p = e + 1;
                continue;
            }
            p++;
        }
        if (restart) continue;
        if (!closed) break; // a cut group is no network
        if (!quoted || (!name[0] && !code[0])) continue;
        cf__netz_t& e = table[*n];
        memset(&e, 0, sizeof e);
        e.ba = ba;
        e.sig = -1;
        e.status = status;
        memcpy(e.name, name, sizeof e.name);
        memcpy(e.plmn, code, sizeof e.plmn);
        (*n)++;
        added++;
    }
    return added;
}

int cf__csqvalue(const char* a) {
    if (!a) return -1;
    const char* p = strstr(a, "+CSQ:");
    if (!p) return -1;
    p += 5;
    while (*p == ' ') p++;
    if (!isdigit(static_cast<unsigned char>(*p))) return -1;
    int v = 0;
    for (int i = 0; i < 3 && isdigit(static_cast<unsigned char>(*p)); i++, p++)
        v = v * 10 + (*p - '0');
    if (isdigit(static_cast<unsigned char>(*p))) return -1;
    return v <= 32 ? v : -1;
}

int cf__csqpercent(int value) {
    if (value < 0) return -1;
    int p = value * 100 / 30;
    return p > 100 ? 100 : p;
}

bool cf__csqstep(cf__csqmess_t* m, int percent) {
    if (m->last >= 0 && abs(percent - m->last) <= 4) m->near++;
    if (percent != 0 && percent == m->last)
        m->same++;
    else
        m->same = percent != 0 ? 1 : 0;
    m->last = percent;
    return m->same >= 3 || m->near >= 5;
}

void cf__netzsort(cf__netz_t* table, int n) {
    if (!table || n <= 1) return;
    std::stable_sort(table, table + n, [](const cf__netz_t& a, const cf__netz_t& b) {
        return a.ba * 1000 + a.sig > b.ba * 1000 + b.sig;
    });
}

namespace {

const char* type_text(int ba) {
    return ba == 1 ? "GPRS" : ba == 2 ? "UMTS" : "?";
}

} // namespace

std::string cf__netzzeile(const cf__netz_t& e, bool de) {
    char q[16];
    if (e.sig >= 0)
        snprintf(q, sizeof q, "%02i%%", e.sig);
    else
        snprintf(q, sizeof q, "?%%");
    std::string line = std::string(type_text(e.ba)) + "\t" + q + "\t[" +
                       field_text(e.plmn, sizeof e.plmn) + "]\t" +
                       field_text(e.name, sizeof e.name);
    if (e.status == 3) line += de ? "  (gesperrt)" : "  (forbidden)";
    return line;
}

std::string cf__netzclip(const cf__netz_t* table, int n, bool running, bool de,
                         const char* datetime) {
    std::string t = "mavlyn 0.4\r\n";
    t += de ? "Netzwerkanalyse" : "Network Analysis";
    t += "\r\n";
    t += std::string(datetime ? datetime : "").substr(0, 60);
    t += "\r\n\r\n";
    if (running) return t + (de ? "Analyse läuft.\r\n" : "Analysis in progress.\r\n");
    if (!table || n <= 0) return t + "No network to be displayed.\r\n";
    if (n > cf__NETZMAX) n = cf__NETZMAX;
    for (int i = 0; i < n; i++) {
        const cf__netz_t& e = table[i];
        char q[16];
        if (e.sig >= 100)
            snprintf(q, sizeof q, "100%%  ");
        else if (e.sig < 0)
            snprintf(q, sizeof q, " ??%%  ");
        else
            snprintf(q, sizeof q, " %02i%%  ", e.sig);
        std::string line = std::string(type_text(e.ba)) + " " + q + "[" +
                           field_text(e.plmn, sizeof e.plmn) + "]  " +
                           field_text(e.name, sizeof e.name);
        if (e.status == 3) line += std::string("  (") + (de ? "gesperrt" : "forbidden") + ")";
        line += "\r\n";
        if (t.size() + line.size() > cf__CLIPMAX) break;
        t += line;
    }
    return t;
}

std::string cf__netzfortschritt(int suche, bool de) {
    int pass = suche / 1000, progress = suche % 1000;
    if (pass < 1 || pass > 2) return "";
    const char* type = pass == 1 ? "GPRS" : "UMTS";
    int step = progress / 100;
    char title[120];
    if (step == 0)
        snprintf(title, sizeof title, de ? "Umschalten auf %s." : "Switching to %s.", type);
    else if (step == 1)
        snprintf(title, sizeof title, de ? "%s-Netzsuche." : "%s network search.", type);
    else
        snprintf(title, sizeof title,
                 de ? "%s-Signalstärkeermittlung." : "%s signal strength determination.", type);
    std::string t = std::string("          -----   ") + title + "   -----\r\n";
    t += std::string(19, ' ') + std::string(static_cast<size_t>(progress % 100), '*');
    return t;
}

bool cf__netzwahl(int* item, std::string* field, const char* name) {
    std::string nm = name ? name : "";
    int it = *item;
    std::string f;
    if (it == 2) {
        it = 0;
        f = nm;
    } else if (it == 1 && !field->empty()) {
        f = *field + ";" + nm;
    } else {
        f = nm;
    }
    if (f.size() >= 295) return false;
    *item = it;
    *field = f;
    return true;
}

void cf__konsolezeile(const char* input, char* send, size_t sendsize, char* shown,
                      size_t shownsize) {
    char line[cf__KONSOLELEN + 1];
    size_t len = input ? strnlen(input, cf__KONSOLELEN) : 0;
    if (len) memcpy(line, input, len);
    line[len] = 0;
    while (len && (line[len - 1] == '\r' || line[len - 1] == '\n')) line[--len] = 0;
    if (shown && shownsize) snprintf(shown, shownsize, "%s", line);
    char end = '\r';
    if (len >= 2 && line[len - 2] == '\\') {
        char c = line[len - 1];
        bool known = true;
        if (c == 'Z' || c == 'z')
            end = 0x1a;
        else if (c == 'E')
            end = 0x1b;
        else if (c == 'R')
            end = '\r';
        else
            known = false;
        if (known) line[len -= 2] = 0;
    }
    if (send && sendsize) snprintf(send, sendsize, "%s%c", line, end);
}

bool cf__netlockan(const char* a) {
    if (!a) return false;
    for (const char* p = a; (p = strstr(p, "+CLCK:")) != nullptr;) {
        p += 6;
        while (*p == ' ') p++;
        if (p[0] == '1' && !isdigit(static_cast<unsigned char>(p[1]))) return true;
    }
    return false;
}

namespace {

const char* const netlock_commands[] = {
    "AT\r",
    "ATE0\r",
    "ATI\r",
    "AT+CLCK=\"PN\",2\r",
    "AT+CLCK=\"PU\",2\r",
    "AT+CLCK=\"PP\",2\r",
    "AT+CLCK=\"PC\",2\r",
};
constexpr int netlock_steps = sizeof netlock_commands / sizeof netlock_commands[0];

const char* netlock_text(int step, bool de) {
    switch (step) {
    case 3:
        return de ? "Netzwerk-Sperre erkannt.\r\n" : "Network lock detected.\r\n";
    case 4:
        return de ? "Netzwerkteil-Sperre erkannt.\r\n" : "Network subset lock detected.\r\n";
    case 5:
        return de ? "Dienstanbieter-Sperre erkannt.\r\n" : "Service provider lock detected.\r\n";
    default:
        return de ? "Firmen-Sperre erkannt.\r\n" : "Corporate lock detected.\r\n";
    }
}

} // namespace

void cf__netlockstart(cf__netlock_t* s, std::string* send) {
    s->step = 0;
    s->polls = 0;
    s->answer.clear();
    *send = netlock_commands[0];
}

bool cf__netlockpoll(cf__netlock_t* s, const char* got, bool de, std::string* show,
                     std::string* send) {
    show->clear();
    send->clear();
    if (s->step < 0 || s->step >= netlock_steps) {
        s->step = -1;
        return false;
    }
    if (got && *got && s->answer.size() < antwortLEN) s->answer += got;
    if (!final_result(s->answer)) {
        if (++s->polls < 10) return true;
        if (s->answer.empty()) {
            *show = de ? "* Fehler: Modem antwortet nicht.\r\n\r\n"
                       : "* Error: No answer from wireless modem.\r\n\r\n";
            s->step = -1;
            return false;
        }
    }
    if (s->step == 2)
        *show = s->answer;
    else if (s->step >= 3 && cf__netlockan(s->answer.c_str()))
        *show = netlock_text(s->step, de);
    s->step++;
    s->polls = 0;
    s->answer.clear();
    if (s->step >= netlock_steps) {
        s->step = -1;
        return false;
    }
    *send = netlock_commands[s->step];
    return true;
}

// ======================================================================= the search thread

namespace {

std::atomic<bool> stop_request{false};
std::atomic<bool> thread_alive{false};

bool ending() {
    return stop_request || th_queryterminate();
}

void tick_progress() {
    int v = cf__netzsuche;
    if (v >= 1000 && v % 100 < 99) cf__netzsuche = v + 1;
}

// Waits ms (times the tuning percentage), with one progress step per such second; true when
// the thread must end.
bool wait(unsigned long ms, bool tick = true) {
    long pct = std::clamp(cf__netzzeitprozent.load(), 1, 1000);
    long total = static_cast<long>(ms) * pct / 100;
    long second = std::max(1L, 1000 * pct / 100);
    long done = 0, sincetick = 0;
    while (done < total) {
        if (ending()) return true;
        long slice = std::min(50L, total - done);
        msleep(static_cast<unsigned long>(slice));
        done += slice;
        sincetick += slice;
        if (tick && sincetick >= second) {
            sincetick = 0;
            tick_progress();
        }
    }
    return ending();
}

// Sends a command and collects its answer over a few reads, until the final result; pause
// is the wait between reads (the answer time when 0).
std::string ask(const char* cmd, int reads = 3, unsigned long pause = 0) {
    cm_puts(cmd);
    msleep(static_cast<unsigned long>(comzeit));
    std::string all;
    char buf[antwortLEN];
    for (int i = 0; i < reads && !ending(); i++) {
        cm_gets(buf, comzeit);
        if (all.size() < antwortLEN) all += buf;
        if (final_result(all)) break;
        msleep(pause ? pause : static_cast<unsigned long>(comzeit));
    }
    return all;
}

// Registering with a network takes the modem up to some 20 seconds.
std::string ask_register(const char* cmd) {
    return ask(cmd, 40, 500);
}

bool has_ok(const std::string& a) {
    return a.find("OK") != std::string::npos;
}

// Selects the network of entry i and measures its signal; false when the thread must end.
bool measure(int i, int pass, bool* nomore) {
    if (wait(2000)) return false;
    ask("AT\r");
    if (wait(1000)) return false;
    char cmd[80];
    snprintf(cmd, sizeof cmd, "AT+COPS=1,0,\"%s\"\r", cf__netz[i].name);
    if (!has_ok(ask_register(cmd)) && !has_ok(ask_register(cmd))) return true;
    if (wait(1000)) return false;
    if (!de_iniopmode(pass, 0)) *nomore = true;
    if (wait(1000)) return false;
    if (geraet == GERAET_OPTION || geraet == GERAET_QUALCOMM) ask("AT+CGATT=1\r");
    if (wait(4000)) return false;
    cf__csqmess_t m;
    for (int round = 0; round < 15; round++) {
        int v = cf__csqvalue(ask("AT+CSQ\r").c_str());
        if (v < 0) {
            if (wait(3000)) return false;
            continue;
        }
        cf__netz[i].sig = cf__csqpercent(v);
        bool stop = cf__csqstep(&m, cf__netz[i].sig);
        if (wait(3000)) return false;
        if (stop) break;
    }
    return true;
}

// One pass; false when no further pass may follow.
bool run_pass(int pass, bool* nomore) {
    cf__netzsuche = pass * 1000 + 1;
    if (!has_ok(ask_register("AT+COPS=0\r"))) return false;
    if (wait(1000)) return false;
    de_iniopmode(pass, 0);
    if (wait(10000)) return false;
    cf__netzsuche = pass * 1000 + 100;
    cm_puts("AT+COPS=?\r");
    if (wait(3000) || wait(5000)) return false;
    std::string scan;
    char buf[antwortLEN];
    for (int i = 0; i < 8; i++) {
        cm_gets(buf, comzeit);
        if (scan.size() < 2 * antwortLEN) scan += buf;
        if (scan.find('(') != std::string::npos && final_result(scan)) break;
        if (i + 1 < 8 && wait(1000)) return false;
    }
    int first = cf__netzn;
    cf__netzparse(scan.c_str(), pass, cf__netz, &cf__netzn, cf__NETZMAX);
    if (wait(3000)) return false;
    cf__netzsuche = pass * 1000 + 200;
    for (int i = first; i < cf__netzn; i++)
        if (!measure(i, pass, nomore)) return false;
    return true;
}

} // namespace

void cf__netsearch(int mode) {
    cf__netzn = 0;
    memset(cf__netz, 0, sizeof cf__netz);
    // The PIN entered for the search is not kept; the configured one stays.
    char savedpin[sizeof inidat.pin];
    strMcpy(savedpin, inidat.pin);
    char port[sizeof cf__netzport];
    strMcpy(port, cf__netzport);
    if (char* semi = strchr(port, ';')) *semi = 0;
    if (!port[0]) {
        de_getcomport(nullptr);
        strMcpy(port, inidat.com1);
    }
    cm_close();
    bool go = port[0] && cm_open(port, 3) && de_inipin(1) == PIN_READY;
    if (go && !wait(4000, false)) {
        char line[200];
        snprintf(line, sizeof line, "%s %s.\n", datumzeit(),
                 T("Netzanalyse gestartet", "Network analysis has been started"));
        lo_slog("%s", line, -1);
        int passes[2] = {mode == 2 ? 2 : 1, 2};
        int count = mode == 3 ? 2 : 1;
        for (int k = 0; k < count; k++) {
            bool nomore = false;
            if (!run_pass(passes[k], &nomore) || nomore) break;
        }
        if (geraet == GERAET_NOVATEL || geraet == GERAET_HUAWEI || geraet == GERAET_SIERRA)
            ask("AT+CFUN=1,1\r");
    }
    cf__netzsort(cf__netz, cf__netzn);
    strMcpy(inidat.pin, savedpin);
    cm_close();
    cf__netzsuche = 0;
}

void* cf__netsearchthread(void*) {
    th_reg self = th_register("cf__netsearchthread");
    long round = 0;
    while (!wait(1050, false)) {
        if (++round % 10 == 0) lo_slog("Network search thread alive.\n", "", -1);
        int mode = cf__netzsuche;
        if (mode >= 1 && mode <= 3) cf__netsearch(mode);
    }
    th_unregister(self);
    thread_alive = false;
    return nullptr;
}

bool cf__netsearchstart() {
    if (thread_alive.exchange(true)) return true;
    stop_request = false;
    if (!th_create(cf__netsearchthread, nullptr)) {
        thread_alive = false;
        return false;
    }
    return true;
}

void cf__netsearchend() {
    stop_request = true;
    for (int i = 0; thread_alive && i < 600; i++) msleep(25);
    if (thread_alive)
        lo_slog("Network search thread does not end.\n", "", -1);
    else
        stop_request = false; // a search run directly is not broken off
}

bool cf__netsearchrunning() {
    return thread_alive;
}
