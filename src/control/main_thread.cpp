#include "control/main_thread.h"

#include "config/ini_reader.h"
#include "config/install.h"
#include "config/profiles.h"
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "connection/internet_probes.h"
#include "control/command_files.h"
#include "control/front_end.h"
#include "control/instance_interface.h"
#include "control/monitoring_evaluation.h"
#include "control/program_end.h"
#include "control/start_sequence.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/operating_mode.h"
#include "modem/router_link.h"
#include "modem/sim_pin.h"
#include "sms/sms_reception.h"
#include "ui/message_box.h"
#include "ui/panel_icons.h"
#include "ui/splash.h"
#include "ui/timer_tick.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

int mt__sig = -1;
int mt__sigalt = -1;
int mt__sigd = 0;
char mt__sigs[20] = "  ";
char mt__sigsmini[20] = "  ";
int mt__sigfail = 9;
int mt__siggelb = 9;

namespace {

bool is_unsupported(const char* field) {
    return field[0] == 1;
}

// The answer buffer of this thread (the only user of the channel while it runs).
char ans[antwortLEN];

gint64 mt__lastfilecheck = 0;
// Set from the first pause on: the session is prepared again after a pause.
bool mt__restarted = false;
// Commands are for the main instance only: a configuration program or a front end started
// beside it must not take them away.
bool mt__takescommands = false;

// Send, wait, read, wait: true when the answer holds "OK".
bool dialogue(const char* cmd, int before = -1, int after = -1) {
    ans[0] = 0;
    cm_exchange(cmd, ans, before, after);
    return strstr(ans, "OK") != nullptr;
}

void show(const char* main, const char* mini, unsigned long ms) {
    cc_show2(main, mini);
    if (ms) mt__wait(ms);
}

[[noreturn]] void end_program() {
    programmende_endgueltig();
}

void clear_shared_network() {
    MVLIOs(network_name, "");
    MVLIOs(plmn, "");
    MVLIOs(lac, "");
    MVLIOs(cid, "");
    MVLIOs(rnc, "");
}

void show_search(const char* main, const char* mini) {
    ic_mshow(3, mtextba, mt__sig, 0, 0, T("Netzsuche.", "Network search."));
    cc_show2(main, mini);
}

// A waiting point: a pause carried out by programmende leads to the restart point.
bool ggf_programmende() {
    if (!programmende(false)) return false;
    ruhestatus = 4;
    return true;
}

// ---- Start-up ----

void config_hint() {
    if (installsub) {
        cs_show(0);
        int r = me_messagebox(0, T("mavlyn   Installationsende", "mavlyn   Installation end"),
                              T("Die Installation wurde abgeschlossen.  \n\nBitte erg" U8ae
                                "nzen Sie die Eintragungen  \nim gleich startenden \"CONFIG\".  ",
                                "Installation complete.  \n\nPlease enter some additional "
                                "Informations  \ninto \"CONFIG\" which will start now.  "),
                              1, 1, 0);
        if (r == 1 && system("./mavlyn CONFIG &") != 0)
            lo_slog("Could not start %s.\n", "CONFIG", -1);
    } else if (inidat.hinweisk == '3') {
        inidat.hinweisk = '0';
    } else if (inidat.hinweisk == '1' || inidat.hinweisk == '7' || inidat.hinweisk == '8') {
        show(T("*Bitte beachten:", "*Please inspect:"), T("*Bitte_beachten:", "*Please_inspect:"),
             MELDUNGZEIT);
        show(T("*CONFIG oder mavlyn.ini", "*CONFIG or mavlyn.ini"), "*CONFIG,_mavlyn.ini",
             MELDUNGZEIT);
    } else if (!configsub && !smsconfigsub) {
        show(T("*Bitte Datei \"mavlyn.ini\" beachten.", "*Please read INI-file \"mavlyn.ini\"."),
             T("*\"mavlyn.ini\"_beachten.", "*Read_\"mavlyn.ini\"."), MELDUNGZEIT);
    }
}

// The text of a failed PIN step; false when the modem is ready.
bool show_pin_failure(int r) {
    char main[200], mini[100];
    switch (r) {
    case PIN_NOPORT:
        snprintf(main, sizeof main,
                 T("*Port \"%s\" nicht verf" U8ue "gbar.", "*Port \"%s\" not available."),
                 inidat.com1);
        snprintf(mini, sizeof mini, T("*%s_fehlt.", "*Missing_%s"), inidat.com1);
        break;
    case PIN_NEEDED:
        strMcpy(main, T("*PIN in Datei \"mavlyn.ini\" erforderlich.",
                        "*PIN required in file \"mavlyn.ini\"."));
        strMcpy(mini, "*PIN in_\"mavlyn.ini\"?");
        break;
    case PIN_NOANSWER:
        strMcpy(main, T("*Modem reagiert nicht.", "*Modem not responding."));
        strMcpy(mini, T("*Modem_schweigt.", "*Modem_mute."));
        break;
    case PIN_REJECTED:
        strMcpy(main, T("*PIN in Datei \"mavlyn.ini\" ist ung" U8ue "ltig!",
                        "*PIN is not valid in file \"mavlyn.ini\"!"));
        strMcpy(mini, "*PIN in_\"mavlyn.ini\"?!");
        break;
    case PIN_NEEDSPUK:
        strMcpy(main,
                T("*SIM muss mit PUK entsperrt werden!", "*SIM has to be unlocked with PUK!"));
        strMcpy(mini, T("*SIM_gesperrt!", "*SIM_locked!"));
        break;
    case PIN_BADPUK:
        strMcpy(main, T("*PUK ist ung" U8ue "ltig! Vorsicht!", "*PUK is not valid! Caution!"));
        strMcpy(mini, T("*PUK_ung" U8ue "ltig!!", "*PUK_not valid!!"));
        break;
    case PIN_NOSIM:
        strMcpy(main, T("*SIM wurde nicht erkannt.", "*SIM not found."));
        strMcpy(mini, T("*SIM fehlt.", "*Missing_SIM."));
        break;
    default:
        return false;
    }
    if (fefo == fefo_ICON) fefo = fefo_NORMAL;
    show(main, mini, MELDUNGZEIT);
    return true;
}

// A failed preparation ends the program after its text.
void pin_failure(int r) {
    if (show_pin_failure(r)) end_program();
}

// Network selection for the dial-up roles; false when a pause calls for the restart.
bool select_network() {
    if (ggf_programmende()) return false;
    if (linksys) {
        if (!cm_linksyswait()) end_program();
        return true;
    }
    for (;;) {
        if (ggf_programmende()) return false;
        long up, down, vol;
        cn_statistics(&up, &down, &vol);
        char cmd[600];
        bool manual = mt__selectioncommand(inidat.net, cmd, sizeof cmd);
        if (geraet == GERAET_OPTION && manual) {
            bool selected = dialogue("AT+COPS?\r") && mt__alreadyselected(ans, inidat.net);
            if (!selected) {
                mt__wait(2000);
                cm_puts(cmd);
                msleepx(2000); // no commands while the answer is on its way
                ans[0] = 0;
                for (int i = 1; i <= 5; i++) {
                    char t[60] = "";
                    snprintf(t, sizeof t, "%s%.*s",
                             T("+Manuelle Netzwahl", "+Manual network selection"), i, ".....");
                    cc_show2(t, T("+Netzwahl.", "+Network_selection."));
                    if (ggf_programmende()) return false;
                    cm_gets(ans, comzeit);
                    msleep(static_cast<unsigned long>(comzeit));
                    if (strstr(ans, "OK") || strstr(ans, "ERROR")) break;
                }
            }
        } else {
            dialogue(cmd);
        }
        if (strstr(ans, "OK")) return true;
        show_search(T("+Netzsuche l" U8ae "uft.", "+Searching for network."),
                    T("+Netzsuche.", "+Network_search."));
        mt__wait(MELDUNGZEIT);
        clear_shared_network();
    }
}

void set_apn() {
    char cmd[400];
    snprintf(cmd, sizeof cmd, "AT+CGDCONT=1,\"IP\",\"%s\"\r",
             strcmp(inidat.apn, "NONE") == 0 ? "" : inidat.apn);
    if (dialogue(cmd)) return;
    mt__wait(2000);
    if (dialogue(cmd)) return;
    show(T("*Modem reagiert nicht auf APN.", "*Modem does not answer to APN."),
         T("*Kein_APN.", "*No_APN."), 2 * MELDUNGZEIT);
}

void fetch_stored_sms() {
    for (;;) {
        if (sm_msgzustand == 2) {
            sm_msgholen();
            th_msleepexit(2000);
        }
        if (sm_msgzustand == 0) sm_msgholen();
        if (sm_msgzustand != 1 && sm_msgzustand != 2) return;
        th_msleepexit(2000);
    }
}

const unsigned char novatel_probe[6] = {0x30, 0x00, 0x01, 0xEB, 0x51, 0x7E};

void novatel_probe_twice() {
    for (int i = 0; i < 2; i++) {
        cm_putm(reinterpret_cast<const char*>(novatel_probe), sizeof novatel_probe);
        msleep(static_cast<unsigned long>(comzeit));
        cm_gets(ans, comzeit);
        msleep(static_cast<unsigned long>(comzeit));
    }
}

// Steps from the restart point up to the cycle; false when a pause calls for the restart.
bool prepare() {
    sp_ini();
    cn_ini();
    verbindenverboten = true;
    verbindeneinmal = false;

    if (inidat.funktion == FUNKTION_PROFILE) {
        iv_changeprofile();
        end_program();
    }
    if (inidat.funktion == FUNKTION_REMOVE) {
        iv_debianremove();
        end_program();
    }

    int r = iv_iniparse();
    if (r == 1) {
        config_hint();
        end_program();
    }
    if (r == 2 || r == -1) end_program();

    if (inidat.funktion != FUNKTION_CONFIG) {
        inidat.hinweisk = '0';
        cs_show(0);
        if (fefo != fefo_MINI && fefo != fefo_MINI2 && fefo != fefo_ICON)
            fefo = static_cast<fefo_t>(bereich(inidat.headerfefo, 0, 4));
        cc_show();
    }
    if (ruhestatus == 4) ruhestatus = 0;

    lo_slogx("ENDP810.\n", "", -1);
    if (inidat.funktion == FUNKTION_CONTROL) {
        frontend();
        end_program();
    }
    if (inidat.funktion > 39) end_program();

    ii_start(true);
    mt__takescommands = true;
    if (linksys) linksys = cm_linkcom(1, nullptr) != 0;

    // After a pause only a connection that is still up spares the modem its preparation.
    bool wasactive = !linksys && (mt__restarted ? cn_isactive() : cn_wasactiveatstart());
    if (wasactive) {
        lo_slog(T("Bereits verbunden.\n", "Already connected.\n"), "", -1);
        lo_vlog(T("%s Bereits verbunden.\n", "%s Already connected.\n"), "", -1);
        show(T("+Bereits verbunden.", "+Already connected."),
             T("+Bereits_verbunden.", "+Already_connected."), MELDUNGZEIT);
        homezonezaehler = 0;
    } else if (strcmp(inidat.com1, "NONE") != 0 &&
               !(inidat.devi[0] == '\\' && inidat.devi[1] == '*')) {
        lo_slogx("ENDP820.\n", "", -1);
        int pin = de_inipin(0);
        // A port that is there but does not open yet, after a pause: try again.
        if (pin == PIN_NOPORT && mt__restarted) {
            show_pin_failure(pin);
            return false;
        }
        pin_failure(pin);

        lo_slogx("ENDP830.\n", "", -1);
        if (geraet != GERAET_ERICSSON && geraet != GERAET_ZTE) de_iniopmode(inidat.funktion, 2);

        if (inidat.funktion >= 1 && inidat.funktion <= 4 && !select_network()) return false;

        if (geraet == GERAET_SIERRA || geraet == GERAET_QUALCOMM) de_iniopmode(inidat.funktion, 0);
        if (geraet == GERAET_ERICSSON || geraet == GERAET_ZTE) de_iniopmode(inidat.funktion, 2);

        if (!linksys) {
            set_apn();
            if (geraet == GERAET_NOVATEL) dialogue("AT+CGATT=1\r");
            if (geraet == GERAET_SIERRA) dialogue("AT+CGATT=1\r", 2000);
            if (MODUS('M') && (geraet == GERAET_NOVATEL || geraet == GERAET_QUALCOMM))
                fetch_stored_sms();
        }
        if (inidat.smsring) dialogue("AT+CLIP=1\r");
    }

    if (wasactive) {
        if (cm_open(inidat.com1, 0)) {
            de_identify();
            de_cellidqueryini();
        } else {
            cm_secport = true;
            if (!cm_open(inidat.com2, 0)) {
                char main[400], mini[400];
                snprintf(main, sizeof main,
                         T("*COM-Port \"%s\" nicht verf" U8ue "gbar.",
                           "*COM-port \"%s\" not available."),
                         inidat.com2);
                snprintf(mini, sizeof mini, T("*%s_fehlt.", "*Missing_%s"), inidat.com1);
                show(main, mini, MELDUNGZEIT);
                end_program();
            }
            geraet = GERAET_NOVATEL;
        }
    }

    if (cm_open(inidat.com1, 0)) cm_userat(nullptr);

    if (geraet == GERAET_QUALCOMM || strcmp(inidat.com2, "NONE") == 0) {
        lo_slog(T("Port-Doppelnutzung f" U8ue "r Kommandos und Verbindung.\n",
                  "Single port used for commands and connection.\n"),
                "", -1);
        cm_setsingleport(true);
    }

    if (geraet == GERAET_NOVATEL && !linksys) {
        if (!wasactive) cm_change();
        novatel_probe_twice();
        if (!ans[0]) {
            lo_slog(T("Ger" U8ae "t vermutet: Novatel U740/XU870\n",
                      "Assumed device: Novatel U740/XU870\n"),
                    "", -1);
            novatelu740 = true;
            novatel_probe_twice();
        }
    }

    mt__sig = mt__sigalt = -1;
    mt__sigfail = mt__siggelb = 9;
    return true;
}

// An end asked for during the restart ends the program; another cause of a pause is moot.
void end_if_requested() {
    th_msleepexit(0);
    if (!programmende_gewuenscht) return;
    if (ruhestatus == 1) {
        ruhestatus = 4;
        programmende_gewuenscht = false;
        return;
    }
    end_program();
}

// The port of the last session is gone: the stick was pulled (or the bus is not back yet).
bool modem_removed() {
    if (linksys || !inidat.com1[0] || strcmp(inidat.com1, "NONE") == 0) return false;
    struct stat st;
    return stat(inidat.com1, &st) != 0;
}

void show_removed() {
    ic_mshow(3, -1, 0, 0, 0, T("mavlyn\nModem entfernt.", "mavlyn\nModem removed."));
    cc_show2(T("*Modem entfernt.", "*Modem removed."), T("*Modem_entfernt.", "*Modem_removed."));
}

// Waits for the pulled stick to come back. The program goes on meanwhile: counters, commands
// and the end conditions; it ends only when the user or an end condition says so.
void wait_for_modem() {
    if (!modem_removed()) return;
    lo_slog(T("Modem entfernt; warte auf %s.\n", "Modem removed; waiting for %s.\n"), inidat.com1,
            -1);
    ruhestatus = 0;
    verbindenverboten = true;
    onlinezeit = 0;
    clear_shared_network();
    mt__sigreading(-1, geraet);
    MVLIOw(online_time, 0u);
    MVLIOw(upspeed, 0u);
    MVLIOw(downspeed, 0u);
    MVLIOw(opmode, 0);
    while (modem_removed()) {
        show_removed();
        long up, down, vol;
        cn_statistics(&up, &down, &vol);
        mt__wait(1000);
        // Nothing is open that a pause could close; the end sequence leaves ruhestatus 3.
        programmende(false);
        th_msleepexit(0);
        ruhestatus = 0;
    }
    lo_slog(T("Modem wieder da: %s.\n", "Modem back: %s.\n"), inidat.com1, -1);
    ruhestatus = 4;
}

void restart_tail() {
    ruhestatus = 4;
    mt__restarted = true;
    lo_slogx("ENDP800.\n", "", -1);
    unsigned long wait = 6000;
    if (!linksys && geraet == GERAET_NOVATEL) wait = 15000;
    if (!linksys && geraet == GERAET_QUALCOMM) wait = 18000;
    mt__wait(wait);
    end_if_requested();
    mt__sig = mt__sigalt = -1;
    mt__sigfail = 9;
    mtextba = -1;
    cm_postini();
    wait_for_modem();
}

// ---- The cycle ----

void mode_switch_request() {
    int ba = ba_gewuenscht;
    if (ba < 1 || ba > 9) return;
    if (geraet == GERAET_NOVATEL) {
        lo_slog(T("Betriebsartwechsel nicht m" U8oe "glich; keine DLL.\n",
                  "Failed to change mode of operation; no DLL.\n"),
                "", -1);
        show(T("+NovatelDLL fehlt.", "+Missing NovatelDLL"),
             T("+NovatelDLL_fehlt.", "+Missing_NovatelDLL"), 1000);
    } else {
        bool ok = de_iniopmode(ba, 1);
        if (!ok) {
            cn_stop(2);
            msleepx(1000);
            ok = de_iniopmode(ba, 3);
        }
        if (ok) inidat.funktion = ba;
    }
    ba_gewuenscht = 0;
}

// Copies a few characters behind the name's closing quote for the access technology.
void keep_tail(const char* after, char* tail, size_t n) {
    size_t i = 0;
    if (after)
        for (; i + 1 < n && after[i]; i++) tail[i] = after[i];
    tail[i] = 0;
}

// Registration and network name of an Option device; false when a pause calls for the restart.
bool registration_option(mt__cycle_t& c, char* tail, size_t ntail) {
    for (int tries = 0; tries < 8; tries++) {
        dialogue("AT+COPS?\r");
        const char* after = nullptr;
        if (mt__copsname(ans, c.name, sizeof c.name, &after) > 0) {
            keep_tail(after, tail, ntail);
            return true;
        }
        c.name[0] = 0;
        if (tries >= 2) {
            c.searchshown = true;
            show_search(
                T("+Bitte warten. Netzsuche l" U8ae "uft.", "+Network search. Please wait."),
                T("+Netzsuche.", "+Network_search."));
            clear_shared_network();
        }
        mt__wait(3000);
        if (ggf_programmende()) return false;
        if (ba_gewuenscht) break;
    }
    return true;
}

bool registration_other(mt__cycle_t& c, char* tail, size_t ntail) {
    if (geraet == GERAET_NOVATEL) {
        cm__buildpacket(reinterpret_cast<unsigned char*>(cm_secporttext0), "", true, novatelu740);
        for (int i = 0; i < 2; i++) {
            cm_putm(cm_secporttext0, cm__PACKETLEN);
            msleep(static_cast<unsigned long>(comzeit));
            cm_gets(ans, comzeit);
        }
    }
    int tries = 0;
    for (; tries < 8; tries++) {
        dialogue("AT+CGREG?\r");
        if (strstr(ans, "SIM PIN required")) {
            de_inipin(2);
            mt__wait(2500);
            dialogue("AT+CGREG?\r");
        }
        bool ended = ans[0] == 0x7E && ans[1] == 0x03;
        char reg[200] = "";
        const char* t = mt__regtext(ans, "CGREG: ");
        char st = t ? mt__regstatus(t) : 0;
        if (st == '1' || st == '5') {
            strMcpy(reg, t);
        } else if (!ended) {
            dialogue("AT+CREG?\r");
            ended = ans[0] == 0x7E && ans[1] == 0x03;
            t = mt__regtext(ans, "CREG: ");
            strMcpy(reg, t ? t : ans);
            st = mt__regstatus(reg);
        }
        if (ended) {
            show(T("+Verbindungsende.", "+Terminating connection."),
                 T("+Verbindungs~ende.", "+Terminating_connection."), 2000);
            end_program();
        }
        if (st == '1' || st == '5') {
            mt__reglocation(reg, lac, sizeof lac, ucid, sizeof ucid);
            if (geraet == GERAET_OPTION) dialogue("AT+CGREG=0\r", comzeit / 2, comzeit / 2);
            cm_puts("AT+COPS?\r\n");
            msleep(static_cast<unsigned long>(ANTWORTZEIT2 + comzeit));
            cm_gets(ans, comzeit);
            if (strlen(ans) < 6) {
                msleepx(1500); // no commands while the answer is on its way
                cm_gets(ans, comzeit);
            }
            const char* after = nullptr;
            int r = mt__copsname(ans, c.name, sizeof c.name, &after);
            if (r == 1) {
                keep_tail(after, tail, ntail);
                if (tries == 0) c.searchcount = 0;
                return true;
            }
            if (r == 2)
                lo_slog(T("Netzname nicht erkannt: %s\n", "Network name not recognized: %s\n"),
                        c.name, -1);
            c.name[0] = 0;
        }
        c.searchcount++;
        if (!(geraet == GERAET_NOVATEL && c.searchcount <= 20)) {
            c.searchshown = true;
            show_search(
                T("+Bitte warten. Netzsuche l" U8ae "uft.", "+Network search. Please wait."),
                T("+Netzsuche.", "+Network_search."));
            mt__wait(2000);
            clear_shared_network();
        }
        mt__wait(2500);
        if (ggf_programmende()) return false;
        if (ba_gewuenscht) break;
    }
    if (tries >= 8)
        lo_vlog(T("%s Dienst nicht verf" U8ue "gbar.\n", "%s Network service not available.\n"), "",
                -1);
    return true;
}

void refresh_signal_between() {
    mt__sigauslesen(true);
    if (cc_mtext[3][0]) {
        snprintf(cc_mtext[3], cc_mtextLEN, "%c%s", mt__siggelb >= 6 ? '+' : ' ', mt__sigs);
    }
    mt__minireplace(cc_mtext[cc_mtextMINI], cc_mtextLEN, mt__sigsmini);
    cc_show();
}

int operating_mode(const char* tail) {
    if (linksys) return static_cast<int>(cm_linkcom(2, nullptr));
    if (geraet == GERAET_ZTE) {
        dialogue("AT+ZPAS?\r");
        return mt__modezpas(ans);
    }
    if (geraet == GERAET_NOVATEL) {
        dialogue("AT$NWRAT?\r");
        return mt__modenwrat(ans);
    }
    return mt__modecops(tail);
}

void network_code() {
    if (is_unsupported(plmn)) return;
    dialogue("AT+COPS=3,2\r");
    dialogue("AT+COPS?\r");
    mt__plmn(ans, plmn, sizeof plmn);
    dialogue("AT+COPS=3,0\r");
}

void cell_data() {
    if (linksys || geraet < 1 || geraet > 9 || geraet == GERAET_NOVATEL || geraet == GERAET_SIERRA)
        return;
    if (is_unsupported(lac) && is_unsupported(ucid)) return;
    bool zte = geraet == GERAET_ZTE;
    dialogue(zte ? "AT+CREG=2\r" : "AT+CGREG=2\r");
    dialogue(zte ? "AT+CREG?\r" : "AT+CGREG?\r");
    char newlac[20], newcid[20];
    strMcpy(newlac, lac);
    strMcpy(newcid, ucid);
    bool found =
        mt__celldata(ans, zte ? "CREG: " : "CGREG: ", newlac, sizeof newlac, newcid, sizeof newcid);
    if (!found && !zte && !mt__regstatus(mt__regtext(ans, "CGREG: "))) {
        // Without packet registration the modem reports the cell in "+CREG:" only.
        dialogue("AT+CREG=2\r");
        dialogue("AT+CREG?\r");
        found = mt__celldata(ans, "CREG: ", newlac, sizeof newlac, newcid, sizeof newcid);
        dialogue("AT+CREG=0\r");
    }
    if (found) {
        strMcpy(lac, newlac);
        strMcpy(ucid, newcid);
    } else if (!is_unsupported(ucid)) {
        ucid[0] = 0;
    }
    if (geraet == GERAET_OPTION) dialogue("AT+CGREG=0\r");
    if (is_unsupported(ucid)) return;
    mt__splitcell(ucid, cidkurz, sizeof cidkurz, rnc, sizeof rnc);
}

bool limited_service(mt__cycle_t& c) {
    if (stricmp(c.name, "Limited Service") != 0) return false;
    if (--c.servicecount <= 0) {
        c.servicecount = 30;
        lo_vlog(T("%s Dienst nicht verf" U8ue "gbar.\n", "%s Network service not available.\n"), "",
                -1);
        show(T("*Dienst nicht verf" U8ue "gbar.", "*Network service not available."),
             T("*Kein Dienst.", "*No network_service."), MELDUNGZEIT);
    }
    return true;
}

// The pause between passes (longer with the extended log).
void pass_pause() {
    mt__wait(MODUS('X') ? 9800 : 1800);
}

void ruhe_marker(const char* t) {
    if (ruhestatus) lo_slogx(t, "", -1);
}

// The monitoring cycle; returns when the restart tail is due.
void cycle() {
    mt__cycle_t c;
    for (;;) {
        if (c.pass % 3 == 0) lo_slogx("Main thread alive.\n", "", -1);
        mode_switch_request();

        if (linksys) {
            mt__wait(3500);
            if (c.pass % 2 == 0) {
                cm_linksyswait();
                if (programmende(false)) return;
            }
        }
        mt__pollcommands();

        // Registration and network name.
        strMcpy(c.namealt, c.name);
        c.name[0] = 0;
        c.searchshown = false;
        char tail[8] = "";
        if (linksys) {
            char netname[48] = "";
            cm_linkcom(8, netname);
            strMcpy(c.name, netname);
        } else if (geraet == GERAET_OPTION) {
            if (!registration_option(c, tail, sizeof tail)) return;
        } else {
            if (!registration_other(c, tail, sizeof tail)) return;
        }
        if (!c.name[0]) strMcpy(c.name, " No Service");

        if (!c.searchshown && onlinezeit == 0)
            ic_mshow(2, mtextba, mt__sig, 0, 0, T("Nicht verbunden.", "Not connected."));
        mt__pollcommands();
        mt__cleanname(c.name);

        if (c.pass >= 2 && MODUS('F')) refresh_signal_between();

        c.modealt = c.mode;
        c.mode = operating_mode(tail);
        network_code();
        if (programmende(false)) return;
        cell_data();

        ruhe_marker("ENDPmain10.\n");
        mt__sigauslesen(!MODUS('F'));
        mt__pollcommands();
        ruhe_marker("ENDPmain20.\n");

        mt__evaluation1(c);

        if (limited_service(c)) {
            if (programmende(false)) return;
            clear_shared_network();
            pass_pause();
            continue;
        }
        mt__evaluation2(c);

        ruhe_marker("ENDPmain50.\n");
        c.pass++;
        if (c.pass > 21999) c.pass = 10000;
        if (ggf_programmende()) return;
        pass_pause();
    }
}

} // namespace

