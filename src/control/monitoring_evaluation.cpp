#include "control/monitoring_evaluation.h"

#include "connection/accounting.h"
#include "connection/internet_probes.h"
#include "control/command_files.h"
#include "control/instance_interface.h"
#include "control/main_thread.h"
#include "control/program_end.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/tone.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/ussd.h"
#include "sms/sms_reception.h"
#include "sms/sms_sending.h"
#include "ui/control_window.h"
#include "ui/panel_icons.h"
#include "ui/standard_settings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool unknown(const char* field) {
    return !field[0] || field[0] == 1;
}

void tones(const mt__tone* t, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (t[i].fq)
            beep(t[i].fq, t[i].ms);
        else
            msleep(static_cast<unsigned long>(t[i].ms));
    }
}

// 600 Hz 300 ms, 100 ms, 600 Hz 100 ms, then the given pause.
void double_beep(int pause) {
    const mt__tone t[] = {{600, 300}, {0, 100}, {600, 100}, {0, pause}};
    tones(t, 4);
}

bool signal_known() {
    return mt__sig >= 1 && mt__sigs[0] != '_' && mt__sigs[0] != ' ';
}

bool family_gprs(int m) {
    return m > 0 && (m & 3) == 1;
}
bool family_umts(int m) {
    return m > 0 && (m & 3) == 2;
}

// Two short beeps for a mode: 500 Hz GPRS family (or both unknown), 1000 Hz UMTS family.
void mode_beep(int m, int other) {
    int fq = 0;
    if (family_umts(m))
        fq = 1000;
    else if (family_gprs(m) || (m <= 0 && other <= 0))
        fq = 500;
    if (!fq) return;
    const mt__tone t[] = {{fq, 50}, {0, 50}, {fq, 50}, {0, 50}};
    tones(t, 4);
}

void shared_network_fields() {
    MVLIOs(plmn, unknown(plmn) ? "" : plmn);
    MVLIOs(lac, unknown(lac) ? "" : lac);
    MVLIOs(cid, unknown(ucid) ? "" : cidkurz);
    MVLIOs(rnc, unknown(ucid) ? "" : rnc);
}

void new_network(mt__cycle_t& c) {
    utf16hextostr(c.name);
    if (!mt__newnetwork(c.name, c.namealt, lac, lac_alt)) {
        MVLIOs(network_name, c.name);
        return;
    }
    if (MODUS('R') && c.namealt[0] && memicmp(c.namealt, " No Service", 11) != 0) {
        const mt__tone t[] = {{600, 300}, {0, 100}, {600, 100}, {0, 500}};
        tones(t, 4);
    }
    if (inidat.net[0] == ';') {
        char code[20];
        strMcpy(code, strlen(plmn) >= 5 && plmn[0] != 1 ? plmn : "999999");
        if (!mt__networkallowed(inidat.net, c.name, code)) {
            netzfremd = true;
            th_wakeall(); // the warning thread asks the user
            lo_vlog(T("%s Fremdnetz erkannt: %s\n", "%s Unwanted network: %s\n"), c.name, -1);
            for (int i = 0; i < 3; i++) double_beep(300);
        } else {
            netzfremd = false;
        }
    }
    MVLIOs(network_name, c.name);
}

void cell_change(mt__cycle_t& c) {
    bool changed = strcmp(plmn, plmn_alt) || strcmp(lac, lac_alt) || strcmp(ucid, ucid_alt);
    if (!changed) return;
    if (MODUS('I') || inidat.homu[0]) {
        if (MODUS('I')) {
            char fmt[160];
            const char* prefix = T("%s Zelle: ", "%s Cell: ");
            if (unknown(lac))
                snprintf(fmt, sizeof fmt, "%sPLMN=%s\n", prefix, plmn);
            else if (unknown(plmn))
                snprintf(fmt, sizeof fmt, "%sLAC=%s CID=%s\n", prefix, lac, ucid);
            else
                snprintf(fmt, sizeof fmt, "%sPLMN=%s LAC=%s CID=%s\n", prefix, plmn, lac, ucid);
            lo_vlog(fmt, "", -1);
        }
        if (inidat.homu[0] && !unknown(lac) && !unknown(ucid)) {
            int to = homezonestatus == 1 ? 90 : 50;
            if (homezonezaehler >= 1 && homezonezaehler < to) homezonezaehler = to;
        }
    }
    if (MODUS('S')) {
        mode_beep(c.modealt, c.mode);
        mode_beep(c.mode, c.modealt);
    }
    strMcpy(plmn_alt, plmn);
    strMcpy(lac_alt, lac);
    strMcpy(ucid_alt, ucid);
}

