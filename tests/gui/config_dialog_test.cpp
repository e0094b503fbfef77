// The configuration program worked with the mouse and the keyboard: mavlyn.ini, the provider
// list reloaded from a wiki on loopback, the modem tools against the simulated modem.
#include "gui_support.h"

#include "config/ini_reader.h"
#include "control/start_sequence.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "modemsim_process.h"
#include "ui/labels.h"
#include "ui/network_analysis.h"
#include "ui/splash.h"
#include "ui/standard_settings.h"

namespace {

using gui::by_tooltip;
using gui::holds;

GtkWidget* page_of(GtkWidget* w, int page) {
    GtkWidget* nb = gui::find(w, GTK_TYPE_NOTEBOOK);
    return gui::locked([&] { return gtk_notebook_get_nth_page(GTK_NOTEBOOK(nb), page); });
}

// Every text the label table gives its widgets, as they show it: label or title, tooltip, choice.
std::string texts() {
    return gui::locked([] {
        std::string out;
        ls__walk(
            [](char k, GtkWidget* w, const char*, void* all) {
                gchar* chosen =
                    k == 'C' ? gtk_combo_box_get_active_text(GTK_COMBO_BOX(w)) : nullptr;
                *static_cast<std::string*>(all) +=
                    std::string(1, k) + ":" +
                    (strchr("BXRLGW", k) ? gui::text_of(w, k == 'W' ? "title" : "label") : "") +
                    (chosen ? chosen : "") + "|" + gui::text_of(w, "tooltip-text") + "\n";
                g_free(chosen);
            },
            &out);
        return out;
    });
}

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

// The page of the notebook without tabs that sits below the provider list.
int stdpage(GtkWidget* top) {
    GtkWidget* nb = gui::find(top, GTK_TYPE_NOTEBOOK, [](GtkWidget* n) {
        return !gtk_notebook_get_show_tabs(GTK_NOTEBOOK(n));
    });
    return gui::locked([nb] { return gtk_notebook_get_current_page(GTK_NOTEBOOK(nb)); });
}

// The configuration program in a folder and with flags of its own, so that no other program
// on the machine is seen; its dialog on a worker thread as in the program.
class ConfigDialog : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        unsigned long own = 0x3D000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul) * 4;
        aktivsignal = own;
        konfigaktivsignal = own + 1;
        program_ = dir_.path() + "/CONFIG";
        argv_[0] = program_.data();
        _argc = 1;
        _argv = argv_;
        comzeit = 50;
        geraet = 3;
        cf__netzzeitprozent = 1;
    }
    void TearDown() override {
        if (dialog_.joinable()) {
            gui::close_all_visible();
            dialog_.join();
        }
        cf__netzzeitprozent = 100;
        se__wikihost = "www.wilvar.de";
    }
    // Reads the file and runs the dialog as the configuration program does, while drive works
    // its window; the file is written (or not) when the reading ends.
    void run(const std::function<bool(GtkWidget*)>& drive) {
        configtab = 0; // a new program opens the first page
        std::thread program([] { iv_iniparse(); });
        GtkWidget* w = gui::wait_titled("mavlyn   Configuration");
        bool ok = w && drive(w);
        if (!ok) gui::close_all_visible();
        program.join();
        cs_show(0); // the program would end here, and its "storing" notice with it
        fl_clear(konfigaktivsignal);
        EXPECT_TRUE(ok);
    }
    static bool ok(GtkWidget* w) { return gui::press(w, "    OK    "); }
    GtkWidget* open(int page) {
        inidat.funktion = FUNKTION_CONFIG;
        configtab = page;
        dialog_ = std::thread([this] { result_ = cf_dialog(1, nullptr); });
        return gui::wait_titled("mavlyn   Configuration");
    }
    int close(GtkWidget* w, const char* press) {
        if (!gui::press(w, press)) {
            ADD_FAILURE() << press;
            gui::close_all_visible();
        }
        dialog_.join();
        return result_;
    }

    InTempDir dir_;
    std::thread dialog_;
    int result_ = -2;

    std::string program_;
    char* argv_[2] = {nullptr, nullptr};
};

} // namespace

