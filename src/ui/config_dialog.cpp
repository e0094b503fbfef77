// The configuration dialog: its state, the fields read back into the configuration record,
// the event dispatch and the entry points the signals come back through.
#include "ui/config_dialog.h"

#include "ui/config_dialog_parts.h"

#include "connection/dialup.h"
#include "connection/internet_probes.h"
#include "control/counter_reset.h"
#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/connlog_statistics.h"
#include "ui/control_window.h"
#include "ui/labels.h"
#include "ui/network_analysis.h"
#include "ui/standard_settings.h"

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gdk/gdkkeysyms.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cfd {

// The address of the sibling project's wiki page on standard settings.
const char* const wiki_url = "http://www.wilvar.de/wiki/index.php?title=Standardeinstellungen";

int result = -1;
bool de_before = false;
bool running = false;
bool switching_language = false;  // the combo boxes change while their labels switch
bool settingsdone_wanted = false; // the reload page's "Done" (guarded by the GUI lock)

widgets w{};

gpointer eidp(int eid) {
    return GINT_TO_POINTER(eid);
}

// ---- reading back

void copy_entry(char* dest, size_t n, GtkWidget* e) {
    strmcpy(dest, gtk_entry_get_text(GTK_ENTRY(e)), n);
}

GtkTextIter select_line(GtkTextBuffer* b, const GtkTextIter* at, bool* busy) {
    GtkTextIter from = *at, to = *at;
    gtk_text_iter_set_line_offset(&from, 0);
    if (!gtk_text_iter_ends_line(&to)) gtk_text_iter_forward_to_line_end(&to);
    *busy = true;
    gtk_text_buffer_select_range(b, &from, &to);
    *busy = false;
    return from;
}
#define COPYENTRY(d, e) copy_entry(d, sizeof(d), e)

int active(GtkWidget* c) {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(c));
}

int radio(GtkWidget* const* r, int n) {
    for (int i = 0; i < n; i++)
        if (checked(r[i])) return i;
    return 0;
}

void read_counter(const counterblock& b, bool time) {
    int day = checked(b.check) ? cf__day(active(b.day)) : 0;
    long* limits = time ? inidat.maxt : inidat.max;
    int& d = time ? inidat.dayt : inidat.day;
    int& r = time ? inidat.roundt : inidat.round;
    d = day;
    if (day < 1) {
        d = 0;
        r = 0;
        for (int i = 0; i < 3; i++) limits[i] = 0;
        return;
    }
    r = static_cast<int>(cf__clampround(entry_number(b.round)));
    for (int i = 0; i < 3; i++)
        limits[i] = cf__limit(entry_number(b.limit[i].entry), active(b.limit[i].unit), time);
}