void mini_line(mt__cycle_t& c) {
    char field[40];
    strMcpy(field, c.volshort);
    if (MODUS('D')) {
        switch (c.pass % 3) {
        case 1:
            strMcpy(field, c.volshort);
            break;
        case 2:
            strMcpy(field, c.speedtext[0] ? c.speedtext : c.volshort);
            break;
        default: {
            const char* t = stundenminuten(inidat.headert);
            strMcpy(field, inidat.headert < 60000 ? t + 1 : t);
            break;
        }
        }
    } else if (c.speedtext[0] && !MODUS('c')) {
        strMcpy(field, c.speedtext);
    }
    char name[80];
    if (MODUS('C')) {
        if (unknown(lac))
            snprintf(name, sizeof name, "[%s]", unknown(plmn) ? "" : plmn);
        else
            snprintf(name, sizeof name, "[%s.%s]", lac, cidkurz);
    } else {
        strMcpy(name, c.name);
    }
    snprintf(cc_mtext[cc_mtextMINI], cc_mtextLEN, " %c%s %s_%s", c.modeletter, mt__sigsmini, field,
             name);
}

void shared_record(mt__cycle_t& c) {
    MVLIOw(volume, static_cast<uint32_t>(inidat.headerv + inidat.headervoffset / 1000));
    MVLIOw(time, static_cast<uint32_t>(inidat.headert));
    MVLIOw(online_time, static_cast<uint32_t>((onlinezeit + 99) / 100));
    MVLIOw(offline_time, static_cast<uint32_t>((offlinezeit + 99) / 100));
    MVLIOw(upspeed, static_cast<uint32_t>(c.up > 0 ? c.up : 0));
    MVLIOw(downspeed, static_cast<uint32_t>(c.down > 0 ? c.down : 0));
    MVLIOw(opmode, static_cast<uint8_t>(c.mode > 0 ? c.mode : 0));
    if (c.name[0]) shared_network_fields();
}

void announce_signal() {
    if (fefo != fefo_NORMAL || !cc_maximized() || !signal_known() || tonlos) return;
    std::vector<mt__tone> t = mt__morsesignal(mt__sigalt >= 0 ? mt__sigalt : mt__sig, mt__sig);
    tones(t.data(), t.size());
}

void battery(mt__cycle_t& c) {
    if (inidat.batt1 <= 0) return;
    if (geraet == GERAET_NOVATEL) {
        akkufuellstand = 0;
    } else if (c.battery == 0) {
        char a[antwortLEN] = "";
        cm_exchange("AT+CBC\r", a);
        akkufuellstand = mt__batterycharge(a);
    }
    c.battery = (c.battery + 1) % 19;
    MVLIOw(battery, static_cast<uint8_t>(bereich(akkufuellstand, 0, 255)));
}

void limits(const mt__cycle_t& c) {
    long kb = c.volume;
    long minutes = inidat.headert;
    int level = mt__limitlevel(kb, minutes, inidat.max, inidat.maxt);
    if (level == 2) {
        if (maxgrenze != 2) {
            lo_slog(T("Datenvolumen/Onlinezeit-Warnung.\n", "Volume/time warning.\n"), "", -1);
            lo_vlog(T("%s Datenvolumen/Onlinezeit-Warnung.\n", "%s Volume/time warning.\n"), "",
                    -1);
            cc_show2(T("*Volumen/Zeit-Warnung.", "*Volume/time warning."),
                     T("*Vol/Zeit-\\Warnung.", "*Vol/time_warning."));
            for (int i = 0; i < 3; i++) double_beep(300);
        }
        maxgrenze = 2;
    } else if (level == 1) {
        if (maxgrenze != 1) {
            lo_slog(T("Datenvolumen/Onlinezeit-Vorwarnung.\n", "Volume/time pre-warning.\n"), "",
                    -1);
            lo_vlog(T("%s Datenvolumen/Onlinezeit-Vorwarnung.\n", "%s Volume/time pre-warning.\n"),
                    "", -1);
            cc_show2(T("+Volumen/Zeit-Vorwarnung.", "+Volume/time pre-warning."),
                     T("+Vol/Zeit-\\Vorwarnung.", "+Vol/time_pre-warning."));
            double_beep(300);
        }
        maxgrenze = 1;
    } else {
        maxgrenze = 0;
    }
    if (mt__limitexceeded(kb, minutes, inidat.max, inidat.maxt)) {
        lo_slog(T("Datenvolumen-/Onlinezeitgrenze " U8ue "berschritten.\n",
                  "Data volume / online time exceeded.\n"),
                "", -1);
        lo_vlog(T("%s Datenvolumen-/Onlinezeitgrenze " U8ue "berschritten.\n",
                  "%s Data volume / online time exceeded.\n"),
                "", -1);
        cc_show2(T("*Volumen/Zeit " U8ue "berschritten.", "*Volume/time exceeded."),
                 T("*max._Vol/time", "*max._vol/time"));
        msleepx(5000);
        programmende_endgueltig();
    }
}

