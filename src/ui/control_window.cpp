#include "ui/control_window.h"

#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/encodings.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "ui/icon_art.h"
#include "ui/message_box.h"
#include "ui/panel_icons.h"
#include "ui/splash.h"
#include "ui/standard_settings.h"

#include <cstdlib>
#include <cstring>
#include <gdk/gdkkeysyms.h>
#include <string>
#include <unistd.h>

namespace {

const char version_title[] = "mavlyn 0.4";

bool cc__maximized = false;
bool cc__wantnormal = false;
gulong cc__minmaxhandler = 0;
struct {
    fefo_t form = fefo_OHNE;
} cc__normalize;

// Where the next window goes: where the last one stood, the first one where the header says.
struct {
    bool known = false;
    int x = 0, y = 0;
} cc__place;

GtkWidget* fields[8] = {}; // lines 1-7 of the regular window
GtkWidget* minilabel = nullptr;
fefo_t built = fefo_OHNE;
bool built_once = false;

bool control_role() {
    return inidat.funktion == FUNKTION_CONTROL;
}

bool online() {
    return onlinezeit != 0;
}

// ------------------------------------------------------------------ building the forms

GtkWidget* field(int width) {
    GtkWidget* e = gtk_entry_new();
    gtk_editable_set_editable(GTK_EDITABLE(e), FALSE);
    gtk_widget_set_size_request(e, width, -1);
    gtk_widget_set_can_focus(e, FALSE);
    return e;
}

GtkWidget* label(const char* text, int width) {
    GtkWidget* l = gtk_label_new(text);
    gtk_widget_set_size_request(l, width, -1);
    return l;
}

gboolean cc__mouseclick(GtkWidget*, GdkEventButton* ev, gpointer);

GtkWidget* row(std::initializer_list<GtkWidget*> children) {
    GtkWidget* h = gtk_hbox_new(FALSE, 1);
    for (GtkWidget* c : children) gtk_box_pack_start(GTK_BOX(h), c, FALSE, FALSE, 0);
    return h;
}

// A header position of 9999 only marks a header to be written: it is no place on the screen.
void move_to_place() {
    if (!cc__place.known && inidat.headerset && inidat.headerx >= 0 && inidat.headerx < 9999 &&
        inidat.headery >= 0 && inidat.headery < 9999)
        cc__place = {true, inidat.headerx, inidat.headery};
    if (!cc__place.known) return;
    gtk_window_move(GTK_WINDOW(mainwindow), cc__place.x, cc__place.y);
    inidat.headerx_neu = cc__place.x;
    inidat.headery_neu = cc__place.y;
}

void build_regular() {
    mainwindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    move_to_place();
    gtk_window_set_resizable(GTK_WINDOW(mainwindow), FALSE);
    gtk_window_deiconify(GTK_WINDOW(mainwindow));
    if (MODUS('T')) {
        gtk_window_set_keep_above(GTK_WINDOW(mainwindow), TRUE);
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(mainwindow), TRUE);
    }
    const int widths[8] = {0, 326, 63, 120, 88, 88, 120, 63};
    for (int i = 1; i <= 7; i++) {
        fields[i] = field(widths[i]);
        gtk_widget_add_events(fields[i], GDK_BUTTON_PRESS_MASK);
        g_signal_connect(fields[i], "button-press-event", G_CALLBACK(cc__mouseclick), nullptr);
    }
    GtkWidget* box = gtk_vbox_new(TRUE, 1);
    gtk_box_pack_start(GTK_BOX(box), row({fields[1]}), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), row({fields[2], fields[3], label("   up", 50), fields[4]}),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), row({fields[7], fields[6], label("down", 50), fields[5]}),
                       FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(mainwindow), box);
}

void build_mini() {
    mainwindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(mainwindow), FALSE);
    move_to_place();
    gtk_window_set_keep_above(GTK_WINDOW(mainwindow), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(mainwindow), TRUE);
    gtk_widget_set_size_request(mainwindow, 174, -1);
    // An event box, so the label has a background and takes the clicks.
    GtkWidget* ebox = gtk_event_box_new();
    minilabel = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(minilabel), 0, 0.5);
    gtk_container_add(GTK_CONTAINER(ebox), minilabel);
    gtk_container_add(GTK_CONTAINER(mainwindow), ebox);
}

gboolean cc__closewindow(GtkWidget*, GdkEvent*, gpointer);
gboolean cc__minmaximize(GtkWidget*, GdkEventWindowState* ev, gpointer);

