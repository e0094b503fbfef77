#include "modem/operating_mode.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/router_link.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// One operating mode in every dialect.
struct mode_row {
    const char* en;
    const char* de;
    const char* mini;
    int opsys;                     // Option AT_OPSYS
    int nwrat;                     // Novatel AT$NWRAT
    int syscfg_mode, syscfg_order; // Huawei AT^SYSCFG
    int zsnt_mode, zsnt_pref;      // ZTE AT+ZSNT
    int selrat;                    // Sierra AT!SELRAT
    int cfun;                      // Ericsson AT+CFUN
    int router;                    // router link function
};
constexpr mode_row modes[4] = {
    {"+Operating mode: GPRS.", "+Betriebsart: GPRS.", "+-> GPRS.", 0, 1, 13, 1, 1, 0, 2, 5, 11},
    {"+Operating mode: UMTS.", "+Betriebsart: UMTS.", "+-> UMTS.", 1, 2, 14, 2, 2, 0, 1, 6, 12},
    {"+Operating mode: preferably GPRS.", "+Betriebsart: vorrangig GPRS.", "+->_GPRS/UMTS.", 2, 0,
     2, 1, 0, 1, 4, 1, 10},
    {"+Operating mode: preferably UMTS.", "+Betriebsart: vorrangig UMTS.", "+->_UMTS/GPRS.", 3, 0,
     2, 2, 0, 2, 3, 1, 10},
};
// Devices that cannot prefer one technology, and the router, run the preferred modes as both.
const char* const both_en = "+Operating mode: UMTS and GPRS.";
const char* const both_de = "+Betriebsart: UMTS und GPRS.";
const char* const both_mini = "+->_UMTS/GPRS.";

int de__cellstart = INT_MIN; // the start in which the cell data were prepared

bool preferred(int ba) {
    return ba == 3 || ba == 4;
}

bool no_preference() {
    return linksys || geraet == GERAET_NOVATEL || geraet == GERAET_ERICSSON ||
           geraet == GERAET_QUALCOMM;
}

void report_failure() {
    lo_slog(T("Betriebsartwahl fehlgeschlagen.\n", "Operations mode selection failed.\n"), "", -1);
    cc_show2(T("+Betriebsartwahl fehlgeschlagen.", "+Operations mode selection failed."),
             T("+Betriebsart~Fehler.", "+Op. mode_error."));
    msleepx(MELDUNGZEIT);
    lo_vlog(T("%s Betriebsartwahl fehlgeschlagen.\n", "%s Operations mode selection failed.\n"), "",
            -1);
}

bool select_by_router(int ba, int prot, const char* text, const char* mini) {
    cm_linksyswait();
    if (prot > 0) cc_show2(text, mini);
    msleepx(1000);
    long r = cm_linkcom(modes[ba - 1].router, nullptr);
    msleepx(10000);
    cm_linksyswait();
    return r != 0;
}

bool select_by_command(int ba, int prot, const char* text, const char* mini) {
    char cmd[80];
    de__opmodecommand(cmd, sizeof cmd, ba, geraet, inidat.smsring || MODUS('M'));
    bool huawei = geraet == GERAET_HUAWEI;
    char t[antwortLEN] = "";
    for (int attempt = 0; attempt < (huawei ? 2 : 1) && !strstr(t, "OK"); attempt++) {
        cm_exchange(cmd, t, comzeit, huawei ? 2 * comzeit : comzeit);
    }
    if (strstr(t, "OK")) {
        if (prot > 0) cc_show2(text, mini);
        return true;
    }
    if (prot == 2) report_failure();
    return false;
}

void mark_unsupported(char* field) {
    field[0] = 1;
    field[1] = 0;
}

// Send, wait half the answer time, read, wait again.
void quick_exchange(const char* cmd, char* t) {
    cm_exchange(cmd, t, comzeit / 2, comzeit / 2);
}

} // namespace

const char* de__opmodetext(int ba, bool nopreference, bool de) {
    if (ba < 1 || ba > 4) return "";
    if (nopreference && preferred(ba)) return de ? both_de : both_en;
    return de ? modes[ba - 1].de : modes[ba - 1].en;
}

const char* de__opmodemini(int ba, bool nopreference) {
    if (ba < 1 || ba > 4) return "";
    if (nopreference && preferred(ba)) return both_mini;
    return modes[ba - 1].mini;
}

void de__opmodecommand(char* out, size_t n, int ba, int device, bool domain2) {
    if (!n) return;
    out[0] = 0;
    if (ba < 1 || ba > 4 || device < 1 || device > 9) return;
    const mode_row& m = modes[ba - 1];
    switch (device) {
    case GERAET_NOVATEL:
        snprintf(out, n, "AT$NWRAT=%d,2\r", m.nwrat);
        break;
    case GERAET_HUAWEI:
        snprintf(out, n, "AT^SYSCFG=%i,%i,3FFFFFFF,1,%i\r", m.syscfg_mode, m.syscfg_order,
                 domain2 ? 2 : 1);
        break;
    case GERAET_SIERRA:
        snprintf(out, n, "AT!SELRAT=0%i\r", m.selrat);
        break;
    case GERAET_ERICSSON:
        snprintf(out, n, "AT+CFUN=%i\r", m.cfun);
        break;
    case GERAET_ZTE:
        snprintf(out, n, "AT+ZSNT=%i,%i,%i\r", m.zsnt_mode, 0, m.zsnt_pref);
        break;
    default:
        snprintf(out, n, "AT_OPSYS=%d,2\r", m.opsys);
        break;
    }
}

bool de_iniopmode(int ba, int prot) {
    if (ba == 9) return true;
    if (ba < 1 || ba > 4) return false;
    if (!linksys && (geraet < 1 || geraet > 9)) return true;

    const char* text = de__opmodetext(ba, no_preference(), _de);
    const char* mini = de__opmodemini(ba, no_preference());
    if (prot == 1 || prot == 2) {
        lo_vlog(T("%s Vorgewaehlte B%s\n", "%s Selected o%s\n"), text + 2, -1);
        if (MODUS('8')) lo_vlog("%s TEST-Modus: Volumen wird mit Faktor 10.000 erfasst.\n", "", -1);
    }
    if (linksys) return select_by_router(ba, prot, text, mini);
    return select_by_command(ba, prot, text, mini);
}

void de_cellidqueryini() {
    if (inicounterglobal == de__cellstart) return;
    if (linksys) {
        mark_unsupported(lac);
        mark_unsupported(ucid);
        mark_unsupported(plmn);
        return;
    }
    de__cellstart = inicounterglobal;
    char t[antwortLEN];
    bool creg = geraet == GERAET_ZTE || geraet == GERAET_LG;
    quick_exchange(creg ? "AT+CREG=2\r" : "AT+CGREG=2\r", t);
    if (strstr(t, "OK")) {
        lac[0] = 0;
        ucid[0] = 0;
    } else {
        mark_unsupported(lac);
        mark_unsupported(ucid);
    }
    plmn[0] = 0;
    if (geraet == GERAET_OPTION) quick_exchange("AT+CGREG=0\r", t);
}
