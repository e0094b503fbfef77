// The configuration dialog: building its window and pages.
#include "ui/config_dialog_parts.h"

#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/utilities.h"
#include "ui/control_window.h"
#include "ui/labels.h"
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

// ---- building helpers

void set_entry(GtkWidget* e, const char* text) {
    char utf8[1300];
    strMtoutf8(utf8, text ? text : "");
    gtk_entry_set_text(GTK_ENTRY(e), utf8);
}

void set_entry_number(GtkWidget* e, long v, bool zero_empty) {
    char t[24] = "";
    if (v != 0 || !zero_empty) snprintf(t, sizeof t, "%li", v);
    gtk_entry_set_text(GTK_ENTRY(e), t);
}

long entry_number(GtkWidget* e) {
    return cf__number(gtk_entry_get_text(GTK_ENTRY(e)));
}

bool checked(GtkWidget* c) {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c)) != 0;
}

void set_checked(GtkWidget* c, bool on) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c), on);
}

void on_clicked(GtkWidget* b, int eid) {
    g_signal_connect(b, "clicked", G_CALLBACK(cf__button), eidp(eid));
}

void on_toggled(GtkWidget* b, int eid) {
    g_signal_connect(b, "toggled", G_CALLBACK(cf__button), eidp(eid));
}

void on_changed(GtkWidget* c, int eid) {
    g_signal_connect(c, "changed", G_CALLBACK(cf__selected), eidp(eid));
}

void on_focusout(GtkWidget* e, int eid) {
    g_signal_connect(e, "focus-out-event", G_CALLBACK(cf__focus), eidp(eid));
}

GtkWidget* pack(GtkWidget* box, GtkWidget* child, bool expand) {
    gtk_box_pack_start(GTK_BOX(box), child, expand, expand, 1);
    return child;
}

GtkWidget* hrow(GtkWidget* box) {
    return pack(box, gtk_hbox_new(FALSE, 6));
}

GtkWidget* label(GtkWidget* box, const char* text) {
    return pack(box, ls_new('L', text, nullptr));
}

GtkWidget* frame(GtkWidget* box, const char* title, bool expand = false) {
    GtkWidget* f = pack(box, ls_new('G', title, nullptr), expand);
    GtkWidget* inner = gtk_vbox_new(FALSE, 2);
    gtk_container_set_border_width(GTK_CONTAINER(inner), 4);
    gtk_container_add(GTK_CONTAINER(f), inner);
    return inner;
}

GtkWidget* entry(GtkWidget* box, const char* tooltip, int chars, bool expand) {
    GtkWidget* e = ls_new('E', "", tooltip);
    if (chars > 0) gtk_entry_set_width_chars(GTK_ENTRY(e), chars);
    return pack(box, e, expand);
}

GtkWidget* check(GtkWidget* box, const char* text, const char* tooltip) {
    return pack(box, ls_new('X', text, tooltip));
}

GtkWidget* modletter(GtkWidget* box, const char* text, char letter) {
    char key[8];
    snprintf(key, sizeof key, "MOD=%c", letter);
    GtkWidget* c = check(box, text, key);
    set_checked(c, MODUS(letter) != 0);
    if (w.nmod < static_cast<int>(sizeof w.mod / sizeof w.mod[0])) w.mod[w.nmod++] = {c, letter};
    return c;
}

GtkWidget* button(GtkWidget* box, const char* text, int eid, const char* tooltip) {
    GtkWidget* b = pack(box, ls_new('B', text, tooltip));
    on_clicked(b, eid);
    return b;
}

GtkWidget* combo(GtkWidget* box, const char* items, const char* tooltip, int active) {
    GtkWidget* c = pack(box, ls_new('C', items, tooltip));
    gtk_combo_box_set_active(GTK_COMBO_BOX(c), active);
    return c;
}

GtkWidget* textview(GtkWidget* box, int height) {
    GtkWidget* sw = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(sw), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(sw), GTK_SHADOW_IN);
    gtk_widget_set_size_request(sw, -1, height);
    GtkWidget* v = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(v), FALSE);
    gtk_container_add(GTK_CONTAINER(sw), v);
    pack(box, sw, true);
    return v;
}

GtkWidget* page(const char* title) {
    GtkWidget* box = gtk_vbox_new(FALSE, 2);
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_notebook_append_page(GTK_NOTEBOOK(w.notebook), box, ls_new('L', title, nullptr));
    return box;
}

// ---- the pages

