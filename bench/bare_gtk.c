/* The floor the idle figures are measured against: a GTK 2 window with a line of text, a
 * status icon in the panel and a two-second timer that touches it, and nothing else. */
#include <gtk/gtk.h>

static gboolean tick(gpointer label) {
    static int n;
    gtk_label_set_text(GTK_LABEL(label), (n++ & 1) ? " Not connected." : " Not connected");
    return TRUE;
}

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "bare");
    GtkWidget* label = gtk_label_new(" Not connected.");
    gtk_container_add(GTK_CONTAINER(window), label);
    gtk_widget_show_all(window);
    GtkStatusIcon* icon = gtk_status_icon_new_from_stock(GTK_STOCK_NETWORK);
    gtk_status_icon_set_tooltip(icon, "bare");
    g_timeout_add(2000, tick, label);
    gtk_main();
    return 0;
}
