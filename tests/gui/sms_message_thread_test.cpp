// The message thread on a real X server: a received SMS and a credit-query answer shown to
// the user, and what the answers do to the reception.
#include "gui_support.h"

#include "control/session_state.h"
#include "foundation/utilities.h"
#include "sms/sms_reception.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const bool display_ready = (gui::ensure_display(), true);

// The thread runs once per process, as in the program.
void start_msgthread() {
    static bool started = false;
    if (started) return;
    started = true;
    th_create(sm_msgthread, nullptr);
}

std::string property(GtkWidget* w, const char* name) {
    return gui::locked([w, name] {
        gchar* t = nullptr;
        g_object_get(w, name, &t, nullptr);
        std::string s = t ? t : "";
        g_free(t);
        return s;
    });
}

// The message box with this headline (the stock message boxes show the title as their
// primary text).
GtkWidget* wait_box(const char* title) {
    GtkWidget* w = gui::wait_messagedialog();
    return w && property(w, "text") == title ? w : nullptr;
}

class MessageThread : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        _de = false;
        programmende_gewuenscht = false;
        // No configuration instance of this test's own key runs.
        konfigaktivsignal = 0x4B560000u + static_cast<unsigned long>(getpid() & 0xFFF);
        char tmpl[] = "/tmp/mavlyn-msgthread-XXXXXX";
        dir_ = mkdtemp(tmpl);
        // The program's own path, as the SMS manager is started: a stand-in that only notes
        // its arguments.
        self_ = dir_ + "/mavlyn self";
        std::ofstream(self_) << "#!/bin/sh\necho \"$@\" > '" << dir_ << "/started'\n";
        chmod(self_.c_str(), 0755);
        argv_[0] = self_.data();
        argv_[1] = nullptr;
        _argv = argv_;
        _argc = 1;
        sm__forget();
    }
    void TearDown() override {
        sm_msgzustand = 0;
        sm_msgprepaidzustand = 0;
        _argv = nullptr;
        _argc = 0;
        std::string rm = "rm -r -- '" + dir_ + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << rm;
    }
    std::string dir_, self_;
    char* argv_[2] = {};
};

} // namespace

TEST_F(MessageThread, NoStopsTheReception) {
    start_msgthread();
    // A long message with letters that take two bytes in UTF-8: the legend of the answers
    // must still be there.
    std::string text = "+491701234567 2010-12-13 14:15:16 [04]\n\nGr\xFC\xDF"
                       "e";
    for (int i = 0; i < 200; i++) text += " \xE4\xE4\xE4";
    strMcpy(sm__msgnachricht, text.c_str());
    std::string shown;
    gui::Driver d([&] {
        GtkWidget* w = wait_box("mavlyn   SMS Reception");
        if (!w) return false;
        shown = property(w, "secondary-text");
        GtkWidget* no = gui::button(w, "gtk-no");
        return no && gui::click_closing(no);
    });
    sm_msgzustand = 1;
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(gui::eventually([] { return sm_msgzustand == 9; }));
    EXPECT_NE(shown.find("Gr\xC3\xBC\xC3\x9F"
                         "e"),
              std::string::npos)
        << "Latin-1 shown as UTF-8: " << shown;
    EXPECT_NE(shown.find("[Yes]   Start SMS manager now  \n[No]   Stop SMS reception  \n"
                         "[Cancel]   Do not start SMS manager  "),
              std::string::npos)
        << shown;
}

TEST_F(MessageThread, YesStartsTheSmsManagerAndLetsTheMessageGo) {
    start_msgthread();
    strMcpy(sm__msgnachricht, "+491701234567 2010-12-13 14:15:16 [04]\n\nHallo");
    gui::Driver d([&] {
        GtkWidget* w = wait_box("mavlyn   SMS Reception");
        GtkWidget* yes = w ? gui::button(w, "gtk-yes") : nullptr;
        return yes && gui::click_closing(yes);
    });
    sm_msgzustand = 1;
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(gui::eventually([] { return sm_msgzustand == 2; }));
    std::string started = dir_ + "/started";
    EXPECT_TRUE(gui::eventually([&] { return access(started.c_str(), F_OK) == 0; }));
    std::ifstream f(started);
    std::stringstream s;
    s << f.rdbuf();
    EXPECT_EQ(s.str(), "SMSCONFIGSUB\n");
}

TEST_F(MessageThread, CreditAnswerIsShownOnce) {
    start_msgthread();
    strMcpy(sm_msgprepaidnachricht, "Answer from your mobile network:  \n\nGuthaben 5 EUR  ");
    std::string shown;
    gui::Driver d([&] {
        GtkWidget* w = wait_box("mavlyn   Credit Query");
        if (!w) return false;
        shown = property(w, "secondary-text");
        GtkWidget* ok = gui::button(w, "gtk-ok");
        return ok && gui::click_closing(ok);
    });
    sm_msgprepaidzustand = 1;
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(gui::eventually([] { return sm_msgprepaidzustand == 0; }));
    EXPECT_EQ(shown, "Answer from your mobile network:  \n\nGuthaben 5 EUR  ");
}
