#include "modem/device_search.h"

#include "foundation/handles.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/router_link.h"
#include "modem/sim_pin.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>

namespace {

// The by-id table: maker text, interface, use, maker name shown, device, priority. The rows
// are tried in this order and the first match counts.
struct byid_row {
    const char* maker_text;
    const char* interface;
    de__use use;
    const char* maker;
    int device;
    int priority;
};
constexpr byid_row byid_table[] = {
    {"OPTION_N.V.", "-if00", de__USE_DATA, "Option", GERAET_OPTION, 25},
    {"OPTION_N.V.", "-if02", de__USE_COMMAND, "Option", GERAET_OPTION, 25},
    {"HUAWEI", "-if00", de__USE_DATA, "Huawei", GERAET_HUAWEI, 23},
    {"HUAWEI", "-if01", de__USE_COMMAND, "Huawei", GERAET_HUAWEI, 22},
    {"HUAWEI", "-if02", de__USE_COMMAND, "Huawei", GERAET_HUAWEI, 23},
    // The kernel names ZTE sticks "usb-ZTE_Incorporated_…"; the misspelt key of old
    // installations stays beside it.
    {"ZTE_Incorporated", "-if01", de__USE_DATA, "ZTE", GERAET_ZTE, 41},
    {"ZTE_Incorporated", "-if03", de__USE_COMMAND, "ZTE", GERAET_ZTE, 41},
    {"ZTE_Incorportated", "-if01", de__USE_DATA, "ZTE", GERAET_ZTE, 41},
    {"ZTE_Incorportated", "-if03", de__USE_COMMAND, "ZTE", GERAET_ZTE, 41},
    {"Ericsson_F3", "-if09", de__USE_COMMAND, "Ericsson", GERAET_ERICSSON, 21},
    {"Ericsson_F3", "-if03", de__USE_DATA, "Ericsson", GERAET_ERICSSON, 21},
};

// The "ATI" words of each maker, tried in this order.
struct ati_row {
    const char* word;
    int device;
};
constexpr ati_row ati_table[] = {
    {"HUAWEI", GERAET_HUAWEI},
    {"NOVATEL", GERAET_NOVATEL},
    {"DELL", GERAET_NOVATEL},
    {"OPTION", GERAET_OPTION},
    {"GLOBETROTTER", GERAET_OPTION},
    {"FUSION", GERAET_OPTION},
    {"SONY", GERAET_SONY},
    {"LG ELECTRONICS", GERAET_LG},
    {"APP3", GERAET_SIERRA},
    {"SIERRA", GERAET_SIERRA},
    {"F3507", GERAET_ERICSSON},
    {"D5530", GERAET_ERICSSON},
    {"QUALCOMM INCORPORATED", GERAET_QUALCOMM},
    {"SAMSUNG ELECTRONICS", GERAET_SAMSUNG},
    {"ZTE INCORPORATED", GERAET_ZTE},
};

const char* const system_dirs[2] = {"/dev/serial/by-id", "/dev/x/by-id"};
std::string test_dirs[2];
bool test_dirs_set = false;

constexpr int manual = 99;       // a port given by hand: no automatic entry beats it
constexpr size_t name_max = 377; // characters of an entry name taken into its path

std::string upper(const char* t) {
    std::string s(t ? t : "");
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

bool begins(const char* s, const char* word) {
    return strncmp(s, word, strlen(word)) == 0;
}

// The search over the by-id entries: the best priorities so far and the maker shown.
struct Search {
    int bestcmd = 0;
    int bestdata = 0;
    const char* maker = nullptr;
};

// The log lines of the two uses; the command port also logs the device number it presets.
struct port_texts {
    const char* type;
    const char* taken;
    const char* manually;
    const char* passed;
    bool preselection;
};
constexpr port_texts command_texts = {
    "  Device type: %s\n", "  Device selection: as primary, prio %s%li\n",
    "  Device selection: as primary, manually\n",
    "  Device selection: as primary, not selected because of prio %s%li\n", true};
constexpr port_texts data_texts = {
    "  Modem type: %s\n", "  Modem selection, prio %s%li\n", "  Modem selection, manually\n",
    "  Modem selection: not selected because of prio %s%li\n", false};

// Among equal priorities the entry read last wins; a port given by hand is only recognised.
void take_port(Search& s, const char* path, const de__byid_t& c, const port_texts& tx, char* field,
               size_t fieldsize, int* best) {
    bool taken = c.priority >= *best;
    if (!taken && !(*best == manual && strcmp(path, field) == 0)) {
        lo_slog(tx.passed, "", c.priority);
        return;
    }
    lo_slog(tx.type, c.maker, -1);
    if (taken) {
        strmcpy(field, path, fieldsize);
        lo_slog(tx.taken, "", c.priority);
        *best = c.priority;
    } else {
        lo_slog(tx.manually, "", -1);
    }
    if (tx.preselection)
        lo_slog("  Device preselection: mavlyn device number %s%li\n", "", c.device);
    s.maker = c.maker;
    geraet = c.device;
}

void consider(Search& s, const char* dir, const char* name) {
    std::string path = std::string(dir) + DIRSTR + std::string(name).substr(0, name_max);
    lo_slog("Device: %s\n", path.c_str(), -1);
    de__byid_t c = de__classifybyid(name);
    // A path that does not fit the port fields whole would name another device, or none.
    if (c.use == de__USE_NONE || path.size() >= sizeof inidat.com1) {
        lo_slog("  Device has not been selected.\n", "", -1);
        return;
    }
    if (c.use == de__USE_COMMAND)
        take_port(s, path.c_str(), c, command_texts, inidat.com1, sizeof inidat.com1, &s.bestcmd);
    else
        take_port(s, path.c_str(), c, data_texts, inidat.con, sizeof inidat.con, &s.bestdata);
}

void search_dir(Search& s, const char* dir) {
    Dir d(opendir(dir));
    if (!d) return;
    while (struct dirent* e = readdir(d.get())) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        consider(s, dir, e->d_name);
    }
}

bool find_router(const Search& s) {
    if (strcmp(inidat.comport, "NOLINKSYS") == 0) return false;
    if (s.bestcmd == manual) return cm_linkcom(0, inidat.comport) != 0;
    if (s.bestcmd == 0) {
        lo_slog(T("Suche Linksys-Router.\n", "Searching for Linksys router.\n"), "", -1);
        char offer[] = "LINKSYS";
        cm_linkcom(0, offer);
        return cm_linkcom(1, nullptr) != 0;
    }
    return false;
}

bool external_initialisation() {
    return inidat.devi[0] == '\\' && inidat.devi[1] == '*';
}

void show_modem_type(const char* maker) {
    char line[cc_mtextLEN], mini[cc_mtextLEN];
    if (!inidat.com1none && (inidat.mangeraet == 0 || inidat.mangeraet == geraet)) {
        snprintf(line, sizeof line, T(" Modemtyp: %s", " Modem type: %s"), maker);
        snprintf(mini, sizeof mini, T(" Modemtyp:_%s", " Modem type:_%s"), maker);
    } else {
        geraet = inidat.mangeraet;
        lo_slog("Device type overwritten manually with: %s%li\n", "", geraet);
        if (inidat.com1none || external_initialisation()) {
            snprintf(line, sizeof line, "%s",
                     T(" Modemtyp: W" U8ae "hlverbindung", " Modem type: dial-up"));
            snprintf(mini, sizeof mini, "%s",
                     T(" Modemtyp:_W" U8ae "hlverbindung", " Modem type:_dial-up"));
        } else {
            snprintf(line, sizeof line, T(" Modemtyp: manuell %i", " Modem type: manually %i"),
                     geraet);
            snprintf(mini, sizeof mini, T(" Modemtyp:_manuell %i", " Modem type:_manually %i"),
                     geraet);
        }
    }
    cc_show2(line, mini);
}

} // namespace