void readback() {
    // Global, with the option letters of every page.
    inidat.endm = bereich(active(w.endm), 0, 2);
    inidat.icon = cf__icon(active(w.icon));
    for (int i = 0; i < w.nmod; i++)
        inidat.mod[static_cast<unsigned char>(w.mod[i].letter)] = checked(w.mod[i].check);
    COPYENTRY(inidat.rem, w.rem);

    // Device.
    inidat.mangeraet = bereich(active(w.dev), 0, 99);
    if (checked(w.commanual))
        COPYENTRY(inidat.comport, w.com);
    else
        inidat.comport[0] = 0;
    COPYENTRY(inidat.devi, w.devi);
    if (checked(w.pinnew)) COPYENTRY(inidat.pin, w.pin);

    // Network.
    std::string net = cf__network(active(w.netsel), gtk_entry_get_text(GTK_ENTRY(w.net)));
    strMcpy(inidat.net, net.c_str());
    COPYENTRY(inidat.apn, w.apn);
    COPYENTRY(inidat.smsc, w.smsc);
    COPYENTRY(inidat.ppq, w.ppq);
    COPYENTRY(inidat.ppc, w.ppc);
    COPYENTRY(inidat.homu, w.homu);
    COPYENTRY(inidat.homi, w.homi);
    COPYENTRY(inidat.homo, w.homo);

    // Connection.
    inidat.constart = checked(w.constart);
    inidat.conende = checked(w.conende);
    inidat.enduhrzeit1 = cf__timeminutes(gtk_entry_get_text(GTK_ENTRY(w.time1)));
    inidat.enduhrzeit2 = cf__timeminutes(gtk_entry_get_text(GTK_ENTRY(w.time2)));
    inidat.enduhrzeite = checked(w.timeend);
    if (checked(w.conmanual))
        COPYENTRY(inidat.conport, w.conport);
    else
        inidat.conport[0] = 0;
    if (checked(w.passmanual)) {
        COPYENTRY(inidat.conname, w.conname);
        COPYENTRY(inidat.conpass, w.conpass);
    } else {
        inidat.conname[0] = 0;
        inidat.conpass[0] = 0;
    }

    // Monitoring.
    inidat.err[ERR_L] = bereich(active(w.errl), 0, 9);
    std::string ping =
        cf__ping(radio(w.ping, 4), gtk_entry_get_text(GTK_ENTRY(w.ip[0])),
                 gtk_entry_get_text(GTK_ENTRY(w.ip[1])), gtk_entry_get_text(GTK_ENTRY(w.ip[2])));
    strMcpy(inidat.ping, ping.c_str());
    inidat.pingp = inidat.ping;
    for (int i = 0; i < 6; i++)
        inidat.err[ERR_FRZ + i] = static_cast<int>(cf__clamperr(entry_number(w.err[i])));
    int b1 = 0, b2 = 0;
    if (checked(w.batt)) {
        b1 = static_cast<int>(bereichl(entry_number(w.batt1), 0, 100));
        b2 = static_cast<int>(bereichl(entry_number(w.batt2), 0, 100));
        cf__battery(&b1, &b2);
    }
    inidat.batt1 = b1;
    inidat.batt2 = b2;

    // Log.
    read_counter(w.vol, false);
    read_counter(w.tim, true);
    if (configkbvreset == 1) configkbvreset = 2;
    if (configtreset == 1) configtreset = 2;

    // Start/End.
    inidat.startdelay = static_cast<unsigned long>(bereichl(entry_number(w.startdelay), 0, 99999));
    inidat.resumedelay =
        static_cast<unsigned long>(bereichl(entry_number(w.resumedelay), 0, 99999));
    inidat.err[ERR_NOC] =
        checked(w.nocheck) ? static_cast<int>(cf__clamperr(entry_number(w.noc))) : 0;
    inidat.endstandby = checked(w.endstandby);
    cf__endfields(radio(w.countdown, 5),
                  static_cast<unsigned long>(bereichl(entry_number(w.endminutes), 0, 9999999)),
                  &inidat.end, &inidat.endforce, &inidat.endverb);
    inidat.endshutdown = radio(w.shutdown, 3);

    // External.
    bool smscommand = false;
    inidat.smsring = false;
    for (int i = 0; i < 3; i++) {
        const commandblock& b = w.cmd[i];
        cf__command c;
        c.trigger = active(b.trigger);
        c.hidden = checked(b.hidden);
        c.command = gtk_entry_get_text(GTK_ENTRY(b.command));
        c.sender = gtk_entry_get_text(GTK_ENTRY(b.sender));
        c.keyword = gtk_entry_get_text(GTK_ENTRY(b.keyword));
        cf__commandrecord r = cf__commandstore(c);
        strMcpy(inidat.cmd[i], r.cmd);
        inidat.sms[i] = r.sms;
        strMcpy(inidat.smsnr[i], r.smsnr);
        strMcpy(inidat.smskey[i], r.smskey);
        if (r.sms == 1) smscommand = true;
        if (r.sms == 2) inidat.smsring = true;
    }
    if (smscommand) inidat.mod[static_cast<unsigned char>('M')] = 1;
    inidat.hinweisk = '0';
}

// Fields of the connection whose change needs a new dial-up configuration.
std::string connection_data() {
    std::string s;
    for (const char* f : {inidat.comport, inidat.conport, inidat.conname, inidat.conpass,
                          inidat.apn, inidat.devi, inidat.net})
        s += std::string(f) + '\n';
    return s;
}

void console_end();

void end_dialog() {
    console_end();
    cf__netsearchend();
    if (!cf__netsearchrunning()) cf__netzsuche = 0; // a request the thread did not take
    if (result == 1) {
        cs_show(5);
        bool constart_before = inidat.constart;
        std::string before = connection_data();
        th_enter();
        readback();
        th_leave();
        ii_postcounterreset(configkbvreset == 2, configtreset == 2);
        if (inidat.constart || before != connection_data()) cn_createdialup(constart_before);
    } else {
        _de = de_before;
        _inidatneu = false;
        if (configkbvreset == 1) configkbvreset = 0;
        if (configtreset == 1) configtreset = 0;
    }
    th_enter();
    smsbutton = nullptr;
    mainwindow = nullptr;
    settingsdone_wanted = false;
    se_end();
    gtk_widget_destroy(w.window);
    w = widgets{};
    ls_reset();
    th_leave();
}