TEST_F(ConfigDialog, OkKeepsEveryChangeAndCancelWritesNothing) {
    std::ofstream("mavlyn.ini") << "01 1AA001234567-0300020000000-0000042\n"
                                   "LAN=English\nCOM=NONE\nAPN=web.example\nMOD=P\n";
    run([](GtkWidget* w) {
        return gui::fill(gui::by_tooltip(w, GTK_TYPE_ENTRY, "REM="), "Laptop") &&
               gui::show_page(w, 2) &&
               gui::click(gui::by_tooltip(w, GTK_TYPE_CHECK_BUTTON, "PIN=")) &&
               gui::fill(gui::by_tooltip(w, GTK_TYPE_ENTRY, "PIN="), "4321") &&
               gui::show_page(w, 3) &&
               gui::fill(gui::by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE"),
                         "internet.eplus.de") &&
               gui::show_page(w, 6) &&
               gui::click(gui::by_tooltip(w, GTK_TYPE_CHECK_BUTTON, "DAY=")) &&
               gui::fill(gui::by_tooltip(w, GTK_TYPE_ENTRY, "MAXV=", 1), "750") && ok(w);
    });
    std::string changed = read_file("mavlyn.ini");
    for (const char* line :
         {" APN=internet.eplus.de\n", " REM=Laptop\n", " DAY=01\n", " MAXV=0;750k;0\n"})
        EXPECT_NE(changed.find(line), std::string::npos) << line;
    EXPECT_EQ(changed.find("4321"), std::string::npos) << "the PIN is stored scrambled";
    EXPECT_EQ(changed.substr(0, 54),
              "01 1AA001234567-0300020000000-0000042" + std::string(16, '0') + "\n")
        << "the counters are kept, the header in its own form";

    // The next start shows what was stored, and the PIN reads back; Cancel after typing
    // changes not a byte.
    run([&](GtkWidget* w) {
        GtkWidget* entry = gui::by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE");
        EXPECT_EQ(gui::text(entry), "internet.eplus.de");
        return gui::show_page(w, 3) && gui::fill(entry, "typed") && gui::press(w, "Cancel");
    });
    EXPECT_STREQ(inidat.pin, "4321");
    EXPECT_EQ(read_file("mavlyn.ini"), changed);
}

TEST_F(ConfigDialog, QuestionsOfTheDialogAreAnsweredAndTheDialogGoesOn) {
    std::ofstream("mavlyn.ini") << "01 1AA000000000-0000000000000-0000000\nLAN=English\n"
                                   "COM=NONE\nAPN=web.example\n";
    // Summing per day and the bars: tests/unit/connlog_statistics_test.cpp.
    std::ofstream("connlog.txt") << "2010-10-09 19:00:00 Data volume: 2 500 kB\n"
                                    "2010-10-11 09:00:00 Subtotal: 0010:00\n";
    std::ofstream("connlog_vol.txt") << "old";
    std::filesystem::create_directory("sms_in");
    std::ofstream("sms_in/sms_20101011_123456__491577123.txt") << "Hallo Welt";
    std::ofstream("sms_name.ini") << "# mavlyn\r\nMeier, Hans   +491577123\r\n";
    auto queued = [] { return folder_names("sms_send").size(); };
    run([&](GtkWidget* w) {
        // A statistics file that exists is overwritten after the question.
        EXPECT_TRUE(gui::show_page(w, 6));
        EXPECT_TRUE(gui::click(gui::button(page_of(w, 6), "\"connlog_vol.txt\"")));
        EXPECT_TRUE(gui::answer("mavlyn   Statistics", "gtk-ok"));
        EXPECT_TRUE(gui::eventually([] { return read_file("connlog_vol.txt").size() > 100; }));
        // One that does not exist yet is written at once.
        EXPECT_TRUE(gui::click(gui::button(page_of(w, 6), "\"connlog_tim.txt\"")));
        EXPECT_TRUE(gui::eventually([] { return exists("connlog_tim.csv"); }));

        // Registering a program for the PC start: asked, then told that it is not there yet.
        EXPECT_TRUE(gui::show_page(w, 7));
        EXPECT_TRUE(gui::click(gui::button(page_of(w, 7), "Confirm")));
        EXPECT_TRUE(gui::answer("mavlyn   Bootstart", "gtk-yes"));
        EXPECT_TRUE(gui::answer("mavlyn   Bootstart", "gtk-ok"));

        // The SMS page lists the inbox with the phone book's names.
        EXPECT_TRUE(gui::show_page(w, 9));
        GtkWidget* inbox = gui::find(page_of(w, 9), GTK_TYPE_TEXT_VIEW);
        GtkWidget* field = gui::find(page_of(w, 9), GTK_TYPE_TEXT_VIEW, {}, 3);
        GtkWidget* addressee = gui::find(page_of(w, 9), GTK_TYPE_ENTRY);
        EXPECT_TRUE(gui::eventually([&] {
            return gui::text(inbox) == " \t2010-10-11\t12:34'56\tMeier, Hans\t+491577123\n";
        })) << gui::text(inbox);
        // Send, again while a notice of the page stands in the way, until the box is there.
        auto send = [&] {
            return gui::click_until(gui::button(w, "Send"),
                                    [] { return gui::count_titled("mavlyn   SMS") > 0; });
        };
        // An empty message is sent only after the question.
        EXPECT_TRUE(gui::fill(addressee, "Neu   +4930123"));
        EXPECT_TRUE(send());
        EXPECT_TRUE(gui::answer("mavlyn   SMS", "gtk-yes"));
        EXPECT_TRUE(gui::eventually([&] { return queued() == 1u; }));
        // A message with text: queued, the field emptied, the new name stored once.
        gui::locked([field] {
            gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(field)), "Test", -1);
        });
        EXPECT_TRUE(gui::click_until(gui::button(w, "Send"), [&] { return queued() == 2u; }));
        EXPECT_EQ(gui::text(field), "");
        std::string names = read_file("sms_name.ini");
        EXPECT_NE(names.find("\r\nNeu   +4930123"), std::string::npos);
        EXPECT_EQ(names.find("Neu"), names.rfind("Neu"));
        // A number without its plus sign is refused with a notice.
        EXPECT_TRUE(gui::fill(addressee, "030123"));
        EXPECT_TRUE(send());
        EXPECT_TRUE(gui::answer("mavlyn   SMS", "gtk-ok"));
        EXPECT_EQ(queued(), 2u);
        // After all the questions the dialog still takes its OK.
        return ok(w);
    });
    EXPECT_EQ(read_file("connlog_vol.csv"), "\"09.10.2010\";\"2500\"\r\n");
    EXPECT_EQ(read_file("connlog_tim.csv"), "\"11.10.2010\";\"600\"\r\n");
    EXPECT_NE(read_file("mavlyn.ini").find(" APN=web.example\n"), std::string::npos);
}

