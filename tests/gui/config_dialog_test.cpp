// The configuration dialog on a real X server, run from a worker thread as the configuration
// program runs it, and worked through the mouse and the keyboard.
#include "config_dialog_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "ui/config_dialog.h"
#include "ui/labels.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

const bool display_ready = (gui::ensure_display(), true);

using gui::DialogRun;

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

// The whole screen as artifacts/NAME.png in the directory the tests started in.
void screenshot(const std::string& dir, const std::string& name) {
    gui::locked([&] {
        GdkWindow* root = gdk_get_default_root_window();
        int rw, rh;
        gdk_drawable_get_size(root, &rw, &rh);
        GdkPixbuf* all = gdk_pixbuf_get_from_drawable(nullptr, root, nullptr, 0, 0, 0, 0, rw, rh);
        mkdir((dir + "/artifacts").c_str(), 0755);
        if (all) {
            gdk_pixbuf_save(all, (dir + "/artifacts/" + name + ".png").c_str(), "png", nullptr,
                            nullptr);
            g_object_unref(all);
        }
        return 0;
    });
}

std::string view_text(GtkWidget* v) {
    return gui::locked([v] {
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(v));
        GtkTextIter from, to;
        gtk_text_buffer_get_bounds(b, &from, &to);
        gchar* t = gtk_text_buffer_get_text(b, &from, &to, FALSE);
        std::string out = t ? t : "";
        g_free(t);
        return out;
    });
}

// The text views of the dialog in the order they were built.
std::vector<GtkWidget*> text_views(GtkWidget* top) {
    return gui::locked([top] {
        GList* all = nullptr;
        gui::collect(top, GTK_TYPE_TEXT_VIEW, &all);
        std::vector<GtkWidget*> out;
        for (GList* l = all; l; l = l->next) out.push_back(GTK_WIDGET(l->data));
        g_list_free(all);
        return out;
    });
}

