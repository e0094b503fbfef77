#include "modem/sim_pin.h"

#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/operating_mode.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The start (inicounterglobal) in which the SIM was found ready.
int de__pinstart = INT_MIN;
// The last stored PIN (or PUK text) that the SIM refused; it is never sent again on its own.
char de__refused[sizeof inidat.pin] = "";

constexpr int sim_queries = 4;
constexpr int checks_after_pin = 7; // the first query and up to six more
// A SIM that has just been powered (stick plugged in, AT+CFUN=1) answers "busy" for a while;
// real ones take up to a quarter of a minute.
constexpr long sim_start_ms = 20000;

bool has(const char* t, const char* word) {
    return strstr(t, word) != nullptr;
}

bool skipped() {
    return linksys || cm_issim() || inidat.com1none ||
           (inidat.devi[0] == '\\' && inidat.devi[1] == '*');
}

bool open_command_port() {
    if (cm_isopen()) return true;
    return cm_open(inidat.com1[0] ? inidat.com1 : nullptr, 3);
}

void factory_reset(char* t) {
    if (geraet != GERAET_NOVATEL) {
        cm_exchange("AT&F\r", t, 2L * comzeit);
    } else if (!novatelu740) {
        // The older Novatel cards need a while after the port opened before they listen.
        cc_show2(T(" Warte auf das Modem.", " Waiting for modem."), T(" Warten.", " Waiting."));
        msleepx(6000);
    } else {
        msleepx(100);
    }
}

// Echo off and radio on; false when the modem does not answer "OK".
bool prepare_modem(char* t) {
    bool plain = geraet == GERAET_NOVATEL || geraet == GERAET_QUALCOMM;
    cm_exchange(plain ? "ATE0\r" : "ATE0V1&D2&C1S0=0\r", t);
    if (!has(t, "OK")) {
        cm_exchange("ATE0\r", t);
        if (!has(t, "OK")) return false;
    }
    if (geraet == GERAET_OPTION || geraet == GERAET_NOVATEL || geraet == GERAET_ERICSSON ||
        geraet == GERAET_QUALCOMM)
        cm_exchange("AT+CFUN=1\r", t, 2L * comzeit);
    if (geraet == GERAET_OPTION) cm_exchange("AT_OSSYS=0\r", t);
    return true;
}

long elapsed_ms(const std::chrono::steady_clock::time_point& since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

// The SIM state, asked again while the SIM is still starting up.
void query_sim(char* t) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 1;; i++) {
        cm_exchange("AT+CPIN?\r", t);
        bool starting = de__simstarting(t);
        // An Ericsson reports a PIN request for a moment while its SIM starts.
        bool ericsson_early =
            geraet == GERAET_ERICSSON && !inidat.pin[0] && !de__inipin_pin_ok(t) && i < sim_queries;
        if (!starting && !ericsson_early) return;
        if ((starting && elapsed_ms(start) >= sim_start_ms) || (!starting && i >= sim_queries))
            return;
        if (msleepx(1000)) return;
    }
}

// The attempts left for PIN and PUK, where the maker tells them; logged for the user.
de__attempts_t read_attempts() {
    char t[antwortLEN];
    de__attempts_t a;
    const char* own = geraet == GERAET_HUAWEI   ? "AT^CPIN?\r"
                      : geraet == GERAET_OPTION ? "AT_OERCN?\r"
                      : geraet == GERAET_SIERRA ? "AT!CPINC?\r"
                                                : nullptr;
    if (own) {
        cm_exchange(own, t);
        a = de__pinattempts(t);
    }
    if (a.pin < 0 && a.puk < 0) {
        cm_exchange("AT+CPINR\r", t);
        a = de__pinattempts(t);
    }
    if (a.pin >= 0 || a.puk >= 0) {
        char line[120];
        snprintf(line, sizeof line,
                 T("Verbleibende Versuche: PIN %i, PUK %i.", "Attempts left: PIN %i, PUK %i."),
                 a.pin, a.puk);
        lo_slog("%s\n", line, -1);
    }
    return a;
}