gboolean cc__key(GtkWidget*, GdkEventKey*, gpointer) {
    return FALSE;
}

gboolean cc__focusout(GtkWidget*, GdkEventFocus*, gpointer) {
    if (fefo == fefo_NORMAL) cc__normalize.form = fefo_OHNE;
    return FALSE;
}

void connect_window_handlers(bool regular) {
    g_signal_connect(mainwindow, "delete-event", G_CALLBACK(cc__closewindow), nullptr);
    cc__minmaxhandler =
        g_signal_connect(mainwindow, "window-state-event", G_CALLBACK(cc__minmaximize), nullptr);
    gtk_widget_show_all(mainwindow);
    gtk_widget_add_events(mainwindow, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(mainwindow, "button-press-event", G_CALLBACK(cc__mouseclick), nullptr);
    g_signal_connect(mainwindow, "key-press-event", G_CALLBACK(cc__key), nullptr);
    if (regular) g_signal_connect(mainwindow, "focus-out-event", G_CALLBACK(cc__focusout), nullptr);
}

// The displayed copies of the lines, the mini text and the title.
struct Shown {
    char mt[8][cc_mtextLEN];
    char mtm[cc_mtextLEN];
    std::string mtw;
    bool o_old = false;
    bool stale = true;
};
Shown shown;

void tear_down(fefo_t old) {
    if (old == fefo_NORMAL || old == fefo_MINI || old == fefo_MINI2) {
        if (mainwindow) {
            gtk_window_get_position(GTK_WINDOW(mainwindow), &inidat.headerx_neu,
                                    &inidat.headery_neu);
            cc__place = {true, inidat.headerx_neu, inidat.headery_neu};
            gtk_widget_destroy(mainwindow);
        }
        mainwindow = nullptr;
        minilabel = nullptr;
        for (auto& f : fields) f = nullptr;
        cc__maximized = false;
    }
}

// The window's emblem, inside the GUI lock. The picture is made again only when the role
// changed; every new window gets it.
void set_emblem() {
    static int funktion_alt = -1;
    static GdkPixbuf* emblem = nullptr;
    if (!mainwindow) return;
    if (!emblem || inidat.funktion != funktion_alt) {
        ic__picture px{};
        ic__pxs(px, 0, ic__art_ball);
        GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, ic__SIZE, ic__SIZE);
        guchar* d = gdk_pixbuf_get_pixels(pb);
        int stride = gdk_pixbuf_get_rowstride(pb);
        for (int r = 0; r < ic__SIZE; r++)
            for (int c = 0; c < ic__SIZE; c++)
                memcpy(d + r * stride + c * 4, &px[r * ic__SIZE + c], 4);
        if (emblem) g_object_unref(emblem);
        emblem = pb;
        funktion_alt = inidat.funktion;
    }
    if (g_object_get_data(G_OBJECT(mainwindow), "mavlyn-emblem") != emblem) {
        gtk_window_set_icon(GTK_WINDOW(mainwindow), emblem);
        g_object_set_data(G_OBJECT(mainwindow), "mavlyn-emblem", emblem);
    }
}

// Rebuilds the window when the form changed, inside the GUI lock; the form it replaced.
fefo_t change_form() {
    fefo_t old = built;
    if (built_once && fefo == built) return old;
    shown.stale = true;
    shown.mtw.clear();
    tear_down(old);
    if (fefo == fefo_NORMAL) {
        build_regular();
        connect_window_handlers(true);
    } else if (fefo == fefo_MINI || fefo == fefo_MINI2) {
        build_mini();
        connect_window_handlers(false);
    }
    built = fefo;
    built_once = true;
    return old;
}

void set_field(int i, const char* line, char oldmarker) {
    char utf8[101];
    strmtoutf8(utf8, line + 1, sizeof utf8);
    gtk_entry_set_text(GTK_ENTRY(fields[i]), utf8);
    if (cc_marker(line) != oldmarker || shown.stale) {
        GdkColor c;
        gdk_color_parse(cc__fieldcolour(cc_marker(line)), &c);
        gtk_widget_modify_base(fields[i], GTK_STATE_NORMAL, &c);
    }
}

