// Incoming calls: the unsolicited lines taken out of answers, the hold-off between rings and
// the permitted numbers; the expansion of the command line and the whole path through the
// program are driven by the calls scenario.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/incoming_calls.h"
#include "sms_test_support.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <gtest/gtest.h>
#include <string>

TEST(CallParts, UnsolicitedLinesLeaveTheAnswer) {
    struct {
        const char* answer;
        const char* left;
        bool rang;
        const char* number;
    } cases[] = {
        {"\r\nOK\r\n\r\nRING\r\n", "\r\nOK\r\n\r\n\r\n", true, ""},
        {"\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n\r\n+CSQ: 20,99\r\n",
         "\r\n\r\n\r\n\r\n\r\n+CSQ: 20,99\r\n", true, "+491701234567"},
        // Three digits are no caller number, but the line goes all the same; "RINGING" is text.
        {"+CLIP: \"112\",129\r\nRINGING\r\n", "\r\nRINGING\r\n", false, ""},
        {"\r\n^RSSI:17\r\n\r\nRING\r\n", "\r\n^RSSI:17\r\n\r\n\r\n", true, ""},
    };
    for (const auto& c : cases) {
        char t[300];
        strMcpy(t, c.answer);
        bool rang;
        char number[50];
        cm__ringscan(t, &rang, number, sizeof number);
        EXPECT_STREQ(t, c.left) << c.answer;
        EXPECT_EQ(rang, c.rang) << c.answer;
        EXPECT_STREQ(number, c.number) << c.answer;
    }
}

namespace {

class Calls : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        inidat.smsring = true;
        inidat.funktion = 1;
        MODUS('P') = 1;
        onlinezeit = offlinezeit = offlinezeitring = 0;
        tonlos = true;
        _de = false;
        unterbrechung_gewuenscht = 0;
        cc_mtext[1][0] = 0;
    }
    void TearDown() override {
        unterbrechung_gewuenscht = 0;
        iv_inidefaults();
        onlinezeit = offlinezeit = offlinezeitring = 0;
    }
    void callcommand(int i, const char* line, const char* number = "") {
        strMcpy(inidat.cmd[i], line);
        inidat.sms[i] = 2;
        strMcpy(inidat.smsnr[i], number);
    }
    // One answer read at the given offline time (1/100 s); whether it asked for a reconnect.
    bool read(const std::string& answer, unsigned long at) {
        offlinezeit = at;
        char t[1000];
        strMcpy(t, answer.c_str());
        cm__ringdetect(t);
        return std::exchange(unterbrechung_gewuenscht, 0) == 2;
    }
    InTempDir tmp;
};

} // namespace

TEST_F(Calls, OneCallTriggersOnceAndTheNextAfterTheHoldOff) {
    callcommand(0, "mavlyn_RECONNECT");
    int triggered = 0;
    unsigned long t = 100000;
    for (int ring = 0; ring < 6; ring++, t += 500) triggered += read("\r\nRING\r\n", t);
    EXPECT_EQ(triggered, 1) << "six rings 5 s apart are one call";
    EXPECT_TRUE(read("\r\nRING\r\n", t - 500 + 2000)) << "20 s after the last ring";
    EXPECT_STREQ(cc_mtext[1], "+Call recieved.");
    onlinezeit = 5;
    EXPECT_FALSE(read("\r\nRING\r\n", t + 10000)) << "nothing while online";
    onlinezeit = 0;
    offlinezeitring = 900000;
    EXPECT_FALSE(read("\r\nRING\r\n", t + 20000)) << "the offline time was reset";
    EXPECT_EQ(offlinezeitring, 0u);
}

TEST_F(Calls, PermittedNumbersAndWithheldCallers) {
    callcommand(0, "mavlyn_CONNECT", "+491701234567");
    callcommand(1, "mavlyn_RECONNECT");
    inidat.constart = false;
    EXPECT_TRUE(read("\r\nRING\r\n", 100000));
    EXPECT_FALSE(inidat.constart) << "an unknown caller matches no permitted number";
    EXPECT_TRUE(read("\r\nRING\r\n\r\n+CLIP: \"+491709999999\",145\r\n", 110000));
    EXPECT_FALSE(inidat.constart);
    read("\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145\r\n", 120000);
    EXPECT_TRUE(inidat.constart);
    std::string conn = read_file("connlog.txt");
    EXPECT_TRUE(has(conn, "Call recieved: +491701234567")) << conn;
    EXPECT_EQ(count(conn, "Connection activated by call."), 1u);
}
