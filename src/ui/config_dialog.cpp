#include "ui/config_dialog.h"

#include "connection/dialup.h"
#include "connection/internet_probes.h"
#include "control/counter_reset.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/tone.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/ussd.h"
#include "ui/connlog_statistics.h"
#include "ui/control_window.h"
#include "ui/labels.h"
#include "ui/message_box.h"
#include "ui/network_analysis.h"
#include "ui/sms_phonebook.h"
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

// A click into the network analysis result (a "mark-set" handler of its buffer).
void cf__marksetNL(GtkTextBuffer* b, GtkTextIter* at, GtkTextMark* mark, gpointer view);

// ======================================================================= conversions

long cf__number(const char* text) {
    if (!text) return 0;
    while (*text == ' ') text++;
    long v = 0;
    bool neg = false;
    if (*text == '-') {
        neg = true;
        text++;
    }
    for (; isdigit(static_cast<unsigned char>(*text)); text++) {
        if (v > 100000000L) break; // far beyond every field's range
        v = v * 10 + (*text - '0');
    }
    return neg ? -v : v;
}

int cf__timeminutes(const char* text) {
    if (!text) return -1;
    int digits[4];
    int nd = 0, before = -1; // digits before the separator
    const char* p = text;
    while (*p == ' ') p++;
    if (!*p) return -1;
    for (; *p; p++) {
        if (isdigit(static_cast<unsigned char>(*p))) {
            if (nd == 4) return -1;
            digits[nd++] = *p - '0';
        } else if ((*p == ':' || *p == '.') && before < 0) {
            before = nd;
        } else if (*p != ' ') {
            return -1;
        }
    }
    int h, m;
    if (before < 0) { // no separator: "HHMM" or "HH"
        if (nd == 4) {
            h = digits[0] * 10 + digits[1];
            m = digits[2] * 10 + digits[3];
        } else if (nd == 1 || nd == 2) {
            h = nd == 1 ? digits[0] : digits[0] * 10 + digits[1];
            m = 0;
        } else {
            return -1;
        }
    } else {
        int after = nd - before;
        if (before < 1 || before > 2 || after > 2) return -1;
        h = before == 1 ? digits[0] : digits[0] * 10 + digits[1];
        m = after == 0   ? 0
            : after == 1 ? digits[before] * 10
                         : digits[before] * 10 + digits[before + 1];
    }
    int minutes = h * 60 + m;
    return minutes > 1439 ? 1439 : minutes;
}

std::string cf__timetext(int minutes) {
    if (minutes < 0) return "";
    if (minutes > 1439) minutes = 1439;
    char t[8];
    snprintf(t, sizeof t, "%02i:%02i", minutes / 60, minutes % 60);
    return t;
}

void cf__battery(int* display, int* warn) {
    *display = bereich(*display, 0, 100);
    *warn = bereich(*warn, 0, 100);
    if (*display < *warn) *display = *warn;
}

std::string cf__network(int item, const char* entry) {
    std::string e = entry ? entry : "";
    switch (item) {
    case 0:
        return e;
    case 1:
        return e.empty() || e[0] == ';' ? e : ";" + e;
    default:
        return "";
    }
}

int cf__networkitem(const char* net, std::string* entry) {
    if (!net || !net[0]) {
        entry->clear();
        return 2;
    }
    if (net[0] == ';') {
        *entry = net + 1;
        return 1;
    }
    *entry = net;
    return 0;
}

namespace {
const char* const ping_soft = "999.111.000.000;999.003.000.000";
const char* const ping_frequent = "999.111.000.000";
} // namespace

std::string cf__ping(int mode, const char* ip1, const char* ip2, const char* ip3) {
    switch (mode) {
    case 0:
        return "";
    case 1:
        return ping_soft;
    case 2:
        return ping_frequent;
    default:
        break;
    }
    std::string first = cf__iptext(ip1);
    if (first.empty() || first == "000.000.000.000") return "?";
    std::string v = first;
    for (const char* ip : {ip2, ip3}) {
        std::string t = cf__iptext(ip);
        if (!t.empty()) v += ";" + t;
    }
    return v;
}

int cf__pingmode(const char* ping, std::string ips[3]) {
    for (int i = 0; i < 3; i++) ips[i].clear();
    if (!ping || !ping[0]) return 0;
    if (strcmp(ping, ping_soft) == 0) return 1;
    if (strcmp(ping, ping_frequent) == 0) return 2;
    if (strcmp(ping, "?") == 0) return 3;
    const char* p = ping;
    for (int i = 0; i < 3 && *p; i++) {
        const char* semi = strchr(p, ';');
        ips[i] = semi ? std::string(p, semi) : std::string(p);
        if (!semi) break;
        p = semi + 1;
    }
    return 3;
}