// ---- Commands and waits ----

void mt__pollcommands() {
    if (!mt__takescommands) return;
    // The files cost a look into the folder each; the shared record costs nothing.
    gint64 now = g_get_monotonic_time();
    bool files = now - mt__lastfilecheck >= 2 * G_USEC_PER_SEC;
    if (files) mt__lastfilecheck = now;
    dateikommandoholen(files);
}

void mt__wait(unsigned long ms) {
    while (ms && !programmende_gewuenscht && !th_queryterminate()) {
        unsigned long slice = min(ms, 1000UL);
        th_msleepx(slice);
        ms -= slice;
        if (!programmende_gewuenscht) mt__pollcommands();
    }
}

// ---- Signal ----

void mt__sigreading(int raw, int device) {
    bool valid = raw >= 0 && raw != 99;
    if (valid && mt__sigfail < 3 && raw < 4 && device == GERAET_NOVATEL) valid = false;
    if (valid) {
        mt__sigfail = 0;
        // 31 is the strongest the scale knows (-51 dBm); larger values are taken as it.
        mt__sigd = 113 - 2 * min(raw, 31);
        mt__sig = min(raw * 100 / 30, 100);
        mt__siggelb = mt__sig >= 12 ? 0 : min(mt__siggelb + 1, 9);
        snprintf(mt__sigs, sizeof mt__sigs, "%02i%% = -%idBm", mt__sig, mt__sigd);
        snprintf(mt__sigsmini, sizeof mt__sigsmini, "%02i%%", mt__sig);
        MVLIOw(signal_raw, static_cast<uint8_t>(raw));
        MVLIOw(signal_percent, static_cast<uint8_t>(mt__sig));
        MVLIOw(signal_dbm, static_cast<int16_t>(-mt__sigd));
        return;
    }
    if (mt__sigfail > 3) {
        mt__sig = -1;
        strMcpy(mt__sigs, "  ");
        strMcpy(mt__sigsmini, "  ");
        MVLIOw(signal_raw, 0);
        MVLIOw(signal_percent, 0);
        MVLIOw(signal_dbm, 0);
    } else {
        mt__sigfail++;
    }
}