void page_info() {
    GtkWidget* p = page("Info");
    char version[160];
    strMtoutf8(version, configinfo);
    label(p, version);
    label(p, "\nmavlyn ist ein Einwahlprogramm für UMTS- und GPRS-Modems, Datenkarten und "
             "WWAN-Router.\nEs überwacht Netz, Signal und Verbindung, zählt Datenvolumen und "
             "Onlinezeit\nund empfängt und sendet SMS.\n\nAlle Einstellungen stehen in der Datei "
             "\"mavlyn.ini\" im Arbeitsverzeichnis;\nam Ende dieser Datei steht die "
             "Beschreibung aller Einträge (Handbuch).\n\nDie Benutzung erfolgt auf eigene Gefahr. "
             "Für Schäden und Kosten,\ninsbesondere durch Verbindungsentgelte, wird keine "
             "Haftung übernommen.\n~\nmavlyn is a dial-up program for UMTS and GPRS modems, data "
             "cards and WWAN routers.\nIt watches network, signal and connection, counts data "
             "volume and online time\nand receives and sends SMS.\n\nAll settings are kept in "
             "the file \"mavlyn.ini\" in the working directory;\nthe end of that file describes "
             "every entry (manual).\n\nUse at your own risk. No liability is accepted for damage "
             "or costs,\nin particular for connection charges.\n");
    GtkWidget* r = hrow(p);
    label(r, "Kommentar~Comment");
    w.rem = entry(r, "REM=", 50, true);
    set_entry(w.rem, inidat.rem);
}

void page_global() {
    GtkWidget* p = page("Global");
    GtkWidget* f = frame(p, "Standardeinstellung~Standard settings");
    GtkWidget* r = hrow(f);
    w.stdcombo = combo(r,
                       "Zum Laden der Standardeinstellung bitte hier auswählen.|-- Liste der "
                       "Internetanbieter neu aus dem Internet laden --~To load standard settings "
                       "please choose here.|-- reload list of Internet providers down from the "
                       "Internet --",
                       "mavlynS.ini", 0);
    // Long provider names are cut, so that the dialog keeps to a netbook's screen.
    gtk_widget_set_size_request(w.stdcombo, 440, -1);
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(w.stdcombo));
    for (GList* c = cells; c; c = c->next)
        if (GTK_IS_CELL_RENDERER_TEXT(c->data))
            g_object_set(c->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    g_list_free(cells);
    on_changed(w.stdcombo, E('A', 'L'));
    button(r, "Wilvar-Wiki im Internet-Browser öffnen~Open Wilvar Wiki in your Internet browser",
           E('A', 'W'));
    w.stdpages = pack(f, gtk_notebook_new());
    gtk_notebook_set_show_tabs(GTK_NOTEBOOK(w.stdpages), FALSE);
    gtk_notebook_set_show_border(GTK_NOTEBOOK(w.stdpages), FALSE);
    gtk_notebook_append_page(
        GTK_NOTEBOOK(w.stdpages),
        ls_new('L',
               "Die Standardeinstellungen übernehmen Netz, APN, Zugangsdaten und USSD-Codes "
               "eines Anbieters.~Standard settings take network, APN, login and USSD codes of "
               "a provider.",
               nullptr),
        nullptr);
    GtkWidget* rbox = gtk_hbox_new(FALSE, 6);
    pack(rbox, ls_new('L',
                      "Die Liste wird jetzt aus dem Internet geladen. Bitte starten Sie dazu eine "
                      "Internetverbindung.\nOhne Verbindung laden Sie die Datei \"mavlynS.ini\" "
                      "mit einem anderen Rechner von der\nHomepage herunter und verschieben sie in "
                      "den Programmordner. Klicken Sie dann auf \"Fertig\".~The list is being "
                      "loaded from the Internet now. Please start an Internet connection for "
                      "this.\nWithout a connection, download the file \"mavlynS.ini\" from the "
                      "home page with another computer\nand move it into the program folder. Then "
                      "click \"Done\".",
                      nullptr));
    w.stddone = button(rbox, "Fertig~Done", E('A', 'F'));
    gtk_notebook_append_page(GTK_NOTEBOOK(w.stdpages), rbox, nullptr);
    GtkWidget* cbox = gtk_hbox_new(FALSE, 6);
    w.stdconfirm = button(cbox, "Bestätigen~Confirm", E('A', 'B'));
    gtk_notebook_append_page(GTK_NOTEBOOK(w.stdpages), cbox, nullptr);
    gtk_notebook_append_page(GTK_NOTEBOOK(w.stdpages),
                             ls_new('L',
                                    "Die Liste der Internetanbieter wurde neu geladen.~The list "
                                    "of Internet providers has been reloaded.",
                                    nullptr),
                             nullptr);

    r = hrow(p);
    label(r, "Normales Programmfenster~Regular program window");
    w.endm = combo(r,
                   "Beenden nach Rückfrage|Beenden ohne Rückfrage|Minimieren statt "
                   "beenden~Query when terminating program|Terminate program without "
                   "query|Minimize instead of termination",
                   "ENDM=", bereich(inidat.endm, 0, 2));
    modletter(p, "Programmfenster immer im Vordergrund~Program window always on top", 'T');
    r = hrow(p);
    label(r, "Panel-Icon~Panel icon");
    w.icon =
        combo(r, "standard icon| | | |monochrome digit icon| ", "ICON=", cf__iconitem(inidat.icon));
    modletter(p, "Einfarbige Icons in Schwarz~Monochrome icons in black", 'B');
    f = frame(p, "Minifenster~Mini window");
    modletter(f, "Onlinezeit~Online time", 'D');
    modletter(f, "Cell-ID~Cell ID", 'C');
    modletter(f, "Grüner Hintergrund bei GPRS~Green background if GPRS", 'O');
    f = frame(p, "Tonsignal~Beep");
    modletter(f, "bei Netzwechsel~at network change", 'R');
    modletter(f, "bei Zellenwechsel~at cell hand over", 'S');
}

