#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/sim_pin.h"
#include "modem_dialogue.h"
#include "modemsim_process.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

TEST(SimState, AnswersAndPinCommands) {
    for (const char* ready : {"\r\n+CPIN: READY\r\n\r\nOK\r\n", "+CPIN: SIM PIN2\r\nOK",
                              "+CPIN: SIM PUK2", "\r\nOK\r\n", "+CPIN: PH-NET PIN\r\n\r\nOK"})
        EXPECT_TRUE(de__inipin_pin_ok(ready)) << ready;
    for (const char* locked : {"+CPIN: SIM PIN\r\n\r\nOK", "+CPIN: SIM PUK\r\nOK", "\r\nERROR\r\n",
                               "OK\r\n+CME ERROR: 10", ""})
        EXPECT_FALSE(de__inipin_pin_ok(locked)) << locked;

    char out[40];
    de__pincommand(out, sizeof out, "12345678,1234", 3);
    EXPECT_STREQ(out, "AT+CPIN=12345678,1234\r") << "PUK and new PIN as stored";
    de__pincommand(out, sizeof out, "12345678,1234", 5);
    EXPECT_STREQ(out, "AT+CPIN=\"12345678\",\"1234\"\r") << "each code quoted";
    de__pincommand(out, 8, std::string(400, '7').c_str(), 5);
    EXPECT_STREQ(out, "AT+CPIN");
}

namespace {

class Pin : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        _silentinstall = true; // no dialog here; the dialog has tests of its own
        geraet = 0;
        comzeit = 150;
        programmende_gewuenscht = false;
        restart();
    }
    void TearDown() override {
        cm_postini();
        iv_inidefaults();
        _silentinstall = false;
        geraet = 0;
        comzeit = 150;
    }
    // Starts the simulator with its first port as the command port, and the stored PIN.
    std::unique_ptr<ModemSim> modem(std::vector<std::string> args, const char* pin = "") {
        auto sim = std::make_unique<ModemSim>(std::move(args));
        if (sim->ready()) strMcpy(inidat.com1, sim->port(0).c_str());
        strMcpy(inidat.pin, pin);
        return sim;
    }
    void restart() { // a new start of the main sequence
        cm_ini();
        inicounterglobal++;
    }
    InTempDir tmp;
};

} // namespace

TEST_F(Pin, SimStatesAndStoredCodes) {
    struct {
        const char* sim;
        const char* stored;
        int result;
        const char* sent; // the PIN command the modem got, "" for none
    } cases[] = {
        {"sim=ready", "1234", PIN_READY, ""},
        {"sim=pin2", "", PIN_READY, ""},
        {"sim=pin", "1234", PIN_READY, "AT+CPIN=1234"},
        {"sim=pin", "", PIN_NEEDED, ""},
        {"sim=pin", "9999", PIN_REJECTED, "AT+CPIN=9999"},
        {"sim=pin", "12345678,1234", PIN_REJECTED, "AT+CPIN=12345678,1234"},
        {"pin_attempts=1", "0000", PIN_NEEDSPUK, "AT+CPIN=0000"},
        {"sim=puk", "1234", PIN_NEEDSPUK, ""},
        {"sim=puk", "11111111,4321", PIN_BADPUK, "AT+CPIN=11111111,4321"},
        {"sim=puk", "12345678,4321", PIN_NEEDED, "AT+CPIN=12345678,4321"},
        {"sim=absent", "1234", PIN_NOSIM, ""},
    };
    for (const auto& c : cases) {
        restart();
        auto sim = modem({"--set", "sim=pin", "--set", c.sim}, c.stored);
        ASSERT_TRUE(sim->ready());
        EXPECT_EQ(de_inipin(1), c.result) << c.sim << " " << c.stored;
        std::string t = sim->transcript();
        EXPECT_EQ(count_prefix(t, "AT+CPIN="), c.sent[0] ? 1 : 0) << c.sim << " " << c.stored;
        if (c.sent[0]) {
            EXPECT_EQ(count_command(t, c.sent), 1) << c.sim << " " << c.stored;
        }
        if (c.result == PIN_NEEDED && c.stored[0]) {
            EXPECT_STREQ(inidat.pin, "") << "unlocked with the PUK: the new PIN is asked for";
        }
        cm_postini();
    }
}