void mt__sigauslesen(bool altwert) {
    if (altwert) mt__sigalt = mt__sig;
    int raw = -1;
    if (linksys) {
        long v = cm_linkcom(3, nullptr);
        raw = v > 0 ? static_cast<int>(v) : -1;
    } else {
        dialogue("AT+CSQ\r", ANTWORTZEIT2);
        raw = mt__csqraw(ans);
        if (raw == 99 && geraet == GERAET_ERICSSON) {
            dialogue("AT+CIND?\r");
            raw = mt__cindraw(ans);
        }
    }
    mt__sigreading(raw, geraet);
}

int mt__csqraw(const char* answer) {
    const char* p = strstr(answer, "CSQ: ");
    if (!p) return -1;
    p += 5;
    if (!isdigit(static_cast<unsigned char>(p[0]))) return -1;
    int v = p[0] - '0';
    if (isdigit(static_cast<unsigned char>(p[1]))) v = v * 10 + (p[1] - '0');
    return v;
}

int mt__cindraw(const char* answer) {
    const char* p = strstr(answer, "CIND:");
    if (!p) return -1;
    p = strchr(p, ',');
    if (!p || p[1] < '0' || p[1] > '5') return -1;
    static const int raw[6] = {0, 3, 9, 15, 21, 27};
    return raw[p[1] - '0'];
}

