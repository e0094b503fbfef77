#include "modem/router_link.h"

#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// The router's state; the main thread and the dial-up both ask for it.
std::mutex link_mutex;
cm__linkconfig config;
cm__linkstatus status;
int online = 0;

#define SERVICE_PAGE                                                                               \
    "apply.cgi?submit_button=index&change_action=&submit_type=&action=Apply&wwan_service="
const char* const service_pages[] = {
    SERVICE_PAGE "umts_first",
    SERVICE_PAGE "gprs_only",
    SERVICE_PAGE "umts_only",
};
#undef SERVICE_PAGE
const char connect_page[] =
    "apply.cgi?submit_button=index&change_action=gozila_cgi&submit_type=Connect_wwan";
const char disconnect_page[] =
    "apply.cgi?submit_button=index&change_action=gozila_cgi&submit_type=Disconnect_wwan";

bool is_separator(char c) {
    return c == ' ' || c == ';';
}

// The next value of the configuration text; runs of separators count as one.
std::string next_value(const char** p) {
    while (is_separator(**p)) (*p)++;
    const char* start = *p;
    while (**p && !is_separator(**p)) (*p)++;
    return std::string(start, static_cast<size_t>(*p - start));
}

// Skips blanks and reads a number with '.' and blanks inside skipped, as the router writes
// megabytes with two decimals.
long read_number(const char* p, bool skipdots) {
    long v = 0;
    for (;; p++) {
        if (*p == ' ' || (skipdots && *p == '.')) continue;
        if (*p < '0' || *p > '9') break;
        if (v < 100000000000L) v = v * 10 + (*p - '0');
    }
    return v;
}

const char* after(const char* from, const char* word) {
    if (!from) return nullptr;
    const char* p = strstr(from, word);
    return p ? p + strlen(word) : nullptr;
}

// Fetches a page from the router with its credentials; the caller frees the text.
char* fetch(const char* page, int timeout) {
    cm__linkconfig c;
    {
        std::lock_guard<std::mutex> l(link_mutex);
        c = config;
    }
    std::string url = c.address + page;
    return iz_httpget(url.c_str(), c.user.c_str(), c.pass.c_str(), timeout, 0, false);
}

// A request whose answer does not matter.
long request(const char* page, int timeout) {
    free(fetch(page, timeout));
    return 1;
}

void reset_values() {
    std::lock_guard<std::mutex> l(link_mutex);
    status = cm__linkstatus{};
}

long configure(char* z) {
    reset_values();
    std::lock_guard<std::mutex> l(link_mutex);
    if (!z) {
        online = 0;
        return config.mode;
    }
    config = cm__linkparseconfig(z);
    if (config.mode) {
        lo_slog("Linksys ip: %s\n", config.address.c_str(), -1);
        lo_slog("Linksys user: %s\n", config.user.c_str(), -1);
        // The router password stays out of the service log, which users pass on for help.
        lo_slog("Linksys pass: %s\n", config.pass.empty() ? "" : "xxxx", -1);
    }
    return config.mode;
}

void show_unknown_signal(const char* word) {
    char normal[cc_mtextLEN], mini[cc_mtextLEN];
    snprintf(normal, sizeof normal, "*Test: %s", word);
    snprintf(mini, sizeof mini, "*Test:_%s", word);
    cc_show2(normal, mini);
    msleepx(5000);
}

long read_status() {
    reset_values();
    char* page = fetch("Status_Wwan.asp", 500);
    if (!page) {
        lo_slog(T("Linksys: Keine Antwort.\n", "Linksys: No answer.\n"), "", -1);
        return 0;
    }
    if (!cm__linkstatuspage(page)) {
        // Another web server at the router's address (a 404, a login page of another
        // device) is no router.
        free(page);
        lo_slog(T("Linksys: Keine Statusseite des Routers.\n",
                  "Linksys: Not the router's status page.\n"),
                "", -1);
        return 0;
    }
    cm__linkstatus s = cm__linkparsestatus(page);
    free(page);
    {
        std::lock_guard<std::mutex> l(link_mutex);
        status = s;
        if (s.online) online = 1;
    }
    if (s.unknownsignal[0]) show_unknown_signal(s.unknownsignal);
    if (MODUS('P')) {
        char line[200];
        snprintf(line, sizeof line, "Linksys: ba=%i sig=%i tim=%li vup=%li vdo=%li online=%i\n",
                 s.bearer, s.signal, s.time, s.upload, s.download, online);
        lo_slog("%s", line, -1);
    }
    return 1;
}

} // namespace

cm__linkconfig cm__linkparseconfig(const char* z) {
    cm__linkconfig c;
    if (!z || strncmp(z, "LINKSYS", 7) != 0) return c;
    c.mode = true;
    c.address = "192.168.1.1";
    c.user = "admin";
    c.pass = "qorvu";
    const char* p = z + 7;
    std::string v = next_value(&p);
    if (!v.empty() && v[0] >= '0' && v[0] <= '9') {
        c.address = v;
        v = next_value(&p);
    }
    if (!v.empty()) {
        c.user = v;
        v = next_value(&p);
        if (!v.empty()) c.pass = v;
    }
    c.address += "/";
    return c;
}

