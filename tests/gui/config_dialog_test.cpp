// The configuration program as a user meets it: the file is read, the dialog is worked with
// the mouse and the keyboard, and what OK or Cancel leave in mavlyn.ini is checked.
#include "gui_support.h"

#include "config/ini_reader.h"
#include "control/start_sequence.h"
#include "ui/labels.h"
#include "ui/splash.h"

namespace {

namespace fs = std::filesystem;

GtkWidget* page_of(GtkWidget* w, int page) {
    GtkWidget* nb = gui::nth_child(w, GTK_TYPE_NOTEBOOK);
    return gui::locked([&] { return gtk_notebook_get_nth_page(GTK_NOTEBOOK(nb), page); });
}

// The configuration program in a folder of its own, with flags of its own so that no other
// program on the machine is seen.
class ConfigProgram : public gui::DialogCase {
  protected:
    void SetUp() override {
        DialogCase::SetUp();
        unsigned long own = 0x3D000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul) * 4;
        aktivsignal = own;
        konfigaktivsignal = own + 1;
        program_ = dir_.path() + "/CONFIG";
        argv_[0] = program_.data();
        _argc = 1;
        _argv = argv_;
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

    std::string program_;
    char* argv_[2] = {nullptr, nullptr};
};

} // namespace

TEST_F(ConfigProgram, OkKeepsEveryChangeAndCancelWritesNothing) {
    std::ofstream("mavlyn.ini") << "01 1AA001234567-0300020000000-0000042\n"
                                   "LAN=English\nCOM=NONE\nAPN=web.example\nMOD=P\n";
    // The reader's repairs are written on OK: the file is in its own form from now on.
    run(ok);
    const std::string canonical = read_file("mavlyn.ini");
    EXPECT_EQ(canonical.substr(0, 54),
              "01 1AA001234567-0300020000000-0000042" + std::string(16, '0') + "\n");

    // Cancel after typing: not a byte changes.
    run([](GtkWidget* w) {
        return gui::show_page(w, 3) &&
               gui::fill(gui::by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE"), "typed") &&
               gui::press(w, "Cancel");
    });
    EXPECT_EQ(read_file("mavlyn.ini"), canonical);

    // APN, PIN, a volume limit and the comment changed, then OK.
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
    EXPECT_EQ(changed.substr(0, 54), canonical.substr(0, 54)) << "the counters are kept";

    // The next start shows what was stored, and the PIN reads back.
    std::string apn;
    run([&](GtkWidget* w) {
        apn = gui::text(gui::by_tooltip(w, GTK_TYPE_ENTRY, "APN=   no APN: NONE"));
        return gui::press(w, "Escape");
    });
    EXPECT_EQ(apn, "internet.eplus.de");
    EXPECT_STREQ(inidat.pin, "4321");
    EXPECT_EQ(read_file("mavlyn.ini"), changed);
}

TEST_F(ConfigProgram, QuestionsOfTheDialogAreAnsweredAndTheDialogGoesOn) {
    std::ofstream("mavlyn.ini") << "01 1AA000000000-0000000000000-0000000\nLAN=English\n"
                                   "COM=NONE\nAPN=web.example\n";
    std::ofstream("connlog.txt") << "2010-10-09 18:00:00 Connection established.\n"
                                    "2010-10-09 19:00:00 Data volume: 2 500 kB\n"
                                    "2010-10-09 19:00:00 Online time: 0001:00\n"
                                    "2010-10-10 23:00:00 Subtotal: 800 kB\n"
                                    "2010-10-10 23:00:00 Subtotal: 0000:30\n"
                                    "2010-10-11 00:00:40'01 Subtotal: 1000 kB.\n"
                                    "2010-10-11 00:00:40'01 Subtotal: 0001:30\n"
                                    "2010-10-11 09:00:00 Subtotal: 1150 kB\n"
                                    "2010-10-11 09:00:00 Subtotal: 0010:00\n";
    std::ofstream("connlog_vol.txt") << "old";
    fs::create_directory("sms_in");
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
        GtkWidget* inbox = gui::nth_child(page_of(w, 9), GTK_TYPE_TEXT_VIEW, 0);
        GtkWidget* field = gui::nth_child(page_of(w, 9), GTK_TYPE_TEXT_VIEW, 3);
        GtkWidget* addressee = gui::nth_child(page_of(w, 9), GTK_TYPE_ENTRY);
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
    const std::string statistics = read_file("connlog_vol.txt");
    EXPECT_EQ(statistics.substr(statistics.find("\r\n") + 2),
              "Statistics: Data volume\r\n"
              "- results without warranty -\r\n"
              "\r\n"
              "                 1k    10k   100k  1M    10M   100M  1G\r\n"
              "                 |     |     |     |     |     |     |\r\n"
              "09.10.    002500 kkkkkkkkkkkkkkkkkkMMM\r\n"
              "10.10.    001000 kkkkkkkkkkkkkkkkkkM\r\n"
              "11.10.    000150 kkkkkkkkkkkkkk\r\n"
              "                 |     |     |     |     |     |     |\r\n"
              "                 1k    10k   100k  1M    10M   100M  1G\r\n");
    EXPECT_EQ(read_file("connlog_tim.csv"),
              "\"09.10.2010\";\"60\"\r\n\"10.10.2010\";\"90\"\r\n\"11.10.2010\";\"510\"\r\n");
    EXPECT_EQ(read_file("connlog_vol.csv"),
              "\"09.10.2010\";\"2500\"\r\n\"10.10.2010\";\"1000\"\r\n\"11.10.2010\";\"150\"\r\n");
    EXPECT_NE(read_file("mavlyn.ini").find(" APN=web.example\n"), std::string::npos);
}

namespace {

// Every text the label table gives its widgets, read back from the widgets themselves: the
// label or title, the tooltip, the chosen item of a list.
std::string texts() {
    return gui::locked([] {
        std::string out;
        ls__walk(
            [](char k, GtkWidget* w, const char*, void* all) {
                gchar *text = nullptr, *tip = nullptr;
                if (strchr("BXRLGW", k))
                    g_object_get(w, k == 'W' ? "title" : "label", &text, nullptr);
                if (k == 'C') text = gtk_combo_box_get_active_text(GTK_COMBO_BOX(w));
                g_object_get(w, "tooltip-text", &tip, nullptr);
                *static_cast<std::string*>(all) +=
                    std::string(1, k) + ":" + (text ? text : "") + "|" + (tip ? tip : "") + "\n";
                g_free(text);
                g_free(tip);
            },
            &out);
        return out;
    });
}

} // namespace

using ConfigDialog = gui::DialogCase;

TEST_F(ConfigDialog, FitsANetbookInBothLanguagesAndSwitchesBackExactly) {
    _de = true;
    inidat.hinweisk = '8';
    // A provider list with a very long name must not widen the window.
    std::ofstream("mavlynS.ini") << "mavlyn Standard Settings   LAA00007\r\n\r\n== Deutschland "
                                    "==\r\n{{Settings|PROVIDER="
                                 << std::string(120, 'W') << "|PLMN=26202|APN=web}}\r\n\r\n*****";
    GtkWidget* w = open(0);
    ASSERT_NE(w, nullptr);
    GtkWidget* console = gui::by_tooltip(w, GTK_TYPE_ENTRY, "AT");
    GtkWidget* password = gui::by_tooltip(w, GTK_TYPE_ENTRY, "PASS=", 1);
    EXPECT_FALSE(gui::locked([password] { return gtk_entry_get_visibility(GTK_ENTRY(password)); }))
        << "the password is masked like the PIN";
    auto german = texts();
    for (const char* other : {"Switch to English", "Umschalten nach Deutsch"}) {
        GdkRectangle r = gui::locked([w] {
            GdkRectangle f; // the window with its frame, as the window manager placed it
            gdk_window_get_frame_extents(gtk_widget_get_window(w), &f);
            return f;
        });
        EXPECT_LE(r.width, 1024) << other;
        EXPECT_LE(r.height, 600) << other;
        ASSERT_TRUE(gui::click_until(gui::button(w, other),
                                     [&] { return gui::button(w, other) == nullptr; }));
        EXPECT_EQ(gui::text(console),
                  _de ? "Hier klicken für Konsolen-Eingaben." : "Click here for console inputs.");
    }
    // Every label, tooltip, frame title, combo item and selection is as before.
    EXPECT_EQ(texts(), german);
    // Once more to English, then Cancel: the language of before the dialog comes back.
    ASSERT_TRUE(gui::click_until(gui::button(w, "Switch to English"), [] { return !_de; }));
    EXPECT_EQ(close(w, "Cancel"), 0);
    EXPECT_TRUE(_de);
}