// ---- Network selection ----

bool mt__selectioncommand(const char* net, char* out, size_t n) {
    if (!net[0] || net[0] == ';' || net[0] == '?') {
        strmcpy(out, "AT+COPS=0\r", n);
        return false;
    }
    bool five = true;
    for (int i = 0; i < 5 && five; i++) // stops at the end of a shorter name
        if (!isdigit(static_cast<unsigned char>(net[i]))) five = false;
    bool code = five && (net[5] == 0 || (isdigit(static_cast<unsigned char>(net[5])) && !net[6]));
    snprintf(out, n, code ? "AT+COPS=1,2,\"%s\"\r" : "AT+COPS=1,0,\"%s\"\r", net);
    return true;
}

bool mt__alreadyselected(const char* answer, const char* net) {
    const char* p = strstr(answer, "COPS: 1,0,\"");
    if (!p) return false;
    p += 11;
    size_t len = strlen(net);
    return strncmp(p, net, len) == 0 && p[len] == '"';
}

// ---- Registration ----

const char* mt__regtext(const char* answer, const char* key) {
    const char* p = strstr(answer, key);
    return p ? p + strlen(key) : nullptr;
}

namespace {

// The status of "n,s…", or of "n, s…" as some modems write it; null for other texts.
const char* status_of(const char* t) {
    if (!t || !isdigit(static_cast<unsigned char>(t[0])) || t[1] != ',') return nullptr;
    return t[2] == ' ' ? t + 3 : t + 2;
}

} // namespace

