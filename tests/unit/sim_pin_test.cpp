// Unlocking the SIM against the simulated modem: states, stored codes, PUK, attempts left.
#include "modem/sim_pin.h"
#include "modem_dialogue.h"

TEST(SimAnswers, StatesStartUpAndAttemptsOfEachMaker) {
    for (const char* ready : {"\r\n+CPIN: READY\r\n\r\nOK\r\n", "+CPIN: SIM PIN2\r\nOK",
                              "\r\n+CPIN: READY\r\n\r\n^RSSI:17\r\n\r\nOK\r\n", "\r\nOK\r\n"})
        EXPECT_TRUE(de__inipin_pin_ok(ready)) << ready;
    for (const char* locked : {"+CPIN: SIM PIN\r\n\r\nOK", "+CPIN: SIM PUK\r\nOK", "\r\nERROR\r\n",
                               "OK\r\n+CME ERROR: 10"})
        EXPECT_FALSE(de__inipin_pin_ok(locked)) << locked;
    for (const char* starting : {"\r\n+CME ERROR: SIM busy\r\n", "\r\n+CME ERROR: 14\r\n",
                                 "\r\nERROR\r\n", "\r\n^BOOT:20952695,0,0,0,72\r\n\r\nERROR\r\n"})
        EXPECT_TRUE(de__simstarting(starting)) << starting;
    for (const char* final : {"\r\n+CME ERROR: 10\r\n", "\r\n+CME ERROR: SIM not inserted\r\n",
                              "\r\n+CME ERROR: SIM failure\r\n", "\r\n+CPIN: SIM PIN\r\n\r\nOK"})
        EXPECT_FALSE(de__simstarting(final)) << final;

    for (auto [answer, left] :
         {std::pair{"\r\n+CPINR: SIM PIN,2,3\r\n+CPINR: SIM PUK,10,10\r\n+CPINR: SIM PIN2,3,3\r\n"
                    "\r\nOK\r\n",
                    "2 10"},
          {"\r\n+CPINR: \"SIM PUK\",7,10\r\n\r\nOK\r\n", "-1 7"},
          {"\r\n^CPIN: SIM PIN,2,10,2,10,3\r\n\r\nOK\r\n", "2 10"}, // Huawei
          {"\r\n^CPIN: SIM PUK,9,9,0,10,3\r\n\r\nOK\r\n", "0 9"},
          {"\r\n!CPINC: 1,3,10,10\r\n\r\nOK\r\n", "1 10"}, // Sierra
          {"\r\n+CME ERROR: 4\r\n", "-1 -1"},
          {"\r\n_OERCN: 55555555556, 10\r\n", "-1 10"}}) { // Option, no number of attempts
        de__attempts_t r = de__pinattempts(answer);
        EXPECT_EQ(std::to_string(r.pin) + " " + std::to_string(r.puk), left) << answer;
    }
}

namespace {

class Pin : public ModemTest {
  protected:
    // Starts the simulator with its first port as the command port, and the stored PIN.
    std::unique_ptr<ModemSim> modem(std::vector<std::string> args, const char* pin = "") {
        restore();
        auto sim = std::make_unique<ModemSim>(std::move(args));
        if (sim->ready()) strMcpy(inidat.com1, sim->port(0).c_str());
        strMcpy(inidat.pin, pin);
        return sim;
    }
};

} // namespace

TEST_F(Pin, SimStatesAndStoredCodes) {
    struct {
        const char* sim;
        const char* stored;
        int result;
        const char* sent; // the PIN commands the modem got
        const char* kept; // the PIN field afterwards
    } cases[] = {
        {"sim=ready", "1234", PIN_READY, "", "1234"},
        {"sim=pin2", "", PIN_READY, "", ""},
        {"sim=pin", "9999", PIN_REJECTED, "AT+CPIN=9999 ", "9999"},
        {"pin_attempts=1", "0000", PIN_NEEDSPUK, "AT+CPIN=0000 ", "0000"},
        {"sim=puk", "1234", PIN_NEEDSPUK, "", "1234"},
        {"sim=puk", "11111111,4321", PIN_BADPUK, "AT+CPIN=11111111,4321 ", "11111111,4321"},
        // The new PIN behind the PUK is the PIN from now on.
        {"sim=puk", "12345678,4321", PIN_READY, "AT+CPIN=12345678,4321 ", "4321"},
        {"sim=absent", "1234", PIN_NOSIM, "", "1234"},
    };
    for (const auto& c : cases) {
        auto sim = modem({"--profile", "generic", "--set", "realism=no", "--set", "sim=pin",
                          "--set", c.sim, "--set", "cmee=1"},
                         c.stored);
        ASSERT_TRUE(sim->ready());
        const std::string row = std::string(c.sim) + " " + c.stored;
        EXPECT_EQ(de_inipin(1), c.result) << row;
        std::string sent;
        for (const auto& cmd : commands(sim->transcript()))
            if (cmd.rfind("AT+CPIN=", 0) == 0) sent += cmd + " ";
        EXPECT_EQ(sent, c.sent) << row;
        EXPECT_STREQ(inidat.pin, c.kept) << row;
        EXPECT_EQ(_inidatneu, strcmp(c.kept, c.stored) != 0) << "a changed PIN goes to the file";
    }
}

TEST_F(Pin, PreparationOncePerStartAndWrongPinsNeverTwice) {
    auto sim = modem({"--profile", "huawei", "--set", "sim=pin", "--set", "pin=1234"}, "9998");
    ASSERT_TRUE(sim->ready());
    EXPECT_EQ(de_inipin(1), PIN_REJECTED);
    inicounterglobal++; // a new start; the caller did not clear the PIN
    EXPECT_EQ(de_inipin(1), PIN_REJECTED);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN=9998"), 1);

    inicounterglobal++;
    strMcpy(inidat.pin, "1234");
    EXPECT_EQ(de_inipin(1), PIN_READY) << "attempts are left for the right PIN";
    size_t before = commands(sim->transcript()).size();
    EXPECT_EQ(de_inipin(0), PIN_READY);
    EXPECT_EQ(commands(sim->transcript()).size(), before) << "asked once per start";
    EXPECT_EQ(de_inipin(2), PIN_READY);
    EXPECT_EQ(commands(sim->transcript()).size(), before + 1) << "kind 2: the SIM query only";
}

TEST_F(Pin, ModemsThatNeverSayOkOrAreInitialisedByTheUser) {
    PtyPeer refusing(answers({{0, "\r\nERROR\r\n"}}));
    strMcpy(inidat.com1, refusing.path());
    EXPECT_EQ(de_inipin(1), PIN_NOANSWER);
    EXPECT_FALSE(programmende_gewuenscht) << "answers arrived, only not the right ones";

    auto sim = modem({"--set", "sim=pin"});
    strMcpy(inidat.devi, "\\*AT+CFUN=1");
    EXPECT_EQ(de_inipin(1), PIN_READY);
    EXPECT_EQ(count_command(sim->transcript(), "AT+CPIN?"), 0);
}