void page_device() {
    GtkWidget* p = page("Gerät~Device");
    GtkWidget* r = hrow(p);
    label(r, "Gerätetyp~Device type");
    w.dev = combo(r,
                  "automatisch|1  Option|2  Novatel|3  Huawei|4  Sierra|5  Ericsson|6  "
                  "Qualcomm|7  SAMSUNG (Singleport)|8  ZTE|9  -|10 -|11 Sony-Handy|12 LG-Handy "
                  "(Singleport)~automatic|1  Option|2  Novatel|3  Huawei|4  Sierra|5  "
                  "Ericsson|6  Qualcomm|7  SAMSUNG (Singleport)|8  ZTE|9  -|10 -|11 Sony "
                  "phone|12 LG phone (singleport)",
                  "DEV=", bereich(inidat.mangeraet, 0, 12));
    r = hrow(p);
    label(r, "Kommando-Port~Command port");
    w.commanual = check(r, "manuell~manually", "COM=");
    on_toggled(w.commanual, E('V', '1'));
    w.com = entry(r, "COM=", 30, true);
    set_entry(w.com, inidat.comport);
    set_checked(w.commanual, inidat.comport[0] != 0);
    // A change of the command port ends the console.
    on_toggled(w.commanual, E('G', '1'));
    on_changed(w.com, E('G', '3'));
    r = hrow(p);
    label(r, "Kommandos~Commands");
    w.devi = entry(r, "DEVI=", 40, true);
    set_entry(w.devi, inidat.devi);
    r = hrow(p);
    w.netlock = button(r, "Gerät auf Netlocks prüfen~Test the device for netlocks", E('G', '8'));
    r = hrow(p);
    label(r, "PIN für das eingelegte SIM~PIN for inserted SIM");
    w.pinnew = check(r, "neu eingeben~enter PIN", "PIN=");
    on_toggled(w.pinnew, E('V', '2'));
    w.pin = entry(r, "PIN=", 10);
    gtk_entry_set_visibility(GTK_ENTRY(w.pin), FALSE);
    GtkWidget* f = frame(p, "Servicekonsole~Service terminal");
    w.console = textview(f, 120);
    w.consoleinput = entry(f, "AT", 40);
    set_entry(w.consoleinput,
              _de ? "Hier klicken für Konsolen-Eingaben." : "Click here for console inputs.");
    // Focusing the console starts it.
    g_signal_connect(w.console, "focus-in-event", G_CALLBACK(cf__focus), eidp(E('G', '2')));
    g_signal_connect(w.consoleinput, "focus-in-event", G_CALLBACK(cf__focus), eidp(E('G', '2')));
}