void homezone(mt__cycle_t& c) {
    if (!inidat.homu[0]) return;
    if (homezonezaehler > 100) homezonezaehler = 0;
    if (homezonezaehler != 0) {
        homezonezaehler++;
        return;
    }
    homezonezaehler = 1;
    cm_homezonequery();
    if (homezonestatus == c.homezonelast) return;
    const char* text;
    if (homezonestatus == 1) {
        text = T("In der Homezone.", "Inside Homezone.");
    } else if (homezonestatus == 2) {
        text = T("Nicht in der Homezone.", "Not inside Homezone.");
        if (c.homezonelast == 1) {
            const mt__tone t[] = {{600, 100}, {0, 100}, {600, 100}, {0, 100},
                                  {600, 100}, {0, 100}, {600, 100}, {0, 600}};
            tones(t, 8);
        }
    } else {
        text = T("Homezonestatus unbekannt.", "Homezone status unknown.");
        if (onlinezeit) homezonezaehler = -10;
    }
    c.homezonelast = homezonestatus;
    char line[120];
    snprintf(line, sizeof line, "%s\n", text);
    lo_slog(line, "", -1);
    snprintf(line, sizeof line, "%%s %s\n", text);
    lo_vlog(line, "", -1);
}

void permission(mt__cycle_t& c) {
    if (c.pass >= 9999) return;
    if (!mt__permitted(c.pass, signal_known(), MODUS('X'), geraet, cm_issim())) return;
    if (MODUS('X')) beep(900, 50);
    lo_slog(T("Verbinden freigegeben.\n", "Permitted to connect.\n"), "", -1);
    verbindenverboten = false;
    c.pass = 9999;
}

void sms_turns(mt__cycle_t& c) {
    if (geraet == GERAET_NOVATEL) return; // no Novatel library in Linux
    if (c.pass % 4 == 0 || sm_msgzustand == 2) {
        sm_msgholen();
        if (sm_msgzustand == 2) {
            msleep(200);
            sm_msgholen();
        }
    }
    if (c.pass % 4 == 3) sm_msgsenden();
}

} // namespace

void mt__evaluation1(mt__cycle_t& c) {
    if (c.pass >= 1 && (!linksys || c.pass % 2 == 0)) {
        long up = -1, down = -1, vol = 0;
        bool reconnected = cn_statistics(&up, &down, &vol);
        c.up = up;
        c.down = down;
        c.volume = vol;
        if (reconnected && signal_known()) {
            if (MODUS('I') || MODUS('J'))
                lo_vlog(T("%s Betriebsart: %s.\n", "%s Mode of operation: %s.\n"),
                        family_umts(c.mode) ? "UMTS" : "GPRS", -1);
            char fmt[120];
            snprintf(fmt, sizeof fmt, "%%s %s: %02i%%%% -%idBm\n",
                     T("Signalstaerke", "Signal strength"), mt__sig, mt__sigd);
            lo_vlog(fmt, "", -1);
        }
        mt__volumetext(vol, c.voltext, sizeof c.voltext);
        snprintf(maxgrenzes, sizeof maxgrenzes, "%s\n%s", c.voltext,
                 stundenminuten(inidat.headert));
        snprintf(c.volshort, sizeof c.volshort, "%04li", vol / 1000);
        mt__speedline(up, c.uptext, sizeof c.uptext);
        mt__speedline(down, c.downtext, sizeof c.downtext);
        if (up < 0 && down < 0) {
            strMcpy(c.uptext, "offline");
            strMcpy(c.downtext, "offline");
        }
        mt__speedshort(up, down, MODUS('d'), c.speedtext, sizeof c.speedtext);
    }
    c.mode = mt__modefromspeed(c.mode, c.up, c.down, &c.modeletter, &c.modetext);
    if (ruhestatus) lo_slogx("ENDPmain30.\n", "", -1);
}

