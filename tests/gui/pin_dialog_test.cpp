// Unlocking the SIM of a simulated modem with a PIN typed into the PIN dialog.
#include "gui_support.h"

#include "../unit/modem_dialogue.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/sim_pin.h"
#include "modemsim_process.h"
#include "ui/input_dialog.h"

namespace {

class PinDialog : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        _silentinstall = false;
        geraet = 0;
        comzeit = 150;
        ruhestatus = 0;
        inicounterglobal++;
        cm_ini();
    }
    void TearDown() override { cm_postini(); }
    InTempDir dir_;
};

} // namespace

// A SIM that asks for 1234 (with the attempts left it reports), the PIN typed, and where the
// answer goes: the SIM, the record (only when saved), a warning for a wrong one.
TEST_F(PinDialog, TypedPinUnlocksWarnsWhenWrongAndIsKeptOnlyWhenSaved) {
    const struct {
        bool optionk, save, offered;
        const char *attempts, *typed;
        int result;
        const char *kept, *prompt, *warning;
    } cases[] = {
        {false, false, true, "3", "1234", PIN_READY, "", "Please enter PIN:", nullptr},
        {false, true, true, "2", "1234", PIN_READY, "1234", "Please enter PIN:\n(2 attempts left)",
         nullptr},
        {true, true, false, "3", "1234", PIN_READY, "", "Please enter PIN:", nullptr},
        {false, false, true, "3", "9999", PIN_REJECTED, "",
         "Please enter PIN:", "mavlyn   PIN|The PIN you have entered is not valid."},
    };
    for (const auto& c : cases) {
        ModemSim sim({"--profile", "huawei", "--set", "sim=pin", "--set", "pin=1234", "--set",
                      std::string("pin_attempts=") + c.attempts});
        ASSERT_TRUE(sim.ready());
        strMcpy(inidat.com1, sim.port(0).c_str());
        MODUS('K') = c.optionk;
        inidat.pin[0] = 0;
        std::string prompt, warning;
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   PIN");
            if (!w) return false;
            GtkWidget* save = gui::button(w, "gtk-save");
            EXPECT_EQ(save != nullptr, c.offered);
            prompt = gui::text(gui::find(w, GTK_TYPE_LABEL, [](GtkWidget* x) {
                return strstr(gtk_label_get_text(GTK_LABEL(x)), "PIN") != nullptr;
            }));
            // Typed until the buttons take it.
            if (!gui::fill(gui::nth_child(w, GTK_TYPE_ENTRY), c.typed) ||
                !gui::eventually([] { return ce__buttonapply && gui::sensitive(ce__buttonapply); }))
                return false;
            if (!gui::press(w, c.save && save ? "gtk-save" : "Return")) return false;
            if (!c.warning) return true;
            GtkWidget* box = gui::wait_messagedialog();
            if (!box) return false;
            warning = gui::text(box) + "|" + gui::text(box, "secondary-text");
            return gui::press(box, "Return");
        });
        EXPECT_EQ(de_inipin(1), c.result) << c.typed;
        EXPECT_TRUE(d.ok());
        EXPECT_NE(prompt.find(c.prompt), std::string::npos) << prompt;
        EXPECT_STREQ(inidat.pin, c.kept);
        EXPECT_EQ(count_command(sim.transcript(), std::string("AT+CPIN=") + c.typed), 1);
        if (c.warning) {
            EXPECT_EQ(warning.rfind(c.warning, 0), 0u) << warning;
            EXPECT_NE(warning.find("three  \ntimes, your SIM card will be locked."),
                      std::string::npos);
        }
        cm_close();
    }
}
