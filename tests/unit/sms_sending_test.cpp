// SMS sending from the queue directory against the simulated modem, and the queue file names.
#include "foundation/utilities.h"
#include "pty_peer.h"
#include "sms_test_support.h"

#include <sys/stat.h>
#include <utime.h>

namespace {

void queue(const std::string& name, const std::string& text) {
    mkdir("sms_send", 0777);
    write_file("sms_send/" + name, text);
}

// Sets a queue file's next try to secs from now; returns when it was due before.
long due(const std::string& name, long secs) {
    struct stat st;
    std::string path = "sms_send/" + name;
    long was = stat(path.c_str(), &st) == 0 ? st.st_mtime - time(nullptr) : -9999;
    struct utimbuf t = {time(nullptr) + secs, time(nullptr) + secs};
    utime(path.c_str(), &t);
    return was;
}

using Sending = SmsTest;

} // namespace

// Files going out are test_sms.sh's; here the files that never go out.
TEST_F(Sending, InvalidFilesHoldUpNothingAndARepeatIsDropped) {
    auto sim = openmodem({});
    queue("sms_noname.txt", "text");
    queue("sms_big__491701234567.txt", std::string(251, 'x'));
    for (const char* day : {"11", "12"}) {
        queue(std::string("sms_201010") + day + "__-01712345678_home.txt", "Hi\x1A");
        sm_msgsenden();
    }
    sm_msgsenden();
    std::string log = read_file("sms.txt");
    EXPECT_EQ(count(log, "Invalid file format for sms transmission."), 4u) << "every time";
    EXPECT_TRUE(exists("sms_send/sms_noname.txt") && exists("sms_send/sms_big__491701234567.txt"));
    EXPECT_TRUE(exists("sms_out/sms_20101011__-01712345678_home.txt"));
    EXPECT_FALSE(exists("sms_send/sms_20101012__-01712345678_home.txt"));
    EXPECT_FALSE(exists("sms_out/sms_20101012__-01712345678_home.txt"));
    EXPECT_EQ(count(sim->transcript(), "AT+CMGS"), 1u);
    EXPECT_EQ(smssignalstatus, 1);
    EXPECT_TRUE(has(log, "Prevented repetitive transmission of identical SMS."));
}

// The fourth refusal is test_sms.sh's; here the pauses, and no file held up by another.
TEST_F(Sending, RefusedSendsWaitGrowingPauses) {
    auto sim = openmodem({"cmgs=reject"});
    const std::string name = "sms_a__491701234567.txt";
    queue(name, "later");
    for (long pause : {60, 300, 1800}) {
        sm_msgsenden();
        sm_msgsenden(); // not due yet
        long next = due(name, 0);
        EXPECT_TRUE(next > pause - 30 && next <= pause) << next;
    }
    EXPECT_EQ(count(sim->transcript(), "AT+CMGS="), 3u);
    sim->control("set cmgs=ok");
    queue("sms_b__491701234567.txt", "other");
    due(name, 60);
    sm_msgsenden();
    EXPECT_TRUE(exists("sms_out/sms_b__491701234567.txt"));
}

// A modem that takes the message and never confirms it.
TEST_F(Sending, AnUnconfirmedSendIsNotRepeated) {
    PtyPeer silent([](PtyPeer& p, const std::string& got) {
        if (has(got, "AT+CMGS="))
            p.send("\r\n> ");
        else if (got.find('\r') != std::string::npos)
            p.send("\r\nOK\r\n");
    });
    ASSERT_TRUE(cm_open(silent.path(), 0));
    queue("sms_c__491701234567.txt", "maybe");
    sm_msgsenden();
    EXPECT_TRUE(exists("sms_out/sms_c__491701234567.txt"));
    EXPECT_TRUE(has(read_file("sms.txt"), "SMS sent, not confirmed: maybe"));
    sm_msgsenden();
    EXPECT_EQ(count(silent.received(), "AT+CMGS="), 1u);
}

TEST(SendingParts, QueueFileNames) {
    char r[40];
    bool intl = false;
    for (auto [name, digits, international] :
         {std::tuple{"sms_x__491701234567.txt", "491701234567", true},
          {"sms_PREPAID_COMMUNICATION__-22222", "22222", false},
          {"sms_a__b__0171_x.txt", "0171", true}}) {
        EXPECT_TRUE(sm__queuerecipient(name, r, sizeof r, &intl) && intl == international) << name;
        EXPECT_STREQ(r, digits);
    }
    for (const char* bad :
         {"sms_491701234567.txt", "smsx__4917.txt", "sms_x__4.txt", "sms_x__49a1.txt",
          "sms_x__-.txt", "sms_x__1234567890123456789012345678901234567890.txt"})
        EXPECT_FALSE(sm__queuerecipient(bad, r, sizeof r, &intl)) << bad;
    char t[20] = "text\x1A";
    sm__queuetext(t);
    EXPECT_STREQ(t, "text");
}