// The provider list of the "Global" page reloaded from the wiki; a very long name in it must
// not widen the window.
TEST_F(ConfigDialog, ProvidersReloadedAndTakenTheWindowFitsANetbookAndLanguagesSwitchBack) {
    inidat.hinweisk = '8';
    const std::string longname(120, 'W');
    const std::string history =
        "<ul>\n<li><a href=\"/wiki/index.php?title=Vorlage:Settings_List&amp;oldid=7\">7</a> "
        "<span class='history-user'><a href=\"/wiki/index.php/Benutzer:Netzwerker\">N</a>"
        "</span></li>\n</ul>\n";
    LoopbackServer wiki([&](int c, const std::string& request) {
        bool hist = request.find("action=history") != std::string::npos;
        say(c, "HTTP/1.1 200 OK\r\n\r\n" +
                   (hist ? history
                         : "<textarea id=\"wpTextbox1\">" + std::string(wikisource) +
                               "{{Settings|PROVIDER=" + longname + "|PLMN=26202|APN=web}}\n" +
                               "</textarea>"));
    });
    std::string host = "127.0.0.1:" + std::to_string(wiki.port());
    se__wikihost = host.c_str();
    GtkWidget* w = open(1);
    GtkWidget* list = by_tooltip(w, GTK_TYPE_COMBO_BOX, "mavlynS.ini");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(items(list).size(), 2u) << "no settings file yet";
    gui::locked([=] { gtk_combo_box_set_active(GTK_COMBO_BOX(list), 1); });
    EXPECT_TRUE(gui::eventually([&] { return items(list).size() == 6; }, std::chrono::seconds(30)));
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 3; })) << "the done page";
    EXPECT_EQ(gui::active(list), 0);
    const std::vector<std::string> english = {
        "To load standard settings please choose here.",
        "-- reload list of Internet providers down from the Internet --",
        "Deutschland   Fonic",
        "Fonic Surf-Stick",
        "\xC3\x96sterreich   A1",
        "\xC3\x96sterreich   " + longname.substr(0, 100)};
    EXPECT_EQ(items(list), english);
    const std::string reloaded = read_file("mavlynS.ini");

    // A wiki that cannot be reached: the request page stays, and "Done" tells the user.
    se__wikihost = "127.0.0.1:1";
    gui::locked([=] { gtk_combo_box_set_active(GTK_COMBO_BOX(list), 1); });
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 1; }));
    EXPECT_TRUE(gui::eventually([] { return !se__updaterunning(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(gui::click(gui::button(w, "Done")));
    GtkWidget* notice =
        gui::wait_window([](GtkWidget* x) { return GTK_IS_MESSAGE_DIALOG(x) != 0; });
    ASSERT_NE(notice, nullptr);
    EXPECT_NE(gui::text(notice, "secondary-text").find("Could not update the standard"),
              std::string::npos);
    EXPECT_EQ(items(list), english) << "the list that was there stays";
    EXPECT_EQ(read_file("mavlynS.ini"), reloaded) << "and so does its file";
    EXPECT_TRUE(gui::press(notice, "gtk-ok"));

    // A further-entry line offers nothing to take.
    GtkWidget* confirm = gui::button(w, "Confirm");
    GtkWidget* apn = by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE");
    gui::locked([=] { gtk_combo_box_set_active(GTK_COMBO_BOX(list), 3); });
    EXPECT_TRUE(gui::eventually([&] { return stdpage(w) == 2; }));
    EXPECT_TRUE(gui::click(confirm));
    gui::locked([=] { gtk_combo_box_set_active(GTK_COMBO_BOX(list), 2); });
    EXPECT_TRUE(gui::click_until(confirm, [&] { return !gui::text(apn).empty(); }));
    EXPECT_EQ(gui::text(apn), "pinternet.interkom.de") << "and not from the further entry";
    EXPECT_EQ(gui::active(by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=")), 1)
        << "\";\" means: automatic, show warning if not";
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "NET=")), "26203");
    GtkWidget* password = by_tooltip(w, GTK_TYPE_ENTRY, "PASS=", 1);
    EXPECT_EQ(gui::text(password), "geheim");
    EXPECT_FALSE(gui::locked([password] { return gtk_entry_get_visibility(GTK_ENTRY(password)); }))
        << "the password is masked like the PIN";
    EXPECT_TRUE(gui::active(by_tooltip(w, GTK_TYPE_CHECK_BUTTON, "PASS=")));
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "PPQ=")), "*100#");
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "HOMI=")), "x");

    // To German and back: the window fits; every text and choice is as before.
    const std::string before = texts();
    GtkWidget* console = by_tooltip(w, GTK_TYPE_ENTRY, "AT");
    for (const char* other : {"Umschalten nach Deutsch", "Switch to English"}) {
        GdkRectangle r; // the window with its frame, as the window manager placed it
        gui::locked([&] { gdk_window_get_frame_extents(gtk_widget_get_window(w), &r); });
        EXPECT_TRUE(r.width <= 1024 && r.height <= 600)
            << other << ": " << r.width << "x" << r.height;
        ASSERT_TRUE(gui::click_until(gui::button(w, other),
                                     [&] { return gui::button(w, other) == nullptr; }));
        EXPECT_EQ(gui::text(console),
                  _de ? "Hier klicken für Konsolen-Eingaben." : "Click here for console inputs.");
        EXPECT_EQ(items(list)[0], _de ? "Zum Laden der Standardeinstellung bitte hier "
                                        "ausw\xC3\xA4hlen."
                                      : english[0]);
    }
    EXPECT_EQ(texts(), before);
    EXPECT_EQ(items(list), english);
    EXPECT_EQ(stdpage(w), 2);
    // Cancel after one more switch: the language of before comes back, the values stay.
    ASSERT_TRUE(gui::click_until(gui::button(w, "Umschalten nach Deutsch"), [] { return _de; }));
    EXPECT_EQ(close(w, "Escape"), 0);
    EXPECT_FALSE(_de);
    EXPECT_STREQ(inidat.apn, "");
}

