#include "control/program_end.h"

#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "connection/internet_probes.h"
#include "control/command_files.h"
#include "control/instance_interface.h"
#include "control/session_client.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "ui/control_window.h"
#include "ui/panel_icons.h"
#include "ui/timer_tick.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void marker(const char* m) {
    lo_slogx(m, "", -1);
}

void show_for(const char* normal, const char* mini, unsigned long ms) {
    cc_show2(normal, mini);
    msleepx(ms);
}

bool connection_role() {
    return inidat.funktion >= 1 && inidat.funktion <= 39;
}

bool slot_scheduled(int i) {
    return inidat.cmd[i][0] && inidat.sms[i] == 0;
}

bool any_atend_program() {
    for (int i = 0; i < 3; i++)
        if (slot_scheduled(i) && sp_atend(inidat.cmd[i])) return true;
    return false;
}

// Checks the automatic end conditions; sets the end or interruption request.
void check_end_conditions() {
    pe__condition c =
        pe__endcondition(inidat.funktion == FUNKTION_CONTROL, fl_query(endesignal), cn_isactive(),
                         onlinezeit, offlinezeita, inaktivzeit, inidat.err[ERR_NOC],
                         static_cast<long>(inidat.end), inidat.endforce);
    switch (c) {
    case pe__NONE:
        return;
    case pe__RESTARTED:
        show_for(T(" mavlyn neu gestartet.", " mavlyn restartet."), T(" Ende.", " End."), 1500);
        th_requestend();
        return;
    case pe__NOCONNECTION:
        lo_vlog(T("%s %s%li Minuten ohne funktionsf" U8ae "hige Verbindung.\n",
                  "%s %s%li minutes without functioning connection.\n"),
                "", inidat.err[ERR_NOC]);
        show_for(T("*Keine Verbindung erreicht.", "*No connection accomplished."),
                 T("*Keine_Verbindung.", "*Connection_timeout."), 2500);
        shutdownerlaubt = true;
        th_requestend();
        return;
    case pe__ONLINETIME:
        lo_vlog(T("%s %s%li Minuten maximale Onlinezeit erreicht.\n",
                  "%s %s%li minutes maximum online time expired.\n"),
                "", static_cast<long>(inidat.end));
        show_for(T("*Maximale Onlinezeit erreicht.", "*Maximum online time expired."),
                 T("*Maximale_Onlinezeit.", "*Max online_time."), 2500);
        break;
    case pe__INACTIVETIME:
        lo_vlog(T("%s %s%li Minuten maximale Inaktivzeit erreicht.\n",
                  "%s %s%li minutes maximum inactive time expired.\n"),
                "", static_cast<long>(inidat.end));
        show_for(T("*Maximale Inaktivzeit erreicht.", "*Maximum inactive time expired."),
                 T("*Maximale_Inaktivzeit.", "*Max inactive_time."), 2500);
        break;
    }
    if (inidat.endverb) {
        inidat.constart = false;
        unterbrechung_gewuenscht = 1;
    } else {
        shutdownerlaubt = true;
        th_requestend();
    }
}

void interrupt_connection() {
    int reason = unterbrechung_gewuenscht;
    volzeitrunden();
    onlinezeit_vorher = -1;
    cn_stop(reason);
    // The connection is gone and its times with it: an end condition that fired on them must
    // not fire a second time before the next poll of the statistics.
    onlinezeit = 0;
    inaktivzeit = 0;
    if (reason == 5 && inidat.enduhrzeite) th_requestend();
    unterbrechung_gewuenscht = 0;
    msleepx(2000);
}

void user_programs_at_end() {
    for (int i = 0; i < 3; i++)
        if (slot_scheduled(i) && sp_atstart(inidat.cmd[i])) sp_stop(i);
    bool started = false;
    for (int i = 0; i < 3; i++)
        if (slot_scheduled(i) && sp_atend(inidat.cmd[i])) {
            sp_start(i, inidat.cmd[i]);
            started = true;
        }
    if (started) msleep(3000);
}

void modem_reset() {
    const char* cmd = (MODUS('K') || MODUS('Y')) ? "AT+CFUN=1,1\r"
                      : geraet == 5              ? "AT+CFUN=4\r"
                                                 : nullptr;
    if (!cmd) return;
    msleep(100);
    cm_puts(cmd);
    msleep(100);
}

// A pause keeps the instance flag: the instance still runs, and a program started meanwhile
// must find it.
void clear_flags(bool pausing) {
    if (inidat.funktion == FUNKTION_CONFIG)
        fl_clear(konfigaktivsignal);
    else if (inidat.funktion != FUNKTION_CONTROL && !pausing)
        fl_clear(aktivsignal);
    ia_smssignal(2);
}