void mt__evaluation2(mt__cycle_t& c) {
    new_network(c);
    if (c.pass >= 1) {
        mt__mainline(c.name, plmn, lac, ucid, cc_mtext[1], cc_mtextLEN);
        snprintf(cc_mtext[2], cc_mtextLEN, " %s", c.modetext);
        cell_change(c);
        snprintf(cc_mtext[3], cc_mtextLEN, "%c%s", mt__siggelb >= 6 ? '+' : ' ', mt__sigs);
        snprintf(cc_mtext[4], cc_mtextLEN, " %s", c.uptext);
        snprintf(cc_mtext[5], cc_mtextLEN, " %s", c.downtext);
        snprintf(cc_mtext[6], cc_mtextLEN, "%c%s", mt__limitmarker(c.volume, inidat.max),
                 c.voltext);
        snprintf(cc_mtext[7], cc_mtextLEN, "%c%s", mt__limitmarker(inidat.headert, inidat.maxt),
                 stundenminuten(inidat.headert));

        int sigalt_d = mtextsigd;
        mtextba = c.mode;
        mtextsigd = mt__sig >= 0 ? -mt__sigd : -999;
        if ((MODUS('I') || MODUS('J')) && c.mode != c.modealt && c.mode > 0)
            lo_vlog(T("%s Neue Betriebsart: %s.\n", "%s New mode of operation: %s.\n"), c.modetext,
                    -1);
        if (MODUS('J') && mtextsigd != sigalt_d && signal_known()) {
            char fmt[120];
            snprintf(fmt, sizeof fmt, "%%s %s: %02i%%%% -%idBm\n",
                     T("Signalst" U8ae "rke", "Signal strength"), mt__sig, mt__sigd);
            lo_vlog(fmt, "", -1);
        }
        if (mtextup >= -2) {
            mtextup = c.up;
            mtextdown = c.down;
        }
        mini_line(c);
        shared_record(c);
        cc_show();
        if (c.up >= 0 && c.down >= 0)
            ic_mshow(1, c.mode, mt__sig, static_cast<int>(c.up / 1000),
                     static_cast<int>(c.down / 1000), cc_shortstatus());
        announce_signal();
        battery(c);
        char buffer[antwortLEN];
        buffer[0] = 0;
        prepaid_aufgaben(inidat.ppq, inidat.ppc, nullptr, buffer);
        if (update_gewuenscht) se_updatequery();
        limits(c);
        homezone(c);
        if (MODUS('X') && signal_known() && c.pass >= 1 && c.pass <= 9998) beep(200, 50);
        permission(c);
        mt__pollcommands();
        sms_turns(c);
    }
    if (iz_kdfehler) {
        lo_vlog(T("%s Grafikomprimierer konnte nicht abgeschaltet werden.\n",
                  "%s Could not deactivate graphics compressor.\n"),
                "", -1);
        cc_show2(T("+Grafiken nur komprimiert.", "+Graphics compressed only."),
                 T("+Grafiken_komprimiert.", "+Graphics_compressed."));
        iz_kdfehler = false;
    }
}

// ---- Pure parts ----

int mt__modefromspeed(int mode, long up, long down, char* letter, const char** text) {
    long sum = max(up, 0L) + max(down, 0L);
    if (family_gprs(mode)) {
        bool gprs = mode == 1 && sum < 9451;
        *letter = gprs ? 'G' : 'E';
        *text = gprs ? "GPRS" : "EDGE";
        return gprs ? 1 : 5;
    }
    if (family_umts(mode)) {
        bool umts = mode == 2 && sum < 56001;
        *letter = umts ? 'U' : 'H';
        *text = umts ? "UMTS" : "HSPA";
        return umts ? 2 : 6;
    }
    *letter = ' ';
    *text = "";
    return mode;
}

void mt__volumetext(long kb, char* out, size_t n) {
    if (kb < 0) kb = 0;
    snprintf(out, n, "%3li %03li %03li kB", kb / 1000000, kb / 1000 % 1000, kb % 1000);
}

void mt__speedline(long bps, char* out, size_t n) {
    if (bps < 0) {
        strmcpy(out, "offline", n);
        return;
    }
    long t = (bps + 50) / 100;
    snprintf(out, n, "%5li.%01li kB/s", t / 10, t % 10);
}

void mt__speedshort(long up, long down, bool slowtoo, char* out, size_t n) {
    out[0] = 0;
    if (up < 0 && down < 0) return;
    long big = max(up, down);
    if (big < 500 && !slowtoo) return;
    const char* arrow = up > down ? "\xe2\x86\x91" : down > up ? "\xe2\x86\x93" : "  ";
    if (big < 10000) {
        long t = (big + 50) / 100;
        snprintf(out, n, "%li.%01li%s", t / 10, t % 10, arrow);
    } else {
        snprintf(out, n, "%li%s", (big + 500) / 1000, arrow);
    }
}