void set_mini_label(const char* line, const char* text) {
    if (fefo != fefo_MINI || !minilabel) return;
    char utf8[157];
    strmtoutf8(utf8, text, sizeof utf8);
    gchar* escaped = g_markup_escape_text(utf8, -1);
    std::string markup = std::string("<span foreground=\"#ffffff\" background=\"") +
                         cc__minicolour(cc_marker(line), online(), MODUS('O'), text) + "\"> " +
                         escaped + std::string(64, ' ') + "</span>";
    g_free(escaped);
    gtk_label_set_markup(GTK_LABEL(minilabel), markup.c_str());
}

// Lines 1-7 into the fields; true when one changed, *alarm when a changed one is an alarm.
bool update_lines(bool* alarm) {
    bool changed = false;
    for (int i = 1; i <= 7; i++) {
        const char* line = (i == 6 && cc_errorlineshown()) ? cc_mtext[cc_mtextERR] : cc_mtext[i];
        if (!line[0]) line = " ";
        if (!shown.stale && strcmp(line, shown.mt[i]) == 0) continue;
        char oldmarker = cc_marker(shown.mt[i]);
        strMcpy(shown.mt[i], line);
        changed = true;
        if (line[0] == '*') *alarm = true;
        if (fefo == fefo_NORMAL && fields[i]) set_field(i, line, oldmarker);
    }
    return changed;
}

bool update_mini(bool* alarm, char* mini, size_t n) {
    const char* line = cc_errorlineshown() ? cc_mtext[cc_mtextERR] : cc_mtext[cc_mtextMINI];
    cc_minitext(mini, n, line);
    if (!shown.stale && strcmp(line, shown.mtm) == 0 && online() == shown.o_old) return false;
    strMcpy(shown.mtm, line);
    shown.o_old = online();
    if (line[0] == '*') *alarm = true;
    set_mini_label(line, mini);
    return true;
}

void update_title() {
    if (fefo != fefo_NORMAL || !mainwindow) return;
    const char* icons[5] = {ic_micon, ic_wicon, ic_ticon, ic_hicon, ic_bicon};
    std::string title = cc__title(icons, inititel, inidat.rem);
    if (title == shown.mtw) return;
    shown.mtw = title;
    char utf8[400];
    strmtoutf8(utf8, title.c_str(), sizeof utf8);
    gtk_window_set_title(GTK_WINDOW(mainwindow), utf8);
}

// Only the main instance has the record for writing.
void update_record(bool changed, const char* mini) {
    if (!mvliow) return;
    MVLIOs(message, cc_mtext[1]);
    MVLIOs(error_message, cc_mtext[cc_mtextERR]);
    MVLIOs(mini_message, mini);
    if (changed || mvlioneu) {
        mvliow->process_counter++;
        mvlioneu = false;
    }
}

// ------------------------------------------------------------------ handlers

void run_outside_lock(void (*f)()) {
    th_leave();
    f();
    th_enter();
}

void show_now() {
    cc_show();
}

gboolean cc__mouseclick(GtkWidget*, GdkEventButton* ev, gpointer) {
    if (ev->type != GDK_BUTTON_PRESS || (ev->button != 1 && ev->button != 3)) return FALSE;
    if (ev->button == 3) {
        cc_menu();
        return TRUE;
    }
    if (fefo == fefo_NORMAL) {
        if (cc__normalize.form != fefo_OHNE) {
            fefo = cc__normalize.form;
            cc__normalize.form = fefo_OHNE;
            run_outside_lock(show_now);
        }
        return FALSE;
    }
    if (fefo == fefo_MINI || fefo == fefo_MINI2) {
        cc__normalize.form = fefo;
        fefo = fefo_NORMAL;
        run_outside_lock(show_now);
        return TRUE;
    }
    cc_menu();
    return TRUE;
}