// "sudo shutdown" through a shell pipe; its output tells whether it started.
void shutdown_computer() {
    marker("ENDP40.\n");
    msleep(500);
    if (any_atend_program()) msleep(3000);
    bool reboot = inidat.endshutdown == 2;
    std::string cmd = pe__shutdowncommand(reboot, _de);
    bool failed = false;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[201];
        while (fgets(line, sizeof line, p))
            if (strstr(line, "Exit 1")) failed = true;
        pclose(p);
    } else {
        failed = true;
    }
    const char* what = reboot ? "Reboot" : "Shutdown";
    lo_vlog(failed ? T("%s %s nicht m" U8oe "glich.\n", "%s %s initiation failed.\n")
                   : T("%s %s eingeleitet.\n", "%s %s initiated.\n"),
            what, -1);
    if (!failed)
        show_for(reboot ? T("+Reboot gestartet.", "+Initiated reboot.")
                        : T("+Shutdown gestartet.", "+Initiated shutdown."),
                 reboot ? T("+Reboot_gestartet.", "+Initiated_reboot.")
                        : T("+Shutdown_gestartet.", "+Initiated_shutdown."),
                 1500);
    else
        show_for(reboot ? T("*Reboot erfolglos.", "*Reboot error.")
                        : T("+Shutdown erfolglos.", "+Shutdown error."),
                 reboot ? T("*Reboot_erfolglos.", "*Reboot_error.")
                        : T("+Shutdown_erfolglos.", "+Shutdown_error."),
                 1500);
}

const char* end_line() {
    return T(
        "%s  mavlyn beendet.\n\n    --------------------------------------------------\n\n",
        "%s  mavlyn terminated.\n\n    --------------------------------------------------\n\n");
}

const char* pause_line() {
    return T("%s  mavlyn unterbrochen. Standby.\n\n    "
             "--------------------------------------------------\n\n",
             "%s  mavlyn paused. Standby.\n\n    "
             "--------------------------------------------------\n\n");
}

// The end sequence; returns only after a pause.
bool end_sequence() {
    bool pausing = ruhestatus == 1;
    marker("ENDP10.\n");
    if (!pausing) {
        const char* e = T(" Ende.", " End.");
        cc_show2(e, e);
    }
    msleep(100);
    volzeitrunden();
    marker("ENDP20.\n");
    if (inidat.conende && connection_role()) cn_stop(0);
    if (!pausing && inidat.funktion < FUNKTION_CONTROL) user_programs_at_end();
    if (inidat.conende && connection_role()) modem_reset();
    marker("ENDP21.\n");
    iv_iniheaderwrite(false);
    // A pause leaves the user programs alone: the '!' ones run on through it (they are not
    // started again), the ',' ones went with their connection.
    if (!pausing && cn_endprocesses() && inidat.funktion < FUNKTION_CONTROL) msleep(700);
    iv_iniclose();
    clear_flags(pausing);
    marker("ENDP30.\n");
    if (pausing) {
        marker("ENDP32.\n");
        cm_preend();
        marker("ENDP38.\n");
    } else {
        cm_end();
        ii_end();
        iz_end();
        ic_end();
        cc_quit();
        sp_end();
        ti_end();
    }
    if ((inidat.endshutdown == 1 || inidat.endshutdown == 2) && shutdownerlaubt && !pausing &&
        inidat.funktion != FUNKTION_CONTROL)
        shutdown_computer();
    marker("ENDP50.\n");
    if (pausing) {
        lo_slog(pause_line(), datumzeit(), -1);
        marker("ENDP51.\n");
        onlinezeit = 0;
        inaktivzeit = 0;
        ruhestatus = 2;
        programmende_gewuenscht = false;
        msleepx(geraet == 2 ? 4000 : 1000);
        marker("ENDP56.\n");
        inicounterglobal++;
        ruhestatus = 3;
        marker("ENDP57.\n");
        return true;
    }
    lo_slog(end_line(), datumzeit(), -1);
    th_unregister(nullptr);
    th_terminate(20000);
    msleep(10);
    mt_sessioninteractiondone();
    exit(0);
}

} // namespace

pe__condition pe__endcondition(bool controlrole, bool endsignal, bool connected,
                               unsigned long online, unsigned long offline, unsigned long idle,
                               long nocminutes, long endminutes, bool endforce) {
    if (!controlrole && endsignal) return pe__RESTARTED;
    if (!connected && nocminutes > 0 && offline / 6000 >= static_cast<unsigned long>(nocminutes))
        return pe__NOCONNECTION;
    if (endminutes > 0 && endforce && online / 6000 >= static_cast<unsigned long>(endminutes))
        return pe__ONLINETIME;
    if (endminutes > 0 && !endforce && idle / 6000 >= static_cast<unsigned long>(endminutes))
        return pe__INACTIVETIME;
    return pe__NONE;
}

std::string pe__shutdowncommand(bool reboot, bool german) {
    const char* what = reboot ? "Reboot" : "Shutdown";
    const char* why =
        german ? " initiiert von mavlyn. Siehe Datei mavlyn.ini, Parameter END=S oder END=R"
               : " initiated by mavlyn. See file mavlyn.ini, parameter END=S or END=R";
    return std::string("sudo shutdown -") + (reboot ? 'r' : 'P') + " 1 \"" + what + why + "\" &";
}

void programmende_endgueltig() {
    for (;;) {
        // Only a pause that another thread is carrying out right now is waited for.
        if (ruhestatus != 2) ruhestatus = 0;
        programmende(true);
        th_msleep(100);
    }
}

bool programmende(bool erzwingen) {
    if (ruhestatus != 0 && ruhestatus != 1) return false;
    if (erzwingen) th_requestend();
    if (!programmende_gewuenscht) check_end_conditions();
    if (programmende_gewuenscht) return end_sequence();
    if (unterbrechung_gewuenscht != 0) interrupt_connection();
    return false;
}