void page_network() {
    GtkWidget* p = page("Netz~Network");
    GtkWidget* f = frame(p, "Netzanalyse~Network analysis");
    GtkWidget* r = hrow(f);
    w.analysisstart = button(r, "Start", E('N', '1'), "NET=?");
    w.analysisgprs = check(r, "GPRS", nullptr);
    set_checked(w.analysisgprs, true);
    w.analysisumts = check(r, "UMTS", nullptr);
    set_checked(w.analysisumts, true);
    w.analysisclip = button(r, "In die Zwischen-\nablage kopieren~Copy to\nClipboard", E('N', '2'));
    w.analysisview = textview(f, 60);
    g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.analysisview)), "mark-set",
                     G_CALLBACK(cf__marksetNL), w.analysisview);

    r = hrow(p);
    label(r, "Netzwahl~Network selection");
    std::string netentry;
    int item = cf__networkitem(inidat.net, &netentry);
    w.netsel = combo(r,
                     "Nur folgendes Netz:|Automatisch, Warnung wenn nicht:|Automatisch, alle "
                     "Netze~Only this network:|Automatic, show warning if not:|Automatic, all "
                     "networks",
                     "NET=", item);
    on_changed(w.netsel, E('N', '4'));
    w.net = entry(r, "NET=", 30, true);
    set_entry(w.net, netentry.c_str());
    gtk_widget_set_sensitive(w.net, item != 2);

    r = hrow(p);
    label(r, "APN Access Point Name");
    w.apn = entry(r, "APN=   kein APN: NONE~APN=   no APN: NONE", 30, true);
    set_entry(w.apn, inidat.apn);
    r = hrow(p);
    label(r, "Freien USSD-Code~Specific USSD code");
    w.ussdsend = button(r, "Jetzt senden...~Send now...", E('N', 'S'));
    label(r, "     SMSC");
    w.smsc = entry(r, "Kurzmitteilungs-\nzentrale~Short message\nservice center", 20);
    set_entry(w.smsc, inidat.smsc);

    f = frame(p, "Prepaid-Guthaben~Prepaid credit");
    r = hrow(f);
    label(r, "abfragen mit (USSD-Code)~query (USSD code)");
    w.ppq = entry(r, "PPQ=", 20, true);
    set_entry(w.ppq, inidat.ppq);
    w.ppqbutton = button(r, "Jetzt abfragen~Query now", E('N', 'Q'));
    r = hrow(f);
    label(r, "aufladen mit (Vorlage)~load new credit (template)");
    w.ppc = entry(r, "PPC=", 20, true);
    set_entry(w.ppc, inidat.ppc);
    w.ppcbutton = button(r, "Jetzt aufladen~Charge now", E('N', 'C'));

    f = frame(p, "Homezone-Anzeige~Homezone indicator");
    w.homecheck =
        modletter(f, "Trennen wenn außerhalb der Homezone~Disconnect if outside the homezone", 'H');
    r = hrow(f);
    label(r, "URL/USSD für Statusabfrage~URL/USSD for status request");
    w.homu = entry(r, "HOMU=", 30, true);
    set_entry(w.homu, inidat.homu);
    on_focusout(w.homu, E('F', 'H'));
    r = hrow(f);
    label(r, "Suchtext für \"innerhalb\"~Text pattern for \"in homezone\"");
    w.homi = entry(r, "HOMI=", 14, true);
    set_entry(w.homi, inidat.homi);
    label(r, "Suchtext für \"außerhalb\"~Text pattern for \"not in homezone\"");
    w.homo = entry(r, "HOMO=", 14, true);
    set_entry(w.homo, inidat.homo);
    gtk_widget_set_sensitive(w.homecheck, inidat.homu[0] != 0);
}

void page_connection() {
    GtkWidget* p = page("Verbindung~Connection");
    GtkWidget* f = frame(p, "Verbindung automatisch~Automatically");
    w.constart = check(f, "bei Programmstart aufbauen ~connect at program start ", "CONA=S");
    set_checked(w.constart, inidat.constart);
    w.conende = check(f, "bei Programmende beenden ~disconnect at program end ", "CONA=E");
    set_checked(w.conende, inidat.conende);

    f = frame(p, "Verbindung vermeiden in der Zeit~Avoid connection every day");
    GtkWidget* r = hrow(f);
    label(r, " von~ from");
    w.time1 = entry(r, "ENDC=", 6);
    set_entry(w.time1, cf__timetext(inidat.enduhrzeit1).c_str());
    on_focusout(w.time1, E('F', 'T'));
    label(r, "bis~to");
    w.time2 = entry(r, "ENDC=", 6);
    set_entry(w.time2, cf__timetext(inidat.enduhrzeit2).c_str());
    on_focusout(w.time2, E('F', 'T'));
    w.timeend = check(f, "und danach Programm beenden ~and end the program afterwards ", "ENDC=E");
    set_checked(w.timeend, inidat.enduhrzeite);

    f = frame(p, "Verbindungs-Port~Connection port");
    r = hrow(f);
    w.conmanual = check(r, "manuell vorgeben~set manually", "CON=");
    w.conport = entry(r, "CON=", 30, true);
    set_entry(w.conport, inidat.conport);
    set_checked(w.conmanual, inidat.conport[0] != 0);
    on_toggled(w.conmanual, E('V', '3'));

    f = frame(p, "Identifikation~Identification");
    w.passmanual = check(f, "manuell vorgeben~set manually", "PASS=");
    r = hrow(f);
    label(r, "Name");
    w.conname = entry(r, "PASS=", 20);
    set_entry(w.conname, inidat.conname);
    label(r, "Passwort~Password");
    w.conpass = entry(r, "PASS=", 20);
    gtk_entry_set_visibility(GTK_ENTRY(w.conpass), FALSE);
    set_entry(w.conpass, inidat.conpass);
    set_checked(w.passmanual, inidat.conname[0] || inidat.conpass[0]);
    on_toggled(w.passmanual, E('V', '5'));

    modletter(p, "Grafikkomprimierung aus, wenn möglich~Graphics compression off, if possible",
              'G');
    f = frame(p, "Externe Initialisierungsbefehle mit APN~External init. commands with APN");
    modletter(f, "bei jedem Programmstart löschen~Delete them at every program start", 'Z');
}

