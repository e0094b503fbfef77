#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

namespace {

class Logging : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        ruhestatus = 0;
        lo__logafterstandby = 0;
        smssignalstatus = 0;
        strMcpy(lo__vlogtimestamp, "*");
    }
    void TearDown() override {
        iv_inidefaults();
        ruhestatus = 0;
        lo__logafterstandby = 0;
    }
    InTempDir tmp;
};

int count_lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

TEST_F(Logging, ServiceLogSwitchAndBangFormats) {
    lo_slog("quiet %s\n", "x", -1);
    EXPECT_FALSE(exists("servilog.txt")) << "nothing without option P";
    lo_slog("!forced %s %li\n", "x", 0);
    std::string s = read_file("servilog.txt");
    EXPECT_TRUE(std::regex_match(s, std::regex("\\d{3} !forced x 0\n"))) << s;

    MODUS('P') = 1;
    lo_slog("value %s=%li\n", "n", 42);
    lo_slog("no number %s\n", "t", -1);
    s = read_file("servilog.txt");
    EXPECT_NE(s.find(" value n=42\n"), std::string::npos);
    EXPECT_NE(s.find(" no number t\n"), std::string::npos);

    std::string huge(990, 'y');
    lo_slog("%s\n", huge.c_str(), -1);
    EXPECT_EQ(read_file("servilog.txt"), s) << "a line too long for the buffer is dropped";
    lo_slog("%s\n", nullptr, -1);
    EXPECT_EQ(count_lines(read_file("servilog.txt")), 4) << "a null text is written as empty";
}

TEST_F(Logging, ControlRoleWritesNoLogs) {
    inidat.funktion = FUNKTION_CONTROL;
    inidat.mod['P'] = inidat.mod['X'] = 1;
    ruhestatus = 1;
    lo_slog("!a\n", "", -1);
    lo_slogx("b\n", "", -1);
    lo_vlog("c\n", "", -1);
    EXPECT_FALSE(exists("servilog.txt"));
    EXPECT_FALSE(exists("servilogx.txt"));
    EXPECT_FALSE(exists(connlogdatei));
    lo_dlog("debug %s\n", "always", -1);
    EXPECT_TRUE(exists("debuglog.txt")) << "the debug log has no switch";
}

TEST_F(Logging, AfterStandbyWindowLevels) {
    MODUS('X') = 1;
    lo_slog("before standby\n", "", -1);
    EXPECT_FALSE(exists("servilogx.txt")) << "window closed in normal operation";

    ruhestatus = 1;
    lo_slog("standby line\n", "", -1);
    ruhestatus = 0;
    EXPECT_TRUE(lo_logafterstandby());
    for (int i = 0; i < 200; i++) lo_slog("line %s%li\n", "", i);
    const std::string level1 = read_file("servilogx.txt");
    lo_slog("service only\n", "", -1);
    EXPECT_EQ(read_file("servilogx.txt"), level1) << "level 1 takes no service-log lines";
    for (int i = 0; i < 39; i++) lo_slogx("direct %s%li\n", "", i);
    EXPECT_FALSE(lo_logafterstandby()) << "the window closes at level 0";

    std::istringstream in(read_file("servilogx.txt"));
    std::regex stamped("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\d{3} .*");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        EXPECT_TRUE(std::regex_match(l, stamped)) << l;
        lines.push_back(l.substr(24));
    }
    ASSERT_EQ(lines.size(), 3u + 119 + 1 + 39 + 1);
    EXPECT_EQ(lines[0], "------------------------------");
    EXPECT_EQ(lines[1], "Protokoll Stufe 2.");
    EXPECT_EQ(lines[2], "standby line");
    EXPECT_EQ(lines[121], "line 118") << "120 lines counted from the standby line";
    EXPECT_EQ(lines[122], "Protokoll Stufe 1.");
    EXPECT_EQ(lines[123], "direct 0");
    EXPECT_EQ(lines[161], "direct 38");
    EXPECT_EQ(lines[162], "Protokoll Stufe 0.");

    const std::string closed = read_file("servilogx.txt");
    lo_slogx("after\n", "", -1);
    EXPECT_EQ(read_file("servilogx.txt"), closed) << "silent at level 0";

    MODUS('X') = 0;
    ruhestatus = 3;
    lo_slog("paused\n", "", -1);
    EXPECT_EQ(read_file("servilogx.txt"), closed)
        << "without X the window counts but writes nothing";
    EXPECT_TRUE(lo_logafterstandby());
}

