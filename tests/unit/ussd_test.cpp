// USSD queries, the prepaid tasks and the homezone status against the simulated modem and a
// local web page; the pure parts of codes, answers and device commands.
#include "loopback_server.h"
#include "modem/ussd.h"
#include "modem_dialogue.h"
#include "modemsim_process.h"
#include "sms/sms_reception.h"
#include "sms_test_support.h"

namespace {

class Ussd : public ModemTest {
  protected:
    void SetUp() override {
        ModemTest::SetUp();
        tonlos = true;
        comzeit = 100;
        sm__forget();
    }
    void TearDown() override {
        sm__forget();
        cm__ussdmode = 0;
        ModemTest::TearDown();
    }
};

} // namespace

TEST_F(Ussd, HomezoneByUssdInUcs2WithTheEuroSignAndByWebPage) {
    auto sim = openmodem({"ussd_answer=ucs2", "ussd=*200#|\xE2\x82\xAC: Homezone? nein"});
    strMcpy(inidat.homu, "*200#");
    strMcpy(inidat.homi, "EUR: Homezone");
    strMcpy(inidat.homo, "nein");
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 2) << "the high byte of the euro sign counts; outside checked last";
    EXPECT_TRUE(has(read_file("servilog.txt"), "New homezone status: 2"));

    LoopbackServer s([](int c) { say(c, "HTTP/1.1 200 OK\r\n\r\n<p>Status: IN-ZONE</p>"); });
    strMcpy(inidat.homu, s.url("zone").c_str());
    strMcpy(inidat.homi, "IN-ZONE");
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 1);
}

TEST(UssdParts, AnswersOfTheMakersAndTheirDecoding) {
    struct {
        const char* answer;
        const char* text; // decoded, "" for none
        bool found;
    } cases[] = {
        {"\r\nOK\r\n\r\n+CUSD: 0,\"Guthaben: 5 EUR\",15\r\n", "Guthaben: 5 EUR", true},
        {"\r\n+CUSD: 0,\"004800690021\",72\r\n", "Hi!", true},
        {"\r\n+CUSD: 0,\"20AC0035002C003000300020\",72\r\n", "EUR5,00 ", true},
        {"\r\n+CUSD: 0,\"00E4041F\",72\r\n", "\xE4?", true}, // Cyrillic has no Latin-1 letter
        {"\r\n+CUSD: 0,\"E8329BFD06\",15\r\n", "hello", true},
        {"\r\n+CUSD: 0, \"004800690021\" , 72\r\n", "Hi!", true},
        {"\r\n^RSSI:17\r\n\r\n+cusd: 2,\"x\"\r\n", "x", true},
        {"\r\n+CUSD: 4\r\n", "", true},
        {"\r\nERROR\r\n", "", false},
    };
    for (const auto& c : cases) {
        char out[100];
        bool found;
        int dcs;
        cm__ussdanswer(c.answer, out, sizeof out, &found, &dcs);
        cm__ussddecode(out, dcs);
        EXPECT_STREQ(out, c.text) << c.answer;
        EXPECT_EQ(found, c.found) << c.answer;
    }
    char out[100];
    cm__creditanswer("a\x81\x84\x01\r\n\x95\xE9", out, sizeof out);
    EXPECT_STREQ(out, "a\xFC\xE4_\r\n_\xE9  ") << "code page 437 umlauts as the devices send them";
}

TEST(UssdParts, TopUpCodesOperatorSmsAndDeviceCommands) {
    char out[300];
    cm__topupcode("*104*<INPUT>#", "1234567890123456", out, sizeof out);
    EXPECT_STREQ(out, "*104*1234567890123456#");
    cm__topupcode("*104*<Input>#<input>", "77", out, sizeof out);
    EXPECT_STREQ(out, "*104*77#<input>");
    std::string longtemplate = "*1*<INPUT>" + std::string(290, '1') + "#";
    cm__topupcode(longtemplate.c_str(), "4242", out, sizeof out);
    EXPECT_STREQ(out, "4242") << "too long together: the input as typed";

    char name[120], content[100];
    ASSERT_TRUE(cm__operatorsms("SMS:+123456 word", name, sizeof name, content, sizeof content));
    EXPECT_STREQ(name, "sms_PREPAID_COMMUNICATION__123456.txt");
    EXPECT_STREQ(content, "word");
    ASSERT_TRUE(cm__operatorsms("sms:22222:STATUS", name, sizeof name, content, sizeof content));
    EXPECT_STREQ(name, "sms_PREPAID_COMMUNICATION__-22222.txt");
    EXPECT_FALSE(cm__operatorsms("SMS:+ x", name, sizeof name, content, sizeof content));

    int wait, answer;
    char at[100];
    ASSERT_TRUE(cm__devicecommand(":200:5000:AT+CSQ", 150, &wait, &answer, at, sizeof at));
    EXPECT_EQ(wait, 200);
    EXPECT_EQ(answer, 5000);
    EXPECT_STREQ(at, "AT+CSQ");
    ASSERT_TRUE(cm__devicecommand("::: ATI", 150, &wait, &answer, at, sizeof at));
    EXPECT_EQ(wait, 150);
    EXPECT_EQ(answer, 3000);
    EXPECT_FALSE(cm__devicecommand("ATI", 150, &wait, &answer, at, sizeof at));
}
