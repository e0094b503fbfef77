#include "control/start_sequence.h"

#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/install.h"
#include "connection/dialup.h"
#include "control/command_files.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/operating_mode.h"
#include "modem/sim_pin.h"
#include "ui/config_dialog.h"
#include "ui/splash.h"

#include <cctype>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// A status text that stays for ms before the program goes on.
void show(const char* normal, const char* mini, unsigned long ms = MELDUNGZEIT) {
    cc_show2(normal, mini);
    if (ms) msleepx(ms);
}

void mark() {
    _inidatneu = true;
}

bool starts_with(const char* s, const char* p) {
    return strncmp(s, p, strlen(p)) == 0;
}

bool isdig(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool iv__knownmodem(const char* answer) {
    // Makers write their names as they like ("huawei", "GlobeTrotter"): case does not count.
    static constexpr const char* names[] = {"GLOBETROTTER", "FUSION", "NOVATEL",
                                            "HUAWEI",       "APP3",   "F3507G"};
    std::string upper(answer);
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const char* n : names)
        if (upper.find(n) != std::string::npos) return true;
    return false;
}

int iv__networklist(const char* answer, char* net, size_t n) {
    int added = 0;
    for (const char* p = strchr(answer, '('); p; p = strchr(p + 1, '(')) {
        if (!isdig(p[1]) || p[2] != ',' || p[3] != '"') continue;
        const char* name = p + 4;
        const char* close = strchr(name, '"');
        if (!close || close - name > 30) continue;
        std::string entry(name, static_cast<size_t>(close - name));
        size_t used = strlen(net);
        size_t need = entry.size() + (used ? 1 : 0);
        if (used + need >= n) break;
        if (used) strcat(net, ";");
        strcat(net, entry.c_str());
        added++;
    }
    return added;
}

bool iv__copsnetwork(const char* answer, char* code, size_t n) {
    if (!n) return false;
    code[0] = 0;
    // Unsolicited lines with quotes of their own may come before the answer.
    const char* cops = strstr(answer, "+COPS:");
    const char* q = strchr(cops ? cops : answer, '"');
    if (!q) return false;
    const char* e = strchr(q + 1, '"');
    if (!e) return false;
    std::string s(q + 1, static_cast<size_t>(e - q - 1));
    if (starts_with(s.c_str(), "Limited Service") || starts_with(s.c_str(), "No Service"))
        return false;
    strmcpy(code, s.c_str(), n);
    strupper(code);
    return code[0] != 0;
}

const char* iv__apnfornetwork(const char* code) {
    if (strcmp(code, "26201") == 0) return "internet.t-mobile";
    if (strcmp(code, "26202") == 0) return "web.vodafone.de";
    if (strcmp(code, "26203") == 0) return "internet.eplus.de";
    if (strcmp(code, "26207") == 0) return "surfo2";
    return "";
}

