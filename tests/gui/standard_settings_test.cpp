// The standard settings of the configuration dialog's "Global" page: the provider list from
// mavlynS.ini, taking a provider's values, and reloading the list from a wiki on loopback.
#include "gui_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "loopback_server.h"
#include "ui/config_dialog.h"
#include "ui/standard_settings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

const bool display_ready = (gui::ensure_display(), true);

using gui::by_tooltip;
using gui::DialogRun;

const char* const wikisource = "== Deutschland ==\n"
                               "{{Settings|PROVIDER=Fonic|PLMN=;26203|APN=pinternet.interkom.de|"
                               "USERNAME=fonic|PASSWORD=geheim|SMSC=+491760000443|"
                               "PPQ=<nowiki>*100#</nowiki>|PPC=*101*|HOMU=|HOMI=x}}\n"
                               "|||Fonic Surf-Stick\n"
                               "== \xC3\x96sterreich ==\n"
                               "{{Settings|PROVIDER=A1|PLMN=23201|APN=A1.net}}\n";

std::string file_text(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::vector<std::string> items(GtkWidget* combo) {
    return gui::locked([combo] {
        std::vector<std::string> out;
        GtkTreeModel* m = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
        GtkTreeIter it;
        for (gboolean ok = gtk_tree_model_get_iter_first(m, &it); ok;
             ok = gtk_tree_model_iter_next(m, &it)) {
            gchar* t = nullptr;
            gtk_tree_model_get(m, &it, 0, &t, -1);
            out.push_back(t ? t : "");
            g_free(t);
        }
        return out;
    });
}

int active(GtkWidget* combo) {
    return gui::locked([combo] { return gtk_combo_box_get_active(GTK_COMBO_BOX(combo)); });
}

void choose(GtkWidget* combo, int item) {
    gui::locked([=] {
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), item);
        return 0;
    });
}

// The page of the notebook without tabs that sits below the provider list.
int stdpage(GtkWidget* top) {
    return gui::locked([top] {
        GtkWidget* nb = gui::find_child(top, GTK_TYPE_NOTEBOOK, [](GtkWidget* n) {
            return !gtk_notebook_get_show_tabs(GTK_NOTEBOOK(n));
        });
        return nb ? gtk_notebook_get_current_page(GTK_NOTEBOOK(nb)) : -1;
    });
}

// The n-th entry whose tooltip is tip.
GtkWidget* nth_entry(GtkWidget* top, const char* tip, int n) {
    return gui::locked([&] {
        int i = 0;
        return gui::find_child(top, GTK_TYPE_ENTRY, [&](GtkWidget* e) {
            gchar* t = gtk_widget_get_tooltip_text(e);
            bool m = t && strcmp(t, tip) == 0 && i++ == n;
            g_free(t);
            return m;
        });
    });
}

class StandardSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
        inidat.funktion = FUNKTION_CONFIG;
        configtab = 1;
        start_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/mavlyn-gui-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(start_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        configtab = 0;
        se__wikihost = "www.wilvar.de";
    }
    // Starts the dialog and returns its window, or nullptr.
    GtkWidget* open() {
        run_.start();
        return gui::wait_titled("mavlyn   Configuration");
    }
    static GtkWidget* providers(GtkWidget* w) {
        return by_tooltip(w, GTK_TYPE_COMBO_BOX, "mavlynS.ini");
    }
    DialogRun run_;
    std::string start_, dir_;
};

} // namespace