void page_monitoring() {
    GtkWidget* p = page("Überwachung~Monitoring");
    GtkWidget* f = frame(p, "Signalstärke~Signal strength");
    modletter(f, "häufiger abfragen~Query more frequently", 'F');
    GtkWidget* r = hrow(p);
    label(r, "Verbindungsfehler-Anzeige~Display connection errors");
    w.errl = combo(r,
                   "0  sofort|1|2  frühzeitig|3|4  Standard|5|6|7  spät|8|9  bei Abbruch~0  "
                   "immediately|1|2  early|3|4  Standard|5|6|7  late|8|9  at termination",
                   "ERR=L", bereich(inidat.err[ERR_L], 0, 9));

    f = frame(p, "Verbindungsüberwachung~Connection monitoring");
    std::string ips[3];
    int mode = cf__pingmode(inidat.ping, ips);
    w.ping[0] = pack(f, ls_new('R', "nur passiv~passive only", "PING="));
    w.ping[1] = pack(f, ls_new('r', "per DNS-Ping, soft~by DNS ping, soft",
                               "PING=999.111.000.000;999.003.000.000"));
    w.ping[2] = pack(
        f, ls_new('r', "per DNS-Ping, intensiv~by DNS ping, frequently", "PING=999.111.000.000"));
    r = hrow(f);
    w.ping[3] = pack(r, ls_new('r', "per ICMP-Ping:~by ICMP ping:", "PING="));
    const char* iplabels[3] = {"1. IP", "2. IP", "3. IP"};
    for (int i = 0; i < 3; i++) {
        label(r, iplabels[i]);
        w.ip[i] = entry(r, "PING=", 15);
        set_entry(w.ip[i], ips[i].c_str());
        on_focusout(w.ip[i], E('F', 'I'));
    }
    set_checked(w.ping[mode], true);
    for (int i = 0; i < 4; i++) on_toggled(w.ping[i], E('U', static_cast<char>('1' + i)));
    for (auto* e : w.ip) gtk_widget_set_sensitive(e, mode == 3);

    GtkWidget* columns = pack(p, gtk_hbox_new(FALSE, 6));
    f = frame(columns, "Fehlertoleranz für~Connection error tolerance for", true);
    const char* names[6] = {"FRZ  Einfrieren~FRZ  Freeze",
                            "CRC  Prüfsumme~CRC  Redundancy check",
                            "TME  Zeitüberschreitung~TME  Time out",
                            "ALG  Gruppierung~ALG  Alignment",
                            "FRM  Rahmen~FRM  Frame",
                            "BUF  Pufferüberlauf~BUF  Buffer overflow"};
    GtkWidget* table = pack(f, gtk_table_new(3, 4, FALSE));
    for (int i = 0; i < 6; i++) {
        char key[12];
        snprintf(key, sizeof key, "ERR=%s", errname[ERR_FRZ + i]);
        GtkWidget* l = ls_new('L', names[i], nullptr);
        w.err[i] = ls_new('E', "", key);
        gtk_entry_set_width_chars(GTK_ENTRY(w.err[i]), 6);
        set_entry_number(w.err[i], inidat.err[ERR_FRZ + i], false);
        on_focusout(w.err[i], E('F', 'E'));
        int row = i % 3, col = (i / 3) * 2;
        gtk_table_attach(GTK_TABLE(table), l, col, col + 1, row, row + 1, GTK_FILL, GTK_FILL, 4, 1);
        gtk_table_attach(GTK_TABLE(table), w.err[i], col + 1, col + 2, row, row + 1, GTK_FILL,
                         GTK_FILL, 4, 1);
    }
    r = hrow(f);
    button(r, "Standardwerte eintragen~Load defaults", E('U', '5'));

    f = frame(columns, "Akku-Ladezustand~Battery energy", true);
    r = hrow(f);
    w.batt = check(r, "Anzeigen wenn unter~Display if less than", "BATT=");
    w.batt1 = entry(r, "BATT=", 4);
    set_entry_number(w.batt1, inidat.batt1, false);
    label(r, "%");
    r = hrow(f);
    label(r, "Warnen wenn unter~Warn if less than");
    w.batt2 = entry(r, "BATT=", 4);
    set_entry_number(w.batt2, inidat.batt2, false);
    label(r, "%");
    set_checked(w.batt, inidat.batt1 > 0 || inidat.batt2 > 0);
    on_toggled(w.batt, E('U', '6'));
}