namespace {

// Step 2: a "DIR=" line among lines 2 to 4 moves the data directory.
void follow_directory() {
    if (!iv_iniopen("rt")) return;
    char line[iv__LINEMAX + 2];
    char dir[300] = "";
    for (int nr = 1; nr <= 4 && iv__readfileline(iv__fii, line, sizeof line); nr++)
        if (nr >= 2 && iv__dirvalue(line, dir, sizeof dir)) break;
    iv_iniclose();
    if (!dir[0]) return;
    bool ok = true;
    std::string target = std::string(dir) + "/" + inidatei;
    if (!file_exists(target.c_str())) {
        ok = dir_create(dir) && file_makerw(dir, false) &&
             file_copy(inidatei, target.c_str(), false);
        std::string s = std::string(dir) + "/" + settingsdatei;
        if (ok && file_exists(settingsdatei) && !file_exists(s.c_str()))
            file_copy(settingsdatei, s.c_str(), true);
    }
    if (ok && chdir(dir) == 0) {
        mark();
    } else {
        show("* DIR= Fehler/Error.", "* DIR=|Fehler/Error.");
    }
}

// Step 6 for the dial-up roles: one instance only; a second start ends the first.
// Only a dial-up instance starting up: a configuration program beside it, or the instance
// itself resuming from a pause, must not wipe what the log holds.
void restart_servicelog() {
    if (!MODUS('P') || inidat.funktion >= 40 || ruhestatus >= 3) return;
    if (FILE* f = file_openprivate("servilog.txt", "w")) {
        fputs(T("mavlyn Servicelog\n\n", "mavlyn service log\n\n"), f);
        fclose(f);
    }
}

int single_instance() {
    bool taken = false;
    for (int i = 0; i < 100; i++) {
        th_enter();
        // After a pause the flag is still this instance's own.
        long holder = fl_holder(aktivsignal);
        bool busy = holder > 0 && holder != static_cast<long>(getpid());
        if (!busy) fl_set(aktivsignal);
        th_leave();
        if (!busy) {
            taken = true;
            break;
        }
        if (i == 0) {
            if (_starttoggle == 1) {
                _starttoggle = 2;
                cc_show2(" Bye.", " Bye.");
                cs_show(3);
            } else {
                cc_show2(" Neustart/Restart.", " Neustart /_Restart.");
                cs_show(2);
            }
            fl_set(endesignal);
        }
        if (msleepx(500)) break;
    }
    fl_clear(endesignal);
    if (!taken) {
        show(T("*Konflikt mit anderem mavlyn.", "*Conflict with other mavlyn."),
             T("*Programm~konflikt.", "*Conflict."));
        return -1;
    }
    if (_starttoggle == 2) return -1;
    return 0;
}

void log_file_listing() {
    lo_slog(T("--------------------------------------------------\n\n    %s  mavlyn gestartet.\n",
              "--------------------------------------------------\n\n    %s  mavlyn started.\n"),
            datumzeit(), -1);
    lo_slog(T("Programmversion %s\n    --- mavlyn.ini Anfang\n",
              "Program version %s\n    --- mavlyn.ini start\n"),
            MAVLYN_VERSION, -1);
    if (iv_iniopen("rt")) {
        char line[iv__LINEMAX + 2], out[iv__LINEMAX + 2];
        while (iv__readfileline(iv__fii, line, sizeof line))
            if (iv__servicelogline(line, out, sizeof out)) lo_slog("--- %s\n", out, -1);
        iv_iniclose();
    }
    lo_slog(T("--- mavlyn.ini Ende\n", "--- mavlyn.ini end\n"), "", -1);
}

void start_delay() {
    unsigned long d = ruhestatus >= 3 ? inidat.resumedelay : inidat.startdelay;
    for (unsigned long s = d; s > 0; s--) {
        char normal[80], mini[80];
        snprintf(normal, sizeof normal, T(" Start in %i Sekunden.", " Start in %i seconds."),
                 static_cast<int>(s));
        snprintf(mini, sizeof mini, " Start in_%is.", static_cast<int>(s));
        cc_show2(normal, mini);
        if (msleepx(1000)) return;
    }
    if (d) cc_show2(" Start.", " Start.");
}

void set_hint(const char* de, const char* en, char code) {
    strMcpy(inidat.hinweis, T(de, en));
    inidat.hinweisk = code;
}

// Step 21: the first /dev/ttyUSBn (9 down to 0) that answers "ATI" like a known modem.
void port_search() {
    char answer[antwortLEN];
    for (int n = 9; n >= 0; n--) {
        char port[40];
        snprintf(port, sizeof port, "/dev/ttyUSB%d", n);
        char normal[100];
        snprintf(normal, sizeof normal, T("+COM-Port-Ermittlung: %s", "+Searching COM-port: %s"),
                 port);
        cc_show2(normal, T("+COM~Ermittlung.", "+Port search."));
        if (msleepx(280)) return;
        if (access(port, F_OK) != 0 || !cm_open(port, 0)) continue;
        msleepx(1000);
        cm_puts("AT\r");
        msleepx(1000);
        cm_puts("AT\r");
        msleepx(static_cast<unsigned long>(comzeit) + 500);
        cm_gets(answer, 0);
        cm_puts("ATI\r");
        msleepx(static_cast<unsigned long>(comzeit) + 500);
        cm_gets(answer, 0);
        cm_close();
        if (iv__knownmodem(answer)) {
            strMcpy(inidat.com1, port);
            iv__nextport(inidat.com1, inidat.com2, sizeof inidat.com2);
            return;
        }
    }
}

// Steps 20 to 23. Returns false when the user has to act.
bool find_ports() {
    bool ask = strcmp(inidat.comport, "?") == 0;
    bool go_on = true;
    if (ask)
        port_search();
    else
        iv__ports();
    de_getcomport(nullptr);
    for (int i = 0; i < 4 && !inidat.com1[0] && !ask && !linksys; i++) {
        lo_slog("Another search for modem.\n", "", -1);
        show(T(" Suche Modem.", " Searching for modem."), T(" Suche_Modem.", " Searching_Modem."),
             5000);
        if (programmende_gewuenscht) break;
        de_getcomport(nullptr);
    }
    if (ask) {
        if (inidat.com1[0]) {
            if (inidat.com2[0])
                strMcpy(inidat.comport, (std::string(inidat.com1) + ";" + inidat.com2).c_str());
            else
                strMcpy(inidat.comport, inidat.com1);
            show(T("+COM-Port wurde eingetragen.", "+COM-port has been entered."),
                 T("+COM-Port_eingetragen.", "+COM-port_entered."));
            show(T("+COM-Port in Datei \"mavlyn.ini\" prüfen!",
                   "+Review COM-port in file \"mavlyn.ini\"!"),
                 T("+\"mavlyn.ini\"_prüfen!", "+Review_\"mavlyn.ini\"!"));
            mark();
        } else {
            show(T(" COM-Port nicht gefunden.", " COM-Port not found."),
                 T(" Kein COM-Port.", " No COM-port."));
            set_hint("COM-Port in Zeile COM eintragen (siehe unten)!",
                     "Enter COM-port in line COM (see below)!", '3');
        }
        go_on = false;
    } else if (!linksys && !inidat.com1[0]) {
        show(T(" Modem nicht erkannt.", " Modem not recognized."), T(" Kein Modem.", " No modem."));
        inidat.hinweisk = '3';
        go_on = false;
    }
    inidat.com1none = strcmp(inidat.com1, "NONE") == 0;
    return go_on;
}

// Step 24. Returns false when the user has to act.
bool check_pin() {
    int result = de_inipin(1);
    switch (result) {
    case PIN_NEEDED:
        set_hint("PIN in Zeile PIN eintragen (siehe unten)!", "Enter PIN in line PIN (see below)!",
                 '4');
        return false;
    case PIN_REJECTED:
        inidat.pin[0] = 0;
        mark();
        show(T("*PIN in Datei \"mavlyn.ini\" ist ungültig!",
               "*PIN is not valid in file \"mavlyn.ini\"!"),
             T("*PIN_ungültig!", "*PIN_not valid!"));
        return false;
    case PIN_NEEDSPUK:
    case PIN_BADPUK: {
        bool bad = result == PIN_BADPUK;
        inidat.pin[0] = 0;
        set_hint("In Zeile 11 PUK,PIN im Format 12345678,1234 eingeben!",
                 "Enter PUK,PIN in line 11 using format 12345678,1234!", '5');
        mark();
        if (bad)
            show(T("*PUK ist ungültig! Vorsicht!", "*PUK is not valid! Caution!"),
                 T("*PUK_ungültig!!", "*PUK_not valid!!"));
        else
            show(T("*SIM muss mit PUK entsperrt werden!", "*SIM has to be unlocked with PUK!"),
                 T("*SIM_gesperrt!", "*SIM_locked!"));
        return false;
    }
    case PIN_NOSIM:
        show(T("*SIM wurde nicht erkannt.", "*SIM not found."), T("*SIM_fehlt.", "*Missing_SIM."));
        return false;
    default:
        return true;
    }
}

// Step 25: "NET=?" asks the modem for the networks it sees.
bool network_list() {
    show(T("+Automatische Netzermittlung.", "+Automatic network determination."),
         T("+Netz~ermittlung.", "+Network_determination."), 0);
    if (de_inipin(0) == PIN_READY) {
        msleepx(4000);
        de_iniopmode(inidat.funktion, 2);
        msleepx(2000);
        cm_puts("AT+COPS=?\r");
        char answer[antwortLEN] = "";
        for (int i = 1; i <= 8 && !strchr(answer, '('); i++) {
            char normal[40];
            snprintf(normal, sizeof normal, T("+Netzsuche%.*s", "+Network search%.*s"), i,
                     "........");
            cc_show2(normal, normal);
            if (msleepx(static_cast<unsigned long>(comzeit) + 2000)) break;
            cm_gets(answer, 0);
        }
        char list[sizeof inidat.net] = "";
        if (iv__networklist(answer, list, sizeof list) > 0) {
            strMcpy(inidat.net, list);
            set_hint("Netz in Zeile NET auswählen (siehe unten)!",
                     "Select network in line NET (see below)!", '6');
            mark();
            if (!configsub) {
                show(T("+Netzliste wurde eingetragen.", "+Network list has been entered."),
                     T("+Netzliste_eingetragen.", "+Network list_entered."));
                show(T("+Netz in \"mavlyn.ini\" auswählen!", "+Select network in \"mavlyn.ini\"!"),
                     T("+Netz_auswählen!", "+Select_network!"));
            }
            return false;
        }
    }
    show(T("+Kein Netz verfügbar.", "+No network available."), T("+Kein Netz.", "+No Network."));
    return false;
}

// Step 26: the APN from the network code of a few known operators.
void determine_apn() {
    if (!inidat.com1none && inidat.com1[0] && de_inipin(0) == PIN_READY) {
        cm_puts("AT+COPS=3,2\r");
        char answer[antwortLEN];
        for (int i = 1; i <= 18; i++) {
            char normal[60];
            snprintf(normal, sizeof normal,
                     T("+Automatische APN-Ermittlung%.*s", "+Automatic APN determination%.*s"), i,
                     "..................");
            cc_show2(normal, T("+APN~Ermittlung.", "+APN search."));
            if (msleepx(4000)) break;
            cm_puts("AT+COPS?\r");
            msleepx(1000);
            answer[0] = 0;
            cm_gets(answer, 0);
            char code[40];
            if (!iv__copsnetwork(answer, code, sizeof code)) continue;
            strMcpy(inidat.apn, iv__apnfornetwork(code));
            if (inidat.apn[0]) {
                show(T("+APN wurde eingetragen.", "+APN has been entered."),
                     T("+APN_eingetragen.", "+APN_entered."));
                me_messagebox(0, "mavlyn   APN determination",
                              T("Bitte prüfen Sie den automatisch ermittelten  \nAPN in "
                                "\"CONFIG\" oder \"mavlyn.ini\".",
                                "Please review the  \nautomatically determined APN.  "),
                              1, 0, 0);
                mark();
            } else {
                show(T("+APN konnte nicht ermittelt werden.", "+Could not determine APN."),
                     T("+Kein APN", "+No APN"));
            }
            break;
        }
        cm_puts("AT+COPS=3,0\r");
    }
    if (inidat.apn[0])
        set_hint("APN in Zeile APN prüfen (siehe unten)!", "Review APN in line APN (see below)!",
                 '7');
    else if (!inidat.hinweis[0])
        set_hint("APN in Zeile APN eintragen (siehe unten)!", "Enter APN in line APN (see below)!",
                 '8');
}

// The log turns over at its bound while the program runs, so only a log left far beyond it
// (by an older version) still switches the service log off.
void servicelog_size() {
    if (!MODUS('P') || MODUS('Q') ||
        file_length("servilog.txt") <= lo__logbound("servilog.txt") + 1000)
        return;
    lo_slog("\n    The service log file is very long.\n    The service log has been "
            "deactivated.\n",
            "", -1);
    inidat.mod[static_cast<unsigned char>('P')] = 0;
    mark();
    show(T("*Protokoll deaktiviert.", "*Protocol deactivated."),
         T("*Protokoll_deaktiviert", "*Protocol_deactivated"), 8000);
}

} // namespace