std::string cf__iptext(const char* text) {
    if (!text) return "";
    const char* p = text;
    while (*p == ' ') p++;
    if (!*p) return "";
    int n[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; i++) {
        long v = 0;
        bool any = false;
        while (*p && !isdigit(static_cast<unsigned char>(*p)) && *p != '.') p++;
        while (isdigit(static_cast<unsigned char>(*p))) {
            if (v < 100000) v = v * 10 + (*p - '0');
            any = true;
            p++;
        }
        n[i] = any ? static_cast<int>(bereichl(v, 0, 255)) : 0;
        while (*p && *p != '.') p++;
        if (*p == '.') p++;
    }
    char out[20];
    snprintf(out, sizeof out, "%03i.%03i.%03i.%03i", n[0], n[1], n[2], n[3]);
    return out;
}

cf__commandrecord cf__commandstore(const cf__command& c) {
    cf__commandrecord r{};
    if (c.trigger <= 0 || c.trigger > 6 || c.command.empty()) return r;
    std::string v = c.hidden ? ";" : "";
    if (c.trigger == 1) v += "!";
    if (c.trigger == 2) v += "|";
    if (c.trigger == 4) v += ",";
    v += c.command;
    strMcpy(r.cmd, v.c_str());
    if (c.trigger == 5) {
        r.sms = 1;
        strMcpy(r.smsnr, c.sender.c_str());
        strMcpy(r.smskey, c.keyword.c_str());
        strupper(r.smskey); // keywords are compared in upper case
    } else if (c.trigger == 6) {
        r.sms = 2;
        strMcpy(r.smsnr, c.sender.c_str());
    }
    return r;
}

cf__command cf__commandload(const char* cmd, int sms, const char* smsnr, const char* smskey) {
    cf__command c;
    if (!cmd || !cmd[0]) return c;
    const char* p = cmd;
    // The marks stand in front of the command in any order.
    int mark = 3;
    while (*p && strchr(";!|,", *p)) {
        if (*p == ';') c.hidden = true;
        if (*p == '!') mark = 1;
        if (*p == '|') mark = 2;
        if (*p == ',') mark = 4;
        p++;
    }
    c.command = p;
    if (sms == 1) {
        c.trigger = 5;
        c.sender = smsnr ? smsnr : "";
        c.keyword = smskey ? smskey : "";
    } else if (sms == 2) {
        c.trigger = 6;
        c.sender = smsnr ? smsnr : "";
    } else {
        c.trigger = mark;
    }
    return c;
}

namespace {
const long volume_factor[3] = {1, 1000, 1000000};
const long time_factor[3] = {1, 60, 1440};
} // namespace

long cf__limit(long number, int unit, bool time) {
    unit = bereich(unit, 0, 2);
    return number * (time ? time_factor : volume_factor)[unit];
}

void cf__limitsplit(long value, bool time, long* number, int* unit) {
    const long* f = time ? time_factor : volume_factor;
    *number = value;
    *unit = 0;
    if (value <= 0) {
        *number = value < 0 ? 0 : value;
        return;
    }
    // The largest unit that divides the value and keeps it inside the field's range.
    for (int u = 2; u >= 1; u--) {
        if (value % f[u] == 0 && cf__clamplimit(value / f[u], u) == value / f[u]) {
            *number = value / f[u];
            *unit = u;
            return;
        }
    }
}

long cf__clamplimit(long v, int unit) {
    return bereichl(v, 0, unit == 2 ? 200 : 200000);
}

long cf__clampround(long v) {
    return bereichl(v, 1, 100000);
}

long cf__clamperr(long v) {
    return bereichl(v, 0, 9999);
}

int cf__dayitem(int day) {
    if (day < 1) return -1;
    if (day > 32) return 32;
    return day - 1;
}

int cf__day(int item) {
    if (item < 0) return 0;
    if (item >= 32) return 99; // "never" has its own value, not 33
    return item + 1;
}

int cf__iconitem(int icon) {
    return bereich(icon, 1, 6) - 1;
}

int cf__icon(int item) {
    return bereich(item, 0, 5) + 1;
}