TEST_F(StandardSettings, ProviderValuesAreTakenAndTheListSurvivesTheLanguageSwitch) {
    std::ofstream("mavlynS.ini", std::ios::binary) << se__settingsfile(wikisource);
    GtkWidget* w = open();
    ASSERT_NE(w, nullptr);
    GtkWidget* list = providers(w);
    ASSERT_NE(list, nullptr);
    const std::vector<std::string> english = {
        "To load standard settings please choose here.",
        "-- reload list of Internet providers down from the Internet --", "Deutschland   Fonic",
        "Fonic Surf-Stick", "\xC3\x96sterreich   A1"};
    EXPECT_EQ(items(list), english);
    EXPECT_EQ(active(list), 0);
    EXPECT_EQ(stdpage(w), 0);

    // A further-entry line offers nothing to take.
    choose(list, 3);
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 2; }));
    GtkWidget* confirm = gui::button(w, "Confirm");
    GtkWidget* apn = by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE");
    ASSERT_NE(confirm, nullptr);
    ASSERT_NE(apn, nullptr);
    gui::locked([confirm] {
        gtk_button_clicked(GTK_BUTTON(confirm));
        return 0;
    });
    EXPECT_EQ(gui::entry_text(apn), "");

    choose(list, 2);
    EXPECT_TRUE(gui::with_retries([&] { return gui::click(confirm); },
                                  [&] { return !gui::entry_text(apn).empty(); }));
    EXPECT_EQ(gui::entry_text(apn), "pinternet.interkom.de");
    GtkWidget* netsel = by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=");
    ASSERT_NE(netsel, nullptr);
    EXPECT_EQ(active(netsel), 1) << "\";\" means: automatic, show warning if not";
    EXPECT_EQ(gui::entry_text(by_tooltip(w, GTK_TYPE_ENTRY, "NET=")), "26203");
    EXPECT_EQ(gui::entry_text(nth_entry(w, "PASS=", 0)), "fonic");
    EXPECT_EQ(gui::entry_text(nth_entry(w, "PASS=", 1)), "geheim");
    GtkWidget* manual = by_tooltip(w, GTK_TYPE_CHECK_BUTTON, "PASS=");
    ASSERT_NE(manual, nullptr);
    EXPECT_TRUE(gui::locked(
        [manual] { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(manual)) != 0; }));
    EXPECT_EQ(gui::entry_text(by_tooltip(w, GTK_TYPE_ENTRY, "PPQ=")), "*100#");
    EXPECT_EQ(gui::entry_text(by_tooltip(w, GTK_TYPE_ENTRY, "PPC=")), "*101*");
    EXPECT_EQ(gui::entry_text(by_tooltip(w, GTK_TYPE_ENTRY, "HOMI=")), "x");

    // Both language switches keep the providers and the choice.
    GtkWidget* language = gui::button(w, "Umschalten nach Deutsch");
    ASSERT_NE(language, nullptr);
    EXPECT_TRUE(gui::with_retries([&] { return gui::click(language); },
                                  [&] { return gui::button(w, "Switch to English") != nullptr; }));
    std::vector<std::string> german = items(list);
    ASSERT_EQ(german.size(), english.size());
    EXPECT_EQ(german[0], "Zum Laden der Standardeinstellung bitte hier ausw\xC3\xA4hlen.");
    EXPECT_EQ(german[4], english[4]);
    EXPECT_EQ(active(list), 2);
    EXPECT_EQ(stdpage(w), 2);
    language = gui::button(w, "Switch to English");
    EXPECT_TRUE(gui::with_retries([&] { return gui::click(language); },
                                  [&] { return items(list) == english; }));

    GtkWidget* cancel = gui::button(w, "Cancel");
    ASSERT_TRUE(gui::click_closing(cancel));
    EXPECT_EQ(run_.join(), 0);
    EXPECT_STREQ(inidat.apn, "") << "Cancel keeps what was configured";
}

TEST_F(StandardSettings, ReloadFromTheWikiAndTheNoticeWhenItFails) {
    const std::string history =
        "<ul>\n<li><a href=\"/wiki/index.php?title=Vorlage:Settings_List&amp;oldid=7\">7</a> "
        "<span class='history-user'><a href=\"/wiki/index.php/Benutzer:Netzwerker\">N</a>"
        "</span></li>\n</ul>\n";
    LoopbackServer wiki([&](int c, const std::string& request) {
        bool hist = request.find("action=history") != std::string::npos;
        say(c, "HTTP/1.1 200 OK\r\n\r\n" + (hist ? history
                                                 : "<textarea id=\"wpTextbox1\">" +
                                                       std::string(wikisource) + "</textarea>"));
    });
    std::string host = "127.0.0.1:" + std::to_string(wiki.port());
    se__wikihost = host.c_str();

    GtkWidget* w = open();
    ASSERT_NE(w, nullptr);
    GtkWidget* list = providers(w);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(items(list).size(), 2u) << "no settings file yet";

    choose(list, 1);
    EXPECT_TRUE(gui::eventually([&] { return items(list).size() == 5; }, std::chrono::seconds(30)));
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 3; })) << "the done page";
    EXPECT_EQ(active(list), 0);
    EXPECT_EQ(file_text("mavlynS.ini").substr(0, 35), "mavlyn Standard Settings   LAA00007");

    // A wiki that cannot be reached: the request page stays, and "Done" tells the user.
    se__wikihost = "127.0.0.1:1";
    choose(list, 1);
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 1; }));
    EXPECT_TRUE(gui::eventually([] { return !se__updaterunning(); }, std::chrono::seconds(30)));
    EXPECT_EQ(stdpage(w), 1);
    GtkWidget* done = gui::button(w, "Done");
    ASSERT_NE(done, nullptr);
    gui::locked([done] {
        gtk_button_clicked(GTK_BUTTON(done));
        return 0;
    });
    GtkWidget* notice = gui::wait_messagedialog();
    ASSERT_NE(notice, nullptr);
    std::string said = gui::locked([notice] {
        gchar* t = nullptr;
        g_object_get(notice, "secondary-text", &t, nullptr);
        std::string out = t ? t : "";
        g_free(t);
        return out;
    });
    EXPECT_NE(said.find("Could not update the standard settings."), std::string::npos) << said;
    EXPECT_EQ(items(list).size(), 5u) << "the list that was there stays";
    // The notice holds the dialog's loop until it is answered.
    gui::locked([notice] {
        gtk_dialog_response(GTK_DIALOG(notice), GTK_RESPONSE_OK);
        return 0;
    });
    ASSERT_TRUE(gui::wait_gone(notice));
    ASSERT_TRUE(gui::click_closing(gui::button(w, "Cancel")));
    EXPECT_EQ(run_.join(), 0);
}
