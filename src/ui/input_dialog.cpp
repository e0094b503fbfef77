#include "ui/input_dialog.h"

#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/message_box.h"

#include <cstring>
#include <gdk/gdkkeysyms.h>
#include <initializer_list>

int ce__inputart = 0;
int ce__ret = 0;
GtkWidget* ce__buttonapply = nullptr;
GtkWidget* ce__buttonsave = nullptr;

namespace {

me__answer ce__finalize;
GtkWidget* ce__entry = nullptr;

int kind(int art) {
    return art & 15;
}

// The first answer counts; the waiting caller takes its value from ce__finalize.
void ce__give(int value) {
    if (ce__finalize.give(value)) ce__ret = value;
}

void ce__button(GtkWidget*, gpointer value) {
    ce__give(GPOINTER_TO_INT(value));
}

gboolean ce__closewindow(GtkWidget*, GdkEvent*, gpointer) {
    ce__give(0);
    return TRUE;
}

// The window went with the main window: nobody can answer any more.
void ce__destroyed(GtkWidget*, gpointer) {
    ce__entry = nullptr;
    ce__give(0);
}

// Brings the field and the buttons in line with the text.
void ce__check(GtkEntry* entry) {
    bool clear = false;
    int len = ce__effectivelength(ce__inputart, gtk_entry_get_text(entry), &clear);
    if (clear) gtk_entry_set_text(entry, "");
    if (ce__buttonapply) gtk_widget_set_sensitive(ce__buttonapply, len > 0);
    if (ce__buttonsave) gtk_widget_set_sensitive(ce__buttonsave, len > 0);
}

gboolean ce__key(GtkWidget* entry, GdkEventKey* ev, gpointer) {
    if (ev->keyval == GDK_Escape) {
        ce__give(0);
        return FALSE;
    }
    bool enter = ev->keyval == GDK_Return || ev->keyval == GDK_KP_Enter || ev->keyval == 13;
    if (enter && ce__buttonapply && gtk_widget_is_sensitive(ce__buttonapply)) {
        ce__give(1);
        return FALSE;
    }
    ce__check(GTK_ENTRY(entry));
    return FALSE;
}

// Text pasted with the mouse reaches the field without a key; it is checked the same way.
void ce__changed(GtkEditable* entry, gpointer) {
    ce__check(GTK_ENTRY(entry));
}

GtkWidget* stock_button(const char* stock, int value, bool sensitive) {
    GtkWidget* b = gtk_button_new_from_stock(stock);
    g_signal_connect(b, "clicked", G_CALLBACK(ce__button), GINT_TO_POINTER(value));
    gtk_widget_set_sensitive(b, sensitive);
    return b;
}

GtkWidget* build_entry(int art, const char* prompt) {
    GtkWidget* hbox = gtk_hbox_new(FALSE, 3);
    gtk_box_pack_start(GTK_BOX(hbox), gtk_label_new(prompt), FALSE, FALSE, 0);
    ce__entry = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(ce__entry), (art & ce_HIDDEN) == 0);
    gtk_widget_set_size_request(ce__entry, (art & ce_SHORT) ? 80 : 180, -1);
    g_signal_connect(ce__entry, "key-release-event", G_CALLBACK(ce__key), nullptr);
    g_signal_connect(ce__entry, "changed", G_CALLBACK(ce__changed), nullptr);
    gtk_box_pack_start(GTK_BOX(hbox), ce__entry, FALSE, FALSE, 0);
    return hbox;
}

GtkWidget* build_buttons(int art) {
    GtkWidget* align = gtk_alignment_new(1, 0, 0, 0);
    GtkWidget* hbox = gtk_hbox_new(FALSE, 3);
    gtk_container_add(GTK_CONTAINER(align), hbox);
    gtk_box_pack_start(GTK_BOX(hbox), stock_button(GTK_STOCK_CANCEL, 0, true), FALSE, FALSE, 0);
    if (kind(art) == ce_PIN) {
        ce__buttonsave = stock_button(GTK_STOCK_SAVE, 2, false);
        gtk_widget_set_tooltip_text(ce__buttonsave, _de ? "PIN speichern und immer verwenden"
                                                        : "Save PIN and use it continously");
        gtk_box_pack_start(GTK_BOX(hbox), ce__buttonsave, FALSE, FALSE, 0);
    }
    ce__buttonapply = stock_button(GTK_STOCK_APPLY, 1, false);
    gtk_box_pack_start(GTK_BOX(hbox), ce__buttonapply, FALSE, FALSE, 0);
    return align;
}

