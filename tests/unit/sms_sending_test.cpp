// SMS sending from the queue directory against the simulated modem, and the queue file names.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "sms/sms_reception.h"
#include "sms/sms_sending.h"
#include "sms_test_support.h"
#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

void queue(const std::string& name, const std::string& text) {
    mkdir("sms_send", 0777);
    std::ofstream("sms_send/" + name, std::ios::binary) << text;
}

class Sending : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('M') = 1;
        tonlos = true;
        _de = false;
        linksys = false;
        geraet = 0;
        secportmanuell = true;
        comzeit = 100;
        smssignalstatus = 0;
        programmende_gewuenscht = false;
        sm__forget();
        sm__forgetsent();
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        sm__forget();
        sm__forgetsent();
        iv_inidefaults();
    }
    std::unique_ptr<ModemSim> modem(const std::vector<std::string>& settings = {}) {
        return openmodem(settings);
    }
    InTempDir tmp;
};

} // namespace

TEST_F(Sending, SentFileMovesToTheSentFolderAndARepeatIsDropped) {
    auto sim = modem();
    queue("sms_20101011__491701234567.txt", "Hi\x1A");
    sm_msgsenden();

    std::string heard = sim->transcript();
    EXPECT_TRUE(has(heard, "AT+CMGS=16")) << heard;
    EXPECT_TRUE(has(heard, "> 0011000C919471103254760000FF02C834^Z")) << heard;
    EXPECT_FALSE(exists("sms_send/sms_20101011__491701234567.txt"));
    EXPECT_EQ(read_file("sms_out/sms_20101011__491701234567.txt"), "Hi\x1A");
    EXPECT_TRUE(has(read_file("sms.txt"), " Sent SMS: Hi\n"));
    EXPECT_EQ(smssignalstatus, 1);

    // The same text to the same number again: deleted unsent.
    queue("sms_20101012__491701234567.txt", "Hi\x1A");
    sm_msgsenden();
    EXPECT_FALSE(exists("sms_send/sms_20101012__491701234567.txt"));
    EXPECT_FALSE(exists("sms_out/sms_20101012__491701234567.txt"));
    EXPECT_EQ(count(sim->transcript(), "AT+CMGS"), 1u);
    EXPECT_TRUE(has(read_file("sms.txt"), "Prevented repetitive transmission of identical SMS."));
}

TEST_F(Sending, InvalidFilesAreReportedEveryTimeAndKept) {
    auto sim = modem();
    queue("sms_noname.txt", "text");
    queue("sms_big__491701234567.txt", std::string(251, 'x'));
    sm_msgsenden();
    sm_msgsenden();
    EXPECT_EQ(count(read_file("sms.txt"), "Invalid file format for sms transmission."), 4u);
    EXPECT_TRUE(exists("sms_send/sms_noname.txt"));
    EXPECT_TRUE(exists("sms_send/sms_big__491701234567.txt"));
    EXPECT_FALSE(has(sim->transcript(), "CMGS"));
}

TEST_F(Sending, AnInvalidFileDoesNotHoldUpTheQueue) {
    auto sim = modem();
    queue("sms_noname.txt", "text");
    queue("sms_x__-01712345678_home.txt", "Hi");
    sm_msgsenden();
    std::string heard = sim->transcript();
    EXPECT_TRUE(has(heard, "> 0011000B811017325476F80000FF02C834^Z")) << heard;
    EXPECT_TRUE(exists("sms_out/sms_x__-01712345678_home.txt"));
    EXPECT_TRUE(exists("sms_send/sms_noname.txt"));
}

TEST_F(Sending, RefusedSendKeepsTheFileForALaterTry) {
    auto sim = modem({"cmgs=error"});
    queue("sms_a__491701234567.txt", "later");
    sm_msgsenden();
    EXPECT_TRUE(exists("sms_send/sms_a__491701234567.txt"));
    EXPECT_TRUE(has(read_file("sms.txt"), "Could not send SMS: later"));
    EXPECT_EQ(smssignalstatus, 0);
    // The failed text is not remembered: the next call tries the same file again.
    sm_msgsenden();
    EXPECT_EQ(count(sim->transcript(), "AT+CMGS="), 2u);
    EXPECT_EQ(count(read_file("sms.txt"), "Could not send SMS"), 2u);
}

TEST(SendingParts, QueueFileNames) {
    char r[40];
    bool intl = false;
    EXPECT_TRUE(sm__queuerecipient("sms_x__491701234567.txt", r, sizeof r, &intl));
    EXPECT_STREQ(r, "491701234567");
    EXPECT_TRUE(intl);
    EXPECT_TRUE(sm__queuerecipient("sms_PREPAID_COMMUNICATION__-22222", r, sizeof r, &intl));
    EXPECT_STREQ(r, "22222");
    EXPECT_FALSE(intl);
    EXPECT_TRUE(sm__queuerecipient("sms_a__b__0171_x.txt", r, sizeof r, &intl));
    EXPECT_STREQ(r, "0171");

    for (const char* bad :
         {"sms_491701234567.txt", "smsx__4917.txt", "sms_x__4.txt", "sms_x__49a1.txt",
          "sms_x__-.txt", "sms_x__1234567890123456789012345678901234567890.txt"})
        EXPECT_FALSE(sm__queuerecipient(bad, r, sizeof r, &intl)) << bad;

    char t[20] = "text\x1A";
    sm__queuetext(t);
    EXPECT_STREQ(t, "text");
}
