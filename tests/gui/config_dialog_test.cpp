// The configuration dialog on a real X server, run from a worker thread as the configuration
// program runs it, and worked through the mouse and the keyboard.
#include "gui_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "ui/config_dialog.h"
#include "ui/labels.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

const bool display_ready = (gui::ensure_display(), true);

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

// Every text the label table gives its widgets, read back from the widgets themselves.
std::map<std::string, std::string> texts() {
    return gui::locked([] {
        std::map<std::string, std::string> out;
        struct Ctx {
            std::map<std::string, std::string>* out;
            int i;
        } ctx{&out, 0};
        ls__walk(
            [](char k, GtkWidget* w, const char*, void* d) {
                auto* c = static_cast<Ctx*>(d);
                std::string v;
                if (k == 'B' || k == 'X' || k == 'R') v = gtk_button_get_label(GTK_BUTTON(w));
                if (k == 'L') v = gtk_label_get_text(GTK_LABEL(w));
                if (k == 'W') v = gtk_window_get_title(GTK_WINDOW(w));
                if (k == 'G' && gtk_frame_get_label(GTK_FRAME(w)))
                    v = gtk_frame_get_label(GTK_FRAME(w));
                if (k == 'T' && gtk_widget_get_tooltip_text(w)) {
                    gchar* t = gtk_widget_get_tooltip_text(w);
                    v = t;
                    g_free(t);
                }
                if (k == 'C') {
                    GtkComboBox* cb = GTK_COMBO_BOX(w);
                    v = std::to_string(gtk_combo_box_get_active(cb)) + ":";
                    GtkTreeModel* m = gtk_combo_box_get_model(cb);
                    GtkTreeIter it;
                    for (bool ok = gtk_tree_model_get_iter_first(m, &it); ok;
                         ok = gtk_tree_model_iter_next(m, &it)) {
                        gchar* s = nullptr;
                        gtk_tree_model_get(m, &it, 0, &s, -1);
                        v += std::string(s ? s : "") + "|";
                        g_free(s);
                    }
                }
                (*c->out)[std::to_string(c->i++) + k] = v;
            },
            &ctx);
        return out;
    });
}

class ConfigDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = true;
        inidat.funktion = FUNKTION_CONFIG;
        configtab = 0;
    }
};

GtkWidget* wait_dialog(const char* title) {
    GtkWidget* w = gui::wait_titled(title);
    if (!w)
        gui::locked([] {
            GList* all = gtk_window_list_toplevels();
            for (GList* l = all; l; l = l->next) {
                const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
                ADD_FAILURE() << "window \"" << (t ? t : "(none)") << "\" visible "
                              << gtk_widget_get_visible(GTK_WIDGET(l->data)) << " mapped "
                              << gtk_widget_get_mapped(GTK_WIDGET(l->data));
            }
            g_list_free(all);
            return 0;
        });
    return w;
}

} // namespace

TEST_F(ConfigDialog, LanguageSwitchedTwiceRestoresEveryTextAndCancelRestoresLanguage) {
    inidat.icon = 5;
    inidat.day = 15;
    DialogRun run;
    run.start();
    GtkWidget* w = wait_dialog("mavlyn   Konfiguration");
    ASSERT_NE(w, nullptr);
    auto german = texts();
    GtkWidget* sw = gui::button(w, "Switch to English");
    ASSERT_NE(sw, nullptr);
    ASSERT_TRUE(
        gui::with_retries([&] { return gui::activate(w) && gui::click(sw); }, [] { return !_de; }));
    auto english = texts();
    EXPECT_NE(english, german);
    EXPECT_EQ(gui::locked([w] { return std::string(gtk_window_get_title(GTK_WINDOW(w))); }),
              "mavlyn   Configuration");
    EXPECT_NE(gui::button(w, "Cancel"), nullptr);
    GtkWidget* back = gui::button(w, "Umschalten nach Deutsch");
    ASSERT_NE(back, nullptr);
    ASSERT_TRUE(gui::with_retries([&] { return gui::click(back); }, [] { return _de; }));
    auto again = texts();
    // Every label, tooltip, frame title, combo item and selection is as before.
    EXPECT_EQ(again.size(), german.size());
    for (const auto& [k, v] : german) EXPECT_EQ(again[k], v) << k;
    // Once more to English, then Cancel: the language before the dialog comes back.
    ASSERT_TRUE(gui::with_retries([&] { return gui::click(gui::button(w, "Switch to English")); },
                                  [] { return !_de; }));
    GtkWidget* cancel = gui::button(w, "Cancel");
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(gui::click_closing(cancel));
    EXPECT_EQ(run.join(), 0);
    EXPECT_TRUE(_de);
    EXPECT_EQ(mainwindow, nullptr);
}