std::string file_text(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A working directory of its own for the files of the SMS page.
class SmsPage : public ConfigDialog {
  protected:
    void SetUp() override {
        ConfigDialog::SetUp();
        start_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/mavlyn-gui-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::filesystem::current_path(dir_);
        std::filesystem::create_directory("sms_in");
        std::ofstream("sms_in/sms_20101011_123456__491577123.txt") << "Hallo Welt";
        std::ofstream("sms_in/sms_20101012_080000__-22202.txt") << "Ihr Guthaben";
        std::ofstream("sms_name.ini") << "# mavlyn\r\nMeier, Hans   +491577123\r\n";
        configtab = 9;
    }
    void TearDown() override {
        std::filesystem::current_path(start_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        configtab = 0;
    }
    std::string start_, dir_;
};

// Clicks a point inside a widget, given from its top left corner.
bool click_at(GtkWidget* w, int dx, int dy) {
    int x = 0, y = 0;
    bool ok = gui::locked([&] {
        GdkWindow* win = gtk_widget_get_window(w);
        if (!win) return false;
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        gdk_window_get_origin(win, &x, &y);
        if (!gtk_widget_get_has_window(w)) {
            x += a.x;
            y += a.y;
        }
        x += dx;
        y += dy;
        return true;
    });
    return ok &&
           gui::sh("xdotool mousemove " + std::to_string(x + 1) + " " + std::to_string(y) +
                   " mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

} // namespace

TEST_F(ConfigDialog, EveryPageInBothLanguagesIsShown) {
    const std::string start = std::filesystem::current_path();
    DialogRun run;
    run.start();
    GtkWidget* w = wait_dialog("mavlyn   Konfiguration");
    ASSERT_NE(w, nullptr);
    GtkWidget* notebook = gui::locked([w] { return gui::find_child(w, GTK_TYPE_NOTEBOOK); });
    ASSERT_NE(notebook, nullptr);
    for (const char* lang : {"de", "en"}) {
        for (int page = 0; page < 10; page++) {
            gui::locked([&] {
                gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
                return 0;
            });
            ASSERT_TRUE(gui::eventually([&] { return configtab == page; })) << page;
            // The page is laid out in an idle turn of the main loop, then drawn.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            gui::locked([] {
                gdk_window_process_all_updates();
                gdk_flush();
                return 0;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            screenshot(start, std::string("config_") + lang + "_page" + std::to_string(page));
        }
        GtkWidget* sw = gui::button(w, "Switch to English");
        if (!sw) continue; // English already: the last round
        ASSERT_TRUE(gui::with_retries([&] { return gui::click(sw); }, [] { return !_de; }));
    }
    EXPECT_TRUE(gui::keys_closing(w, "Escape"));
    EXPECT_EQ(run.join(), 0);
}

TEST_F(SmsPage, ListsShowsQueuesAndStoresANewNameOnce) {
    _de = false;
    DialogRun run;
    run.start();
    GtkWidget* w = wait_dialog("mavlyn   Configuration");
    ASSERT_NE(w, nullptr);
    std::vector<GtkWidget*> views = text_views(w);
    // Inbox list, outbox list, message view, then the message field.
    auto list = std::find_if(views.begin(), views.end(), [](GtkWidget* v) {
        return view_text(v).find("2010-10-11") != std::string::npos;
    });
    ASSERT_NE(list, views.end());
    ASSERT_GE(views.end() - list, 4);
    GtkWidget* inbox = list[0];
    GtkWidget* message = list[2];
    GtkWidget* field = list[3];
    EXPECT_EQ(view_text(inbox), " \t2010-10-11\t12:34'56\tMeier, Hans\t+491577123\n"
                                " \t2010-10-12\t08:00'00\t\t-22202\n");
    // The entry beside the label "Addressee".
    GtkWidget* addressee = gui::locked([w] {
        GtkWidget* l = gui::find_child(w, GTK_TYPE_LABEL, [](GtkWidget* x) {
            return strcmp(gtk_label_get_text(GTK_LABEL(x)), "Addressee") == 0;
        });
        return l ? gui::find_child(gtk_widget_get_parent(l), GTK_TYPE_ENTRY) : nullptr;
    });
    ASSERT_NE(addressee, nullptr);

    // The phone book offers its entry; choosing it fills the addressee field.
    GtkWidget* book = gui::locked([w] {
        return gui::find_child(w, GTK_TYPE_COMBO_BOX, [](GtkWidget* c) {
            GtkTreeModel* m = gtk_combo_box_get_model(GTK_COMBO_BOX(c));
            return gtk_tree_model_iter_n_children(m, nullptr) == 1 &&
                   gtk_combo_box_get_active(GTK_COMBO_BOX(c)) == -1;
        });
    });
    ASSERT_NE(book, nullptr);
    gui::locked([book] {
        gtk_combo_box_set_active(GTK_COMBO_BOX(book), 0);
        return 0;
    });
    EXPECT_EQ(gui::entry_text(addressee), "Meier, Hans   +491577123");
    EXPECT_EQ(gui::locked([book] { return gtk_combo_box_get_active(GTK_COMBO_BOX(book)); }), -1);

    // A click on the second line shows that message and takes its number as addressee.
    ASSERT_TRUE(gui::activate(w));
    int line_height = gui::locked([inbox] {
        GtkTextIter it;
        gtk_text_buffer_get_start_iter(gtk_text_view_get_buffer(GTK_TEXT_VIEW(inbox)), &it);
        int y, h;
        gtk_text_view_get_line_yrange(GTK_TEXT_VIEW(inbox), &it, &y, &h);
        return h;
    });
    ASSERT_TRUE(gui::with_retries([&] { return click_at(inbox, 20, line_height * 3 / 2 + 2); },
                                  [&] { return view_text(message) == "Ihr Guthaben"; }));
    EXPECT_EQ(gui::entry_text(addressee), "   -22202");
    screenshot(start_, "config_sms_message");

    // A new name with a new number: queued, and the name stored once.
    gui::locked([&] {
        gtk_entry_set_text(GTK_ENTRY(addressee), "Neu   +4930123");
        gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(field)), "Test 1", -1);
        return 0;
    });
    GtkWidget* send = gui::button(w, "Send");
    ASSERT_NE(send, nullptr);
    auto queued = [] {
        int n = 0;
        std::error_code ec;
        for (auto& e : std::filesystem::directory_iterator("sms_send", ec)) {
            (void)e;
            n++;
        }
        return n;
    };
    ASSERT_TRUE(gui::with_retries([&] { return gui::click(send); }, [&] { return queued() == 1; }));
    ASSERT_TRUE(gui::eventually(
        [] { return file_text("sms_name.ini").find("\r\nNeu   +4930123") != std::string::npos; }));
    // The outbox lists it as waiting, with the stored name.
    GtkWidget* tabs = gui::locked([w] {
        return gui::find_child(w, GTK_TYPE_NOTEBOOK, [](GtkWidget* n) {
            return gtk_notebook_get_n_pages(GTK_NOTEBOOK(n)) == 2;
        });
    });
    ASSERT_NE(tabs, nullptr);
    gui::locked([tabs] {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(tabs), 1);
        return 0;
    });
    ASSERT_TRUE(gui::eventually([&] {
        return view_text(list[1]).find("\tNeu\t+4930123\n") != std::string::npos &&
               view_text(list[1])[0] == '*';
    }));
    screenshot(start_, "config_sms_outbox");

    // Sent again under the same name: a second message, no second phone-book line. The
    // splash of the first one is gone first, so that it cannot take the click.
    ASSERT_TRUE(gui::eventually([] { return gui::count_visible() == 1; }));
    ASSERT_TRUE(gui::with_retries([&] { return gui::activate(w) && gui::click(send); },
                                  [&] { return queued() == 2; }));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::string names = file_text("sms_name.ini");
    EXPECT_EQ(names.find("Neu"), names.rfind("Neu"));

    // A number without its plus sign is refused with a notice.
    gui::locked([&] {
        gtk_entry_set_text(GTK_ENTRY(addressee), "030123");
        return 0;
    });
    ASSERT_TRUE(gui::eventually([] { return gui::count_visible() == 1; }));
    ASSERT_TRUE(gui::activate(w) && gui::click(send));
    GtkWidget* notice = gui::wait_titled("mavlyn   SMS");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(gui::keys_closing(notice, "Return"));
    EXPECT_EQ(queued(), 2);

    EXPECT_TRUE(gui::keys_closing(w, "Escape"));
    EXPECT_EQ(run.join(), 0);
}

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