gboolean cc__minmaximize(GtkWidget* w, GdkEventWindowState* ev, gpointer) {
    if (ev->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)
        cc__maximized = (ev->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (!(ev->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
    if (!(ev->new_window_state & GDK_WINDOW_STATE_ICONIFIED)) {
        cc__wantnormal = false;
        return FALSE;
    }
    if (fefo == fefo_MINI || fefo == fefo_MINI2) {
        cc__wantnormal = true;
        return TRUE;
    }
    if (fefo == fefo_NORMAL) {
        g_signal_handler_disconnect(w, cc__minmaxhandler);
        cc__minmaxhandler = 0;
        fefo = fefo_ICON;
        run_outside_lock(show_now);
    }
    return FALSE;
}

void ending() {
    const char* t = T(" Beenden.", " Ending.");
    cc_show2(t, t);
}

gboolean cc__closewindow(GtkWidget*, GdkEvent*, gpointer) {
    if (programmende_gewuenscht) return FALSE;
    if (fefo == fefo_NORMAL && inidat.endm == 2) {
        gtk_window_iconify(GTK_WINDOW(mainwindow));
        return TRUE;
    }
    if (fefo == fefo_NORMAL && inidat.endm == 0 && !shutdowninteractionkeyvalid) {
        th_leave();
        me_messageboxa(1, T("mavlyn   Ende", "mavlyn   End"),
                       T("mavlyn beenden?  ", "Terminate mavlyn?  "), 0);
        th_enter();
        return TRUE;
    }
    run_outside_lock(ending);
    th_requestend();
    return TRUE;
}

// Asked from the menu on the main loop: the box runs its own modal loop there.
void info(const char* de, const char* en) {
    me_messagebox(0, "mavlyn   CONTROL info", T(de, en), 1, 0, 0);
}

void cc__accesswarning() {
    info("Diese Funktion kann zurzeit nicht ausgef" U8ue "hrt werden.  \nIhnen fehlen die "
         "notwendigen Berechtigungen. Bitte  \nwenden Sie Sich an den Administrator und lassen "
         "Sie sich  \nZugriffsrechte f" U8ue "r mavlyn eintragen: IPC=Dom" U8ae "ne\\Benutzer  ",
         "This function is not available at present.  \nYou do not have sufficient access rights.  "
         "\nPlease contact your administrator and let  \nhim/her add: IPC=Domain\\User  ");
}

void control_info() {
    info("Bei diesem Programm handelt es sich lediglich um  \ndie Bedienoberfl" U8ae "che von "
         "mavlyn. Daher steht Ihnen  \nnicht der gesamte Funktionsumfang zur Verf" U8ue "gung.  "
         "\nBitte starten Sie ggf. das Hauptprogramm.  ",
         "This is only the mavlyn user interface.  \nTherefore not all functions are available at "
         "present.  \nPlease start the main program, if necessary.  ");
}

// A command for the main instance through the shared record.
void record_command(const char* command) {
    if (mvlio_t* r = ii_commandrecord())
        strmcpy(r->command, command, sizeof r->command);
    else
        cc__accesswarning();
}

// The configuration program is the "mavlyn" beside this one, started with CONFIG; without
// a shell, so no character of the path is run as a command.
void start_configuration() {
    char self[281];
    strMcpy(self, _argc > 0 && _argv[0] ? _argv[0] : "mavlyn");
    std::string path(self);
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string program = dir + "mavlyn";
    if (access(program.c_str(), X_OK) != 0) program = dir + "CONFIG";
    gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("CONFIG"), nullptr};
    g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr);
}

void update_query() {
    cc_show2(T("+Starte Update-Anfrage.", "+Starting update query."),
             T("+Update-\\Anfrage.", "+Update_query."));
    msleep(100);
    update_gewuenscht = true;
}

void on_item(GtkMenuItem*, gpointer code) {
    cc__select(GPOINTER_TO_INT(code));
}

bool record_attached() {
    return mvlior != nullptr;
}

bool record_online() {
    return mvlior && mvlior->online_time != 0;
}

bool record_command_pending() {
    return mvlior && mvlior->command[0];
}

} // namespace

const char* cc__fieldcolour(char marker) {
    return marker == '+' ? "#ff66ff" : marker == '*' ? "#ffaaaa" : "#ffffff";
}

const char* cc__minicolour(char marker, bool on, bool greengprs, const char* minitext) {
    if (marker == '*') return "#ff0000";
    if (marker == '+') return "#bf00bf";
    if (!on) return "#000000";
    if (greengprs && minitext[0] == 'G' && minitext[1] >= '0' && minitext[1] <= '9')
        return "#007f00";
    return "#0000ff";
}

std::string cc__title(const char* const icons[5], const char* title, const char* rem) {
    std::string forms;
    for (int i = 0; i < 5; i++)
        if (icons[i] && icons[i][0]) forms += std::string("[") + icons[i] + "]";
    if (forms.size() > 30) forms.resize(30);
    std::string t = forms.empty() ? "" : forms + " ";
    if (title && title[0])
        t += std::string(title) + " - ";
    else if (rem && rem[0])
        t += std::string(rem) + " - ";
    if (t.size() > 119) t.resize(119);
    return t + version_title;
}

