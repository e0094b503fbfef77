#include "modem/sim_pin.h"

#include "config/config_record.h"
#include "connection/dialup.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/operating_mode.h"
#include "ui/input_dialog.h"
#include "ui/message_box.h"
#include "ui/status_lines.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The start (inicounterglobal) in which the SIM was found ready.
int de__pinstart = INT_MIN;
// The last stored PIN (or PUK text) that the SIM refused; it is never sent again on its own.
char de__refused[sizeof inidat.pin] = "";

constexpr int sim_queries = 4;
constexpr int checks_after_pin = 7; // the first query and up to six more

const char* T(const char* de, const char* en) {
    return _de ? de : en;
}

bool has(const char* t, const char* word) {
    return strstr(t, word) != nullptr;
}

// Send, wait, read, wait: the answer is in t.
void exchange(const char* cmd, unsigned long wait, char* t) {
    cm_puts(cmd);
    msleep(wait);
    cm_gets(t, 5);
    msleep(static_cast<unsigned long>(comzeit));
}

unsigned long answer_time() {
    return static_cast<unsigned long>(comzeit);
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
        exchange("AT&F\r", 2 * answer_time(), t);
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
    exchange(plain ? "ATE0\r" : "ATE0V1&D2&C1S0=0\r", answer_time(), t);
    if (!has(t, "OK")) {
        exchange("ATE0\r", answer_time(), t);
        if (!has(t, "OK")) return false;
    }
    if (geraet == GERAET_OPTION || geraet == GERAET_NOVATEL || geraet == GERAET_ERICSSON ||
        geraet == GERAET_QUALCOMM)
        exchange("AT+CFUN=1\r", 2 * answer_time(), t);
    if (geraet == GERAET_OPTION) exchange("AT_OSSYS=0\r", answer_time(), t);
    return true;
}

// The SIM state, asked again while the SIM is still busy starting up.
void query_sim(char* t) {
    for (int i = 0; i < sim_queries; i++) {
        exchange("AT+CPIN?\r", answer_time(), t);
        bool settled = !has(t, "SIM busy") && !has(t, "ERROR");
        // An Ericsson reports a PIN request for a moment while its SIM starts.
        if (geraet == GERAET_ERICSSON && !inidat.pin[0] && !de__inipin_pin_ok(t)) settled = false;
        if (settled || i + 1 == sim_queries || msleepx(1000)) return;
    }
}

void log_locks(const char* t) {
    if (has(t, "PH-NET P")) lo_vlog(T("%s Netlock vorhanden.\n", "%s Netlock detected.\n"), "", -1);
    if (has(t, "PH-SIM P")) lo_vlog(T("%s SIMlock vorhanden.\n", "%s SIMlock detected.\n"), "", -1);
}

// Sends the PIN (or PUK and new PIN) and asks the SIM state until it is good.
void send_pin(const char* pin, char* t) {
    char cmd[2 * sizeof inidat.pin + 20];
    de__pincommand(cmd, sizeof cmd, pin, geraet);
    exchange(cmd, answer_time(), t);
    for (int i = 0; i < checks_after_pin; i++) {
        exchange("AT+CPIN?\r", answer_time(), t);
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
    if (puk && !strchr(inidat.pin, ',')) return PIN_NEEDSPUK;
    const char* pin = inidat.pin;
    bool stored = pin[0] != 0;
    if (!stored) {
        if (_silentinstall) return PIN_NEEDED;
        // With option K a PIN is never stored: the dialog offers no saving.
        int form = ce_DIGITS | ce_HIDDEN | ce_SHORT | (MODUS('K') ? 0 : ce_PIN);
        int r = ce_inputdialog(form, "mavlyn   PIN", T("Bitte PIN eingeben:", "Please enter PIN:"),
                               entered);
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
        if (has(t, "PUK")) return PIN_BADPUK;
        inidat.pin[0] = 0;
        return PIN_NEEDED;
    }
    if (!good) {
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
    if (save) strMcpy(inidat.pin, entered);
    if (art != 2) {
        exchange("AT+COPS=3,0\r", answer_time(), t);
        de_cellidqueryini();
    }
    de__pinstart = inicounterglobal;
    return PIN_READY;
}
