// USSD queries, prepaid tasks and homezone against the simulated modem and a local page.
#include "loopback_server.h"
#include "modem/ussd.h"
#include "modem_dialogue.h"
#include "sms/sms_reception.h"
#include "sms_test_support.h"

using Ussd = ModemTest;

TEST_F(Ussd, HomezoneByUssdInUcs2WithTheEuroSignAndByWebPage) {
    tonlos = true;
    comzeit = 100;
    sm__forget();
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
    sm__forget();
    cm__ussdmode = 0;
}

TEST(UssdParts, AnswersOfTheMakersAndTheirDecoding) {
    // The decoded text, with '|' when an answer was found.
    for (auto [answer, text] :
         {std::pair{"\r\n+CUSD: 0,\"20AC0035002C003000300020\",72\r\n", "|EUR5,00 "},
          {"\r\n+CUSD: 0,\"00E4041F\",72\r\n", "|\xE4?"}, // Cyrillic has no Latin-1 letter
          {"\r\n+CUSD: 0,\"E8329BFD06\",15\r\n", "|hello"},
          {"\r\n+CUSD: 0, \"004800690021\" , 72\r\n", "|Hi!"},
          {"\r\n^RSSI:17\r\n\r\n+cusd: 2,\"x\"\r\n", "|x"},
          {"\r\n+CUSD: 4\r\n", "|"},
          {"\r\nERROR\r\n", ""}}) {
        char out[100];
        bool found;
        int dcs;
        cm__ussdanswer(answer, out, sizeof out, &found, &dcs);
        cm__ussddecode(out, dcs);
        EXPECT_EQ(std::string(found ? "|" : "") + out, text) << answer;
    }
    char out[100];
    cm__creditanswer("a\x81\x84\x01\r\n\x95\xE9", out, sizeof out);
    EXPECT_STREQ(out, "a\xFC\xE4_\r\n_\xE9  ") << "code page 437 umlauts as the devices send them";
}

TEST(UssdParts, TopUpCodesOperatorSmsAndDeviceCommands) {
    char out[300], name[120], content[100], at[100];
    const std::string longtemplate = "*1*<INPUT>" + std::string(290, '1') + "#";
    for (auto [templ, input, code] :
         {std::tuple{"*104*<INPUT>#", "1234567890123456", "*104*1234567890123456#"},
          {"*104*<Input>#<input>", "77", "*104*77#<input>"},
          {longtemplate.c_str(), "4242", "4242"}}) { // too long together: the input as typed
        cm__topupcode(templ, input, out, sizeof out);
        EXPECT_STREQ(out, code) << templ;
    }
    for (auto [input, file, text] :
         {std::tuple{"SMS:+123456 word", "sms_PREPAID_COMMUNICATION__123456.txt", "word"},
          {"sms:22222:STATUS", "sms_PREPAID_COMMUNICATION__-22222.txt", "STATUS"},
          {"SMS:+ x", "", ""}}) {
        bool taken = cm__operatorsms(input, name, sizeof name, content, sizeof content);
        EXPECT_EQ(taken ? std::string(name) + "|" + content : "|", std::string(file) + "|" + text)
            << input;
    }
    int wait, answer; // device commands through the record: tests/e2e/test_other_user.sh
    EXPECT_FALSE(cm__devicecommand("ATI", 150, &wait, &answer, at, sizeof at));
}