TEST_F(Logging, ConnectionLogStampAndSwitch) {
    inidat.round = inidat.roundt = 0;
    lo_vlog("%s connect\n", "", -1);
    EXPECT_FALSE(exists(connlogdatei)) << "both accounting units 0: never written";

    inidat.round = 1;
    strMcpy(lo__vlogtimestamp, "2010-10-11 09:05:07");
    lo_vlog("Connected %s.\n", "ppp0", -1);
    lo_vlog("%s %s%li minutes without functioning connection.\n", "", 10);
    EXPECT_EQ(read_file(connlogdatei), "2010-10-11 09:05:07 Connected ppp0.\n"
                                       "2010-10-11 09:05:07 10 minutes without functioning "
                                       "connection.\n");
    strMcpy(lo__vlogtimestamp, "*");
    lo_vlog("x\n", "", -1);
    EXPECT_NE(lo__vlogtimestamp[0], '*') << "a missing stamp is taken at the first line";
}

TEST_F(Logging, DebugLogIsStamped) {
    lo_dlog("pppd %s %li\n", "call", 3);
    EXPECT_TRUE(
        std::regex_match(read_file("debuglog.txt"),
                         std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d pppd call 3\n")));
}

TEST(SmsFileName, FromStampAndSender) {
    char name[80];
    lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07", "+491701234567 10.10.11\n\nHello");
    EXPECT_STREQ(name, "sms_in/sms_20101011_090507__491701234567.txt");
    lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07", "Vodafone info");
    EXPECT_STREQ(name, "sms_in/sms_20101011_090507__Vodafone.txt");
    lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07", "+../../etc/x y");
    EXPECT_STREQ(name, "sms_in/sms_20101011_090507__.._.._etc_x.txt")
        << "a sender never leads out of the folder";
    lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07",
                    "+1234567890123456789012345678901234567890");
    EXPECT_STREQ(name, "sms_in/sms_20101011_090507__12345678901234567890123456789.txt");
    lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07", "InternetSMS 10.10.11\n\nCall +4917 now");
    EXPECT_STREQ(name, "sms_in/sms_20101011_090507__InternetSMS.txt")
        << "a '+' in the text is no sender";
    EXPECT_STREQ(lo__smsbody("head\n\nbody\n\nmore"), "body\n\nmore");
    EXPECT_STREQ(lo__smsbody("no body"), "no body");
}

TEST_F(Logging, SmsRecordWithFilePerMessage) {
    lo_mlog("%s %s\n", "+4917 x\n\nText", -1, true);
    EXPECT_FALSE(exists("sms.txt")) << "nothing without option M";

    MODUS('M') = 1;
    lo_mlog("%s sent %s\n", "+4917", -1, false);
    EXPECT_FALSE(exists("sms1.txt"));
    EXPECT_EQ(smssignalstatus, 0);

    lo_mlog("%s received %s\n", "+4917 hdr\n\nHello there", -1, true);
    EXPECT_EQ(smssignalstatus, 0) << "no folder sms_in: no file, no signal";
    mkdir("sms_in", 0700);
    lo_mlog("%s received %s\n", "+4917 hdr\n\nHello there", -1, true);
    EXPECT_EQ(smssignalstatus, 1);
    char found[300];
    ASSERT_TRUE(file_find("sms_in", "sms_", found));
    EXPECT_EQ(read_file(found), "Hello there");
    std::string one = read_file("sms1.txt");
    EXPECT_EQ(count_lines(one), 3) << "sms1.txt holds only the last message";
    EXPECT_NE(one.find(" received +4917 hdr"), std::string::npos);
    std::string compact = std::string(found).substr(11, 15);
    std::string stamp = one.substr(0, 19);
    std::string expected = stamp.substr(0, 4) + stamp.substr(5, 2) + stamp.substr(8, 2) + "_" +
                           stamp.substr(11, 2) + stamp.substr(14, 2) + stamp.substr(17, 2);
    EXPECT_EQ(compact, expected) << "the file name carries the line's time stamp";
    EXPECT_EQ(count_lines(read_file("sms.txt")), 1 + 3 + 3);
}

TEST_F(Logging, TwoMessagesOfOneSenderInOneSecondKeepBoth) {
    MODUS('M') = 1;
    mkdir("sms_in", 0700);
    for (const char* text : {"+4917 a\n\nfirst", "+4917 a\n\nsecond", "+4917 a\n\nthird"})
        lo_mlog("%s received %s\n", text, -1, true);
    std::string all;
    int files = 0;
    if (DIR* d = opendir("sms_in")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') {
                files++;
                all += read_file(std::string("sms_in/") + e->d_name) + "|";
            }
        closedir(d);
    }
    EXPECT_EQ(files, 3);
    for (const char* t : {"first|", "second|", "third|"}) EXPECT_NE(all.find(t), std::string::npos) << t;
}