TEST_F(ConfigDialog, ConsoleNetlockAnalysisChoosingANetworkAndTheCreditQuery) {
    ModemSim sim({"--profile", "huawei", "--set", "lock=PU", "--set", "lock=PC", "--set",
                  "network=clear", "--set", "network=1|26201|T-Mobile D|TMO|2", "--set",
                  "network=3|26207|o2 - de|o2|2", "--set", "network=2|26202|Vodafone.de|VF|2",
                  "--set", "signal=20", "--set", "ussd=*100#|Guthaben: 5,00 EUR"});
    ASSERT_TRUE(sim.ready());
    strMcpy(inidat.comport, sim.port(0).c_str());
    strMcpy(inidat.ppq, "*100#");
    GtkWidget* w = open(2);
    ASSERT_NE(w, nullptr);
    GtkWidget *input = by_tooltip(w, GTK_TYPE_ENTRY, "AT"), *cancel = gui::button(w, "Cancel");
    GtkWidget* console = gui::find(w, GTK_TYPE_TEXT_VIEW);
    // Focusing the input line starts the console; a focus given before the window had the
    // X focus brings no focus-in event, so it is given again until the console starts.
    auto refocus = [&] {
        gui::locked([&] {
            gtk_widget_grab_focus(cancel);
            gtk_widget_grab_focus(input);
        });
        return true;
    };
    ASSERT_TRUE(gui::with_retries([&] { return gui::activate(w) && refocus(); },
                                  [&] { return holds(console, "- Console started.\r\n"); }));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "has been opened"); }));
    gui::locked([input] { gtk_entry_set_text(GTK_ENTRY(input), "AT+CGMI"); });
    EXPECT_TRUE(gui::with_retries([&] { return gui::keys(w, "Return"); },
                                  [&] { return holds(console, "Command:  AT+CGMI\r\n"); }));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "huawei"); }));
    // The netlock test on the open console asks for every lock and finds the configured ones.
    EXPECT_TRUE(gui::click(gui::button(w, "Test the device for netlocks")));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "Corporate lock detected."); }))
        << gui::text(console);
    EXPECT_TRUE(holds(console, "Network subset lock detected."));
    EXPECT_FALSE(holds(console, "Network lock detected."));
    EXPECT_FALSE(holds(console, "Service provider lock detected."));

    // Leaving the page ends the console and frees the port.
    ASSERT_TRUE(gui::show_page(w, 3));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "- Console terminated.\r\n"); }));
    EXPECT_FALSE(konsoleaktiv);

    // A UMTS-only analysis: one pass, one line per network.
    GtkWidget* start = gui::button(w, "Start");
    GtkWidget* view = gui::find(w, GTK_TYPE_TEXT_VIEW, {}, 1);
    EXPECT_TRUE(gui::click(gui::button(w, "GPRS")));
    EXPECT_TRUE(gui::click_until(start, [&] { return !gui::sensitive(start); }));
    EXPECT_TRUE(holds(view, "-----   Network analysis has been started.   -----"));
    EXPECT_TRUE(gui::eventually([&] { return gui::sensitive(start); }, std::chrono::seconds(60)));
    // A forbidden network, whose selection fails, is listed unmeasured at the end.
    EXPECT_EQ(gui::text(view), "UMTS\t66%\t[26201]\tT-Mobile D\r\nUMTS\t66%\t[26202]\t"
                               "Vodafone.de\r\nUMTS\t?%\t[26207]\to2 - de  (forbidden)\r\n");
    EXPECT_EQ(sim.transcript().find("AT^SYSCFG=13"), std::string::npos) << "no GPRS pass";

    // The cursor on the second line, where a click puts it: that network goes into the selection.
    gui::locked([view] {
        GtkTextBuffer* lines = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
        GtkTextIter it;
        gtk_text_buffer_get_iter_at_line(lines, &it, 1);
        gtk_text_buffer_place_cursor(lines, &it);
    });
    EXPECT_EQ(gui::text(by_tooltip(w, GTK_TYPE_ENTRY, "NET=")), "Vodafone.de");
    EXPECT_EQ(gui::active(by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=")), 0)
        << "automatic becomes only this network";

    // The credit query takes the port the console gave up (its text as test_calls_and_ussd.sh).
    GtkWidget* query = gui::button(w, "Query now");
    GtkWidget* send = gui::button(w, "Send now...");
    EXPECT_TRUE(gui::click_until(query, [&] { return !gui::sensitive(query); }));
    EXPECT_FALSE(gui::sensitive(send)) << "one task at a time";
    // The message thread shows the answer; the network may take a quarter of a minute.
    gui::start_msgthread();
    GtkWidget* box = gui::wait_titled("mavlyn   Credit Query", std::chrono::seconds(60));
    EXPECT_NE(gui::text(box, "secondary-text").find("Guthaben: 5,00 EUR"), std::string::npos);
    EXPECT_TRUE(gui::press(box, "gtk-ok"));
    EXPECT_TRUE(gui::eventually([&] { return gui::sensitive(query) && gui::sensitive(send); }));

    EXPECT_EQ(close(w, "Escape"), 0);
    EXPECT_FALSE(cf__netsearchrunning()) << "the search thread ends with the dialog";
}