std::vector<cc__item> cc__menuitems() {
    std::vector<cc__item> m;
    auto plain = [&](const char* de, const char* en, int code, bool sensitive) {
        m.push_back({cc__PLAIN, T(de, en), code, sensitive, false});
    };
    auto check = [&](const char* de, const char* en, int code, bool sensitive, bool active) {
        m.push_back({cc__CHECK, T(de, en), code, sensitive, active});
    };
    auto separator = [&] { m.push_back({cc__SEPARATOR, "", 0, false, false}); };
    bool control = control_role();
    int f = inidat.funktion;

    plain("*  mavlyn 0.4  *", "*  mavlyn 0.4  *", 0, false);
    std::string update = std::string(se__homehost) + "/update?";
    m.push_back({cc__PLAIN, update, 11,
                 control ? record_attached() && record_online() && !update_gewuenscht
                         : !verbindenverboten && !ba_gewuenscht && !update_gewuenscht,
                 false});
    bool no_ba = !ba_gewuenscht;
    if (!control) {
        separator();
        bool prepaid = !linksys && !cm_singleport() && !verbindenverboten && !prepaid_gewuenscht &&
                       !prepaidaufladen_gewuenscht && !ba_gewuenscht;
        plain("Prepaid-Guthaben?", "Prepaid-credit?", 41, prepaid);
        plain("Prepaid aufladen...", "Load Prepaid...", 42, prepaid);
        plain("USSD-Code senden...", "Send USSD code...", 43, prepaid);
        separator();
        check("UMTS ausschlie"
              "\xC3\x9F"
              "lich",
              "UMTS only", 61, no_ba, f == 2);
        check("UMTS bevorzugt", "UMTS preferred", 62, no_ba, f == 4 || (f == 3 && geraet == 2));
        check("GPRS bevorzugt", "GPRS preferred", 63,
              no_ba && !linksys && geraet != 2 && geraet != 5 && geraet != 6,
              f == 3 && geraet != 2);
    }
    check("GPRS ausschlie"
          "\xC3\x9F"
          "lich",
          "GPRS only", 64, no_ba, f == 1);
    check("Keine Betriebsartwahl", "No opmode selection", 69, no_ba, f == 9);
    separator();
    if (control) {
        check("Verbinden", "Connect", 83,
              record_attached() && !record_command_pending() && !record_online(), false);
        plain("Trennen", "Disconnect", 82, true);
        plain("CONTROL-Info", "CONTROL info", 95, true);
    } else {
        check("Automatisch verbinden", "Connect automatically", 83, true,
              inidat.constart && !verbindeneinmal);
        plain("Trennen", "Disconnect", 82, !verbindenverboten && online());
        bool reconnect = online();
        plain(reconnect ? "Neu verbinden" : "Verbinden", reconnect ? "Reconnect" : "Connect", 81,
              !(!verbindenverboten && inidat.constart && !online()));
    }
    separator();
    check("Stumm", "Mute", 96, true, tonlos);
    if (fefo == fefo_NORMAL)
        plain("Minifenster", "Mini window", 93, true);
    else if (fefo != fefo_OHNE)
        plain("Normales Fenster", "Regular window", 92, true);
    if (!control) plain("Konfiguration", "Configuration", 98, true);
    plain("Ende", "Exit", 90, true);
    return m;
}

void cc__select(int code) {
    bool control = control_role();
    switch (code) {
    case 11:
        run_outside_lock(update_query);
        break;
    case 41:
        prepaids[0] = 0;
        prepaid_gewuenscht = true;
        break;
    case 42:
        prepaidaufladen_gewuenscht = 1;
        break;
    case 43:
        prepaidaufladen_gewuenscht = 2;
        break;
    case 61:
    case 62:
    case 63:
    case 64:
    case 69: {
        const int modes[] = {2, 4, 3, 1, 0, 0, 0, 0, 9};
        ba_gewuenscht = inidat.funktion = modes[code - 61];
        break;
    }
    case 81:
        if (online()) unterbrechung_gewuenscht = 2;
        if (!inidat.constart) {
            inidat.constart = true;
            verbindeneinmal = true;
        }
        break;
    case 82:
        if (control) {
            record_command("MAVLYN_DISCONNECT");
        } else {
            inidat.constart = false;
            unterbrechung_gewuenscht = 2;
        }
        break;
    case 83:
        if (control)
            record_command("MAVLYN_CONNECT");
        else if (!inidat.constart)
            inidat.constart = true;
        else if (!verbindeneinmal)
            inidat.constart = false;
        else
            verbindeneinmal = false;
        break;
    case 90:
        unterbrechung_gewuenscht = 0;
        th_requestend();
        break;
    case 92:
        fefo = fefo_NORMAL;
        run_outside_lock(show_now);
        break;
    case 93:
        fefo = fefo_MINI;
        run_outside_lock(show_now);
        break;
    case 95:
        control_info();
        break;
    case 96:
        tonlos = !tonlos;
        break;
    case 98:
        start_configuration();
        break;
    default:
        break;
    }
}