void build_text(GtkWidget* w, int art, const char* prompt) {
    GtkWidget* vbox = gtk_vbox_new(FALSE, 3);
    gtk_container_add(GTK_CONTAINER(w), vbox);
    gtk_box_pack_start(GTK_BOX(vbox), build_entry(art, prompt), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(vbox), build_buttons(art), FALSE, FALSE, 0);
    gtk_widget_set_can_default(ce__buttonapply, TRUE);
    gtk_widget_grab_default(ce__buttonapply);
    gtk_widget_grab_focus(ce__entry);
}

GtkWidget* language_column(const char* greeting, const char* question, const char* button,
                           int value, GtkWidget** b) {
    GtkWidget* vbox = gtk_vbox_new(FALSE, 8);
    gtk_box_pack_start(GTK_BOX(vbox), gtk_label_new(greeting), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(vbox), gtk_label_new(question), FALSE, FALSE, 0);
    *b = gtk_button_new_with_label(button);
    g_signal_connect(*b, "clicked", G_CALLBACK(ce__button), GINT_TO_POINTER(value));
    gtk_box_pack_start(GTK_BOX(vbox), *b, FALSE, FALSE, 0);
    return vbox;
}

void build_language(GtkWidget* w) {
    GtkWidget* hbox = gtk_hbox_new(TRUE, 8);
    gtk_container_add(GTK_CONTAINER(w), hbox);
    GtkWidget* english;
    GtkWidget* deutsch;
    gtk_box_pack_start(
        GTK_BOX(hbox),
        language_column("Welcome!", "Please select\nyour language.", "English", 2, &english), TRUE,
        TRUE, 0);
    gtk_box_pack_start(GTK_BOX(hbox),
                       language_column("Willkommen!", "Bitte w" U8ae "hlen Sie\nIhre Sprache.",
                                       "Deutsch", 1, &deutsch),
                       TRUE, TRUE, 0);
    gtk_widget_set_can_default(english, TRUE);
    gtk_widget_grab_focus(english);
}

void copy_result(char* text) {
    if (!text) return;
    text[0] = 0;
    if (ce__ret != 0 && ce__entry)
        strmcpy(text, gtk_entry_get_text(GTK_ENTRY(ce__entry)), ce_TEXTMAX);
}

void forget_widgets() {
    ce__entry = nullptr;
    ce__buttonapply = nullptr;
    ce__buttonsave = nullptr;
}

} // namespace

int ce__effectivelength(int art, const char* entry, bool* clear) {
    *clear = false;
    int len = entry ? static_cast<int>(strlen(entry)) : 0;
    if ((art & ce_DIGITS) && len > 0 && strspn(entry, "0123456789") != static_cast<size_t>(len)) {
        *clear = true;
        len = 0;
    }
    if ((art & ce_SHORT) && len < 4) len = 0;
    return len;
}

int ce_inputdialog(int art, const char* ueberschrift, const char* prompt, char* text) {
    static GMutex serialise;
    char title[200];
    char label[400];
    strMtoutf8(title, ueberschrift ? ueberschrift : "");
    strMtoutf8(label, prompt ? prompt : "");

    const bool onloop = me__ongtkthread();
    if (!onloop) th_enter();
    me__lockdialog(&serialise);
    ce__finalize.reset();
    ce__ret = 0;
    ce__inputart = art;
    GtkWidget* w = me__dialogwindow(title);
    // Asked from the main loop, the other windows wait for the answer.
    if (onloop) gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    if (kind(art) == ce_LANGUAGE)
        build_language(w);
    else
        build_text(w, art, label);
    gtk_widget_show_all(w);
    gtk_window_present(GTK_WINDOW(w));
    gulong del = g_signal_connect(w, "delete-event", G_CALLBACK(ce__closewindow), nullptr);
    gulong gone = g_signal_connect(w, "destroy", G_CALLBACK(ce__destroyed), nullptr);
    me__watch(&w);

    me__await(ce__finalize, 0);
    // The handler may not have stored ce__ret yet when the wait ends.
    ce__ret = ce__finalize.value();
    copy_result(text);
    // A window destroyed with the main window has lost its handlers already.
    for (gulong h : {del, gone})
        if (w && g_signal_handler_is_connected(w, h)) g_signal_handler_disconnect(w, h);
    me__destroy(&w);
    forget_widgets();
    int ret = ce__ret;
    g_mutex_unlock(&serialise);
    if (!onloop) th_leave();
    return ret;
}