int cf__endradio(unsigned long end, bool endforce, bool endverb) {
    if (end == 0) return 0;
    if (endverb) return endforce ? 1 : 2;
    return endforce ? 3 : 4;
}

void cf__endfields(int radio, unsigned long minutes, unsigned long* end, bool* endforce,
                   bool* endverb) {
    if (radio <= 0 || radio > 4 || minutes == 0) {
        *end = 0;
        *endforce = false;
        *endverb = false;
        return;
    }
    *end = minutes;
    *endforce = radio == 1 || radio == 3;
    *endverb = radio == 1 || radio == 2;
}

std::string cf__volumecounter(long kb) {
    if (kb < 0) kb = 0;
    char t[40];
    snprintf(t, sizeof t, "%3li %03li %03li ", kb / 1000000, kb / 1000 % 1000, kb % 1000);
    return t;
}

std::string cf__timecounter(long minutes) {
    if (minutes < 0) minutes = 0;
    char t[40];
    snprintf(t, sizeof t, "%04li:%02li ", minutes / 60, minutes % 60);
    return t;
}

const char* cf__hinttext(char code) {
    switch (code) {
    case '1':
        return "Bitte auswählen: Standardeinstellung bei \"Global\"~Please select: Standard "
               "settings at \"Global\"";
    case '3':
        return "Bitte seriellen Port bei \"Gerät\" manuell vorgeben.~Please enter serial port "
               "manually at \"Device\".";
    case '7':
        return "Bitte APN bei \"Netz\" überprüfen.~Please review APN at \"Network\".";
    case '8':
        return "Bitte APN bei \"Netz\" eintragen.~Please enter APN at \"Network\".";
    case '9':
        return "Bitte Verbindungsart oder genau vorgeben.~Please reexamine mode of connection.";
    default:
        return nullptr;
    }
}

// ======================================================================= the dialog

