#include "ui/timer_tick.h"

#include "connection/dialup.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/config_dialog.h"
#include "ui/control_window.h"
#include "ui/panel_icons.h"

#include <gtk/gtk.h>
#include <string>
#include <sys/stat.h>

threade_t ti__ticke = 2;

namespace {

bool control_role() {
    return inidat.funktion == FUNKTION_CONTROL;
}

// What the tick last handed to one icon. The icons compare too, but each call takes the GUI
// lock: the tick hands them only what changed (and everything again after the icons were
// started or ended anew).
struct Handed {
    int generation = -1;
    int art = 0;
    long value = 0;
    std::string text;

    bool changed(int a, long v, const char* t) {
        int g = ic_generation();
        if (g == generation && a == art && v == value && text == t) return false;
        generation = g;
        art = a;
        value = v;
        text = t;
        return true;
    }
};
Handed warning_handed, countdown_handed, homezone_handed, battery_handed;

void record_byte(uint8_t mvlio_t::*field, int value) {
    if (!mvliow || mvliow->*field == static_cast<uint8_t>(value)) return;
    mvliow->*field = static_cast<uint8_t>(value);
    mvlioneu = true;
}

void warning_icon(int timerzaehler) {
    auto show = [](int art, const char* text) {
        if (warning_handed.changed(art, 0, text)) ic_wshow(art, text);
    };
    if (netzfremd) {
        show(2, T("Fremdnetz!", "Foreign network!"));
        record_byte(&mvlio_t::vicon_status, 3);
    } else if (maxgrenze == 1) {
        if (timerzaehler % 4 == 0) show(1, maxgrenzes);
        record_byte(&mvlio_t::vicon_status, 1);
    } else if (maxgrenze == 2) {
        show(2, maxgrenzes);
        record_byte(&mvlio_t::vicon_status, 2);
    } else {
        show(0, "");
        record_byte(&mvlio_t::vicon_status, 0);
    }
}

void press_sms_button() {
    th_enter();
    if (smsbutton) cf_buttonclicked(smsbutton);
    th_leave();
}

void sms_signal() {
    if (inidat.funktion == FUNKTION_CONFIG) {
        if (ia_smssignal(0)) press_sms_button();
        return;
    }
    if (ic_blinking()) {
        ic_wshow(-1, nullptr);
        ic_hshow(-1, nullptr);
    }
    if (smssignalstatus <= 0) return;
    if (smssignalstatus == 1) ia_smssignal(1);
    if (++smssignalstatus > 4) {
        smssignalstatus = 0;
        ia_smssignal(2);
    }
}

// The SMS page of the configuration dialog follows changes of the phone book file.
void sms_page_refresh() {
    static time_t tima = 0;
    if (inidat.funktion != FUNKTION_CONFIG || configtab != 9) return;
    struct stat st;
    if (stat("sms_name.ini", &st) != 0) return;
    if (tima && st.st_mtime != tima) press_sms_button();
    tima = st.st_mtime;
}

void countdown_icon() {
    static int kind_alt = -1;
    static long minutes_alt = -1;
    ti__countdown_t c = ti__countdown(onlinezeit, offlinezeita, inaktivzeit, inidat.err[ERR_NOC],
                                      inidat.end, inidat.endforce);
    // A period already over arrives as a huge unsigned value and shows 0 minutes.
    if (countdown_handed.changed(c.kind, c.minutes, ""))
        ic_tshow(c.kind, static_cast<unsigned long>(c.minutes), "");
    if (c.kind == kind_alt && c.minutes == minutes_alt) return;
    kind_alt = c.kind;
    minutes_alt = c.minutes;
    if (!mvliow) return;
    mvliow->ticon_status = static_cast<uint8_t>(c.kind);
    mvliow->ticon_value = static_cast<uint32_t>(c.minutes);
    mvlioneu = true;
}

void homezone_and_battery() {
    if (inidat.funktion >= 10 || configsub) return;
    if (!inidat.homu[0] || onlinezeit == 0) {
        if (homezone_handed.changed(0, 0, "")) ic_hshow(0, "");
        record_byte(&mvlio_t::hicon_status, 0);
    } else {
        if (homezone_handed.changed(homezonestatus + 1, 0, "")) ic_hshow(homezonestatus + 1, "");
        record_byte(&mvlio_t::hicon_status, homezonestatus == 0 ? 9 : homezonestatus);
        if (MODUS('H') && homezonestatus == 2 && unterbrechung_gewuenscht != 3) {
            lo_slogx(T("Au"
                       "\xC3\x9F"
                       "erhalb der Homezone.\n",
                       "Outside the homezone.\n"),
                     "", -1);
            inidat.constart = false;
            unterbrechung_gewuenscht = 3;
        }
    }
    if (battery_handed.changed(0, akkufuellstand, "")) ic_bshow(akkufuellstand, "");
}

} // namespace

ti__countdown_t ti__countdown(unsigned long online, unsigned long offline, unsigned long idle,
                              int nocminutes, unsigned long endminutes, bool endforce) {
    auto minutes = [](unsigned long t) { return static_cast<long>((t + 5500) / 6000); };
    if (offline > 9000 && nocminutes > 0) return {3, nocminutes - minutes(offline)};
    long end = static_cast<long>(endminutes);
    if (end > 0 && endforce && online > 0) return {1, end - minutes(online)};
    if (end > 0 && !endforce && idle >= 6000) return {2, end - minutes(idle)};
    return {0, 0};
}

gboolean ti__tick(gpointer) {
    static int tickactive = 0;
    static int timerzaehler = 0;
    static int i = 0;
    if (ti__ticke != 0) {
        ti__ticke = 2;
        timerzaehler = 0;
        return FALSE;
    }
    if (tickactive) return TRUE;
    tickactive++;
    // The main loop calls the tick inside the GUI lock; the icons and the window take it
    // themselves.
    th_leave();
    timerzaehler = (timerzaehler + 1) % 32;
    if (++i >= 56) {
        lo_slogx("Timer thread alive.\n", "", -1);
        i = 0;
    }
    if (!control_role()) warning_icon(timerzaehler);
    sms_signal();
    if (timerzaehler % 2 == 0) {
        cc_tick();
        sms_page_refresh();
        if (!control_role()) {
            cn_timegap(0);
            countdown_icon();
            homezone_and_battery();
        }
    }
    th_enter();
    tickactive--;
    return TRUE;
}

void ti_ini() {
    for (int tries = 0; tries < 2 && ti__ticke == 1; tries++) msleep(550);
    if (ti__ticke != 2) return;
    ti__ticke = 0;
    gdk_threads_add_timeout(1000, ti__tick, nullptr);
}

void ti_end() {
    ti__ticke = 1;
    ti__clockstop();
}