void counter_block(GtkWidget* p, counterblock& b, bool time) {
    GtkWidget* r = hrow(p);
    b.check = check(r, time ? "Onlinezeit~Online time" : "Datenvolumen~Data volume",
                    time ? "DAY=" : "DAY=");
    label(r, "Aktueller Stand~Actual value");
    // The counter value is not a label text of the table: a language switch leaves it alone.
    b.actual = pack(r, gtk_label_new(""));
    gtk_label_set_text(GTK_LABEL(b.actual), time ? cf__timecounter(inidat.headert).c_str()
                                                 : cf__volumecounter(inidat.headerv).c_str());
    b.reset = button(r, "Jetzt rücksetzen~Reset now", time ? E('P', '4') : E('P', '3'));
    r = hrow(p);
    label(r, "Jeden Monat zurücksetzen~Reset monthly");
    std::string days;
    for (int d = 1; d <= 31; d++) days += std::to_string(d) + "|";
    std::string list = days + "täglich|niemals~" + days + "every day|never";
    int day = time ? inidat.dayt : inidat.day;
    b.day = combo(r, list.c_str(), "DAY=", cf__dayitem(day));
    label(r, "Aufrunden je Verbindung auf~Each connection round to next");
    b.round = entry(r, "RND=", 7);
    set_entry_number(b.round, time ? inidat.roundt : inidat.round, false);
    on_focusout(b.round, E('F', 'R'));
    label(r, time ? "min" : "kB");
    const char* limits[3] = {"Vorwarnung bei~Pre-warning at", "Warnung bei~Warning at",
                             "Verbindungstrennung bei~Terminate connection at"};
    r = hrow(p); // the three limits in one row keep the page low
    for (int i = 0; i < 3; i++) {
        label(r, limits[i]);
        b.limit[i].entry = entry(r, time ? "MAXT=" : "MAXV=", 6);
        long number;
        int unit;
        cf__limitsplit(time ? inidat.maxt[i] : inidat.max[i], time, &number, &unit);
        set_entry_number(b.limit[i].entry, number, true);
        on_focusout(b.limit[i].entry, E('F', 'L'));
        b.limit[i].unit = combo(r, time ? "Minuten|Stunden|Tage~minutes|hours|days" : "kB|MB|GB",
                                time ? "MAXT=" : "MAXV=", unit);
        on_changed(b.limit[i].unit, E('F', 'L'));
    }
    set_checked(b.check, day > 0);
    on_toggled(b.check, time ? E('P', '2') : E('P', '1'));
}

void page_log() {
    GtkWidget* p = page("Protokoll~Log");
    GtkWidget* f =
        frame(p, "Verbindungsprotokoll  \"connlog.txt\" ~Connection log  \"connlog.txt\" ");
    counter_block(f, w.vol, false);
    pack(f, gtk_hseparator_new());
    counter_block(f, w.tim, true);
    f = frame(p, "Statistik erstellen~Generate statistics");
    GtkWidget* r = hrow(f);
    button(r, "\"connlog_vol.txt\"", E('P', '5'));
    button(r, "\"connlog_tim.txt\"", E('P', '6'));
    modletter(p, "Cell-ID ins Verbindungsprotokoll schreiben~Write cell id to connection log", 'I');
    modletter(p,
              "Signalstärke ins Verbindungsprotokoll schreiben~Write signal strength to "
              "connection log",
              'J');
    modletter(p,
              "Serviceprotokoll  \"servilog.txt\"  aktivieren~Activate service log  "
              "\"servilog.txt\"",
              'P');
}

