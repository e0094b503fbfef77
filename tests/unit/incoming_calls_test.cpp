// Incoming calls: the unsolicited lines taken out of answers, the hold-off between rings,
// call commands with permitted numbers; once against the simulated modem.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/incoming_calls.h"
#include "modemsim_process.h"
#include "sms_test_support.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class Calls : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        inidat.smsring = true;
        inidat.funktion = 1;
        MODUS('P') = 1;
        onlinezeit = 0;
        offlinezeit = 0;
        offlinezeitring = 0;
        tonlos = true;
        _de = false;
        unterbrechung_gewuenscht = 0;
        programmende_gewuenscht = false;
        cc_mtext[1][0] = 0;
    }
    void TearDown() override {
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        iv_inidefaults();
        offlinezeit = offlinezeitring = 0;
    }
    void callcommand(int i, const char* line, const char* number = "") {
        strMcpy(inidat.cmd[i], line);
        inidat.sms[i] = 2;
        strMcpy(inidat.smsnr[i], number);
    }
    // One answer read at the given offline time (1/100 s).
    std::string read(const std::string& answer, unsigned long at) {
        offlinezeit = at;
        char t[1000];
        strMcpy(t, answer.c_str());
        cm__ringdetect(t);
        return t;
    }
    InTempDir tmp;
};

} // namespace

TEST(CallParts, UnsolicitedLinesLeaveTheAnswer) {
    char t[300] = "\r\nOK\r\n\r\nRING\r\n";
    bool rang;
    char number[50];
    cm__ringscan(t, &rang, number, sizeof number);
    EXPECT_STREQ(t, "\r\nOK\r\n\r\n\r\n");
    EXPECT_TRUE(rang);
    EXPECT_STREQ(number, "");

    strMcpy(t, "\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n\r\n+CSQ: 20,99\r\n");
    cm__ringscan(t, &rang, number, sizeof number);
    EXPECT_STREQ(t, "\r\n\r\n\r\n\r\n\r\n+CSQ: 20,99\r\n");
    EXPECT_STREQ(number, "+491701234567");

    // Three digits are no caller number, but the line goes all the same; "RINGING" is text.
    strMcpy(t, "+CLIP: \"112\",129\r\nRINGING\r\n");
    cm__ringscan(t, &rang, number, sizeof number);
    EXPECT_STREQ(t, "\r\nRINGING\r\n");
    EXPECT_FALSE(rang);
    EXPECT_STREQ(number, "");
}

TEST_F(Calls, OneCallRingingSixTimesTriggersOnceASecondCallAgain) {
    callcommand(0, "mavlyn_RECONNECT");
    unsigned long t = 100000;
    int triggered = 0;
    for (int ring = 0; ring < 6; ring++, t += 500) {
        read("\r\nRING\r\n", t);
        if (unterbrechung_gewuenscht == 2) {
            triggered++;
            unterbrechung_gewuenscht = 0;
        }
    }
    EXPECT_EQ(triggered, 1);
    // 20 s after the last ring of the first call.
    read("\r\nRING\r\n", t - 500 + 2000);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_STREQ(cc_mtext[1], "+Call recieved.");
}

TEST_F(Calls, PermittedNumbersAndWithheldCallers) {
    callcommand(0, "mavlyn_CONNECT", "+491701234567");
    callcommand(1, "mavlyn_RECONNECT");
    inidat.constart = false;
    read("\r\nRING\r\n", 100000);
    EXPECT_FALSE(inidat.constart) << "an unknown caller matches no permitted number";
    EXPECT_EQ(unterbrechung_gewuenscht, 2);

    unterbrechung_gewuenscht = 0;
    read("\r\nRING\r\n\r\n+CLIP: \"+491709999999\",145\r\n", 110000);
    EXPECT_FALSE(inidat.constart);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);

    read("\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145\r\n", 120000);
    EXPECT_TRUE(inidat.constart);
    std::string conn = read_file("connlog.txt");
    EXPECT_TRUE(has(conn, "Call recieved: +491701234567")) << conn;
    EXPECT_EQ(count(conn, "Connection activated by call."), 1u);
    EXPECT_TRUE(has(read_file("servilog.txt"), "Incomming call: \"+491701234567\"."));
}

TEST_F(Calls, CommandLineBehindTheWordIsExpanded) {
    callcommand(0, "mavlyn_END  echo %0 %1 %% %2 > call.txt");
    read("+CLIP: \"+491701234567\",145\r\n", 100000);
    EXPECT_TRUE(programmende_gewuenscht);
    std::string conn = read_file("connlog.txt");
    EXPECT_TRUE(has(conn, "Program terminated by call."));
    EXPECT_TRUE(has(conn, "Command by call: echo %0 %1 %% %2 > call.txt")) << conn;
    ASSERT_TRUE(waitline("call.txt"));
    EXPECT_EQ(read_file("call.txt"), "491701234567 +491701234567 % %2\n");
}

TEST_F(Calls, NothingWhileOnlineOrAfterTheOfflineTimeWasReset) {
    callcommand(0, "mavlyn_RECONNECT");
    onlinezeit = 5;
    EXPECT_EQ(read("\r\nRING\r\n", 100000), "\r\nRING\r\n") << "detection is off while online";
    onlinezeit = 0;
    offlinezeitring = 200000;
    read("\r\nRING\r\n", 100000);
    EXPECT_EQ(offlinezeitring, 0u);
    EXPECT_EQ(unterbrechung_gewuenscht, 0);
}

TEST_F(Calls, RingFromTheModemIsTakenOutOfTheNextAnswer) {
    ModemSim sim({"--profile", "huawei"});
    ASSERT_TRUE(sim.ready());
    iv_inidefaults();
    inidat.smsring = true;
    inidat.funktion = 1;
    callcommand(0, "mavlyn_RECONNECT");
    comzeit = 100;
    cm_ini();
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    offlinezeit = 100000;
    char t[antwortLEN];
    cm_puts("AT+CLIP=1\r");
    msleep(300);
    cm_gets(t, 5);
    sim.control("ring +491701234567 1");
    msleep(500);
    cm_puts("AT\r");
    msleep(300);
    cm_gets(t, 5);
    EXPECT_TRUE(has(t, "OK")) << t;
    EXPECT_FALSE(has(t, "RING")) << t;
    EXPECT_FALSE(has(t, "CLIP")) << t;
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_TRUE(has(read_file("connlog.txt"), "Call recieved: +491701234567"));
    cm_postini();
}
