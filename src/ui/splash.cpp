#include "ui/splash.h"

#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <gtk/gtk.h>

namespace {

GtkWidget* cs__window = nullptr;
GtkWidget* cs__text = nullptr;
bool cs__ready = false;
char cs__splashtext[60] = "";
char cs__splashutf8[101] = "";

// Inside the GUI lock.
void cs__ini() {
    cs__window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_position(GTK_WINDOW(cs__window), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(cs__window), TRUE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(cs__window), TRUE);
    gtk_window_set_decorated(GTK_WINDOW(cs__window), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(cs__window), 5);
    GdkColor yellow;
    gdk_color_parse("#ffff00", &yellow);
    gtk_widget_modify_bg(cs__window, GTK_STATE_NORMAL, &yellow);
    GtkWidget* box = gtk_vbox_new(TRUE, 1);
    gtk_container_add(GTK_CONTAINER(cs__window), box);
    gtk_box_pack_start(GTK_BOX(box), gtk_label_new("mavlyn"), TRUE, TRUE, 0);
    cs__text = gtk_label_new("Start.");
    gtk_box_pack_start(GTK_BOX(box), cs__text, TRUE, TRUE, 0);
    gtk_widget_show_all(box);
    cs__ready = true;
}

gpointer cs__hidelater(gpointer data) {
    msleep(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(data)));
    th_enter();
    if (cs__window) gtk_widget_hide(cs__window);
    th_leave();
    return nullptr;
}

bool suppressed(int kind) {
    switch (kind) {
    case 1:
        return cs_nosplash || smsconfigsub;
    case 2:
    case 3:
    case 10:
    case 11:
    case 12:
        return cs_nosplash;
    default:
        return false;
    }
}

} // namespace

cs__kind_t cs__kind(int kind) {
    if (suppressed(kind)) return {nullptr, 0};
    switch (kind) {
    case 1:
        return {"Start.", 0};
    case 2:
        return {"Restart.", 0};
    case 3:
        return {"End.", 0};
    case 5:
        return {T("Daten werden gespeichert.", "Storing configuration data."), 0};
    case 9:
        return {cs__splashutf8, 0};
    case 10:
        return {T("Programm wird beendet.", "Terminating the programm."), 0};
    case 11:
        return {T("Standby wird eingeleitet.", "Entering standby."), 0};
    case 12:
        return {T("R" U8ue "ckkehr aus Standby.", "Resuming from standby."), 0};
    case 21:
        return {T("Bitte einige Sekunden warten.", "Please wait some seconds."), 4000};
    case 32:
        return {"Still running.", 2500};
    case 33:
        return {T("Sende-Auftrag angenommen.", "Send request accepted."), 1500};
    case 34:
        return {T("Name gespeichert.", "Name stored."), 2000};
    default:
        return {nullptr, 0};
    }
}

void cs_splashtext(const char* t) {
    strMcpy(cs__splashtext, t ? t : "");
    strMtoutf8(cs__splashutf8, cs__splashtext);
}

void cs_show(int kind) {
    // Roles and tools that run without a display have no splash.
    if (!gdk_display_get_default()) return;
    cs__kind_t k = cs__kind(kind);
    if (k.text && k.hideafter)
        th_create(cs__hidelater, reinterpret_cast<gpointer>(static_cast<uintptr_t>(k.hideafter)));
    th_enter();
    if (!cs__ready) cs__ini();
    if (k.text) {
        gtk_label_set_text(GTK_LABEL(cs__text), k.text);
        gtk_widget_show(cs__window);
        gtk_window_present(GTK_WINDOW(cs__window));
    } else {
        gtk_widget_hide(cs__window);
    }
    th_leave();
}