// The program copies that a PC start could run: the dial-up roles beside this program.
std::string bootstart_items() {
    std::string dir = _argc > 0 && _argv[0] ? _argv[0] : "";
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "" : dir.substr(0, slash + 1);
    std::string copies;
    for (const char* name : {"GPRS", "UMTS", "UMTSGPRS", "GPRSUMTS", "CONN"})
        if (access((dir + name).c_str(), X_OK) == 0) copies += std::string("|") + name;
    return "- nichts -" + copies + "~- nothing -" + copies;
}

void page_startend() {
    GtkWidget* p = page("Start/Ende~Start/End");
    GtkWidget* f = frame(p, "Bei jedem Hochfahren des PC starten:~At every PC start, start also:");
    GtkWidget* r = hrow(f);
    w.pcstart = combo(r, bootstart_items().c_str(), nullptr, 0);
    on_changed(w.pcstart, E('E', 'C'));
    w.pcconfirm = button(r, "Festlegen~Confirm", E('E', 'E'));

    f = frame(p, "Verzögern~Delay");
    r = hrow(f);
    label(r, "nach Programmstart~after program start");
    w.startdelay = entry(r, "SDLY=", 5);
    set_entry_number(w.startdelay, static_cast<long>(inidat.startdelay), false);
    label(r, "nach Standby~after standby");
    w.resumedelay = entry(r, "SDLY=", 5);
    set_entry_number(w.resumedelay, static_cast<long>(inidat.resumedelay), false);
    label(r, "Sekunden~seconds");

    f = frame(p, "Programmende bei fehlender Verbindung~Terminate program if not connected");
    r = hrow(f);
    w.nocheck = check(r, "aktivieren~activate", "ERR=NOC");
    label(r, "Maximale Zeit ohne Verbindung:~Maximum duration with no connection:");
    w.noc = entry(r, "ERR=NOC", 5);
    set_entry_number(w.noc, inidat.err[ERR_NOC], true);
    label(r, "Minuten~minutes");
    set_checked(w.nocheck, inidat.err[ERR_NOC] > 0);
    on_toggled(w.nocheck, E('E', '5'));

    modletter(p, "Bei Verbindungsfehler beenden~Terminate when connection error", 'E');
    w.endstandby = check(p, "Bei PC-Standby beenden~Terminate when PC goes standby", "END=Z");
    set_checked(w.endstandby, inidat.endstandby);

    // The two groups of radio buttons side by side, so that the page stays low.
    GtkWidget* columns = pack(p, gtk_hbox_new(FALSE, 6));
    f = frame(columns, "Countdown", true);
    const char* cd[5] = {"Kein Ende per Countdown~Do not terminate by countdown",
                         "Verbindung zeitgesteuert beenden~Terminate connection time-controlled",
                         "Verbindung bei Inaktivität beenden~Terminate connection if no traffic",
                         "Programm zeitgesteuert beenden~Terminate program time-controlled",
                         "Programm bei Inaktivität beenden~Terminate program if no traffic"};
    const char* cdkey[5] = {"END=", "END=CF", "END=C", "END=F", "END="};
    for (int i = 0; i < 5; i++) w.countdown[i] = pack(f, ls_new(i ? 'r' : 'R', cd[i], cdkey[i]));
    r = hrow(f);
    label(r, "Beenden nach~Terminate after");
    w.endminutes = entry(r, "END=", 6);
    set_entry_number(w.endminutes, static_cast<long>(inidat.end), true);
    label(r, "Minuten~minutes");
    set_checked(w.countdown[cf__endradio(inidat.end, inidat.endforce, inidat.endverb)], true);
    on_toggled(w.countdown[0], E('E', '0'));
    for (int i = 1; i < 5; i++) on_toggled(w.countdown[i], E('E', '1'));

    f = frame(columns, "Nach automatischem Programmende~After automatic program end", true);
    const char* sd[3] = {"nichts unternehmen~do nothing", "PC herunterfahren~shutdown computer",
                         "PC neu starten~restart computer"};
    const char* sdkey[3] = {"END=", "END=S", "END=R"};
    for (int i = 0; i < 3; i++) w.shutdown[i] = pack(f, ls_new(i ? 'r' : 'R', sd[i], sdkey[i]));
    set_checked(w.shutdown[bereich(inidat.endshutdown, 0, 2)], true);
}

