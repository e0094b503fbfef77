#include "modem/incoming_calls.h"

#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/clock.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"

#include <cstring>

namespace {

// Calls ringing within this time (1/100 s) of the last ring count as the same call.
constexpr unsigned long holdoff = 1500;

void cut(char* from, size_t len) {
    memmove(from, from + len, strlen(from + len) + 1);
}

void callcommand(int i, const char* number) {
    if (inidat.smsnr[i][0] && strcmp(inidat.smsnr[i], number) != 0) return;
    const char* line = inidat.cmd[i];
    int word = KOMM(line);
    sm__builtincommand(word, false);
    const char* rest = word >= 0 ? line + strlen(kommandos[word]) : line;
    while (*rest == ' ') rest++;
    if (!*rest) return;
    lo_vlog(T("%s Kommando per Anruf: %s\n", "%s Command by call: %s\n"), rest, -1);
    char expanded[600];
    sm__expand(rest, number, nullptr, expanded, sizeof expanded);
    sp_stop(i);
    sp_start(i, expanded);
    msleep(50);
}

// Rings of one call: within the hold-off by the offline time, or by the real time, since the
// offline time stands still while a long dialogue (a credit query) holds up the cycle and
// then catches up at once.
bool samecall() {
    unsigned long now = cm__ringclock();
    bool same = offlinezeit - offlinezeitring < holdoff || now - cm__ringreal < holdoff;
    offlinezeitring = offlinezeit;
    cm__ringreal = now;
    return same;
}

} // namespace

unsigned long (*cm__ringclock)() = [] { return static_cast<unsigned long>(ti_htime()); };
unsigned long cm__ringreal = 0;

void cm__ringscan(char* t, bool* rang, char* number, size_t n) {
    *rang = false;
    if (n) number[0] = 0;
    for (char* p = strstr(t, "RING"); p; p = strstr(p, "RING")) {
        if (p[4] == '\r' || p[4] == '\n') {
            cut(p, 4);
            *rang = true;
        } else {
            p += 4;
        }
    }
    for (char* p = strstr(t, "+CLIP"); p; p = strstr(p, "+CLIP")) {
        const char* q = p + 5;
        q += strspn(q, ": \"");
        size_t len = strspn(q, "+0123456789");
        if (!number[0] && len >= 4 && len <= 48 && len < n) {
            memcpy(number, q, len);
            number[len] = 0;
        }
        // The rest of the unsolicited line (type of number, name, validity) goes with it;
        // the line end stays, as with RING.
        cut(p, strcspn(p, "\r\n"));
    }
}

void cm__ringdetect(char* t) {
    if (!cm__ringdetect_ACTIVE || !t || !t[0]) return;
    if (offlinezeit < offlinezeitring) {
        offlinezeitring = 0;
        return;
    }
    bool rang;
    char number[50];
    cm__ringscan(t, &rang, number, sizeof number);
    if (number[0])
        lo_slog(T("Eingehender Anruf: \"%s\".\n", "Incomming call: \"%s\".\n"), number, -1);
    if (!rang && !number[0]) return;
    if (samecall()) return;
    if (number[0]) lo_vlog(T("%s Anruf erhalten: %s\n", "%s Call recieved: %s\n"), number, -1);
    cc_show2(T("+Anruf erhalten.", "+Call recieved."), T("+Anruf_erhalten", "+Call_recieved."));
    for (int i = 0; i < 3; i++)
        if (inidat.cmd[i][0] && inidat.sms[i] == 2) callcommand(i, number);
}