// ---- event handlers

void field_rule(int eid, GtkWidget* e) {
    if (!e || !GTK_IS_ENTRY(e)) return;
    const char* t = gtk_entry_get_text(GTK_ENTRY(e));
    switch (eid) {
    case E('F', 'T'):
        gtk_entry_set_text(GTK_ENTRY(e), cf__timetext(cf__timeminutes(t)).c_str());
        break;
    case E('F', 'I'):
        gtk_entry_set_text(GTK_ENTRY(e), cf__iptext(t).c_str());
        break;
    case E('F', 'E'):
        set_entry_number(e, cf__clamperr(cf__number(t)), false);
        break;
    case E('F', 'R'):
        set_entry_number(e, cf__clampround(cf__number(t)), false);
        break;
    case E('F', 'H'):
        gtk_widget_set_sensitive(w.homecheck, t[0] != 0);
        break;
    default:
        break;
    }
}

// A limit entry or its unit changed: every limit is clamped by its unit.
void limit_rule() {
    for (counterblock* b : {&w.vol, &w.tim})
        for (auto& l : b->limit) {
            if (!l.entry) continue;
            long v = cf__clamplimit(entry_number(l.entry), active(l.unit));
            set_entry_number(l.entry, v, true);
        }
}

void counter_switch(counterblock& b) {
    bool on = checked(b.check);
    if (on) {
        if (active(b.day) < 0) gtk_combo_box_set_active(GTK_COMBO_BOX(b.day), 0);
        if (entry_number(b.round) < 1) gtk_entry_set_text(GTK_ENTRY(b.round), "1");
    }
    cf__DSS(b.day, on);
    cf__DSS(b.round, on);
    cf__DSS(b.reset, on && !(&b == &w.vol ? configkbvreset : configtreset));
    for (auto& l : b.limit) {
        cf__DSS(l.entry, on);
        cf__DSS(l.unit, on);
    }
}

// A running main instance is told of the reset on OK.
void reset_counter(bool time) {
    if (time) {
        configtreset = 1;
        cf__DSS(w.tim.reset, false);
        gtk_label_set_text(GTK_LABEL(w.tim.actual), "0000:00 ");
    } else {
        configkbvreset = 1;
        cf__DSS(w.vol.reset, false);
        gtk_label_set_text(GTK_LABEL(w.vol.actual), "  0 000 000 ");
    }
}

void prepaid_request(int kind);

void trigger_switch(int i) {
    int t = active(w.cmd[i].trigger);
    cf__DSS(w.cmd[i].sender, t >= 5);
    cf__DSS(w.cmd[i].keyword, t == 5);
}

void browse(int i) {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        _de ? "mavlyn   Befehl suchen" : "mavlyn   Browse command", GTK_WINDOW(w.window),
        GTK_FILE_CHOOSER_ACTION_OPEN, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN,
        GTK_RESPONSE_ACCEPT, nullptr);
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* fn = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        if (fn) gtk_entry_set_text(GTK_ENTRY(w.cmd[i].command), fn);
        g_free(fn);
    }
    gtk_widget_destroy(chooser);
}