namespace {

constexpr int E(char a, char b) {
    return cf__eid(a, b);
}

// The address of the sibling project's wiki page on standard settings.
const char* const wiki_url = "http://www.wilvar.de/wiki/index.php?title=Standardeinstellungen";

int result = -1;
bool de_before = false;
bool running = false;
bool switching_language = false;  // the combo boxes change while their labels switch
bool settingsdone_wanted = false; // the reload page's "Done" (guarded by the GUI lock)

struct limitrow {
    GtkWidget* entry;
    GtkWidget* unit;
};

struct counterblock {
    GtkWidget* check;
    GtkWidget* actual;
    GtkWidget* reset;
    GtkWidget* day;
    GtkWidget* round;
    limitrow limit[3];
};

struct commandblock {
    GtkWidget* trigger;
    GtkWidget* command;
    GtkWidget* browse;
    GtkWidget* hidden;
    GtkWidget* sender;
    GtkWidget* keyword;
};

struct modcheck {
    GtkWidget* check;
    char letter;
};

// Every widget the dialog reads or switches.
struct widgets {
    GtkWidget* window;
    GtkWidget* notebook;
    GtkWidget* hint;
    // Info
    GtkWidget* rem;
    // Global
    GtkWidget* stdcombo;
    GtkWidget* stdpages;
    GtkWidget* stdconfirm;
    GtkWidget* stddone;
    GtkWidget* endm;
    GtkWidget* icon;
    // Device
    GtkWidget* dev;
    GtkWidget* commanual;
    GtkWidget* com;
    GtkWidget* devi;
    GtkWidget* netlock;
    GtkWidget* pinnew;
    GtkWidget* pin;
    GtkWidget* console;
    GtkWidget* consoleinput;
    // Network
    GtkWidget* analysisstart;
    GtkWidget* analysisgprs;
    GtkWidget* analysisumts;
    GtkWidget* analysisclip;
    GtkWidget* analysisview;
    GtkWidget* netsel;
    GtkWidget* net;
    GtkWidget* apn;
    GtkWidget* ussdsend;
    GtkWidget* smsc;
    GtkWidget* ppq;
    GtkWidget* ppqbutton;
    GtkWidget* ppc;
    GtkWidget* ppcbutton;
    GtkWidget* homecheck;
    GtkWidget* homu;
    GtkWidget* homi;
    GtkWidget* homo;
    // Connection
    GtkWidget* constart;
    GtkWidget* conende;
    GtkWidget* time1;
    GtkWidget* time2;
    GtkWidget* timeend;
    GtkWidget* conmanual;
    GtkWidget* conport;
    GtkWidget* passmanual;
    GtkWidget* conname;
    GtkWidget* conpass;
    // Monitoring
    GtkWidget* errl;
    GtkWidget* ping[4];
    GtkWidget* ip[3];
    GtkWidget* err[6];
    GtkWidget* batt;
    GtkWidget* batt1;
    GtkWidget* batt2;
    // Log
    counterblock vol;
    counterblock tim;
    // Start/End
    GtkWidget* pcstart;
    GtkWidget* pcconfirm;
    GtkWidget* startdelay;
    GtkWidget* resumedelay;
    GtkWidget* nocheck;
    GtkWidget* noc;
    GtkWidget* endstandby;
    GtkWidget* countdown[5];
    GtkWidget* endminutes;
    GtkWidget* shutdown[3];
    // External
    commandblock cmd[3];
    // SMS
    GtkWidget* smsnotebook;
    GtkWidget* smslist[2]; // inbox, outbox
    GtkWidget* smsview;
    GtkWidget* smsactive;
    GtkWidget* smsbook;
    GtkWidget* smsaddressee;
    GtkWidget* smstext;
    GtkWidget* smssend;
    GtkWidget* smsrefresh;
    // Buttons
    GtkWidget* language;
    GtkWidget* cancel;
    GtkWidget* ok;
    modcheck mod[16];
    int nmod;
};
widgets w{};

gpointer eidp(int eid) {
    return GINT_TO_POINTER(eid);
}

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

GtkWidget* pack(GtkWidget* box, GtkWidget* child, bool expand = false) {
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

GtkWidget* entry(GtkWidget* box, const char* tooltip, int chars, bool expand = false) {
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

GtkWidget* button(GtkWidget* box, const char* text, int eid, const char* tooltip = nullptr) {
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

// ---- SMS page

int smsbox = 0;        // the list shown: 0 inbox, 1 outbox
bool smsblock = false; // the list is being rewritten: its cursor moves are not clicks
cf__smsbook smsbook;

// Writes (or appends) program text to a view, without the size limit of cf__DTS.
void view_put(GtkWidget* view, const std::string& text, bool append) {
    if (!view) return;
    std::vector<char> utf8(text.size() * 3 + 1);
    strmtoutf8(utf8.data(), text.c_str(), utf8.size());
    GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    if (!append) {
        gtk_text_buffer_set_text(b, utf8.data(), -1);
        return;
    }
    GtkTextIter it;
    gtk_text_buffer_get_end_iter(b, &it);
    gtk_text_buffer_insert(b, &it, utf8.data(), -1);
    gtk_text_buffer_get_end_iter(b, &it);
    gtk_text_buffer_place_cursor(b, &it);
    gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(view), gtk_text_buffer_get_insert(b));
}

std::string buffer_text(GtkTextBuffer* b, const GtkTextIter* from, const GtkTextIter* to) {
    gchar* t = gtk_text_buffer_get_text(b, from, to, FALSE);
    std::string out = t ? t : "";
    g_free(t);
    return out;
}

std::string view_text(GtkWidget* view) {
    GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter from, to;
    gtk_text_buffer_get_bounds(b, &from, &to);
    return buffer_text(b, &from, &to);
}

// A click into a list selects the whole line and hands it to the page.
void sms_listmark(GtkTextBuffer* b, GtkTextIter* at, GtkTextMark* mark, gpointer view) {
    if (smsblock || mark != gtk_text_buffer_get_insert(b)) return;
    GtkTextIter from = *at, to = *at;
    gtk_text_iter_set_line_offset(&from, 0);
    if (!gtk_text_iter_ends_line(&to)) gtk_text_iter_forward_to_line_end(&to);
    smsblock = true;
    gtk_text_buffer_select_range(b, &from, &to);
    smsblock = false;
    cf_dialog(cf__eid('S', 'L'), static_cast<GtkWidget*>(view));
}

void sms_refillbook() {
    GtkListStore* items = GTK_LIST_STORE(gtk_combo_box_get_model(GTK_COMBO_BOX(w.smsbook)));
    smsblock = true;
    gtk_list_store_clear(items);
    for (const cf__smsi_t& e : smsbook.cf__smsnamei) {
        char utf8[300];
        strMtoutf8(utf8, cf__smscomboitem(e).c_str());
        gtk_combo_box_append_text(GTK_COMBO_BOX(w.smsbook), utf8);
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.smsbook), -1);
    smsblock = false;
}

void sms_load() {
    cf__smsbookensure("sms_name.ini");
    smsbook = cf__smsbookload("sms_name.ini");
    cf__smslist list = cf__smslistload(smsbox, smsbook);
    if (list.truncated) {
        char notice[300];
        snprintf(notice, sizeof notice,
                 T("Es werden maximal %i SMS angezeigt.  \nBitte l" U8oe "schen Sie einige SMS "
                   "oder verschieben  \nSie sie in einen anderen Ordner.  ",
                   "A maximum of %i SMS can be displayed.  \nPlease delete some or move them to  "
                   "\nanother folder.  "),
                 static_cast<int>(cf__smsmaxlist));
        me_messageboxa(0, "mavlyn   SMS", notice, 2);
    }
    std::string text;
    for (const std::string& line : list.lines) text += line + "\n";
    smsblock = true;
    view_put(w.smslist[smsbox], text, false);
    smsblock = false;
    cf__DTS(w.smsview, "");
    sms_refillbook();
}

void sms_show(GtkWidget* view) {
    GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter from, to;
    gtk_text_buffer_get_selection_bounds(b, &from, &to);
    std::string line = buffer_text(b, &from, &to);
    if (!cf__sms_vonliste(line).empty()) {
        cf__DTS(w.smsview, cf__smsread(line, smsbox).c_str());
        std::string number, name;
        cf__smslineaddressee(line, &number, &name);
        gtk_entry_set_text(GTK_ENTRY(w.smsaddressee), (name + "   " + number).c_str());
    }
    gtk_widget_grab_focus(w.smstext);
}

// The handlers run inside the GUI lock; the splash takes it itself.
void splash_from_handler(int kind) {
    th_leave();
    cs_show(kind);
    th_enter();
}

// The queue file carries the time to the second; a second message in the same second takes
// the next one, so that nobody waits here.
bool sms_queue(const std::string& number, const std::string& text) {
    time_t now = time(nullptr);
    for (int attempt = 0; attempt < 3; attempt++) {
        time_t at = now + attempt;
        struct tm t {};
        char compact[32];
        if (!localtime_r(&at, &t)) return false;
        ut_formatkompakt(compact, sizeof compact, t);
        if (cf__smsqueue(compact, number, text)) return true;
    }
    return false;
}

gboolean sms_namestored(gpointer) {
    cs_show(34);
    return FALSE;
}

void sms_send() {
    std::string number, name;
    if (!cf__smsaddressee(gtk_entry_get_text(GTK_ENTRY(w.smsaddressee)), &number, &name)) {
        me_messageboxa(0, "mavlyn   SMS",
                       T("Bitte eine Zielrufnummer im internationalen  \nFormat eingeben "
                         "(f" U8ue "hrendes Plus-Zeichen).  \n\nF" U8ue "r Sonderrufnummern "
                         "Minuszeichen voranstellen.  ",
                         "Please enter the phone number using  \ninternational form (leading "
                         "plus singn).  \n\nLeed-in special numbers with a minus.  "),
                       2);
        return;
    }
    std::string text = view_text(w.smstext);
    if (text.size() > cf__smsmaxtext) {
        // The sender refuses longer files; better said now than after "accepted".
        me_messageboxa(0, "mavlyn   SMS", T("Die SMS ist zu lang.  ", "The SMS is too long.  "), 2);
        return;
    }
    if (text.empty() && me_messagebox(0, "mavlyn   SMS",
                                      T("Soll wirklich eine leere  \nSMS gesendet werden?  ",
                                        "Do you really want to  \nsend an empty SMS?  "),
                                      3, 2, 0) != 1)
        return;
    if (!sms_queue(number, text)) {
        lo_slog("Cannot write an SMS into sms_send.\n", "", -1);
        me_messageboxa(
            0, "mavlyn   SMS",
            T("Die SMS konnte nicht gespeichert werden.  ", "The SMS could not be stored.  "), 2);
        return;
    }
    splash_from_handler(33);
    cf__DTS(w.smstext, "");
    // The second notice follows the first one when that has been read.
    if (!name.empty() && !cf__smsknown(smsbook, name, number) &&
        cf__smsbookappend("sms_name.ini", name, number))
        g_timeout_add(2000, sms_namestored, nullptr);
    sms_load();
}

void sms_choose() {
    if (smsblock || gtk_combo_box_get_active(GTK_COMBO_BOX(w.smsbook)) < 0) return;
    gchar* item = gtk_combo_box_get_active_text(GTK_COMBO_BOX(w.smsbook));
    if (item) gtk_entry_set_text(GTK_ENTRY(w.smsaddressee), item);
    g_free(item);
    smsblock = true;
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.smsbook), -1);
    smsblock = false;
}