void page_external() {
    GtkWidget* p = page("Extern~External");
    for (int i = 0; i < 3; i++) {
        commandblock& b = w.cmd[i];
        char title[120];
        snprintf(title, sizeof title, "%i. Befehlszeilenkommando~%i. shell command", i + 1, i + 1);
        GtkWidget* f = frame(p, title);
        char key[8];
        snprintf(key, sizeof key, "CMD%i=", i + 1);
        cf__command c =
            cf__commandload(inidat.cmd[i], inidat.sms[i], inidat.smsnr[i], inidat.smskey[i]);
        GtkWidget* r = hrow(f);
        label(r, "Ausführen nach~Execute subsequent to");
        b.trigger = combo(r,
                          "- niemals -|Programmstart|Programmende|erstem "
                          "Verbindungsaufbau|jedem Verbindungsaufbau|SMS-Empfang|ankommendem "
                          "Anruf (offline)~- never -|program start|program end|first connection "
                          "start|every connection start|SMS reception|incoming call (when "
                          "offline)",
                          key, c.trigger);
        on_changed(b.trigger, E('X', static_cast<char>('1' + i)));
        r = hrow(f);
        b.command = entry(r, key, 40, true);
        set_entry(b.command, c.command.c_str());
        b.browse = button(r, "Suchen~Browse", E('Y', static_cast<char>('1' + i)));
        r = hrow(f);
        b.hidden = check(r, "Verborgen ausführen~Execute hidden", key);
        set_checked(b.hidden, c.hidden);
        char smskey[8];
        snprintf(smskey, sizeof smskey, "SMS%i=", i + 1);
        label(r, "Absender~ Sender");
        b.sender = entry(r, smskey, 14);
        set_entry(b.sender, c.sender.c_str());
        label(r, "    Schlüssel~    Keyword");
        b.keyword = entry(r, smskey, 14);
        set_entry(b.keyword, c.keyword.c_str());
        gtk_widget_set_sensitive(b.sender, c.trigger >= 5);
        gtk_widget_set_sensitive(b.keyword, c.trigger == 5);
    }
}

void build() {
    ls_reset();
    w = widgets{};
    de_before = _de;
    result = -1;
    w.window = ls_new('W', "mavlyn   Konfiguration~mavlyn   Configuration", nullptr);
    gtk_window_set_position(GTK_WINDOW(w.window), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(w.window), 6);
    GtkWidget* top = gtk_vbox_new(FALSE, 4);
    gtk_container_add(GTK_CONTAINER(w.window), top);

    if (const char* hint = cf__hinttext(inidat.hinweisk)) {
        GtkWidget* ebox = gtk_event_box_new();
        w.hint = ls_new('L', hint, nullptr);
        gtk_misc_set_padding(GTK_MISC(w.hint), 6, 4);
        gtk_container_add(GTK_CONTAINER(ebox), w.hint);
        setcolor(ebox, "#ff0000");
        pack(top, ebox);
    }

    w.notebook = pack(top, gtk_notebook_new(), true);
    page_info();
    page_global();
    page_device();
    page_network();
    page_connection();
    page_monitoring();
    page_log();
    page_startend();
    page_external();
    page_sms();
    // The dependent fields follow their switches from the start.
    for (int eid : {E('V', '1'), E('V', '2'), E('V', '3'), E('V', '5'), E('U', '6'), E('E', '0'),
                    E('E', '5'), E('P', '1'), E('P', '2')})
        cf_dialog(eid, nullptr);

    GtkWidget* buttons = pack(top, gtk_hbox_new(FALSE, 6));
    w.language = ls_new('B', "Switch to English~Umschalten nach Deutsch", nullptr);
    gtk_box_pack_start(GTK_BOX(buttons), w.language, FALSE, FALSE, 2);
    on_clicked(w.language, E('B', '2'));
    w.ok = ls_new('B', "    OK    ~    OK    ", nullptr);
    gtk_box_pack_end(GTK_BOX(buttons), w.ok, FALSE, FALSE, 2);
    on_clicked(w.ok, E('B', '1'));
    w.cancel = ls_new('B', "Abbrechen~Cancel", nullptr);
    gtk_box_pack_end(GTK_BOX(buttons), w.cancel, FALSE, FALSE, 2);
    on_clicked(w.cancel, E('B', '0'));

    se_loadcombobox(w.stdcombo);
    g_signal_connect(w.window, "delete-event", G_CALLBACK(cf__closewindow), eidp(E('B', '0')));
    g_signal_connect(w.window, "key-press-event", G_CALLBACK(cf__key), nullptr);

    int tab = smsconfigsub ? 9 : bereich(configtab, 0, 9);
    gtk_widget_show_all(w.window);
    gtk_notebook_set_current_page(GTK_NOTEBOOK(w.notebook), tab);
    configtab = tab;
    g_signal_connect(w.notebook, "switch-page", G_CALLBACK(cf__page), eidp(E('T', '1')));
    smsbutton = w.smsrefresh;
    smsbox = 0;
    if (tab == 9) sms_fresh();
    mainwindow = w.window;
}

} // namespace cfd
