// USSD queries, the prepaid tasks and the homezone status against the simulated modem and a
// local web page; the pure parts of codes, answers and device commands.
#include "config/config_record.h"
#include "control/instance_interface.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "modem/at_channel.h"
#include "modem/ussd.h"
#include "modemsim_process.h"
#include "sms/sms_reception.h"
#include "sms_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class Ussd : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('P') = 1;
        _de = false;
        tonlos = true;
        geraet = 0;
        secportmanuell = true;
        comzeit = 100;
        onlinezeit = 0;
        cm__ussdmode = 0;
        prepaid_gewuenscht = false;
        prepaidaufladen_gewuenscht = 0;
        prepaids[0] = 0;
        homezonestatus = 0;
        sm__forget();
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        mvliow = nullptr;
        sm__forget();
        cm__ussdmode = 0;
        iv_inidefaults();
    }
    std::unique_ptr<ModemSim> modem(const std::vector<std::string>& settings = {}) {
        return openmodem(settings);
    }
    InTempDir tmp;
};

} // namespace

TEST_F(Ussd, CreditQueryAnswerGoesToTheMessageThread) {
    auto sim = modem({"ussd=*100#|Guthaben 5,00 EUR", "ussd=*101#|Sie haben 20 MB"});
    prepaid_gewuenscht = true;
    char t[1000];
    prepaid_aufgaben("*100#", "", nullptr, t);
    EXPECT_TRUE(has(sim->transcript(), "AT+CUSD=1,\"*100#\",15"));
    EXPECT_EQ(cm__ussdmode, 1);
    EXPECT_EQ(sm_msgprepaidzustand, 1);
    EXPECT_STREQ(sm_msgprepaidnachricht,
                 "Answer from your mobile network:  \n\nGuthaben 5,00 EUR  ");
    EXPECT_FALSE(prepaid_gewuenscht);
    EXPECT_TRUE(has(read_file("connlog.txt"), "Account answer: Guthaben 5,00 EUR"));

    // A code of the user's instead of the configured one; then a code the network does not
    // know ("+CUSD: 4", no text).
    strMcpy(prepaids, "*101#");
    prepaid_gewuenscht = true;
    prepaid_aufgaben("*100#", "", nullptr, t);
    EXPECT_TRUE(has(sm_msgprepaidnachricht, "Sie haben 20 MB"));
    EXPECT_TRUE(has(read_file("connlog.txt"), "Account command: *101#"));
    EXPECT_STREQ(prepaids, "");

    prepaid_gewuenscht = true;
    prepaid_aufgaben("*999#", "", nullptr, t);
    EXPECT_STREQ(sm_msgprepaidnachricht,
                 "Could not reach prepaid account.  \nPlease try again later.  ");
}

TEST_F(Ussd, PlainCodeRefusedIsSentPackedFromThenOn) {
    auto sim = modem({"ussd_input=packed", "ussd=*100#|Rest 3 EUR"});
    char t[1000] = "*100#";
    cm_ussdquery(t);
    EXPECT_STREQ(t, "Rest 3 EUR");
    EXPECT_EQ(cm__ussdmode, 2);
    // "*100#" in packed 7-bit: AA 18 0C 36 02.
    std::string heard = sim->transcript();
    EXPECT_TRUE(has(heard, "AT+CUSD=1,\"AA180C3602\",15")) << heard;

    strMcpy(t, "*100#");
    cm_ussdquery(t);
    EXPECT_STREQ(t, "Rest 3 EUR");
    EXPECT_EQ(count(sim->transcript(), "AT+CUSD=1,\"*100#\""), 1u) << "learnt once";
}

TEST_F(Ussd, Ucs2AnswerAndHomezoneWithBothTexts) {
    auto sim = modem({"ussd_answer=ucs2", "ussd=*200#|Homezone: nein, au\xC3\x9F"
                                          "erhalb"});
    strMcpy(inidat.homu, "*200#");
    strMcpy(inidat.homi, "Homezone");
    strMcpy(inidat.homo, "au\xDF"
                         "erhalb");
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 2) << "the outside text is checked last";
    EXPECT_TRUE(has(read_file("servilog.txt"), "New homezone status: 2"));
}