TEST_F(Pin, PreparationOncePerStart) {
    auto sim = modem({"--profile", "huawei", "--set", "sim=pin"}, "1234");
    ASSERT_TRUE(sim->ready());
    EXPECT_EQ(de_inipin(1), PIN_READY);
    EXPECT_EQ(de_inipin(0), PIN_READY);
    std::vector<std::string> once = {"AT",        "ATI",          "AT&F",     "ATE0V1&D2&C1S0=0",
                                     "AT+CPIN?",  "AT+CPIN=1234", "AT+CPIN?", "AT+COPS=3,0",
                                     "AT+CGREG=2"};
    EXPECT_EQ(commands(sim->transcript()), once) << "the second check of the start asks nothing";

    restart();
    EXPECT_EQ(de_inipin(0), PIN_READY);
    std::string t = sim->transcript();
    EXPECT_EQ(count_command(t, "AT&F"), 1) << "kind 0 makes no factory reset";
    EXPECT_EQ(count_command(t, "AT+CPIN?"), 3) << "a new start asks again";

    size_t before = commands(sim->transcript()).size();
    EXPECT_EQ(de_inipin(2), PIN_READY);
    EXPECT_EQ(commands(sim->transcript()).size(), before + 1) << "kind 2: the SIM query only";
}

TEST_F(Pin, WrongStoredPinIsNeverSentTwice) {
    auto sim = modem({"--set", "sim=pin", "--set", "pin=1234"}, "9999");
    ASSERT_TRUE(sim->ready());
    EXPECT_EQ(de_inipin(1), PIN_REJECTED);
    restart(); // the caller did not clear it
    EXPECT_EQ(de_inipin(1), PIN_REJECTED);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN=9999"), 1);
    restart();
    strMcpy(inidat.pin, "1234");
    EXPECT_EQ(de_inipin(1), PIN_READY) << "attempts are left for the right PIN";
}

TEST_F(Pin, ModemThatNeverSaysOk) {
    RefusingModem refusing;
    strMcpy(inidat.com1, refusing.path());
    EXPECT_EQ(de_inipin(1), PIN_NOANSWER);
    EXPECT_FALSE(programmende_gewuenscht) << "answers arrived, only not the right ones";
}

TEST_F(Pin, EricssonAsksWhileItsSimStartsAndQuotes) {
    auto sim = modem({"--profile", "ericsson", "--set", "sim_busy=2"});
    ASSERT_TRUE(sim->ready());
    EXPECT_EQ(de_inipin(1), PIN_READY);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN?"), 3);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CFUN=1"), 1);

    restart();
    auto locked = modem({"--profile", "ericsson", "--set", "sim=puk"}, "12345678,1357");
    ASSERT_TRUE(locked->ready());
    EXPECT_EQ(de_inipin(1), PIN_NEEDED);
    EXPECT_EQ(count_command(locked->transcript(), "AT+CPIN=\"12345678\",\"1357\""), 1);
    restart();
    strMcpy(inidat.pin, "1357");
    EXPECT_EQ(de_inipin(1), PIN_READY) << "the new PIN was set";

    restart();
    auto nopin = modem({"--profile", "ericsson", "--set", "sim=pin"});
    ASSERT_TRUE(nopin->ready());
    EXPECT_EQ(de_inipin(1), PIN_NEEDED);
    EXPECT_EQ(count_command(nopin->transcript(), "AT+CPIN?"), 4) << "asked while it may start";
}

TEST_F(Pin, PreparationPerMaker) {
    auto option = modem({"--profile", "option"});
    ASSERT_TRUE(option->ready());
    EXPECT_EQ(de_inipin(1), PIN_READY);
    std::string t = option->transcript();
    EXPECT_EQ(count_command(t, "AT+CFUN=1") + count_command(t, "AT_OSSYS=0"), 2);
    EXPECT_EQ(count_command(t, "AT+CGREG=0"), 1);

    restart();
    auto novatel = modem({"--profile", "novatel"});
    ASSERT_TRUE(novatel->ready());
    EXPECT_EQ(de_inipin(1), PIN_READY);
    t = novatel->transcript();
    EXPECT_EQ(count_command(t, "AT&F"), 0) << "no factory reset for Novatel";
    EXPECT_EQ(count_command(t, "ATE0") + count_command(t, "AT+CFUN=1"), 2);
}

TEST_F(Pin, NoPinHandlingWithoutOwnInitialisation) {
    auto sim = modem({"--set", "sim=pin"});
    ASSERT_TRUE(sim->ready());
    strMcpy(inidat.devi, "\\*AT+CFUN=1");
    EXPECT_EQ(de_inipin(1), PIN_READY);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN?"), 0);
    iv_inidefaults();
    strMcpy(inidat.com1, "NONE");
    inidat.com1none = true;
    restart();
    EXPECT_EQ(de_inipin(1), PIN_READY);
}
