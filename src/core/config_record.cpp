#include "core/config_record.h"

#include "foundation/run_state.h"

#include "foundation/utilities.h"

#include <cctype>
#include <cstring>
#include <ctime>

inidat_t inidat = [] {
    inidat_t d{};
    return d;
}();

const char errname[8][4] = {"NOC", "FRZ", "CRC", "TME", "ALG", "FRM", "BUF", "L"};

char inidatei[40] = "mavlyn.ini";
char settingsdatei[20] = "mavlynS.ini";
const char profildatei[12] = "profile.ini";
char headerdaten[63] = "01 AAA000000000-0000000000000-00000000000000000000000";
bool _inidatneu = false;
bool inidatgueltig = false;

namespace {
constexpr int default_err[8] = {0, 15, 50, 10, 10, 10, 10, 4};
}

void iv_inidefaults() {
    memset(&inidat, 0, sizeof inidat);

    inidat.hinweisk = '0';
    strMcpy(inidat.ppq, "*100#");
    strMcpy(inidat.ppc, "*104*<INPUT>#");
    inidat.constart = true;
    inidat.conende = true;
    inidat.round = 1;
    inidat.roundt = 1;
    for (int i = 0; i < ERRN; i++) inidat.err[i] = default_err[i];
    inidat.pingp = inidat.ping;
    inidat.enduhrzeit1 = -1;
    inidat.enduhrzeit2 = -1;
    inidat.icon = 1;
    inidat.header2 = 'A';
    inidat.header3 = 'A';
    inidat.headervoffset = 999;
}

void iv_readmod(const char* value) {
    memset(inidat.mod, 0, sizeof inidat.mod);
    for (; value && *value; value++) {
        unsigned char c = static_cast<unsigned char>(*value);
        if (isalnum(c)) inidat.mod[c] = 1;
    }
    // SMS command entries need the SMS log, whichever of the lines came first.
    for (int i = 0; i < 3; i++)
        if (inidat.sms[i] == 1) inidat.mod[static_cast<unsigned char>('M')] = 1;
}

void iv_writemod(char* out, size_t n) {
    if (!n) return;
    size_t k = 0;
    for (int c = 1; c < 256 && k + 1 < n; c++)
        if (inidat.mod[c] && isalnum(c)) out[k++] = static_cast<char>(c);
    out[k] = 0;
}

bool innerhalb_enduhrzeit() {
    if (!inidatgueltig) return false;
    time_t now = time(nullptr);
    struct tm t {};
    if (!localtime_r(&now, &t)) return false;
    return ut_innerhalb(t.tm_hour * 60 + t.tm_min, inidat.enduhrzeit1, inidat.enduhrzeit2);
}

bool rs_mode(char m) {
    return MODUS(m);
}

bool rs_controlrole() {
    return inidat.funktion == FUNKTION_CONTROL;
}

bool rs_connectionlog() {
    return inidat.round || inidat.roundt;
}
