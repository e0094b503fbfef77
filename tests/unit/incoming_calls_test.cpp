// Incoming calls: the unsolicited lines taken out of answers, the hold-off between rings and
// the permitted numbers; calls through the whole program are driven by the calls scenario.
#include "core/status_lines.h"
#include "modem/incoming_calls.h"
#include "modem_dialogue.h"
#include "sms_test_support.h"

TEST(CallParts, UnsolicitedLinesLeaveTheAnswer) {
    struct {
        const char *answer, *left, *number;
        bool rang;
    } cases[] = {
        {"\r\nOK\r\n\r\nRING\r\n", "\r\nOK\r\n\r\n\r\n", "", true},
        {"\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n\r\n+CSQ: 20,99\r\n",
         "\r\n\r\n\r\n\r\n\r\n+CSQ: 20,99\r\n", "+491701234567", true},
        // Three digits are no caller number, but the line goes all the same; "RINGING" is text.
        {"+CLIP: \"112\",129\r\nRINGING\r\n", "\r\nRINGING\r\n", "", false},
        {"\r\n^RSSI:17\r\n\r\nRING\r\n", "\r\n^RSSI:17\r\n\r\n\r\n", "", true},
    };
    for (const auto& c : cases) {
        char t[300], number[50];
        strMcpy(t, c.answer);
        bool rang;
        cm__ringscan(t, &rang, number, sizeof number);
        EXPECT_EQ(std::string(t) + "|" + number + "|" + (rang ? "rang" : "-"),
                  std::string(c.left) + "|" + c.number + "|" + (c.rang ? "rang" : "-"));
    }
}

namespace {

class Calls : public ModemTest {
  protected:
    unsigned long (*realclock)() = cm__ringclock;
    void SetUp() override {
        ModemTest::SetUp();
        inidat.smsring = true;
        inidat.funktion = 1;
        inidat.constart = false;
        // Real time passes here as the offline time does.
        cm__ringclock = [] { return offlinezeit; };
        cm__ringreal = 0;
    }
    void TearDown() override {
        cm__ringclock = realclock;
        cm__ringreal = 0;
        onlinezeit = offlinezeit = offlinezeitring = 0;
        unterbrechung_gewuenscht = 0;
        ModemTest::TearDown();
    }
    void callcommand(int i, const char* line, const char* number = "") {
        strMcpy(inidat.cmd[i], line);
        inidat.sms[i] = 2;
        strMcpy(inidat.smsnr[i], number);
    }
    // One answer read at the given offline time (1/100 s); whether it asked for a reconnect.
    static bool read(const char* answer, unsigned long at) {
        offlinezeit = at;
        char t[1000];
        strMcpy(t, answer);
        cm__ringdetect(t);
        return std::exchange(unterbrechung_gewuenscht, 0) == 2;
    }
};

} // namespace

TEST_F(Calls, HoldOffPermittedNumbersAndWithheldCallers) {
    callcommand(0, "mavlyn_CONNECT", "+491701234567");
    callcommand(1, "mavlyn_RECONNECT");
    EXPECT_TRUE(read("\r\nRING\r\n", 100000));
    EXPECT_FALSE(inidat.constart) << "an unknown caller matches no permitted number";
    EXPECT_FALSE(read("\r\nRING\r\n", 101400)) << "within 15 s: the same call";
    EXPECT_TRUE(read("\r\nRING\r\n\r\n+CLIP: \"+491709999999\",145\r\n", 103000));
    EXPECT_FALSE(inidat.constart);
    EXPECT_TRUE(read("\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145\r\n", 120000));
    EXPECT_TRUE(inidat.constart);
    EXPECT_STREQ(cc_mtext[1], "+Call recieved.");
    EXPECT_EQ(count(read_file("connlog.txt"), "Connection activated by call."), 1u);
    onlinezeit = 5;
    EXPECT_FALSE(read("\r\nRING\r\n", 140000)) << "nothing while online";
    onlinezeit = 0;
    offlinezeitring = 900000;
    EXPECT_FALSE(read("\r\nRING\r\n", 160000)) << "the offline time was reset";
    EXPECT_EQ(offlinezeitring, 0u);
}

// A long dialogue holds up the cycle: the offline time stands still, then catches up at once.
TEST_F(Calls, OneCallStaysOneWhenTheOfflineTimeCatchesUp) {
    callcommand(1, "mavlyn_RECONNECT");
    EXPECT_TRUE(read("\r\nRING\r\n", 100000));
    static unsigned long real;
    real = 100500; // 5 s later by the clock, 30 s by the offline time that caught up
    cm__ringclock = [] { return real; };
    EXPECT_FALSE(read("\r\nRING\r\n", 103000));
    real = 102000;
    EXPECT_TRUE(read("\r\nRING\r\n", 104600)) << "15 s after the last ring by both: a new call";
}
