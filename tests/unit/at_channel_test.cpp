// The AT channel: answers as devices send them, the ports it opens, the user's command strings.
#include "modem_dialogue.h"
#include "sms_test_support.h"

#include <fcntl.h>

using Channel = ModemTest;

TEST(ChannelPure, SecondaryAnswersAreCutBehindTheirOk) {
    // Answers of the right length, as the Novatel day scenario has them, stay as they are.
    struct {
        const char* text; // the answer text behind the four blanks of the packet header
        int lenbyte;
        const char* kept; // with '!' in front when the cut is noted in the log
    } cases[] = {
        {"\r\n+CSQ: 17,99\r\n\r\nOK\r\nGARBAGE", 3, "!\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
        {"\r\n+CSQ: 7,99\r\n\r\nOK\r\nX", 0, "!\r\n+CSQ: 7,99\r\n\r\nOK\r\n"},
        // Location reports on: the long answers keep their location, cell id and OK.
        {"\r\n+CGREG: 2,1,\"1A2B\",\"00C3D4E5\"\r\n\r\nOK\r\nyyyy", 0,
         "!\r\n+CGREG: 2,1,\"1A2B\",\"00C3D4E5\"\r\n\r\nOK\r\n"},
        {"\r\n+COPS: 0,0,\"Vodafone.de\"\r\n\r\nOK\r\nno act", 99,
         "!\r\n+COPS: 0,0,\"Vodafone.de\"\r\n\r\nOK\r\n"},
        {"\r\n+CSQ: 17,99\r\nXXXXXXXXXX", 0, "!\r\n+CSQ: 17,99\r\nXXXXXX"}, // no OK
        {"\r\n+COPS: 0\r\nrest", 0, "\r\n+COPS: 0\r\nrest"},
        {"\r\nManufacturer: Novatel\r\nOK\r\n", 10, "\r\nManufact"},
    };
    for (const auto& c : cases) {
        char t[1000] = "    ";
        strmcpy(t + 4, c.text, sizeof t - 4);
        const bool noted = cm__correctlength(t, c.lenbyte) != nullptr;
        EXPECT_EQ((noted ? "!" : "") + std::string(t + 4), c.kept) << c.text;
    }
}

TEST(ChannelPure, AnswerCompleteOnlyWithItsFinalResult) {
    for (const char* done :
         {"\r\nOK\r\n", "AT\r\r\nOK\r\n", "\r\n+CSQ: 20,99\r\n\r\nOK\r\n", "\r\n+CME ERROR: 14\r\n",
          "\r\n+CMS ERROR: 500\r\n", "\r\nERROR\r\n", "\r\nNO CARRIER\r\n",
          "\r\nCONNECT 7200000\r\n", "\r\n> ", "\r\n^RSSI:17\r\n\r\nOK\r\n"})
        EXPECT_TRUE(cm__answercomplete(done, strlen(done))) << done;
    for (const char* more : {"\r", "\r\n+CSQ: 20,99\r\n", "\r\n+CME ERROR: 1", "\r\nOK",
                             "\r\nOK\r\n\r\n^BOOT:20952695,0,0,0,72\r\n",
                             "\r\nOK\r\n\r\n+CUSD: 0,\"Guth", "\r\nOKAY\r\n", ""})
        EXPECT_FALSE(cm__answercomplete(more, strlen(more))) << more;
}

TEST_F(Channel, PortListFromDescriptorZeroAndReopenedAfterClosing) {
    PtyPeer modem(answers({{0, "\r\nOK\r\n"}}));
    const std::string list = std::string("/nonexistent/ttyUSB9,") + modem.path();
    int saved = dup(0);
    close(0); // started with standard input closed: the port gets descriptor 0
    bool opened = cm_open(list.c_str(), 0) && fcntl(0, F_GETFD) >= 0;
    std::string a = opened ? ask("AT\r") : "";
    cm_close();
    dup2(saved, 0);
    close(saved);
    EXPECT_TRUE(opened);
    EXPECT_EQ(a, "\r\nOK\r\n");
    EXPECT_NE(log().find("Opened Port " + list + "."), std::string::npos);
    EXPECT_FALSE(cm_isopen());
    EXPECT_EQ(ask("AT\r"), "\r\nOK\r\n") << "a closed channel reopens";
}

TEST_F(Channel, OversizedAnswersAreCutAtTheReadLimit) {
    PtyPeer big(answers({{0, std::string(3000, 'A')}}));
    ASSERT_TRUE(cm_open(big.path(), 0));
    cm_puts("AT+CMGL=4\r");
    msleep(300);
    char t[antwortLEN];
    memset(t, 'Z', sizeof t);
    cm_gets(t, 5);
    EXPECT_EQ(strlen(t), 999u) << "at most 999 bytes are read";
    EXPECT_EQ(t[1000], 'Z') << "nothing written behind the read limit";
}

TEST_F(Channel, SixAttemptsToOpenAndNothingWhilePaused) {
    EXPECT_FALSE(cm_open("/nonexistent/a,/nonexistent/b", 0));
    EXPECT_EQ(count(log(), "Retry to open port /nonexistent/a,/nonexistent/b."), 5u);

    PtyPeer modem(answers({{0, "\r\nOK\r\n"}}));
    ASSERT_TRUE(cm_open(modem.path(), 0));
    ruhestatus = 2;
    EXPECT_FALSE(cm_puts("AT\r"));
    ruhestatus = 0;
    EXPECT_EQ(modem.received(), "") << "nothing reaches the modem while paused";
}

TEST_F(Channel, UserCommandsWithSeparatorsAndPauses) {
    PtyPeer modem(answers({{0, "\r\nOK\r\n"}}));
    ASSERT_TRUE(cm_open(modem.path(), 0));
    cm_userat("\\*AT+A\\rAT+B\\R\\PAT+C\\x1A");
    strMcpy(inidat.devi, "AT&F\\r\\rATE0");
    cm_userat(nullptr);
    msleep(100);
    EXPECT_EQ(modem.received(), "AT+A\rAT+B\rAT+C\x1A\rAT&F\r\rATE0\r");
    EXPECT_NE(log().find("End of user-defined commands."), std::string::npos);
}

TEST_F(Channel, SecondaryPortAnswerOfTheWrongLengthIsEmpty) {
    PtyPeer primary(answers({{0, "\r\nOK\r\n"}}));
    PtyPeer diag([](PtyPeer& p, const std::string& got) {
        if (got.size() < cm__PACKETLEN) return;
        unsigned char reply[cm__PACKETLEN] = {'K', '2', static_cast<unsigned char>(got[2])};
        reply[650] = 0x7E;
        p.send(reply, got[2] == 0x04 ? 100 : cm__PACKETLEN);
    });
    ASSERT_TRUE(cm_open(primary.path(), 0));
    strMcpy(inidat.com2, diag.path());
    cm_change();
    EXPECT_EQ(ask("AT+CREG?\r", 400), "");
    EXPECT_NE(log().find("rb: Wrong packet length: 100."), std::string::npos);
}
