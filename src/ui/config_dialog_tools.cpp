// The configuration dialog's tools: standard settings, the service console and netlock test,
// the network analysis and the prepaid buttons. Their handlers only note what is wanted; the
// dialog's poll loop talks to the modem outside the GUI lock.
#include "ui/config_dialog_parts.h"

#include "control/instance_interface.h"
#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/tone.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/ussd.h"
#include "ui/network_analysis.h"
#include "ui/splash.h"
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

// ---- standard settings

int stdpage_of(int item) {
    return item <= 0 ? STDPAGE_EXPLAIN : item == 1 ? STDPAGE_RELOAD : STDPAGE_CONFIRM;
}

void take_standard_settings() {
    se_setrow(max(active(w.stdcombo) - 2, 0));
    if (!se__rowisprovider()) return; // a further-entry line carries no values
    // A network starting with ";" means "Automatic, show warning if not:".
    se_loadfield(3, w.net);
    std::string entry;
    int item = cf__networkitem(gtk_entry_get_text(GTK_ENTRY(w.net)), &entry);
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.netsel), item);
    gtk_entry_set_text(GTK_ENTRY(w.net), entry.c_str());
    se_loadfield(4, w.apn);
    se_loadfield(5, w.conname);
    se_loadfield(6, w.conpass);
    set_checked(w.passmanual, true);
    GtkWidget* rest[] = {w.smsc, w.ppq, w.ppc, w.homu, w.homi, w.homo};
    for (int i = 0; i < 6; i++) se_loadfield(7 + i, rest[i]);
}

// After the reload page's "Done": take the fresh list, or say that there is none.
void settings_poll() {
    th_enter();
    bool wanted = settingsdone_wanted;
    settingsdone_wanted = false;
    th_leave();
    if (!wanted) return;
    if (!se_settingsupdated() && !(se_settingsupdate() && se_settingsupdated())) {
        me_messageboxa(0, "mavlyn   Configuration",
                       T("Die Standardeinstellungen konnten nicht aktualisiert  \nwerden. Bitte "
                         "versuchen Sie es später erneut.  ",
                         "Could not update the standard settings.  \nPlease try again later.  "),
                       2);
        return;
    }
    th_enter();
    cf_dialog(E('A', 'V'), nullptr);
    th_leave();
    beep(600, 100);
}

// ---- service console, netlock test and network analysis
//
// The handlers (GTK thread, inside the GUI lock) only note what is wanted; the dialog's poll
// loop (worker thread, outside the lock) talks to the modem, so that no port search, SIM
// unlocking or read ever blocks the window.

toolrequests tools;                    // guarded by the GUI lock
prepaidtask* prepaidrunning = nullptr; // the task on its thread (poll loop only)

// Poll-loop state (worker thread only).
cf__netlock_t netlock;
int shownprogress = -1;
bool analysisrunning = false;
// The view text above the progress display (guarded by the GUI lock).
std::string analysisbase;

const char* console_resttext() {
    return _de ? "Hier klicken für Konsolen-Eingaben." : "Click here for console inputs.";
}

// Appends to the console view from the poll loop.
void console_show(const std::string& text) {
    if (text.empty()) return;
    th_enter();
    view_put(w.console, text, true);
    th_leave();
}

// Rewrites the result view: base is text taken from the view (UTF-8 already), text is the
// program's.
void analysis_view(const std::string& base, const std::string& text) {
    std::vector<char> utf8(text.size() * 3 + 1);
    strmtoutf8(utf8.data(), text.c_str(), utf8.size());
    std::string all = base + utf8.data();
    cf__netzsucheblockmark = true;
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.analysisview)), all.c_str(),
                             -1);
    cf__netzsucheblockmark = false;
}

// Whether another instance holds the modem; the user is told once per dialog.
bool instance_busy() {
    if (!ia_instance_isactive()) return false;
    if (!tools.instancetold) {
        tools.instancetold = true;
        ia_instance_message();
    }
    return true;
}

// The port text of the command-port field up to its first ";".
std::string port_field() {
    std::string p = gtk_entry_get_text(GTK_ENTRY(w.com));
    size_t semi = p.find(';');
    return semi == std::string::npos ? p : p.substr(0, semi);
}

void console_end() {
    netlock.step = -1;
    if (konsoleaktiv) {
        cm_close();
        konsoleaktiv = false;
        console_show(T("- Konsole beendet.\r\n", "- Console terminated.\r\n"));
    }
    th_enter();
    tools.pending.clear();
    if (w.consoleinput) set_entry(w.consoleinput, console_resttext());
    th_leave();
}

void netlock_begin() {
    console_show(T("\r\n* Netlockermittlung\r\n\r\n", "\r\n* Test for netlock\r\n\r\n"));
    std::string send;
    cf__netlockstart(&netlock, &send);
    cm_puts(send.c_str());
}