// The prompt of the PIN dialog, with the attempts left when the SIM tells them.
std::string pin_prompt(int attempts) {
    std::string prompt = T("Bitte PIN eingeben:", "Please enter PIN:");
    if (attempts < 0) return prompt;
    char more[80];
    if (attempts == 1)
        snprintf(more, sizeof more, "%s", T("\n(noch 1 Versuch)", "\n(1 attempt left)"));
    else
        snprintf(more, sizeof more, T("\n(noch %i Versuche)", "\n(%i attempts left)"), attempts);
    return prompt + more;
}

void log_locks(const char* t) {
    if (has(t, "PH-NET P")) lo_vlog(T("%s Netlock vorhanden.\n", "%s Netlock detected.\n"), "", -1);
    if (has(t, "PH-SIM P")) lo_vlog(T("%s SIMlock vorhanden.\n", "%s SIMlock detected.\n"), "", -1);
}

// Sends the PIN (or PUK and new PIN) and asks the SIM state until it is good.
void send_pin(const char* pin, char* t) {
    char cmd[2 * sizeof inidat.pin + 20];
    de__pincommand(cmd, sizeof cmd, pin, geraet);
    cm_exchange(cmd, t);
    for (int i = 0; i < checks_after_pin; i++) {
        cm_exchange("AT+CPIN?\r", t);
        if (de__inipin_pin_ok(t) || i + 1 == checks_after_pin || msleepx(500)) return;
    }
}

void warn_invalid_pin() {
    if (_silentinstall) return;
    me_messagebox(0, "mavlyn   PIN",
                  T("Die von Ihnen eingegebene PIN ist nicht g" U8ue "ltig.  \nBitte starten Sie "
                    "das Programm erneut und  \ngeben Sie die korrekte PIN ein.  \n\nVorsicht: "
                    "Wird die PIN dreimal hintereinander  \nfalsch eingegeben, sperrt sich die "
                    "SIM-Karte.  ",
                    "The PIN you have entered is not valid. Please  \nrestart the program and "
                    "enter the correct PIN.  \n\nBe careful: when you enter the wrong PIN three  "
                    "\ntimes, your SIM card will be locked.  "),
                  2, 0, 0);
}

// Codes of unlock() besides the results: the SIM was found ready earlier in this start.
constexpr int already_ready = 100;

// Steps up to the accepted PIN. entered receives a typed PIN, save whether to keep it.
int unlock(int art, char* t, char* entered, bool* save) {
    if (cn_wasactiveatstart() || !open_command_port()) return PIN_NOPORT;
    if (art == 0 && de__pinstart == inicounterglobal) return already_ready;
    if (art != 2) de_identify();
    if (art == 1) factory_reset(t);
    if (art != 2 && !prepare_modem(t)) return PIN_NOANSWER;

    query_sim(t);
    log_locks(t);
    if (de__inipin_pin_ok(t)) return PIN_READY;
    if (has(t, "ERROR")) return PIN_NOSIM;

    bool puk = has(t, "PUK");
    de__attempts_t left = read_attempts();
    if (puk && !strchr(inidat.pin, ',')) return PIN_NEEDSPUK;
    const char* pin = inidat.pin;
    bool stored = pin[0] != 0;
    if (!stored) {
        if (_silentinstall) return PIN_NEEDED;
        // With option K a PIN is never stored: the dialog offers no saving.
        int form = ce_DIGITS | ce_HIDDEN | ce_SHORT | (MODUS('K') ? 0 : ce_PIN);
        int r = ce_inputdialog(form, "mavlyn   PIN", pin_prompt(left.pin).c_str(), entered);
        if (r == 0 || !entered[0]) return PIN_NEEDED;
        *save = r == 2 && !MODUS('K');
        pin = entered;
    } else if (strcmp(pin, de__refused) == 0) {
        lo_slog("Stored PIN was refused before; not sent again.\n", "", -1);
        return puk ? PIN_BADPUK : PIN_REJECTED;
    }

    send_pin(pin, t);
    bool good = de__inipin_pin_ok(t);
    if (!good && stored) strMcpy(de__refused, pin);
    if (puk) {
        if (has(t, "PUK")) {
            read_attempts();
            return PIN_BADPUK;
        }
        // The PUK set the new PIN the user wrote behind it: that PIN replaces the PUK in the
        // file (unless option K keeps PINs out of it), and the start goes on.
        const char* newpin = strchr(inidat.pin, ',') + 1;
        if (MODUS('K'))
            inidat.pin[0] = 0;
        else
            memmove(inidat.pin, newpin, strlen(newpin) + 1);
        _inidatneu = true;
        if (!good) return PIN_NEEDED;
        de__refused[0] = 0;
        return PIN_READY;
    }
    if (!good) {
        read_attempts();
        if (has(t, "PUK")) return PIN_NEEDSPUK;
        warn_invalid_pin();
        return PIN_REJECTED;
    }
    de__refused[0] = 0;
    return PIN_READY;
}

} // namespace