char mt__regstatus(const char* t) {
    const char* s = status_of(t);
    return s && (*s == '1' || *s == '5') ? *s : 0;
}

namespace {

const char* skip(const char* p, char ch) {
    return *p == ch ? p + 1 : p;
}

const char* copyhex(const char* p, char* out, size_t n) {
    size_t i = 0;
    while (isxdigit(static_cast<unsigned char>(*p)) && i < 19) {
        if (i + 1 < n) out[i] = *p;
        i++;
        p++;
    }
    out[min(i, n - 1)] = 0;
    return p;
}

} // namespace

void mt__reglocation(const char* t, char* lacout, size_t nl, char* cidout, size_t nc) {
    const char* p = status_of(t);
    if (!p || !*p) return;
    p++; // behind the status
    p = skip(p, ',');
    p = skip(p, ' ');
    if (!is_unsupported(lacout)) {
        p = skip(p, '"');
        p = copyhex(p, lacout, nl);
        p = skip(p, '"');
    }
    if (!is_unsupported(cidout)) {
        p = skip(p, ',');
        p = skip(p, ' ');
        p = skip(p, '"');
        p = copyhex(p, cidout, nc);
        skip(p, '"');
    }
}

int mt__copsname(const char* answer, char* name, size_t n, const char** after) {
    if (after) *after = nullptr;
    name[0] = 0;
    const char* p = strstr(answer, "+COPS:");
    if (!p) return 0;
    const char* q = strchr(p, '"');
    if (!q) return 0;
    q++;
    const char* e = strchr(q, '"');
    if (!e || e == q) return 0;
    size_t len = static_cast<size_t>(e - q);
    bool printable = true;
    for (const char* s = q; s < e; s++)
        if (static_cast<unsigned char>(*s) < 0x20 || static_cast<unsigned char>(*s) > 0x7E)
            printable = false;
    size_t k = min(len, n - 1);
    memcpy(name, q, k);
    name[k] = 0;
    if (after) *after = e + 1;
    if (len >= n) {
        name[0] = 0; // too long for the cycle: as if none
        return 0;
    }
    return printable ? 1 : 2;
}