void sms_reception_folder() {
    if (!checked(w.smsactive)) return;
    dir_create("sms_in");
    file_makerw("sms_in", true);
}

void sms_fresh() {
    sms_reception_folder();
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.smsbook), -1);
    gtk_entry_set_text(GTK_ENTRY(w.smsaddressee), "");
    sms_load();
}

void sms_editbook() {
    th_leave();
    if (system("gedit sms_name.ini &") != 0) lo_slog("Cannot start the text editor.\n", "", -1);
    th_enter();
}

void page_sms() {
    GtkWidget* p = page("SMS~SMS");
    w.smsnotebook = pack(p, gtk_notebook_new(), true);
    const char* const tabs[2] = {" Eingang~ Inbox", " Ausgang~ Outbox"};
    for (int i = 0; i < 2; i++) {
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        w.smslist[i] = textview(box, 110);
        g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.smslist[i])), "mark-set",
                         G_CALLBACK(sms_listmark), w.smslist[i]);
        gtk_notebook_append_page(GTK_NOTEBOOK(w.smsnotebook), box, ls_new('L', tabs[i], nullptr));
    }
    g_signal_connect(w.smsnotebook, "switch-page", G_CALLBACK(cf__page), eidp(E('T', '2')));
    w.smsview = textview(p, 60);
    w.smsactive = modletter(p, "SMS-Empfang aktivieren~Activate SMS reception", 'M');
    on_toggled(w.smsactive, E('S', 'M'));
    GtkWidget* r = hrow(p);
    button(r, "Telefonbuch~Phone book", E('S', 'P'));
    w.smsbook = pack(r, gtk_combo_box_new_text(), true);
    on_changed(w.smsbook, E('S', 'S'));
    r = hrow(p);
    label(r, "Adressat~Addressee");
    w.smsaddressee = entry(r, nullptr, 25, true);
    w.smstext = textview(p, 60);
    gtk_text_view_set_editable(GTK_TEXT_VIEW(w.smstext), TRUE);
    r = hrow(p);
    w.smssend = button(r, "Senden~Send", E('S', 'B'));
    // Pressed by the timer tick when new messages arrive; kept out of sight.
    w.smsrefresh = gtk_button_new();
    on_clicked(w.smsrefresh, E('S', '1'));
    gtk_box_pack_start(GTK_BOX(r), w.smsrefresh, FALSE, FALSE, 0);
    gtk_widget_set_no_show_all(w.smsrefresh, TRUE);
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