de__byid_t de__classifybyid(const char* name) {
    if (name)
        for (const byid_row& r : byid_table)
            if (strstr(name, r.maker_text) && strstr(name, r.interface))
                return {r.use, r.maker, r.device, r.priority};
    return {de__USE_NONE, "", 0, 0};
}

int de__classifyati(const char* answer) {
    std::string u = upper(answer);
    for (const ati_row& r : ati_table)
        if (u.find(r.word) != std::string::npos) return r.device;
    return 0;
}

bool de__novatelnewer(const char* answer) {
    std::string u = upper(answer);
    return u.find(" U530") == std::string::npos && u.find(" U630") == std::string::npos;
}

int de__comzeit(int device) {
    return (device >= 3 && device <= 9) || device == GERAET_MANUAL ? 50 : 150;
}

void de__setsearchdirs(const char* first, const char* second) {
    test_dirs_set = first || second;
    test_dirs[0] = first ? first : "";
    test_dirs[1] = second ? second : "";
}

void de_getcomport(char* modemname) {
    if (MODUS('P')) {
        lo_slog("System device list:\n", "", -1);
        if (system("ls -w60 -C /dev/* 2>&1 >> servilog.txt") != 0) {
        }
    }
    Search s;
    s.maker = T("Linux-Ger" U8ae "t", "Linux device");
    bool manualcmd = inidat.com1[0] && strcmp(inidat.comport, "NOLINKSYS") != 0;
    s.bestcmd = manualcmd || begins(inidat.comport, "LINKSYS") ? manual : 0;
    s.bestdata = inidat.con[0] ? manual : 0;
    porttreiber1[0] = 0;
    porttreiber2[0] = 0;

    for (int i = 0; i < 2; i++) {
        const char* dir = test_dirs_set ? test_dirs[i].c_str() : system_dirs[i];
        if (dir[0]) search_dir(s, dir);
    }

    linksys = find_router(s);
    if (linksys) {
        lo_slog("Linksys router will be used.\n", "", -1);
        s.maker = "Linksys";
    }
    show_modem_type(s.maker);
    if (modemname) strmcpy(modemname, s.maker, de_MODEMNAMELEN);

    msleep(100);
    if (linksys) cm_linksyswait();
}