bool mt__celldata(const char* answer, const char* key, char* lacout, size_t nl, char* cidout,
                  size_t nc) {
    const char* p = strstr(answer, key);
    if (!p) return false;
    p += strlen(key);
    p = status_of(p);
    if (!p || !isdigit(static_cast<unsigned char>(p[0])) || p[1] != ',') return false;
    p += 2;
    p = skip(p, ' ');
    if (p[0] == '"') {
        // "LLLL","CCCC": the area has exactly four digits; the cell id four, or up to eight
        // for the long cell ids of UMTS cells.
        // The digits first: a cut answer ends among them.
        for (int i = 1; i <= 4; i++)
            if (!isxdigit(static_cast<unsigned char>(p[i]))) return false;
        if (p[5] != '"' || p[6] != ',') return false;
        const char* c = p + 7;
        c = skip(c, ' ');
        if (*c != '"') return false;
        c++;
        size_t len = 0;
        while (isxdigit(static_cast<unsigned char>(c[len])) && len < 9) len++;
        if (c[len] != '"' || len < 4 || len > 8) return false;
        if (!is_unsupported(lacout)) {
            memcpy(lacout, p + 1, min<size_t>(4, nl - 1));
            lacout[min<size_t>(4, nl - 1)] = 0;
        }
        if (!is_unsupported(cidout)) {
            size_t k = min(len, nc - 1);
            memcpy(cidout, c, k);
            cidout[k] = 0;
        }
        return true;
    }
    unsigned int a = 0, b = 0;
    if (!isxdigit(static_cast<unsigned char>(p[0]))) return false;
    if (sscanf(p, "%x,%x", &a, &b) != 2) return false;
    if (!is_unsupported(lacout)) snprintf(lacout, nl, "%04X", a);
    if (!is_unsupported(cidout)) snprintf(cidout, nc, "%04X", b);
    return true;
}

