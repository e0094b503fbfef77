// The log files: switches, prefixes, the after-standby window, SMS files, bounds, masking.
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/secret_masking.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "ui/connlog_statistics.h"

#include <regex>
#include <sys/stat.h>

namespace {

class Logging : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record("");
        ruhestatus = lo__logafterstandby = smssignalstatus = 0;
        strMcpy(lo__vlogtimestamp, "*");
    }
    SavedValues keep{lo__logafterstandby, lo__vlogtimestamp};
    ScopedEnv env;
    InTempDir tmp;
};

int count_lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

TEST_F(Logging, ServiceLogSwitchBangFormatsControlRoleAndDebugLog) {
    lo_slog("quiet %s\n", "x", -1); // not without option P
    lo_slog("!forced %s %li\n", "x", 0);
    MODUS('P') = 1;
    lo_slog("value %s=%li\n", "n", 42);
    lo_slog("%s\n", std::string(990, 'y').c_str(), -1); // too long for the buffer: dropped
    lo_slog("null %s|\n", nullptr, -1);
    std::string s = read_file("servilog.txt");
    EXPECT_TRUE(
        std::regex_match(s, std::regex("\\d{3} !forced x 0\n\\d{3} value n=42\n\\d{3} null \\|\n")))
        << s;

    // Nothing but the debug log in the CONTROL role.
    inidat.funktion = FUNKTION_CONTROL;
    inidat.mod['X'] = ruhestatus = 1;
    lo_slog("!a\n", "", -1);
    lo_slogx("b\n", "", -1);
    lo_vlog("c\n", "", -1);
    EXPECT_EQ(read_file("servilog.txt"), s);
    EXPECT_FALSE(exists("servilogx.txt") || exists(connlogdatei));
    lo_dlog("pppd %s %li\n", "call", 3);
    EXPECT_TRUE(
        std::regex_match(read_file("debuglog.txt"),
                         std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d pppd call 3\n")));
}

TEST_F(Logging, AfterStandbyWindowLevels) {
    MODUS('X') = 1;
    lo_slog("before standby\n", "", -1); // window closed in normal operation

    ruhestatus = 1;
    lo_slog("standby line\n", "", -1);
    ruhestatus = 0;
    EXPECT_TRUE(lo_logafterstandby());
    for (int i = 0; i < 200; i++) lo_slog("line %s%li\n", "", i);
    lo_slog("service only\n", "", -1); // level 1 takes no service-log lines
    for (int i = 0; i < 39; i++) lo_slogx("direct %s%li\n", "", i);
    EXPECT_FALSE(lo_logafterstandby()) << "the window closes at level 0";
    lo_slogx("after\n", "", -1); // silent at level 0, and without X:
    MODUS('X') = 0;
    ruhestatus = 3;
    lo_slog("paused\n", "", -1);
    EXPECT_TRUE(lo_logafterstandby()) << "without X the window still counts";

    // 120 lines counted from the standby line, then only direct lines up to 160.
    const std::string t = "\\d{4}-\\d\\d-\\d\\d [0-9:]{8} \\d{3} ";
    EXPECT_TRUE(std::regex_match(read_file("servilogx.txt"),
                                 std::regex(t + "-{30}\n" + t + "Protokoll Stufe 2.\n" + t +
                                            "standby line\n(" + t + "line \\d+\n){119}" + t +
                                            "Protokoll Stufe 1.\n(" + t + "direct \\d+\n){39}" + t +
                                            "Protokoll Stufe 0.\n")))
        << read_file("servilogx.txt");
}

TEST_F(Logging, ConnectionLogNeverWithoutAnAccountingUnit) {
    inidat.round = inidat.roundt = 0;
    lo_vlog("%s connect\n", "", -1);
    EXPECT_FALSE(exists(connlogdatei)) << "both accounting units 0: never written";
}

TEST_F(Logging, EveryLogTurnsOverAtItsBoundWithoutLosingALine) {
    env.set("MAVLYN_LOGLIMIT", "1000");
    MODUS('M') = 1;
    strMcpy(connlogdatei, "connlog_Work.txt"); // a profile's connection log
    for (int i = 0; i < 100; i++) {
        lo_vlog("connection %s%li\n", "", i);
        lo_mlog("%s sms %s%li\n", "", i, false);
    }
    const std::regex numbered(".* (\\d+)\n");
    for (const char* log : {"connlog_Work", "sms"}) {
        std::string now = std::string(log) + ".txt", old = std::string(log) + ".1.txt";
        EXPECT_LE(file_length(now.c_str()), 1000 + 50) << now;
        EXPECT_GE(file_length(old.c_str()), 1000) << old;
        // The two generations hold the last lines in order, the first line of the new file
        // right behind the last of the old one.
        std::string both = read_file(old) + read_file(now);
        std::vector<int> got, want;
        for (std::sregex_iterator it(both.begin(), both.end(), numbered), end; it != end; ++it)
            got.push_back(std::stoi((*it)[1]));
        for (int n = 100 - static_cast<int>(got.size()); n < 100; n++) want.push_back(n);
        EXPECT_EQ(got, want) << log;
        EXPECT_EQ(static_cast<int>(got.size()), count_lines(both)) << log;
    }
}

TEST_F(Logging, StatisticsReadTheOldGenerationToo) {
    std::ofstream(connlogdatei) << "2010-10-12 10:00:00 Data volume: 700 kB.\n";
    char old[80];
    lo_oldlog(connlogdatei, old, sizeof old);
    std::ofstream(old) << "2010-10-11 10:00:00 Data volume: 500 kB.\n";
    ASSERT_TRUE(cf__connloggrafik(1));
    EXPECT_EQ(read_file("connlog_vol.csv"), "\"11.10.2010\";\"500\"\r\n\"12.10.2010\";\"700\"\r\n");
}

// The file of a received message is named by its time and sender, and stays in its folder.
TEST(SmsFileName, FromStampAndSender) {
    const std::pair<const char*, const char*> cases[] = {
        {"+491701234567 10.10.11\n\nHello", "491701234567"},
        {"Vodafone info", "Vodafone"},
        {"+../../etc/x y", ".._.._etc_x"},
        {"+1234567890123456789012345678901234567890", "12345678901234567890123456789"},
        {"Info 10.10.11\n\nCall +4917 now", "Info"}, // a '+' in the text is no sender
    };
    for (auto [message, sender] : cases) {
        char name[80];
        lo__smsfilename(name, sizeof name, "2010-10-11 09:05:07", message);
        EXPECT_EQ(name, "sms_in/sms_20101011_090507__" + std::string(sender) + ".txt");
    }
    EXPECT_STREQ(lo__smsbody("head\n\nbody\n\nmore"), "body\n\nmore");
    EXPECT_STREQ(lo__smsbody("no body"), "no body");
}

TEST_F(Logging, SmsRecordWithFilePerMessage) {
    lo_mlog("%s %s\n", "+4917 x\n\nText", -1, true);
    EXPECT_FALSE(exists("sms.txt")) << "nothing without option M";

    MODUS('M') = 1;
    lo_mlog("%s sent %s\n", "+4917", -1, false);
    EXPECT_FALSE(exists("sms1.txt"));
    lo_mlog("%s received %s\n", "+4917 hdr\n\nHello there", -1, true);
    EXPECT_EQ(smssignalstatus, 0) << "no folder sms_in: no file, no signal";
    mkdir("sms_in", 0700);
    lo_mlog("%s received %s\n", "+4917 hdr\n\nHello there", -1, true);
    EXPECT_EQ(smssignalstatus, 1);
    char found[300];
    ASSERT_TRUE(file_find("sms_in", "sms_", found));
    std::string one = read_file("sms1.txt");
    EXPECT_EQ(count_lines(one), 3) << "sms1.txt holds only the last message";
    char named[80];
    lo__smsfilename(named, sizeof named, one.substr(0, 19).c_str(), "+4917 hdr");
    EXPECT_STREQ(found, named) << "the file name carries the line's time stamp";

    // Two more of one sender within the same second keep files of their own.
    for (const char* text : {"+4917 a\n\nsecond", "+4917 a\n\nthird"})
        lo_mlog("%s received %s\n", text, -1, true);
    EXPECT_EQ(folder_names("sms_in").size(), 3u);
}

TEST(SecretMasking, LinesOfModemTrafficAndConfiguration) {
    const std::pair<const char*, const char*> table[] = {
        // Configuration, as the file is read and logged, and as program parameters.
        {"--- PASS=webuser;s3cret\n", "--- PASS=xxxx\n"},
        {"--- pin = 4321\r\n", "--- pin = xxxx\r\n"},
        {"* Program parameter: PIN=12345678,1234\n", "* Program parameter: PIN=xxxx\n"},
        {"password=hunter2", "password=xxxx"},
        {"* Program parameter: COM=LINKSYS 192.168.1.1 admin geheim;x",
         "* Program parameter: COM=LINKSYS 192.168.1.1 admin xxxx;x"},
        {"--- PIN=?\n", "--- PIN=?\n"}, // a placeholder
        {"--- PIN=\n", "--- PIN=\n"},
        {"Enter PIN in line PIN (see below)!", "Enter PIN in line PIN (see below)!"},
        {"--- PIN2=1 PINS=2", "--- PIN2=1 PINS=2"},
        // Commands that carry a PIN, PUK or password, also typed by the user, and their echo.
        {"s:  AT+CPIN=\"4711\"\r\n", "s:  AT+CPIN=xxxx\r\n"},
        {"x Manual device command: :0:3000:at^cpin=\"12345678\",\"1234\"\n",
         "x Manual device command: :0:3000:at^cpin=xxxx\n"},
        {"s:  AT+CPIN2=\"8888\"\r\n", "s:  AT+CPIN2=xxxx\r\n"},
        {"s:  AT+CLCK=\"SC\",1,\"1234\"\r\n", "s:  AT+CLCK=\"SC\",1,xxxx\r\n"},
        {"s:  AT+CLCK=\"SC\",2\r\n", "s:  AT+CLCK=\"SC\",2\r\n"}, // a query: no password
        {"s:  AT+CPWD=\"SC\",\"1234\",\"4321\"\r\n", "s:  AT+CPWD=\"SC\",xxxx\r\n"},
        {"r:  AT+CPIN=\"4711\"\r\r\nOK\r\n+CSQ: 20,99", "r:  AT+CPIN=xxxx\r\r\nOK\r\n+CSQ: 20,99"},
        {"r:  \r\n+CPIN: READY\r\n", "r:  \r\n+CPIN: READY\r\n"},
        // IMEI and IMSI, with or without a word that says so.
        {"r:  \r\nIMEI: 351234567890123\r\nOK", "r:  \r\nIMEI: xxxxxxxxxxxxxxx\r\nOK"},
        {"r:  AT+CGSN\r\r\n351234567890123\r\n\r\nOK\r\n",
         "r:  AT+CGSN\r\r\nxxxxxxxxxxxxxxx\r\n\r\nOK\r\n"},
        {"r:  \r\n+CGSN: 35123456789012\r\n", "r:  \r\n+CGSN: xxxxxxxxxxxxxx\r\n"},
        {"x Account command: *103*1234567890123456#", "x Account command: *103*xxxxxxxxxxxxxxxx#"},
        // What must stay readable.
        {"+CMGL: 1,0,,24\r\n0791947101670000040C919471",
         "+CMGL: 1,0,,24\r\n0791947101670000040C919471"},
        {"+4917012345678901 SMS: hello", "+4917012345678901 SMS: hello"},
        {"01 9AA000000000-0000000000000-0000000", "01 9AA000000000-0000000000000-0000000"},
        {"2010-10-11 09:05:07 Data volume: 1234567 kB",
         "2010-10-11 09:05:07 Data volume: 1234567 kB"},
        {"", ""},
    };
    for (auto [line, logged] : table) EXPECT_EQ(lo_masksecrets(line), logged) << line;
    EXPECT_EQ(lo_masksecrets(nullptr), "");
}

// The writers mask whatever reaches them, and their files are the user's alone.
TEST_F(Logging, EveryWriterMasksSecretsAndCreatesPrivateFiles) {
    MODUS('P') = MODUS('M') = 1;
    const mode_t umask_before = umask(022);
    lo_slog("External device command: %s\n", ":::AT+CPIN=4711", -1);
    lo_vlog("%s Manual device command: %s\n", "DEVICE:::AT+CLCK=\"SC\",0,\"4711\"", -1);
    lo_dlog("Connect answer: %s", "IMEI 351234567890123\n", -1);
    lo_mlog("%s Command: %s\n\n", "run PIN=4711", -1, false);
    umask(umask_before);
    for (const char* f : {"servilog.txt", "connlog.txt", "debuglog.txt", "sms.txt"}) {
        std::string text = read_file(f);
        EXPECT_TRUE(std::regex_search(text, std::regex("xxxx")) &&
                    !std::regex_search(text, std::regex("4711|351234567890123")))
            << f << ": " << text;
        struct stat st;
        ASSERT_EQ(stat(f, &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
    }
}