TEST_F(Ussd, HomezoneByWebPage) {
    LoopbackServer s([](int c) { say(c, "HTTP/1.1 200 OK\r\n\r\n<p>Status: IN-ZONE</p>"); });
    strMcpy(inidat.homu, s.url("zone").c_str());
    strMcpy(inidat.homi, "IN-ZONE");
    strMcpy(inidat.homo, "OUT-ZONE");
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 1);

    strMcpy(inidat.homi, "elsewhere");
    homezonestatus = 1;
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 0);

    inidat.homu[0] = 0;
    homezonestatus = 2;
    cm_homezonequery();
    EXPECT_EQ(homezonestatus, 0);
}

TEST_F(Ussd, DeviceCommandFromAnotherInstance) {
    auto sim = modem({});
    mvlio_t record{};
    mvliow = &record;
    strMcpy(record.command, ":50:1000:ATI");
    char t[1000];
    prepaid_aufgaben("", "", nullptr, t);
    EXPECT_TRUE(has(record.answer, "E220")) << record.answer;
    EXPECT_STREQ(record.command, "");
    EXPECT_TRUE(has(sim->transcript(), "0\tATI\n"));
    EXPECT_EQ(sm_msgprepaidzustand, 0) << "the answer is for the other program";
    EXPECT_TRUE(has(read_file("connlog.txt"), "Device command(s) received."));
}

TEST(UssdParts, AnswersAndTheirDecoding) {
    char out[100];
    bool found;
    EXPECT_TRUE(cm__ussdanswer("\r\nOK\r\n\r\n+CUSD: 0,\"Text\",15\r\n", out, sizeof out, &found));
    EXPECT_STREQ(out, "Text");
    EXPECT_FALSE(cm__ussdanswer("\r\n+CUSD: 4\r\n", out, sizeof out, &found));
    EXPECT_TRUE(found);
    EXPECT_FALSE(cm__ussdanswer("\r\nERROR\r\n", out, sizeof out, &found));
    EXPECT_FALSE(found);
    EXPECT_TRUE(cm__ussdanswer("+cusd: 2,\"x\"", out, sizeof out, &found));

    char t[100] = "004800690021";
    cm__ussddecode(t);
    EXPECT_STREQ(t, "Hi!");
    strMcpy(t, "E8329BFD06");
    cm__ussddecode(t);
    EXPECT_STREQ(t, "hello");
    strMcpy(t, "Guthaben: 5 EUR");
    cm__ussddecode(t);
    EXPECT_STREQ(t, "Guthaben: 5 EUR");

    cm__creditanswer("a\x81\x84\x01\r\n\x95\xE9", out, sizeof out);
    EXPECT_STREQ(out, "a\xFC\xE4_\r\n_\xE9  ");
}

TEST(UssdParts, TopUpCodes) {
    char out[300];
    cm__topupcode("*104*<INPUT>#", "1234567890123456", out, sizeof out);
    EXPECT_STREQ(out, "*104*1234567890123456#");
    cm__topupcode("*104*<Input>#<input>", "77", out, sizeof out);
    EXPECT_STREQ(out, "*104*77#<input>");
    cm__topupcode("*105#", "77", out, sizeof out);
    EXPECT_STREQ(out, "*105#");
    std::string longtemplate = "*1*<INPUT>" + std::string(290, '1') + "#";
    cm__topupcode(longtemplate.c_str(), "4242", out, sizeof out);
    EXPECT_STREQ(out, "4242") << "too long together: the input as typed";
}

TEST(UssdParts, OperatorSmsAndDeviceCommands) {
    char name[120], content[100];
    ASSERT_TRUE(cm__operatorsms("SMS:+123456 word", name, sizeof name, content, sizeof content));
    EXPECT_STREQ(name, "sms_PREPAID_COMMUNICATION__123456.txt");
    EXPECT_STREQ(content, "word");
    ASSERT_TRUE(
        cm__operatorsms("sms:22222:STATUS now", name, sizeof name, content, sizeof content));
    EXPECT_STREQ(name, "sms_PREPAID_COMMUNICATION__-22222.txt");
    EXPECT_STREQ(content, "STATUS now");
    EXPECT_FALSE(cm__operatorsms("*100#", name, sizeof name, content, sizeof content));
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
    EXPECT_STREQ(at, " ATI");
    EXPECT_FALSE(cm__devicecommand("ATI", 150, &wait, &answer, at, sizeof at));

    EXPECT_EQ(cm__homezone("you are in the zone", "in the zone", ""), 1);
    EXPECT_EQ(cm__homezone("anything", "", ""), 0) << "empty texts match nothing";
}