TEST_F(ConfigDialog, OkWritesTheFieldsBack) {
    _de = false;
    strMcpy(inidat.net, "26202");
    inidat.batt1 = 30;
    inidat.batt2 = 10;
    inidat.enduhrzeit1 = 1320;
    inidat.hinweisk = '8';
    DialogRun run;
    run.start();
    GtkWidget* w = wait_dialog("mavlyn   Configuration");
    ASSERT_NE(w, nullptr);
    // The hint of code 8 is shown.
    EXPECT_TRUE(gui::locked([w] {
        return gui::find_child(w, GTK_TYPE_LABEL, [](GtkWidget* l) {
                   return strcmp(gtk_label_get_text(GTK_LABEL(l)),
                                 "Please enter APN at \"Network\".") == 0;
               }) != nullptr;
    }));
    // Fields set as a user would leave them; the entries are found by their keys.
    gui::locked([w] {
        auto by_key = [w](const char* key, int nth) {
            int n = 0;
            return gui::find_child(w, GTK_TYPE_ENTRY, [&](GtkWidget* e) {
                gchar* t = gtk_widget_get_tooltip_text(e);
                bool m = t && strcmp(t, key) == 0 && n++ == nth;
                g_free(t);
                return m;
            });
        };
        auto combo_by_key = [w](const char* key) {
            return gui::find_child(w, GTK_TYPE_COMBO_BOX, [&](GtkWidget* e) {
                gchar* t = gtk_widget_get_tooltip_text(e);
                bool m = t && strcmp(t, key) == 0;
                g_free(t);
                return m;
            });
        };
        gtk_entry_set_text(GTK_ENTRY(by_key("ENDC=", 0)), "22:30");
        gtk_entry_set_text(GTK_ENTRY(by_key("ENDC=", 1)), "");
        gtk_entry_set_text(GTK_ENTRY(by_key("BATT=", 0)), "120");
        gtk_entry_set_text(GTK_ENTRY(by_key("BATT=", 1)), "150");
        gtk_entry_set_text(GTK_ENTRY(by_key("APN=   no APN: NONE", 0)), "internet.t-d1.de");
        gtk_entry_set_text(GTK_ENTRY(by_key("REM=", 0)), "Büro");
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo_by_key("NET=")), 2);
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo_by_key("ICON=")), 4);
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo_by_key("CMD1=")), 4);
        gtk_entry_set_text(GTK_ENTRY(by_key("CMD1=", 0)), "touch x");
        return 0;
    });
    GtkWidget* ok = gui::button(w, "    OK    ");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(gui::click_closing(ok));
    EXPECT_EQ(run.join(), 1);
    EXPECT_EQ(inidat.enduhrzeit1, 1350);
    EXPECT_EQ(inidat.enduhrzeit2, -1);
    EXPECT_EQ(inidat.batt1, 100);
    EXPECT_EQ(inidat.batt2, 100);
    EXPECT_STREQ(inidat.net, "") << "Automatic, all networks";
    EXPECT_STREQ(inidat.apn, "internet.t-d1.de");
    EXPECT_STREQ(inidat.rem, "Büro");
    EXPECT_EQ(inidat.icon, 5);
    EXPECT_STREQ(inidat.cmd[0], ",touch x");
    EXPECT_EQ(inidat.hinweisk, '0');
    EXPECT_EQ(inidat.err[ERR_FRZ], 15) << "untouched fields keep their values";
    EXPECT_TRUE(inidat.constart);
    EXPECT_EQ(mainwindow, nullptr);
}

TEST_F(ConfigDialog, EscapeCancelsAndStoresNothing) {
    strMcpy(inidat.apn, "keep.me");
    DialogRun run;
    run.start();
    GtkWidget* w = wait_dialog("mavlyn   Konfiguration");
    ASSERT_NE(w, nullptr);
    gui::locked([w] {
        GtkWidget* e = gui::find_child(w, GTK_TYPE_ENTRY, [](GtkWidget* x) {
            return strcmp(gtk_entry_get_text(GTK_ENTRY(x)), "keep.me") == 0;
        });
        if (e) gtk_entry_set_text(GTK_ENTRY(e), "changed");
        return 0;
    });
    EXPECT_TRUE(gui::keys_closing(w, "Escape"));
    EXPECT_EQ(run.join(), 0);
    EXPECT_STREQ(inidat.apn, "keep.me");
}