bool de__inipin_pin_ok(const char* t) {
    if (!t) return false;
    if (has(t, "READY") || has(t, "PIN2") || has(t, "PUK2")) return true;
    return has(t, "OK") && !has(t, "ERROR") && !has(t, "SIM PIN") && !has(t, "SIM PUK");
}

bool de__simstarting(const char* t) {
    if (has(t, "SIM busy") || has(t, "CME ERROR: 14")) return true;
    // Without verbose errors a SIM that is not up yet answers a plain "ERROR"; an answer
    // that names the missing or broken SIM is final.
    bool final = has(t, "not inserted") || has(t, "failure") || has(t, "CME ERROR: 10") ||
                 has(t, "CME ERROR: 13");
    return has(t, "ERROR") && !final;
}

namespace {

// The number behind the n-th comma (0: right behind the start), -1 when there is none.
int field(const char* p, int n) {
    for (; n > 0 && p; n--) {
        p = strpbrk(p, ",\r\n");
        if (p && *p != ',') p = nullptr;
        if (p) p++;
    }
    if (!p) return -1;
    while (*p == ' ' || *p == '"') p++;
    long v = isdigit(static_cast<unsigned char>(*p)) ? strtol(p, nullptr, 10) : -1;
    return v >= 0 && v <= 99 ? static_cast<int>(v) : -1; // attempts are a few at most
}

// "+CPINR: SIM PIN,3,3" (the code quoted by some devices); "SIM PIN2" is another code.
int cpinr_code(const char* t, const char* code) {
    for (const char* p = strstr(t, "+CPINR:"); p; p = strstr(p + 1, "+CPINR:")) {
        const char* c = p + 7;
        while (*c == ' ' || *c == '"') c++;
        size_t k = strlen(code);
        if (strncmp(c, code, k) == 0 && (c[k] == ',' || c[k] == '"')) return field(c, 1);
    }
    return -1;
}

} // namespace

de__attempts_t de__pinattempts(const char* t) {
    de__attempts_t a;
    if (const char* p = strstr(t, "^CPIN:")) { // code,[times],puk_times,pin_times,…
        a.puk = field(p + 6, 2);
        a.pin = field(p + 6, 3);
    } else if (const char* o = strstr(t, "_OERCN:")) { // pin, puk
        a.pin = field(o + 7, 0);
        a.puk = field(o + 7, 1);
    } else if (const char* c = strstr(t, "!CPINC:")) { // pin1, pin2, puk1, puk2
        a.pin = field(c + 7, 0);
        a.puk = field(c + 7, 2);
    } else {
        a.pin = cpinr_code(t, "SIM PIN");
        a.puk = cpinr_code(t, "SIM PUK");
    }
    return a;
}

void de__pincommand(char* out, size_t n, const char* pin, int device) {
    if (!n) return;
    if (device != GERAET_ERICSSON) {
        snprintf(out, n, "AT+CPIN=%s\r", pin);
        return;
    }
    // Quoted, and with a PUK each of the two codes on its own.
    std::string cmd = "AT+CPIN=\"";
    for (const char* p = pin; *p; p++) cmd += *p == ',' ? std::string("\",\"") : std::string(1, *p);
    cmd += "\"\r";
    snprintf(out, n, "%s", cmd.c_str());
}

int de_inipin(int art) {
    char t[antwortLEN] = "";
    char entered[ce_TEXTMAX] = "";
    bool save = false;
    if (!skipped()) {
        int r = unlock(art, t, entered, &save);
        if (r == already_ready) return PIN_READY;
        if (r != PIN_READY) return r;
    }
    if (save) {
        strMcpy(inidat.pin, entered);
        _inidatneu = true;
    }
    if (art != 2) {
        cm_exchange("AT+COPS=3,0\r", t);
        de_cellidqueryini();
    }
    de__pinstart = inicounterglobal;
    return PIN_READY;
}