void console_start(bool withnetlock) {
    th_enter();
    bool manual = checked(w.commanual);
    std::string field = port_field();
    th_leave();
    console_show(T("- Konsole gestartet.\r\n", "- Console started.\r\n"));
    char port[sizeof inidat.com1] = "";
    if (manual) {
        strMcpy(port, field.c_str());
    } else {
        console_show(
            T("  Automatische Port-Ermittlung...\r\n", "  Automatic port determination...\r\n"));
        char name[de_MODEMNAMELEN + 1] = "";
        de_getcomport(name);
        strMcpy(port, inidat.com1);
        char t[400];
        if (port[0])
            snprintf(t, sizeof t, T("  Gerät erkannt: %s\r\n", "  Device recognized: %s\r\n"),
                     name[0] ? name : port);
        else
            snprintf(t, sizeof t, "%s",
                     T("* Der Port konnte nicht\r\n  automatisch ermittelt werden.\r\n",
                       "* The Port could not be determinded\r\n  automatically.\r\n"));
        console_show(t);
    }
    if (!port[0]) {
        console_end();
        return;
    }
    cm_close();
    bool opened = withnetlock ? de_portini(port) == 1 : cm_open(port, 3);
    char t[600];
    if (opened)
        snprintf(t, sizeof t,
                 T("* Port %s wurde geöffnet.\r\n  Zur Konsoleneingabe beachten Sie bitte\r\n  "
                   "die Anleitung Ihres Funk-Modems!\r\n",
                   "* Port %s has been opened.\r\n  For console input please consult the\r\n  "
                   "service manual of your wireless modem!\r\n"),
                 port);
    else
        snprintf(
            t, sizeof t,
            T("* Port %s konnte nicht geöffnet werden.\r\n", "* Port %s could not be opened.\r\n"),
            port);
    console_show(t);
    if (!opened) {
        cm_close();
        console_end();
        return;
    }
    konsoleaktiv = true;
    if (withnetlock) netlock_begin();
}

void console_poll() {
    th_enter();
    int request = tools.console;
    tools.console = 0;
    std::string pending;
    if (netlock.step < 0) pending.swap(tools.pending); // held back while the test runs
    th_leave();
    if (request == -1)
        console_end();
    else if (request > 0 && !konsoleaktiv)
        console_start(request == 2);
    else if (request == 2 && netlock.step < 0)
        netlock_begin();
    if (!konsoleaktiv) return;
    if (!pending.empty()) {
        msleep(100);
        cm_puts(pending.c_str());
    }
    char t[antwortLEN];
    cm_gets(t, comzeit);
    if (netlock.step >= 0) {
        std::string show, send;
        cf__netlockpoll(&netlock, t, _de, &show, &send);
        console_show(show);
        if (!send.empty()) cm_puts(send.c_str());
    } else {
        console_show(t);
    }
}

void analysis_poll() {
    th_enter();
    int request = tools.analysis;
    th_leave();
    if (request) {
        if (konsoleaktiv) console_end(); // the search needs the port
        th_enter();
        tools.analysis = 0;
        th_leave();
        cf__netzsuche = request;
    }
    int s = cf__netzsuche;
    if (s != 0) {
        analysisrunning = true;
        if (s == shownprogress) return;
        shownprogress = s;
        th_enter();
        analysis_view(analysisbase, cf__netzfortschritt(s, _de));
        th_leave();
        return;
    }
    if (!analysisrunning) return;
    analysisrunning = false;
    shownprogress = -1;
    std::string text;
    for (int i = 0; i < cf__netzn; i++) {
        std::string line = cf__netzzeile(cf__netz[i], _de);
        text += line + "\r\n";
        for (char& c : line)
            if (c == '\t') c = ' ';
        std::string log = std::string(datumzeit()) + " NA: " + line + "\n";
        lo_slog("%s", log.c_str(), -1);
    }
    if (cf__netzn == 0)
        text = T("          -----   Kein Netz verfügbar.   -----\r\n",
                 "          -----   No Service available.   -----\r\n");
    th_enter();
    analysis_view("", text);
    cf__DSS(w.analysisstart, true);
    th_leave();
}

// The prepaid tasks talk to the modem as the monitoring cycle does, on a thread of their own:
// a credit query takes a quarter of a minute, and the code is asked for in a dialog.
gpointer cf__prepaidthread(gpointer data) {
    th_register("prepaidthread");
    auto* task = static_cast<prepaidtask*>(data);
    if (task->kind == 0) {
        prepaids[0] = 0;
        prepaid_gewuenscht = true;
    } else {
        prepaidaufladen_gewuenscht = task->kind;
    }
    char buffer[antwortLEN] = "";
    prepaid_aufgaben(task->ppq, task->ppc, task->port, buffer);
    task->done = true;
    th_unregister(nullptr);
    return nullptr;
}

void prepaid_buttons(bool on) {
    th_enter();
    for (GtkWidget* b : {w.ppqbutton, w.ppcbutton, w.ussdsend}) cf__DSS(b, on);
    th_leave();
}

void prepaid_finish() {
    delete prepaidrunning;
    prepaidrunning = nullptr;
}

