// The message thread on a real X server: a received SMS shown to the user, and what the
// answers do to the reception.
#include "gui_support.h"

#include "foundation/utilities.h"

#include <sys/stat.h>

namespace {

class MessageThread : public gui::DialogCase {
  protected:
    void SetUp() override {
        DialogCase::SetUp();
        gui::start_msgthread();
        // No configuration instance of this test's own key runs.
        konfigaktivsignal = 0x4B560000u + static_cast<unsigned long>(getpid() & 0xFFF);
        // The program's own path, as the SMS manager is started: a stand-in that only notes
        // its arguments.
        self_ = dir_.path() + "/mavlyn self";
        std::ofstream(self_) << "#!/bin/sh\necho \"$@\" > '" << dir_.path() << "/started'\n";
        chmod(self_.c_str(), 0755);
        argv_[0] = self_.data();
        _argv = argv_;
        _argc = 1;
        sm__forget();
    }
    void TearDown() override { sm__forget(); }
    // Shows a message, answers its box and returns the box's text.
    std::string answer(const char* message, const char* button) {
        strMcpy(sm__msgnachricht, message);
        std::string shown;
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   SMS Reception");
            shown = gui::text(w, "secondary-text");
            return gui::press(w, button);
        });
        sm_msgzustand = 1;
        th_wakeall(); // as the reception does: the message thread shows it
        EXPECT_TRUE(d.ok());
        return shown;
    }
    std::string self_;
    char* argv_[2] = {};
};

} // namespace

TEST_F(MessageThread, NoStopsTheReceptionYesStartsTheSmsManager) {
    // A long message with letters that take two bytes in UTF-8: the legend of the answers
    // must still be there.
    std::string text = "+491701234567 2010-12-13 14:15:16 [04]\n\nGr\xFC\xDF"
                       "e";
    for (int i = 0; i < 200; i++) text += " \xE4\xE4\xE4";
    std::string shown = answer(text.c_str(), "gtk-no");
    EXPECT_TRUE(gui::eventually([] { return sm_msgzustand == 9; }));
    EXPECT_NE(shown.find("Gr\xC3\xBC\xC3\x9F"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[Yes]   Start SMS manager now  \n[No]   Stop SMS reception  \n"
                         "[Cancel]   Do not start SMS manager  "),
              std::string::npos)
        << shown;
    sm__forget();
    answer("+491701234567 2010-12-13 14:15:16 [04]\n\nHallo", "gtk-yes");
    EXPECT_TRUE(gui::eventually([] { return sm_msgzustand == 2; }));
    EXPECT_TRUE(gui::eventually([] { return exists("started"); }));
    EXPECT_EQ(read_file("started"), "SMSCONFIGSUB\n");
}
