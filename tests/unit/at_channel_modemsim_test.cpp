// The channel against the simulated modem over real pseudo-terminals: the bytes the modem
// receives (its transcript) and the answers the program reads back.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class ChannelOnModem : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('P') = 1;
        ruhestatus = 0;
        programmende_gewuenscht = false;
        geraet = 0;
        novatelu740 = false;
        secportmanuell = true;
        _de = false;
        comzeit = 150;
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        ruhestatus = 0;
        programmende_gewuenscht = false;
        iv_inidefaults();
    }
    std::string ask(const char* cmd, unsigned long wait = 300) {
        EXPECT_TRUE(cm_puts(cmd)) << cmd;
        msleep(wait);
        char t[antwortLEN];
        cm_gets(t, 5);
        return t;
    }
    InTempDir tmp;
};

bool has(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

} // namespace

TEST_F(ChannelOnModem, DialogueWithPinMaskedInTheLogOnly) {
    ModemSim sim({"--profile", "huawei", "--set", "sim=pin", "--set", "pin=4711"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    EXPECT_TRUE(has(ask("ATI\r"), "E220"));
    EXPECT_TRUE(has(ask("AT+CPIN?\r"), "SIM PIN"));
    EXPECT_TRUE(has(ask("AT+CPIN=4711\r", 600), "OK"));
    EXPECT_TRUE(has(ask("AT+CPIN?\r"), "READY"));

    std::string heard = sim.transcript();
    EXPECT_TRUE(has(heard, "0\tATI\n"));
    EXPECT_TRUE(has(heard, "0\tAT+CPIN=4711\n")) << "the modem gets the real PIN";
    std::string log = read_file("servilog.txt");
    EXPECT_TRUE(has(log, "s:  AT+CPIN=xxxx"));
    EXPECT_FALSE(has(log, "4711")) << log;
}

TEST_F(ChannelOnModem, ImeiDigitsAreMaskedInTheLog) {
    ModemSim sim({"--profile", "huawei", "--set", "imei=353456789012345"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    std::string answer = ask("ATI\r");
    EXPECT_TRUE(has(answer, "IMEI: 353456789012345")) << "the program itself reads the IMEI";
    std::string log = read_file("servilog.txt");
    EXPECT_TRUE(has(log, "IMEI: xxxxxxxxxxxxxxx")) << log;
    EXPECT_FALSE(has(log, "353456789012345"));
}

TEST_F(ChannelOnModem, PortListFallsBackToTheExistingPathAndReopens) {
    ModemSim sim({"--profile", "generic"});
    ASSERT_TRUE(sim.ready());
    std::string list = "/dev/nonexistent-modem," + sim.port(1);
    ASSERT_TRUE(cm_open(list.c_str(), 0));
    EXPECT_TRUE(has(ask("AT\r"), "OK"));
    cm_close();
    EXPECT_FALSE(cm_isopen());
    ASSERT_TRUE(cm_open(list.c_str(), 0)) << "a closed port opens again";
    EXPECT_TRUE(has(ask("AT+CSQ\r"), "+CSQ:"));
    EXPECT_TRUE(has(sim.transcript(), "1\tAT+CSQ\n"));
}

TEST_F(ChannelOnModem, UserStringReachesTheModemPieceByPiece) {
    ModemSim sim({"--profile", "generic"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    cm_userat("ATE0\\rAT+CGDCONT=1,\"IP\",\"web\"\\RAT+CMEE=1");
    std::string heard = sim.transcript();
    size_t a = heard.find("0\tATE0\n");
    size_t b = heard.find("0\tAT+CGDCONT=1,\"IP\",\"web\"\n");
    size_t c = heard.find("0\tAT+CMEE=1\n");
    ASSERT_NE(a, std::string::npos) << heard;
    ASSERT_NE(b, std::string::npos) << heard;
    ASSERT_NE(c, std::string::npos) << heard;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST_F(ChannelOnModem, NovatelDiagnosticPortCarriesTheCommands) {
    ModemSim sim({"--profile", "novatel", "--set", "diag_empty_fetches=1"});
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(sim.ports(), 2u);
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    geraet = 2;
    novatelu740 = true;
    strMcpy(inidat.com2, sim.port(1).c_str());
    cm_change();
    ASSERT_TRUE(cm_secport);
    std::string answer = ask("AT+CSQ\r", static_cast<unsigned long>(ANTWORTZEIT2));
    EXPECT_TRUE(has(answer, "+CSQ:")) << answer;
    EXPECT_TRUE(has(answer, "OK"));
    std::string heard = sim.transcript();
    EXPECT_TRUE(has(heard, "1\tAT+CSQ")) << heard;
    EXPECT_FALSE(has(heard, "0\tAT+CSQ")) << "the data port stays free";
}