bool cm__linkhttpok(const char* response) {
    if (strncmp(response, "HTTP/1.", 7) != 0 || !response[7]) return false;
    const char* code = response + 8;
    while (*code == ' ') code++;
    return strncmp(code, "200", 3) == 0 && (code[3] == ' ' || code[3] == '\r' || code[3] == '\n');
}

bool cm__linkstatuspage(const char* response) {
    const char* body = strstr(response, "\r\n\r\n");
    return cm__linkhttpok(response) && body && strstr(body, "Capture(GPRS_MSG.");
}

cm__linkstatus cm__linkparsestatus(const char* page) {
    cm__linkstatus s;
    const char* p = page;
    if (const char* b = after(after(p, "Capture(GPRS_MSG.WWBEAR)"), "Capture(GPRS_MSG.")) {
        if (strncmp(b, "WWBEAR_GPRS)", 12) == 0) s.bearer = 1;
        if (strncmp(b, "WWBEAR_UMTS)", 12) == 0) s.bearer = 2;
        p = b;
    }
    if (const char* n = after(after(p, "Capture(GPRS_MSG.NNAME)"), "<B>")) {
        size_t len = strcspn(n, "<");
        if (len > sizeof s.netname - 1) len = sizeof s.netname - 1;
        memcpy(s.netname, n, len);
        s.netname[len] = 0;
        p = n;
    }
    if (const char* w = after(after(p, "Capture(GPRS_MSG.STRENGTH)"), "Capture(GPRS_MSG.")) {
        struct {
            const char* word;
            int value;
        } const words[] = {{"ACQUIRING)", 0}, {"FAIR)", 8}, {"GOOD)", 15}, {"EXCELLENT)", 30}};
        s.signal = 1;
        for (auto& k : words)
            if (strncmp(w, k.word, strlen(k.word)) == 0) s.signal = k.value;
        if (s.signal == 1) {
            size_t len = strcspn(w, ")<\r\n");
            if (len > 20) len = 20;
            memcpy(s.unknownsignal, w, len);
            s.unknownsignal[len] = 0;
            if (!len) strcpy(s.unknownsignal, "?");
        }
        p = w;
    }
    if (const char* t = after(after(p, "Capture(GPRS_MSG.CTIME)"), "<B>")) {
        if (*t != '<') s.online = true;
        long h = read_number(t, false);
        const char* m = after(after(t, "Capture(GPRS_MSG.HOURS)"), ">");
        if (m) {
            s.time = h * 60 + read_number(m, false) + 1;
            p = m;
        } else {
            p = t;
        }
    }
    if (const char* u = after(p, "Capture(GPRS_MSG.SESSIONUSAGE)")) {
        if (const char* rx = after(u, ">RX =")) s.download = read_number(rx, true) * 10;
        if (const char* tx = after(u, ">TX =")) s.upload = read_number(tx, true) * 10;
    }
    return s;
}

long cm_linkcom(int lsfunktion, char* z) {
    lo_slog("Linksys linkcom %s%li.\n", "", lsfunktion);
    switch (lsfunktion) {
    case 0:
        return configure(z);
    case 1:
        return read_status();
    case 8:
        if (!z) return 0;
        {
            std::lock_guard<std::mutex> l(link_mutex);
            strmcpy(z, status.netname, sizeof status.netname);
        }
        return 1;
    case 10:
    case 11:
    case 12:
        request(service_pages[lsfunktion - 10], 0);
        msleepx(1000);
        return 1;
    case 21: {
        request(connect_page, 18000);
        std::lock_guard<std::mutex> l(link_mutex);
        online = 1;
        return 1;
    }
    case 22: {
        request(disconnect_page, 5000);
        std::lock_guard<std::mutex> l(link_mutex);
        online = 0;
        return 1;
    }
    case 51: {
        reset_values();
        char* page = fetch("index.asp", 1000);
        bool there = page && cm__linkhttpok(page);
        free(page);
        return there;
    }
    default:
        break;
    }
    if (lsfunktion >= 10) return request("index.asp", 0);
    std::lock_guard<std::mutex> l(link_mutex);
    switch (lsfunktion) {
    case 2:
        return status.bearer;
    case 3:
        return status.signal;
    case 4:
        return status.time;
    case 5:
        return status.upload;
    case 6:
        return status.download;
    case 9:
        return online;
    default:
        return 0;
    }
}

bool cm_linksyswait() {
    for (int attempt = 1; attempt <= 10; attempt++) {
        if (cm_linkcom(1, nullptr)) return true;
        if (attempt == 10) break;
        cc_show2(T("+Warte auf Linksys-Router.", "+Waiting for Linksys router."),
                 T("+Warte auf_Linksys.", "+Wait for_Linksys."));
        msleepx(3000);
        if (programmende_gewuenscht) return false;
    }
    lo_vlog(T("%s Linksys-Router antwortet nicht.\n", "%s No answer from Linksys router.\n"), "",
            -1);
    cc_show2(T("*Linksys-Router antwortet nicht.", "*Linksys router is not responding."),
             T("*Linksys_fehlt.", "*Missing_Linksys."));
    msleepx(3000);
    return false;
}