void mt__splitcell(const char* cid, char* kurz, size_t nk, char* r, size_t nr) {
    size_t len = strlen(cid);
    if (len > 4) {
        strmcpy(kurz, cid + len - 4, nk);
        size_t start = len - 4 > 4 ? len - 8 : 0;
        size_t k = min(len - 4 - start, nr - 1);
        memcpy(r, cid + start, k);
        r[k] = 0;
    } else {
        strmcpy(kurz, cid, nk);
        if (nr) r[0] = 0;
    }
}

// ---- Operating mode, network code, name ----

int mt__modezpas(const char* answer) {
    if (strstr(answer, "+ZPAS: \"GPRS")) return 1;
    if (strstr(answer, "+ZPAS: \"UMTS")) return 2;
    if (strstr(answer, "+ZPAS: \"EDGE")) return 5;
    if (strstr(answer, "+ZPAS: \"HS")) return 6;
    return 0;
}

int mt__modenwrat(const char* answer) {
    const char* p = strstr(answer, "NWRAT: ");
    if (!p) return 0;
    p += 7;
    if (strlen(p) <= 4) return 0;
    char ch = p[4];
    if (ch == '0') return 0;
    if (ch == '4' || ch == '5' || ch == '6') return 1;
    return 2;
}

int mt__modecops(const char* afterquote) {
    if (!afterquote || !afterquote[0]) return 1;
    switch (afterquote[1]) {
    case '2':
        return 2;
    case '5':
        return 5;
    case '6':
        return 6;
    case '9':
        return 0;
    default:
        return 1;
    }
}