bool mt__newnetwork(const char* name, const char* namealt, const char* lacnow, const char* lacold) {
    if (!name[0]) return false;
    if (memicmp(name, "Limited Service", 15) == 0) return false;
    if (memicmp(name, "No Service", 10) == 0 || memicmp(name, " No Service", 11) == 0) return false;
    if (lacnow[0] && strcmp(name, lacnow) == 0) return false;
    if (lacold[0] && strcmp(name, lacold) == 0) return false;
    if (name[0] == ',' && isdigit(static_cast<unsigned char>(name[1])) && name[2] == '\r')
        return false;
    return strcmp(name, namealt) != 0;
}

bool mt__networkallowed(const char* list, const char* name, const char* code) {
    std::string l = list;
    if (l.empty() || l.back() != ';') l += ';';
    std::string n = std::string(";") + name + ";";
    std::string c = std::string(";") + code + ";";
    return l.find(n) != std::string::npos || l.find(c) != std::string::npos;
}

void mt__mainline(const char* name, const char* code, const char* area, const char* cell, char* out,
                  size_t n) {
    bool nc = unknown(code), na = unknown(area), ni = unknown(cell);
    if (nc && na && ni)
        snprintf(out, n, " %s", name);
    else if (na)
        snprintf(out, n, " %s [%s]", name, nc ? "" : code);
    else if (nc)
        snprintf(out, n, " %s [%s.%s]", name, area, ni ? "" : cell);
    else
        snprintf(out, n, " %s [%s.%s.%s]", name, code, area, ni ? "" : cell);
}

namespace {
bool reached(long v, long limit) {
    return limit > 0 && v >= limit;
}
} // namespace

int mt__limitlevel(long kb, long minutes, const long max[3], const long maxt[3]) {
    if (reached(kb, max[1]) || reached(minutes, maxt[1])) return 2;
    if (reached(kb, max[0]) || reached(minutes, maxt[0])) return 1;
    return 0;
}

bool mt__limitexceeded(long kb, long minutes, const long max[3], const long maxt[3]) {
    return reached(kb, max[2]) || reached(minutes, maxt[2]);
}

char mt__limitmarker(long value, const long limits[3]) {
    if (reached(value, limits[1])) return '*';
    if (reached(value, limits[0])) return '+';
    return ' ';
}

bool mt__permitted(long pass, bool signalknown, bool modex, int device, bool simulation) {
    if (pass >= 9999) return false;
    if (signalknown && pass >= (modex ? 5 : 1)) return true;
    if (device == GERAET_SONY && pass > 3) return true;
    if (device == GERAET_ERICSSON && pass > 2) return true;
    return simulation;
}

int mt__batterycharge(const char* answer) {
    const char* p = strstr(answer, "CBC:");
    if (!p) return 0;
    p += 4;
    while (*p == ' ') p++;
    if (!isdigit(static_cast<unsigned char>(*p))) return 0;
    long first = strtol(p, const_cast<char**>(&p), 10);
    if (first != 0) return 0;
    while (*p == ' ' || *p == ',') p++;
    if (!isdigit(static_cast<unsigned char>(*p))) return 0;
    long second = strtol(p, nullptr, 10);
    if (second > 100) second = 100;
    return second == 0 ? 1 : static_cast<int>(second);
}

int mt__morsefrequency(int percent) {
    double f = (std::exp(percent / 100.0) - 1.0) * 2900.0 / 1.718281828459045 + 100.5 + 210.0;
    return static_cast<int>(f);
}

std::vector<mt__tone> mt__morsesignal(int previous, int percent) {
    if (percent > 99) percent = 99;
    if (percent < 0) percent = 0;
    std::vector<mt__tone> out;
    const int dot = 100;
    auto digit = [&](int d, int fq) {
        auto sym = [&](bool dash) {
            out.push_back({fq, dash ? 3 * dot : dot});
            out.push_back({0, dot});
        };
        if (d > 5) {
            sym(true);
            for (int i = 0; i < 10 - d; i++) sym(false);
        } else if (d < 5) {
            for (int i = 0; i < d; i++) sym(false);
            sym(true);
        } else {
            for (int i = 0; i < 5; i++) sym(false);
        }
        out.push_back({0, 2 * dot});
    };
    digit(percent / 10, mt__morsefrequency(previous));
    digit(percent % 10, mt__morsefrequency(percent));
    return out;
}