void handle(int eid, GtkWidget* widget) {
    switch (eid) {
    case E('B', '0'):
        result = 0;
        break;
    case E('B', '1'):
        result = 1;
        break;
    case E('B', '2'):
        _de = !_de;
        switching_language = true;
        ls_switch(_de);
        switching_language = false;
        console_placeholder();
        break;
    case E('T', '1'):
        configtab = static_cast<int>(reinterpret_cast<intptr_t>(widget));
        // The console is for the device page: leaving it frees the port.
        if (konsoleaktiv || tools.console > 0) tools.console = -1;
        if (configtab == 9) sms_fresh();
        break;
    case E('T', '2'):
        if (configtab != 9) break;
        smsbox = static_cast<int>(reinterpret_cast<intptr_t>(widget)) == 1 ? 1 : 0;
        sms_load();
        break;
    case E('A', 'L'): {
        if (switching_language) break; // the same item again, in the other language
        int item = active(w.stdcombo);
        gtk_notebook_set_current_page(GTK_NOTEBOOK(w.stdpages), stdpage_of(item));
        if (item == 1) handle(E('A', 'E'), widget);
        break;
    }
    case E('A', 'E'):
        se__updatestart(w.stddone);
        break;
    case E('A', 'F'):
        // The thread's own press after a failed download leaves the request page open.
        if (!se__pressedbythread() || cf__settingsupdatethread_ok) settingsdone_wanted = true;
        break;
    case E('A', 'V'):
        se_loadcombobox(w.stdcombo);
        gtk_notebook_set_current_page(GTK_NOTEBOOK(w.stdpages), STDPAGE_DONE);
        break;
    case E('A', 'B'):
        take_standard_settings();
        break;
    case E('A', 'W'):
        splash_from_handler(21);
        iz_httpbrowse(wiki_url);
        break;
    case E('N', 'Q'):
        prepaid_request(0);
        break;
    case E('N', 'C'):
        prepaid_request(1);
        break;
    case E('N', 'S'):
        prepaid_request(2);
        break;
    case E('N', '4'):
        cf__DSS(w.net, active(w.netsel) != 2);
        break;
    case E('P', '1'):
        counter_switch(w.vol);
        break;
    case E('P', '2'):
        counter_switch(w.tim);
        break;
    case E('P', '3'):
        reset_counter(false);
        break;
    case E('P', '4'):
        reset_counter(true);
        break;
    case E('P', '5'):
    case E('P', '6'):
        cf__connloggrafik(eid == E('P', '5') ? 1 : 2);
        break;
    case E('U', '1'):
    case E('U', '2'):
    case E('U', '3'):
    case E('U', '4'): {
        bool icmp = checked(w.ping[3]);
        for (auto* e : w.ip) cf__DSS(e, icmp);
        break;
    }
    case E('U', '5'): {
        const int defaults[6] = {15, 50, 10, 10, 10, 10};
        for (int i = 0; i < 6; i++) set_entry_number(w.err[i], defaults[i], false);
        break;
    }
    case E('U', '6'):
        cf__DSS(w.batt1, checked(w.batt));
        cf__DSS(w.batt2, checked(w.batt));
        break;
    case E('E', '0'):
    case E('E', '1'):
        cf__DSS(w.endminutes, !checked(w.countdown[0]));
        break;
    case E('E', '5'):
        cf__DSS(w.noc, checked(w.nocheck));
        break;
    case E('E', 'C'):
        break; // the choice is taken when it is confirmed
    case E('E', 'E'): {
        // Item 0 is "- nothing -": no program.
        std::string program;
        if (active(w.pcstart) > 0) {
            gchar* chosen = gtk_combo_box_get_active_text(GTK_COMBO_BOX(w.pcstart));
            if (chosen) program = chosen;
            g_free(chosen);
        }
        cf__svcschreiben(program.c_str());
        break;
    }
    case E('V', '1'):
        cf__DSS(w.com, checked(w.commanual));
        break;
    case E('V', '2'):
        cf__DSS(w.pin, checked(w.pinnew));
        break;
    case E('V', '3'):
        cf__DSS(w.conport, checked(w.conmanual));
        break;
    case E('V', '5'):
        cf__DSS(w.conname, checked(w.passmanual));
        cf__DSS(w.conpass, checked(w.passmanual));
        break;
    case E('X', '1'):
    case E('X', '2'):
    case E('X', '3'):
        trigger_switch((eid & 0xff) - '1');
        break;
    case E('Y', '1'):
    case E('Y', '2'):
    case E('Y', '3'):
        browse((eid & 0xff) - '1');
        break;
    case E('F', 'L'):
        limit_rule();
        break;
    case E('F', 'T'):
    case E('F', 'I'):
    case E('F', 'E'):
    case E('F', 'R'):
    case E('F', 'H'):
        field_rule(eid, widget);
        break;
    case E('G', '1'):
    case E('G', '3'):
        if (konsoleaktiv || tools.console > 0) tools.console = -1;
        break;
    case E('G', '2'):
        console_request(false);
        break;
    case E('G', '8'):
        console_request(true);
        break;
    case E('G', 'I'):
        console_input();
        break;
    case E('N', '1'):
        analysis_start();
        break;
    case E('N', 'G'):
    case E('N', 'U'):
        break; // the check boxes are read at the start
    case E('N', '2'):
        analysis_clipboard();
        break;
    case E('N', 'L'):
        analysis_choose(static_cast<int>(reinterpret_cast<intptr_t>(widget)));
        break;
    case E('S', '0'):
        sms_fresh();
        break;
    case E('S', '1'):
        sms_load();
        break;
    case E('S', 'L'):
        if (!smsblock) sms_show(widget);
        break;
    case E('S', 'S'):
        sms_choose();
        break;
    case E('S', 'B'):
        sms_send();
        break;
    case E('S', 'M'):
        sms_reception_folder();
        break;
    case E('S', 'P'):
        sms_editbook();
        break;
    default:
        break;
    }
}

} // namespace cfd

