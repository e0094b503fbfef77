// Running the configuration dialog in its own thread and finding its widgets by tooltip, as
// the dialog's tests need it.
#pragma once

#include "gui_support.h"
#include "ui/config_dialog.h"

#include <cstring>

namespace gui {

// cf_dialog runs its own loop until OK or Cancel; the test drives it from outside.
struct DialogRun {
    int result = -2;
    GThread* t = nullptr;
    static gpointer body(gpointer p) {
        static_cast<DialogRun*>(p)->result = cf_dialog(1, nullptr);
        return nullptr;
    }
    void start() { t = g_thread_new("cfdialog", body, this); }
    int join() {
        g_thread_join(t);
        return result;
    }
};

// The first widget of the type below top whose tooltip is tip.
inline GtkWidget* by_tooltip(GtkWidget* top, GType type, const char* tip) {
    return locked([&] {
        return find_child(top, type, [&](GtkWidget* e) {
            gchar* t = gtk_widget_get_tooltip_text(e);
            bool m = t && strcmp(t, tip) == 0;
            g_free(t);
            return m;
        });
    });
}

} // namespace gui
