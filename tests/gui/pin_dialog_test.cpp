// Unlocking the SIM of a simulated modem with a PIN typed into the PIN dialog.
#include "gui_support.h"

#include "../unit/modem_dialogue.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/sim_pin.h"
#include "modemsim_process.h"
#include "ui/input_dialog.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

class PinDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
        _silentinstall = false;
        geraet = 0;
        comzeit = 150;
        ruhestatus = 0;
        programmende_gewuenscht = false;
        inicounterglobal++;
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        iv_inidefaults();
    }
    std::unique_ptr<ModemSim> modem() { // the first port of a SIM that asks for 1234
        auto sim = std::make_unique<ModemSim>(std::vector<std::string>{
            "--profile", "huawei", "--set", "sim=pin", "--set", "pin=1234"});
        EXPECT_TRUE(sim->ready());
        strMcpy(inidat.com1, sim->port(0).c_str());
        return sim;
    }
    gui::TempDir dir_;
};

// Types the PIN and waits until the buttons take it.
bool type_pin(GtkWidget* w, const char* pin) {
    return gui::type_text(w, pin) &&
           gui::eventually([] { return ce__buttonapply && gui::sensitive(ce__buttonapply); });
}

} // namespace

TEST_F(PinDialog, TypedPinUnlocksAndIsKeptOnlyWhenSaved) {
    struct Case {
        bool optionk, save, offered;
        const char* kept;
    };
    for (Case c : {Case{false, false, true, ""}, Case{false, true, true, "1234"},
                   Case{true, true, false, ""}}) {
        auto sim = modem();
        MODUS('K') = c.optionk;
        inidat.pin[0] = 0;
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   PIN");
            if (!w) return false;
            GtkWidget* save = gui::button(w, "gtk-save");
            EXPECT_EQ(save != nullptr, c.offered);
            if (!type_pin(w, "1234")) return false;
            return c.save && save ? gui::click_closing(save) : gui::keys_closing(w, "Return");
        });
        EXPECT_EQ(de_inipin(1), PIN_READY);
        EXPECT_TRUE(d.ok());
        EXPECT_STREQ(inidat.pin, c.kept);
        EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN=1234"), 1);
        cm_close();
    }
}

TEST_F(PinDialog, WrongTypedPinIsWarnedAbout) {
    auto sim = modem();
    std::string warning;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   PIN");
        if (!w || !type_pin(w, "9999") || !gui::keys_closing(w, "Return")) return false;
        GtkWidget* box = gui::wait_messagedialog();
        if (!box) return false;
        warning = gui::property(box, "text") + "|" + gui::property(box, "secondary-text");
        return gui::keys_closing(box, "Return");
    });
    EXPECT_EQ(de_inipin(1), PIN_REJECTED);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(warning.rfind("mavlyn   PIN|The PIN you have entered is not valid.", 0), 0u)
        << warning;
    EXPECT_NE(warning.find("three  \ntimes, your SIM card will be locked."), std::string::npos);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN=9999"), 1);
    EXPECT_STREQ(inidat.pin, "");
}

TEST_F(PinDialog, AttemptsLeftAreShownWithThePrompt) {
    auto sim = std::make_unique<ModemSim>(std::vector<std::string>{
        "--profile", "huawei", "--set", "sim=pin", "--set", "pin=1234", "--set", "pin_attempts=2"});
    strMcpy(inidat.com1, sim->port(0).c_str());
    bool shown = false;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   PIN");
        if (!w) return false;
        shown = gui::locked([w] {
            return gui::find_child(w, GTK_TYPE_LABEL, [](GtkWidget* l) {
                       return strstr(gtk_label_get_text(GTK_LABEL(l)),
                                     "Please enter PIN:\n(2 attempts left)") != nullptr;
                   }) != nullptr;
        });
        return type_pin(w, "1234") && gui::keys_closing(w, "Return");
    });
    EXPECT_EQ(de_inipin(1), PIN_READY);
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(shown);
}