void de_identify() {
    char t[antwortLEN];
    cm_exchange("AT\r", t, comzeit, 0);
    cm_exchange("ATI\r", t, 2L * comzeit, 0);

    if (int d = de__classifyati(t)) geraet = d;
    lo_slog(T("Ger" U8ae "t erkannt: mavlyn-Ger" U8ae "tenummer %s%li\n",
              "Determined device: mavlyn device number %s%li\n"),
            "", geraet);
    if (inidat.mangeraet && inidat.mangeraet != geraet) {
        geraet = inidat.mangeraet;
        lo_slog("Device type overwritten manually with: %s%li\n", "", geraet);
    }
    novatelu740 = geraet == GERAET_NOVATEL && de__novatelnewer(t);
    if (novatelu740) lo_slog("Determined device: Novatel U730 or newer.\n", "", -1);
    comzeit = de__comzeit(geraet);
}

int de_portini(char* port) {
    if (!port) return 1;
    char p[sizeof inidat.com1];
    strMcpy(p, port);
    if (char* semi = strchr(p, ';')) *semi = 0;
    if (!p[0]) {
        de_getcomport(nullptr);
        strMcpy(p, inidat.com1);
    }
    if (!p[0] || !cm_open(p, 3)) return 0;
    int r = de_inipin(1);
    if (r == PIN_READY) {
        msleepx(500);
        return 1;
    }
    // Only a PIN the SIM has seen and refused is dropped; a SIM that could not be asked says
    // nothing about the PIN.
    if (r == PIN_REJECTED || r == PIN_NEEDSPUK || r == PIN_BADPUK) inidat.pin[0] = 0;
    return 0;
}