void prepaid_poll() {
    if (prepaidrunning && prepaidrunning->done) {
        prepaid_finish();
        prepaid_buttons(true);
    }
    th_enter();
    prepaidtask* task = nullptr;
    // The search holds the port until it is done; the task waits for it.
    if (!prepaidrunning && cf__netzsuche == 0 && !tools.analysis) std::swap(task, tools.prepaid);
    th_leave();
    if (!task) return;
    if (konsoleaktiv) console_end(); // the task needs the port
    if (th_create(cf__prepaidthread, task)) {
        prepaidrunning = task;
    } else {
        delete task;
        prepaid_buttons(true);
    }
}

// The dialog is gone: a task still talking to the modem is waited for.
void prepaid_end() {
    th_enter();
    delete tools.prepaid;
    tools.prepaid = nullptr;
    th_leave();
    while (prepaidrunning && !prepaidrunning->done) msleep(100);
    prepaid_finish();
}

// Served by the dialog's poll loop.
void tools_poll() {
    console_poll();
    analysis_poll();
    prepaid_poll();
    settings_poll();
}

void tools_reset() {
    tools = toolrequests{};
    netlock = cf__netlock_t{};
    shownprogress = -1;
    analysisrunning = false;
    analysisbase.clear();
}

// ---- their events

bool prepaid_busy() {
    return tools.prepaid || prepaidrunning;
}

void console_request(bool withnetlock) {
    if (cf__netzsuche != 0 || tools.analysis || prepaid_busy()) return; // the port is in use
    if (konsoleaktiv) {
        if (withnetlock) tools.console = 2;
        return;
    }
    if (tools.console > 0 || instance_busy()) return;
    tools.console = withnetlock ? 2 : 1;
    set_entry(w.consoleinput, "");
}

// The hint in the idle console's input field follows the language.
void console_placeholder() {
    std::string t = gtk_entry_get_text(GTK_ENTRY(w.consoleinput));
    if (t == "Hier klicken für Konsolen-Eingaben." || t == "Click here for console inputs.")
        set_entry(w.consoleinput, console_resttext());
}

void console_input() {
    if (!konsoleaktiv) return;
    char send[cf__KONSOLELEN + 2], shown[cf__KONSOLELEN + 1];
    cf__konsolezeile(gtk_entry_get_text(GTK_ENTRY(w.consoleinput)), send, sizeof send, shown,
                     sizeof shown);
    gtk_entry_set_text(GTK_ENTRY(w.consoleinput), "");
    view_put(w.console, std::string(T("Kommando: ", "Command:  ")) + shown + "\r\n", true);
    tools.pending += send;
}

void analysis_start() {
    if (cf__netzsuche != 0 || tools.analysis || prepaid_busy() || !cf__netsearchrunning() ||
        instance_busy())
        return;
    cf__DSS(w.analysisstart, false);
    const char* header =
        T("\r\n\r\n          -----   Netzanalyse gestartet.   -----\r\n",
          "\r\n\r\n          -----   Network analysis has been started.   -----\r\n");
    cf__netzsucheblockmark = true;
    view_put(w.analysisview, header, true);
    cf__netzsucheblockmark = false;
    analysisbase = view_text(w.analysisview);
    std::string port = checked(w.commanual) ? port_field() : "";
    strMcpy(cf__netzport, port.c_str());
    bool gprs = checked(w.analysisgprs), umts = checked(w.analysisumts);
    tools.analysis = gprs && umts ? 3 : !gprs ? 2 : 1;
}

void analysis_clipboard() {
    std::string t = cf__netzclip(cf__netz, cf__netzn, cf__netzsuche != 0 || tools.analysis != 0,
                                 _de, datumzeit());
    std::vector<char> utf8(t.size() * 3 + 1);
    strmtoutf8(utf8.data(), t.c_str(), utf8.size());
    GtkClipboard* cb = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(cb, utf8.data(), -1);
    gtk_clipboard_store(cb);
}

// Another instance holds the modem: the user is told, and the buttons stay.
void prepaid_request(int kind) {
    if (prepaid_busy() || ia_instance_message()) return;
    auto* task = new prepaidtask;
    task->kind = kind;
    copy_entry(task->ppq, sizeof task->ppq, w.ppq);
    copy_entry(task->ppc, sizeof task->ppc, w.ppc);
    if (checked(w.commanual)) strMcpy(task->port, port_field().c_str());
    for (GtkWidget* b : {w.ppqbutton, w.ppcbutton, w.ussdsend}) cf__DSS(b, false);
    tools.prepaid = task;
}

void analysis_choose(int line) {
    if (cf__netzsuche != 0 || tools.analysis || line < 0 || line >= cf__netzn) return;
    const cf__netz_t& e = cf__netz[line];
    char name[sizeof e.name * 3];
    strmtoutf8(name, std::string(e.name, strnlen(e.name, sizeof e.name)).c_str(), sizeof name);
    int item = active(w.netsel);
    std::string field = gtk_entry_get_text(GTK_ENTRY(w.net));
    if (!cf__netzwahl(&item, &field, name)) return;
    if (item != active(w.netsel)) gtk_combo_box_set_active(GTK_COMBO_BOX(w.netsel), item);
    gtk_entry_set_text(GTK_ENTRY(w.net), field.c_str());
    cf__DSS(w.net, true);
    gtk_widget_grab_focus(w.net);
}

} // namespace cfd
