// The standard settings of the configuration dialog's "Global" page: the provider list from
// mavlynS.ini, taking a provider's values, and reloading the list from a wiki on loopback.
#include "gui_support.h"

#include "loopback_server.h"
#include "ui/standard_settings.h"

namespace {

using gui::by_tooltip;

const char* const wikisource = "== Deutschland ==\n"
                               "{{Settings|PROVIDER=Fonic|PLMN=;26203|APN=pinternet.interkom.de|"
                               "USERNAME=fonic|PASSWORD=geheim|SMSC=+491760000443|"
                               "PPQ=<nowiki>*100#</nowiki>|PPC=*101*|HOMU=|HOMI=x}}\n"
                               "|||Fonic Surf-Stick\n"
                               "== \xC3\x96sterreich ==\n"
                               "{{Settings|PROVIDER=A1|PLMN=23201|APN=A1.net}}\n";

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
    gui::locked([=] { gtk_combo_box_set_active(GTK_COMBO_BOX(combo), item); });
}

// The page of the notebook without tabs that sits below the provider list.
int stdpage(GtkWidget* top) {
    GtkWidget* nb = gui::find(top, GTK_TYPE_NOTEBOOK, [](GtkWidget* n) {
        return !gtk_notebook_get_show_tabs(GTK_NOTEBOOK(n));
    });
    return gui::locked([nb] { return gtk_notebook_get_current_page(GTK_NOTEBOOK(nb)); });
}

class StandardSettings : public gui::DialogCase {
  protected:
    void TearDown() override {
        DialogCase::TearDown();
        se__wikihost = "www.wilvar.de";
    }
    // Opens the dialog; the window and its provider list, or nullptr.
    GtkWidget* open(GtkWidget** list) {
        GtkWidget* w = DialogCase::open(1);
        *list = by_tooltip(w, GTK_TYPE_COMBO_BOX, "mavlynS.ini");
        return *list ? w : nullptr;
    }
};

} // namespace

TEST_F(StandardSettings, ProviderValuesAreTakenAndTheListSurvivesTheLanguageSwitch) {
    std::ofstream("mavlynS.ini", std::ios::binary) << se__settingsfile(wikisource);
    GtkWidget* list = nullptr;
    GtkWidget* w = open(&list);
    ASSERT_NE(w, nullptr);
    const std::vector<std::string> english = {
        "To load standard settings please choose here.",
        "-- reload list of Internet providers down from the Internet --", "Deutschland   Fonic",
        "Fonic Surf-Stick", "\xC3\x96sterreich   A1"};
    EXPECT_EQ(items(list), english);
    GtkWidget* confirm = gui::button(w, "Confirm");
    GtkWidget* apn = by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE");

    // A further-entry line offers nothing to take.
    choose(list, 3);
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 2; }));
    EXPECT_TRUE(gui::click(confirm));
    choose(list, 2);
    EXPECT_TRUE(gui::click_until(confirm, [&] { return !gui::text(apn).empty(); }));
    EXPECT_EQ(gui::text(apn), "pinternet.interkom.de") << "and not from the further entry";
    EXPECT_EQ(active(by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=")), 1)
        << "\";\" means: automatic, show warning if not";
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "NET=")), "26203");
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "PASS=", 1)), "geheim");
    EXPECT_TRUE(gui::locked([w] {
        return gtk_toggle_button_get_active(
            GTK_TOGGLE_BUTTON(by_tooltip(w, GTK_TYPE_CHECK_BUTTON, "PASS=")));
    }));
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "PPQ=")), "*100#");
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "HOMI=")), "x");

    // Both language switches keep the providers and the choice.
    for (const char* other : {"Umschalten nach Deutsch", "Switch to English"}) {
        EXPECT_TRUE(gui::click_until(gui::button(w, other),
                                     [&] { return gui::button(w, other) == nullptr; }));
        std::vector<std::string> now = items(list);
        ASSERT_EQ(now.size(), english.size());
        EXPECT_EQ(now[0], _de ? "Zum Laden der Standardeinstellung bitte hier ausw\xC3\xA4hlen."
                              : english[0]);
        EXPECT_EQ(now[4], english[4]);
        EXPECT_EQ(active(list), 2);
        EXPECT_EQ(stdpage(w), 2);
    }
    EXPECT_EQ(close(w, "Cancel"), 0);
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
    GtkWidget* list = nullptr;
    GtkWidget* w = open(&list);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(items(list).size(), 2u) << "no settings file yet";

    choose(list, 1);
    EXPECT_TRUE(gui::eventually([&] { return items(list).size() == 5; }, std::chrono::seconds(30)));
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 3; })) << "the done page";
    EXPECT_EQ(active(list), 0);
    const std::string reloaded = read_file("mavlynS.ini");
    EXPECT_NE(reloaded.find("pinternet.interkom.de"), std::string::npos);

    // A wiki that cannot be reached: the request page stays, and "Done" tells the user.
    se__wikihost = "127.0.0.1:1";
    choose(list, 1);
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 1; }));
    EXPECT_TRUE(gui::eventually([] { return !se__updaterunning(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(gui::click(gui::button(w, "Done")));
    GtkWidget* notice = gui::wait_messagedialog();
    ASSERT_NE(notice, nullptr);
    EXPECT_NE(gui::text(notice, "secondary-text").find("Could not update the standard"),
              std::string::npos);
    EXPECT_EQ(items(list).size(), 5u) << "the list that was there stays";
    EXPECT_EQ(read_file("mavlynS.ini"), reloaded) << "and so does its file";
    EXPECT_TRUE(gui::press(notice, "gtk-ok"));
    EXPECT_EQ(close(w, "Cancel"), 0);
}
