// The configuration dialog: the SMS page (message lists, phone book, sending).
#include "ui/config_dialog_parts.h"

#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/labels.h"
#include "ui/sms_phonebook.h"
#include "ui/splash.h"

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
    select_line(b, at, &smsblock);
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

} // namespace cfd