// ---- reading back

void copy_entry(char* dest, size_t n, GtkWidget* e) {
    strmcpy(dest, gtk_entry_get_text(GTK_ENTRY(e)), n);
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

// ---- standard settings

enum { STDPAGE_EXPLAIN, STDPAGE_RELOAD, STDPAGE_CONFIRM, STDPAGE_DONE };

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

// A prepaid task as the buttons ask for it, with the fields as they stand at the press.
struct prepaidtask {
    int kind = -1; // 0 credit query, 1 top-up, 2 USSD code; -1 none
    char ppq[sizeof inidat.ppq] = "";
    char ppc[sizeof inidat.ppc] = "";
    char port[sizeof inidat.comport] = ""; // "" searches for the modem
    std::atomic<bool> done{false};
};

struct toolrequests {
    int console = 0;     // 1 start, 2 start and test for netlocks, -1 end
    std::string pending; // console bytes to send
    int analysis = 0;    // requested search mode, handed to the thread after the console ended
    bool instancetold = false;
    prepaidtask* prepaid = nullptr; // asked for, not yet started
};
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

} // namespace

// ======================================================================= interface

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
    GtkTextIter from = *at, to = *at;
    gtk_text_iter_set_line_offset(&from, 0);
    if (!gtk_text_iter_ends_line(&to)) gtk_text_iter_forward_to_line_end(&to);
    cf__netzsucheblockmark = true;
    gtk_text_buffer_select_range(b, &from, &to);
    cf__netzsucheblockmark = false;
    (void)view;
    cf_dialog(cf__eid('N', 'L'),
              reinterpret_cast<GtkWidget*>(static_cast<intptr_t>(gtk_text_iter_get_line(&from))));
}