using namespace cfd;

int cf_dialog(int eid, GtkWidget* widget) {
    if (eid == 1) {
        if (running) return 0; // one dialog at a time
        running = true;
        // Marked for writing now; Cancel takes the mark back, so only OK rewrites the file.
        _inidatneu = true;
        th_enter();
        build();
        th_leave();
        cc_seticon();
        tools_reset();
        cf__netsearchstart();
        // The network search and the console are served from here.
        while (result == -1) {
            msleep(konsoleaktiv ? 110 : 430);
            if (result == -1) tools_poll();
        }
        end_dialog();
        prepaid_end();
        running = false;
        return result;
    }
    if (!w.window || result != -1) return result;
    handle(eid, widget);
    return result;
}

void cf_buttonclicked(GtkWidget* button) {
    if (button && GTK_IS_BUTTON(button)) gtk_button_clicked(GTK_BUTTON(button));
}

void cf__DTS(GtkWidget* view, const char* text) {
    if (!view) return;
    char utf8[1004];
    strMtoutf8(utf8, text ? text : "");
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), utf8, -1);
}

void cf__DTA(GtkWidget* view, const char* text, bool home) {
    if (!view) return;
    char utf8[1004];
    strMtoutf8(utf8, text ? text : "");
    GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter it;
    gtk_text_buffer_get_end_iter(b, &it);
    gtk_text_buffer_insert(b, &it, utf8, -1);
    if (home) {
        gtk_text_buffer_get_start_iter(b, &it);
        gtk_text_buffer_place_cursor(b, &it);
    } else {
        gtk_text_buffer_get_end_iter(b, &it);
        gtk_text_buffer_place_cursor(b, &it);
        gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(view), gtk_text_buffer_get_insert(b));
    }
}

void cf__DSS(GtkWidget* widget, bool on) {
    if (widget) gtk_widget_set_sensitive(widget, on);
}

void cf__button(GtkWidget* w_, gpointer eid) {
    cf_dialog(GPOINTER_TO_INT(eid), w_);
}

void cf__selected(GtkWidget* w_, gpointer eid) {
    cf_dialog(GPOINTER_TO_INT(eid), w_);
}

gboolean cf__focus(GtkWidget* w_, GdkEvent*, gpointer eid) {
    cf_dialog(GPOINTER_TO_INT(eid), w_);
    return FALSE;
}

void cf__page(GtkNotebook*, gpointer, guint num, gpointer eid) {
    cf_dialog(GPOINTER_TO_INT(eid), reinterpret_cast<GtkWidget*>(static_cast<intptr_t>(num)));
}

gboolean cf__closewindow(GtkWidget* w_, GdkEvent*, gpointer) {
    cf_dialog(cf__eid('B', '0'), w_);
    return TRUE;
}

gboolean cf__key(GtkWidget* w_, GdkEventKey* ev, gpointer) {
    if (!ev) return FALSE;
    if (ev->keyval == GDK_KEY_Escape) {
        cf_dialog(cf__eid('B', '0'), w_);
        return TRUE;
    }
    bool enter = ev->keyval == GDK_KEY_Return || ev->keyval == GDK_KEY_KP_Enter ||
                 ev->keyval == GDK_KEY_Linefeed || ev->keyval == 13 || ev->keyval == 10;
    if (enter && w.window) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(w.window));
        if (focus && focus == w.consoleinput) {
            cf_dialog(cf__eid('G', 'I'), focus);
            return TRUE;
        }
        if (focus && focus == w.smsaddressee) {
            cf_dialog(cf__eid('S', 'B'), focus);
            return TRUE;
        }
    }
    return FALSE;
}

void cf__marksetNL(GtkTextBuffer* b, GtkTextIter* at, GtkTextMark* mark, gpointer view) {
    if (cf__netzsucheblockmark || cf__netzsuche != 0 || mark != gtk_text_buffer_get_insert(b))
        return;
    GtkTextIter from = select_line(b, at, &cf__netzsucheblockmark);
    (void)view;
    cf_dialog(cf__eid('N', 'L'),
              reinterpret_cast<GtkWidget*>(static_cast<intptr_t>(gtk_text_iter_get_line(&from))));
}