namespace {

gboolean destroy_menu(gpointer menu) {
    gtk_widget_destroy(GTK_WIDGET(menu));
    return FALSE;
}

void destroy_menu_later(GtkWidget* menu, gpointer) {
    gdk_threads_add_idle(destroy_menu, menu);
}

} // namespace

void cc_menu() {
    GtkWidget* menu = gtk_menu_new();
    for (const cc__item& it : cc__menuitems()) {
        GtkWidget* w;
        if (it.kind == cc__SEPARATOR) {
            w = gtk_separator_menu_item_new();
        } else if (it.kind == cc__CHECK) {
            w = gtk_check_menu_item_new_with_label(it.label.c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), it.active);
        } else {
            w = gtk_menu_item_new_with_label(it.label.c_str());
        }
        gtk_widget_set_sensitive(w, it.kind != cc__SEPARATOR && it.sensitive);
        if (it.code) g_signal_connect(w, "activate", G_CALLBACK(on_item), GINT_TO_POINTER(it.code));
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), w);
    }
    gtk_widget_show_all(menu);
    // The handlers run inside the GUI lock; what they start runs outside it. A menu is
    // deactivated before the chosen item is activated, so it may only go afterwards.
    g_signal_connect(menu, "deactivate", G_CALLBACK(destroy_menu_later), nullptr);
    gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, nullptr, nullptr, 0,
                   gtk_get_current_event_time());
}

// Every thread that shows something comes here: the form and what is shown of the lines are
// kept under the GUI lock (the window is built in one hold, its texts set in the next, so the
// main loop can map it in between); the panel icon and the splash take the lock themselves.
void cc_show() {
    th_enter();
    for (int i : {1, cc_mtextERR})
        if (cc_mtext[i][0] == '0') cc_mtext[i][0] = ' ';
    const bool rebuild = !built_once || fefo != built;
    const fefo_t old = change_form();
    if (rebuild) set_emblem();
    th_leave();
    if (rebuild && (old == fefo_ICON || fefo == fefo_ICON)) ic_mshow(0, -1, -1, -1, -1, nullptr);

    th_enter();
    if (fefo == fefo_NORMAL && MODUS('T') && mainwindow)
        gtk_window_set_keep_above(GTK_WINDOW(mainwindow), TRUE);
    bool alarm = false;
    bool changed = update_lines(&alarm);
    char mini[cc_mtextLEN];
    changed = update_mini(&alarm, mini, sizeof mini) || changed;
    shown.stale = false;
    update_title();
    update_record(changed, mini);
    const bool hide_splash = changed && alarm && fefo == fefo_OHNE;
    th_leave();
    if (hide_splash) cs_show(0);
}

void cc_quit() {
    if (mainwindow || fefo == fefo_OHNE) return;
    fefo = fefo_OHNE;
    cc_show();
}

bool cc_maximized() {
    return cc__maximized;
}

void cc_getposition(int* x, int* y) {
    if (!mainwindow || !x || !y) return;
    th_enter();
    gtk_window_get_position(GTK_WINDOW(mainwindow), x, y);
    th_leave();
}

void cc_tick() {
    if (!cc__wantnormal) return;
    th_enter();
    if (!mainwindow) {
        cc__wantnormal = false;
    } else {
        gtk_window_deiconify(GTK_WINDOW(mainwindow));
        gtk_window_set_keep_above(GTK_WINDOW(mainwindow), TRUE);
    }
    th_leave();
}

void cc_seticon() {
    th_enter();
    set_emblem();
    th_leave();
}

void setcolor(GtkWidget* w, const char* c) {
    GdkColor colour;
    if (!gdk_color_parse(c, &colour)) return;
    for (GtkStateType s : {GTK_STATE_NORMAL, GTK_STATE_ACTIVE, GTK_STATE_SELECTED}) {
        gtk_widget_modify_base(w, s, &colour);
        gtk_widget_modify_bg(w, s, &colour);
    }
}

bool svclesen(char* datei) {
    if (datei) datei[0] = 0;
    return false;
}
