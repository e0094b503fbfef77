// Incoming calls: unsolicited lines taken out of answers, and the permitted numbers.
#include "core/status_lines.h"
#include "modem/incoming_calls.h"
#include "modem_dialogue.h"
#include "sms_test_support.h"

TEST(CallParts, UnsolicitedLinesLeaveTheAnswer) {
    // What is left of the answer | the caller's number | whether it rang.
    for (auto [answer, left] :
         {std::pair{"\r\nOK\r\n\r\nRING\r\n", "\r\nOK\r\n\r\n\r\n||rang"},
          {"\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n\r\n+CSQ: 20,99\r\n",
           "\r\n\r\n\r\n\r\n\r\n+CSQ: 20,99\r\n|+491701234567|rang"},
          // Three digits are no caller number, but the line goes; "RINGING" is text.
          {"+CLIP: \"112\",129\r\nRINGING\r\n", "\r\nRINGING\r\n||-"},
          {"\r\n^RSSI:17\r\n\r\nRING\r\n", "\r\n^RSSI:17\r\n\r\n\r\n||rang"}}) {
        char t[300], number[50];
        strMcpy(t, answer);
        bool rang;
        cm__ringscan(t, &rang, number, sizeof number);
        EXPECT_EQ(std::string(t) + "|" + number + "|" + (rang ? "rang" : "-"), left) << answer;
    }
}

using Calls = ModemTest;

TEST_F(Calls, PermittedNumbersWithheldCallersAndNothingWhileOnline) {
    inidat.smsring = true;
    inidat.funktion = 1;
    inidat.constart = false;
    strMcpy(inidat.cmd[0], "mavlyn_CONNECT");
    strMcpy(inidat.smsnr[0], "+491701234567");
    strMcpy(inidat.cmd[1], "mavlyn_RECONNECT");
    inidat.sms[0] = inidat.sms[1] = 2;
    const auto realclock = cm__ringclock;
    cm__ringclock = [] { return offlinezeit; }; // real time passes here as the offline time
    cm__ringreal = 0;
    // One answer read at the given offline time (1/100 s); whether it asked for a reconnect.
    auto read = [](const char* answer, unsigned long at) {
        offlinezeit = at;
        char t[1000];
        strMcpy(t, answer);
        cm__ringdetect(t);
        return std::exchange(unterbrechung_gewuenscht, 0) == 2;
    };
    EXPECT_TRUE(read("\r\nRING\r\n", 100000));
    EXPECT_FALSE(inidat.constart) << "a withheld caller matches no permitted number";
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
    cm__ringclock = realclock;
    cm__ringreal = 0;
}