int iv_iniparse() {
    // 1. Reset.
    _inidatneu = false;
    configsub = false;
    bool go_on = true;
    iv_inidefaults();

    // 2. Data directory.
    follow_directory();

    // 3. Role from the program name.
    iv__invocation inv;
    iv__invocationrole(_argc, _argv, &inv);
    if (inv.language) _de = inv.language == 1;
    if (inv.installsub) installsub = true;
    strMcpy(inidat.programm, inv.programm);
    bool rolefromname = inv.funktion > 0;
    if (inv.funktion < 0) go_on = false;
    inidat.funktion = inv.funktion < 0 ? 0 : inv.funktion;
    bool ownname = inv.funktion == 0;

    // 4. Sub-roles.
    const char* first = _argc > 1 ? _argv[1] : nullptr;
    if (inidat.funktion < 50 && first && strcmp(first, "SMSCONFIGSUB") == 0) {
        inidat.funktion = 50;
        rolefromname = true; // the role digit of line 01 must not make it a dial-up instance
        smsconfigsub = true;
        cs_show(0);
    }
    if (_argc > 2 && _argv[2] && strcmp(_argv[2], "CONFIGSUB") == 0) configsub = true;

    // 5. Update of existing program copies by the installer's second step.
    if (installsub && inidat.funktion == 0 && ownname && iv__updatecopies() < 0) return -1;

    // 6. One dial-up instance, one configuration dialog.
    if (inidat.funktion < 40) {
        if (single_instance() < 0) return -1;
    } else if (inidat.funktion == 50) {
        if (fl_query(konfigaktivsignal)) {
            cs_show(32);
            msleepx(2600);
            cs_show(0);
            return -1;
        }
        fl_set(konfigaktivsignal);
    }

    // 7. Validity.
    bool valid = false;
    char first_line[iv__LINEMAX + 2] = "";
    if (iv_iniopen("rt")) {
        valid = iv__readfileline(iv__fii, first_line, sizeof first_line) &&
                (first_line[0] == '0' || first_line[0] == '1');
        iv_iniclose();
    }

    // 8. First start.
    if (!valid && !installsub) {
        if (!iv__firstinstall()) return -1;
        if (iv_iniopen("rt")) {
            valid = iv__readfileline(iv__fii, first_line, sizeof first_line) &&
                    (first_line[0] == '0' || first_line[0] == '1');
            iv_iniclose();
        }
        if (!valid && !file_exists(inidatei) && iv_iniopen("wt")) {
            fputs(" ", iv__fii);
            iv_iniclose();
            file_makerw(inidatei, false);
        }
    }

    // 9. Header line.
    if (valid) {
        iv__readheader(first_line, rolefromname);
        // A line 01 shorter than its counter columns is not updated in place (that would
        // overwrite the next lines), so the file is brought into its current form.
        if (strcspn(first_line, "\r\n") < iv__HEADERLEN) mark();
    }
    inidat.mod[static_cast<unsigned char>('A')] = 0;
    inidat.headergueltig = true;

    // 11. Window form.
    if (inidat.headerfefo != fefo_ICON && inidat.funktion != FUNKTION_CONFIG &&
        inidat.headerfefo >= 1) {
        fefo = static_cast<fefo_t>(inidat.headerfefo);
        cc_show();
    }

    // 12. Lines of the file, then the program parameters as further lines.
    iv__readstate st;
    if (valid && iv_iniopen("rt")) {
        char line[iv__LINEMAX + 2];
        while (iv__readfileline(iv__fii, line, sizeof line)) iv__readline(line, &st);
        iv_iniclose();
    }
    // 10. A fresh service log, now that option P of the file is known.
    restart_servicelog();
    for (int i = inv.firstparam; i < _argc; i++) {
        if (!_argv[i]) continue;
        lo_slog(T("* Übergabeparameter: %s\n", "* Program parameter: %s\n"), _argv[i], -1);
        iv__readline(_argv[i], &st);
    }

    // 13. Option K: the PIN is never kept.
    if (MODUS('K') && inidat.pin[0]) {
        inidat.pin[0] = 0;
        mark();
    }

    // 14. Service log start.
    if (MODUS('P')) log_file_listing();

    // 15. Start delay.
    if (inidat.funktion < 40) start_delay();

    // 16. No valid file and no role.
    if (!valid) {
        if (inidat.funktion == 0) {
            int answer;
            if (installsub)
                answer = 1;
            else if (file_exists("/usr/bin/mavlyn"))
                answer = 2;
            else {
                char text[800];
                snprintf(
                    text, sizeof text,
                    "There is no function assigned to the program file\nname \"%s\". Please "
                    "click\n\nYes, to have mavlyn (re)create the INI-file mavlyn.ini  \n\tand the "
                    "most frequently needed program copies  \n\t(GPRS UMTS UMTSGPRS CONFIG),  "
                    "\n\nNo, to (re)create only the INI-file mavlyn.ini or\n\nCancel, to "
                    "terminate mavlyn and to create the needed\n\tprogram copies manually.",
                    inidat.programm);
                answer = me_messagebox(
                    0, T("mavlyn   Programmexemplarerstellung", "mavlyn   Program Copy Creation"),
                    text, 3, 3, 0);
            }
            if (answer == 1 && !iv__createcopies()) return -1;
            if (answer != 1 && answer != 2) return -1;
        }
        go_on = false;
        inidat.mod[static_cast<unsigned char>('O')] = 1;
        mark();
    }

    // 17. File closed; the dial-up is prepared.
    iv_iniclose();
    if (inidat.funktion < 40) cn_createdialup(0);

    int dialog = -1;
    bool ports_etc = false;
    if (inidat.funktion == FUNKTION_CONFIG) {
        // 18. The configuration dialog.
        snprintf(configinfo, sizeof configinfo,
                 "mavlyn    Version %s    Datum %s~mavlyn    Version %s    Date %s (d.m.y)",
                 MAVLYN_VERSION, iv__PROGRAMDATE, MAVLYN_VERSION, iv__PROGRAMDATE);
        configaktiv = true;
        msleepx(800);
        cs_show(0);
        dialog = cf_dialog(1, nullptr);
    } else if (inidat.funktion != FUNKTION_CONTROL) {
        // 19. User programs at start, counters off.
        if (inidat.funktion < 40) sp_startatstart();
        if (inidat.day == 0) inidat.headerv = 0;
        if (inidat.dayt == 0) inidat.headert = 0;
        if (inidat.funktion == 0) {
            if (!valid) {
                set_hint("Ggf. Zeilen PIN und APN ergänzen (siehe unten)!",
                         "If necessary, complete lines PIN and APN (see below)!", '1');
                go_on = false;
            } else {
                inidat.funktion = 9;
            }
        }
        ports_etc = valid && inidat.funktion < 40;
    }

    if (ports_etc) {
        // 20.-23. Ports and device.
        if (!find_ports()) go_on = false;
        // 24. PIN.
        if (!check_pin()) go_on = false;
        // 25. Network list.
        if (!linksys && !inidat.hinweis[0] && !inidat.com1none && inidat.com1[0] &&
            strcmp(inidat.net, "?") == 0 && !network_list())
            go_on = false;
        // 26. APN.
        if (!linksys && !inidat.apn[0] && strcmp(inidat.net, "?") != 0) {
            determine_apn();
            go_on = false;
        }
        // 27. Service log size.
        servicelog_size();
    }

    // 28. Writing.
    if ((_inidatneu || inidat.hinweis[0]) && inidat.funktion != FUNKTION_CONTROL) {
        int w = iv__iniwrite(dialog);
        if (w == iv__WRITE_FAILED) {
            iv__writefailedmessage();
            return -1;
        }
    }

    // 29. Result.
    inidatgueltig = true;
    th_wakeall(); // the warning thread looks at the end time of day read now
    if (st.exit) return 2;
    if (go_on) return 0;
    inidat.funktion = 0;
    return 1;
}