void mt__plmn(const char* answer, char* out, size_t n) {
    out[0] = 0;
    // Unsolicited lines with quotes of their own may come before the answer.
    const char* cops = strstr(answer, "+COPS:");
    const char* q = strchr(cops ? cops : answer, '"');
    if (!q || !isdigit(static_cast<unsigned char>(q[1]))) return;
    q++;
    for (int i = 0; i < 5; i++)
        if (!isdigit(static_cast<unsigned char>(q[i]))) return;
    size_t len = isdigit(static_cast<unsigned char>(q[5])) ? 6 : 5;
    size_t k = min(len, n - 1);
    memcpy(out, q, k);
    out[k] = 0;
}

void mt__cleanname(char* name) {
    if (strlen(name) >= 79) name[0] = 0;
    if (memicmp(name, "FFFFF", 5) == 0) strcpy(name, "FFFFF");
}

bool mt__minireplace(char* line, size_t n, const char* sigmini) {
    size_t len = strlen(line);
    if (len < 5) return false;
    if (line[0] != ' ' && line[0] != '+') return false;
    if (!isalpha(static_cast<unsigned char>(line[1])) && line[1] != ' ') return false;
    if (!isdigit(static_cast<unsigned char>(line[2])) ||
        !isdigit(static_cast<unsigned char>(line[3])))
        return false;
    size_t oldlen;
    if (line[4] == '%')
        oldlen = 3;
    else if (len > 5 && line[5] == '%' && isdigit(static_cast<unsigned char>(line[4])))
        oldlen = 4;
    else
        return false;
    std::string out(line, 2);
    out += sigmini;
    out += line + 2 + oldlen;
    strmcpy(line, out.c_str(), n);
    return true;
}

// The worker thread: prepares one modem session after another.
gpointer mt_mainthread(gpointer) {
    th_register("mainthread");
    ti_ini();
    ic_ini();
    iz_ini();
    cm_ini();
    ii_ini();
    for (;;) {
        if (prepare()) cycle();
        restart_tail();
    }
}
