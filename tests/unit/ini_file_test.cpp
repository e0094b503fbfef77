// Reading and writing "mavlyn.ini": line rules, value syntaxes, the counter line, the full
// rewrite and what survives a round trip.
#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/scrambling.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "test_support.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

// Fresh record and state before each case.
void fresh(int funktion = 9) {
    iv_inidefaults();
    inidat.funktion = funktion;
    _inidatneu = false;
    _de = false;
    fefo = fefo_OHNE;
    programmende_gewuenscht = false;
}

iv__readstate read_lines(const std::vector<std::string>& lines) {
    iv__readstate st;
    for (const auto& l : lines) iv__readline(l.c_str(), &st);
    return st;
}

// The value of key in written lines ("<missing>" when the key is missing).
std::string written(const std::string& text, const std::string& key) {
    size_t p = text.find(" " + key + "=");
    if (p == std::string::npos) return "<missing>";
    p += key.size() + 2;
    return text.substr(p, text.find('\n', p) - p);
}

// The value of key as the program writes it after reading lines into a fresh record.
std::string rewritten(const std::vector<std::string>& lines, const std::string& key) {
    fresh();
    read_lines(lines);
    return written(iv__formatlines(), key);
}

std::vector<std::string> file_lines(const std::string& name) {
    std::vector<std::string> out;
    std::stringstream ss(read_file(name));
    for (std::string l; std::getline(ss, l);) out.push_back(l);
    return out;
}

} // namespace

// ---- Line rules ----

// What a hand-edited line turns into, seen in the line the program writes back.
TEST(IniLine, HandEditedLinesAsWrittenBack) {
    const std::string longapn(300, 'a');
    struct {
        std::vector<std::string> lines;
        const char *key, *value;
    } cases[] = {
        {{"  12 NET=26202"}, "NET", "26202"},
        {{"13APN = web.vodafone.de", "apn=lower.case.key"}, "APN", "lower.case.key"},
        {{"* APN=commented"}, "APN", ""},
        {{"14 (PPQ=*1#"}, "PPQ", "*100#"}, // '(' behind the number: a comment
        {{"PINCODE=1234"}, "PIN", ""},
        {{"DEVI=AT+X", "DEV=7"}, "DEVI", "AT+X"},
        {{"DEVI=AT+X", "DEV=7"}, "DEV", "7"},
        {{"PING=1.2.3.4"}, "PING", "1.2.3.4"},
        {{"MAX=1M"}, "MAXV", "1M;0;0"},  // the older name of MAXV
        {{"APN=" + longapn}, "APN", ""}, // too long for its field: unchanged
        {{"DEV=100", "ICON=9", "ENDM=7"}, "DEV", ""},
        {{"DEV=100", "ICON=9", "ENDM=7"}, "ICON", "1"},
        {{"DEV=100", "ICON=9", "ENDM=7"}, "ENDM", "0"},
        {{"CMD1=echo 'hi'"}, "CMD1", "echo \"hi\""},
        {{"HOMU=HTTP://zone.example/x"}, "HOMU", "zone.example/x"},
        {{"IPC=77777"}, "IPC", "3777"},
        {{"BATT=150;x5"}, "BATT", "100;5"},
        {{"DAY=P01"}, "DAY", "01"},
        {{"RND=100;15", "DAY=05;250"}, "RND", "250;15"}, // an old third value was the rounding
        {{"SDLY=20;5", "END=7;30tfczs"}, "SDLY", "7;5"}, // older: the start delay before END
        {{"SDLY=20;5", "END=7;30tfczs"}, "END", "30TFCZS"},
        {{"END=5RS"}, "END", "5R"}, // R is not replaced by a later S
        {{"SMS1=+49170;stop now"}, "SMS1", "+49170;STOP NOW"},
        {{"SMS1=+491701234567890123456789012345;STOP"}, "SMS1", ""}, // never cut to another number
        {{"SMS1=+49\r\r170;go\r"}, "SMS1", "+49170;GO"},
        {{"SMS2=, +4917 ;x"}, "SMS2", ",+4917"},
        {{"SMS1=\t,\t+4917 ;x"}, "SMS1", ",+4917"}, // a blank before the call mark (fuzzer)
        {{"SMS3=,"}, "SMS3", ""},
        {{"SMSC=0171"}, "SMSC", "(format error)"},
        {{"MOD=pK;P 8-"}, "MOD", "8KPp"}, // letters and digits, case counts, in code order
        {{"MOD=\xE4\xFFZ"}, "MOD", "Z"},
        {{"SERVICELOG"}, "MOD", "P"},
        {{"PASS=web;secret;x"}, "PASS", "web;secret;x"},
        {{"PIN=none"}, "PIN", ""},
        {{"DAY=;"}, "DAY", ""},
        {{"ENDC=2200;0630"}, "ENDC", ""},
        {{"DAY=33;5"}, "DAY", "99;05"},
        {{"CON=,/dev/ttyUSB0"}, "CON", "/dev/ttyUSB0"},
        {{"ERR=NOC3"}, "ERR", "NOC3 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4"},
        {{"MOD=PK", "SMS1=+4917;go"}, "MOD", "KMP"},
        {{"SMS2=,+4918"}, "SMS2", ",+4918"},
        {{"RND=0;3"}, "RND", ";3"},
        {{"SDLY=4;9"}, "SDLY", "4;9"},
        {{"END=15tR"}, "END", "15TR"},
    };
    for (const auto& c : cases) {
        std::string v = rewritten(c.lines, c.key);
        if (std::string(c.key) == "PASS" || std::string(c.key) == "PIN") {
            char plain[300] = "";
            ob_deobfuscate(v.c_str(), plain);
            v = plain;
        }
        EXPECT_EQ(v, c.value) << c.lines[0] << " -> " << c.key;
    }
}

// Lines that are not in the current form ask for a rewrite of the file; the current form
// does not.
TEST(IniLine, OutdatedFormsAskForARewrite) {
    char stored[64];
    ob_obfuscate("4321", stored);
    struct {
        std::vector<std::string> lines;
        bool rewrite;
    } cases[] = {{{"05 mavlyn 0.4"}, false},
                 {{"05 mavlyn 0.3"}, true},
                 {{"04 --> Enter PIN"}, true},
                 {{"iniwrite"}, true},
                 {{"SERVICELOG"}, true},
                 {{"07 LAN=English\t"}, false},
                 {{"07 LAN=german"}, true},
                 {{"11 PIN = 1234"}, true}, // a plain PIN is stored scrambled
                 {{std::string("PIN=") + stored}, false},
                 {{"MAX=1M"}, true},
                 {{"DAY=P01"}, true},
                 {{"BATT=10;30"}, true}};
    for (const auto& c : cases) {
        fresh();
        read_lines(c.lines);
        EXPECT_EQ(_inidatneu, c.rewrite) << c.lines[0];
    }
    fresh();
    EXPECT_FALSE(read_lines({"iniwrite"}).exit);
    EXPECT_TRUE(read_lines({"INIWRITEEXIT"}).exit);
    fresh();
    read_lines({"07 LAN=german"});
    EXPECT_TRUE(_de);
}

TEST(IniLine, Credentials) {
    char stored[64];
    ob_obfuscate("4321", stored);
    fresh();
    read_lines({std::string("PIN=") + stored});
    EXPECT_STREQ(inidat.pin, "4321");
    fresh();
    MODUS('K') = 1;
    read_lines({"PIN=1234"});
    EXPECT_STREQ(inidat.pin, "") << "option K ignores the PIN";
    EXPECT_EQ(written(iv__formatlines(), "PIN"), "") << "and writes none";
    fresh();
    read_lines({"PASS=web;secret;x"});
    EXPECT_STREQ(inidat.conname, "web");
    EXPECT_STREQ(inidat.conpass, "secret;x");
    // A long login is stored scrambled with two characters per byte; it must read back.
    fresh();
    std::string name(120, 'n'), pass(100, 'p');
    std::string login = name + ";" + pass;
    std::vector<char> buf(7 + 2 * login.size());
    ob_obfuscate(login.c_str(), buf.data());
    read_lines({std::string("PASS=") + buf.data()});
    EXPECT_EQ(std::string(inidat.conname), name);
    EXPECT_EQ(std::string(inidat.conpass), pass);
}

TEST(IniLine, ConnectionForms) {
    struct {
        const char* value;
        int conad;
        const char* port;
        bool start, end;
    } cases[] = {{"", 0, "", true, true},
                 {"Internet", 0, "", true, true},
                 {"|", 1, "", true, true},
                 {"|Internet", 1, "", true, true},
                 {",", 3, "", true, true},
                 {",/dev/ttyUSB0", 4, "/dev/ttyUSB0", true, true},
                 {"|/dev/ttyUSB1", 2, "/dev/ttyUSB1", true, true},
                 {";/dev/ttyUSB1;", 2, "/dev/ttyUSB1", false, false},
                 {";Internet", 0, "", false, true},
                 // a blank before the end mark is no part of the port (found by the fuzzer)
                 {";|/dev/ttyUSB0= ;", 2, "/dev/ttyUSB0=", false, false},
                 {"; |/dev/ttyUSB0", 2, "/dev/ttyUSB0", false, true},
                 {";;x;;", 2, "x", false, false}};
    for (const auto& c : cases) {
        fresh();
        read_lines({std::string("CON=") + c.value});
        EXPECT_EQ(inidat.conad, c.conad) << c.value;
        EXPECT_STREQ(inidat.conport, c.port) << c.value;
        EXPECT_STREQ(inidat.con, c.port) << c.value;
        EXPECT_EQ(inidat.constart, c.start) << c.value;
        EXPECT_EQ(inidat.conende, c.end) << c.value;
    }
    // A port name that looks like another form is written so that it reads back the same.
    for (const char* port : {",x", "|y", ";z", " w", "\tv"}) {
        std::string t = rewritten({std::string("CON=|") + port}, "CON");
        fresh();
        read_lines({"CON=" + t});
        EXPECT_STREQ(inidat.conport, port) << t;
        EXPECT_EQ(inidat.conad, 2) << t;
    }
    // CONA anywhere in the file overrides the older markers of CON.
    fresh();
    read_lines({"CONA=e", "CON=;x;"});
    EXPECT_FALSE(inidat.constart);
    EXPECT_TRUE(inidat.conende);
    fresh();
    read_lines({"CON=;x;", "CONA=S"});
    EXPECT_TRUE(inidat.constart);
    EXPECT_FALSE(inidat.conende);
}

TEST(IniLine, LimitsEndTimesAndTolerances) {
    struct {
        const char* text;
        bool minutes, damaged;
        long v0, v1, v2;
    } limits[] = {{"5G;500M;300", false, false, 5000000, 500000, 300},
                  {"1,5G", false, true, 1, -1, 0},
                  {"1;2;3;4", false, true, 1, 2, 3},
                  {"2d;10h;90", true, false, 2880, 600, 90},
                  {"2d;10h;90min", true, false, 2880, 600, 90}}; // the written form reads back
    for (const auto& l : limits) {
        long v[3] = {-1, -1, -1};
        EXPECT_EQ(iv__readlimits(l.text, v, l.minutes), l.damaged) << l.text;
        EXPECT_EQ(v[0], l.v0) << l.text;
        if (l.v1 >= 0) {
            EXPECT_EQ(v[1], l.v1) << l.text;
            EXPECT_EQ(v[2], l.v2) << l.text;
        }
    }
    long v[3];
    iv__readlimits("99999999999999999999G", v, false);
    EXPECT_GT(v[0], 0) << "a huge number saturates instead of wrapping";

    int a, b;
    bool e;
    EXPECT_FALSE(iv__readendc("22:00;06:30E", &a, &b, &e));
    EXPECT_EQ(a * 10000 + b, 1320 * 10000 + 390);
    EXPECT_TRUE(e);
    iv__readendc("2200;0630", &a, &b, &e);
    EXPECT_EQ(a + b, -2) << "no colon: no end time";
    EXPECT_TRUE(iv__readendc("25:00;06.00", &a, &b, &e));
    EXPECT_EQ(a * 10000 + b, 1439 * 10000 + 360);
    EXPECT_FALSE(e);

    int err[12] = {0, 15, 50, 10, 10, 10, 10, 4};
    EXPECT_FALSE(iv__readerr("noc5 FRZ 20 CRC50 TME10 ALG10 FRM10 BUF10 L9", err));
    EXPECT_EQ(err[0] * 10000 + err[1] * 100 + err[7], 52009);
    EXPECT_TRUE(iv__readerr("NOC1 FRZ", err)) << "fewer than eight, and a name without number";
    EXPECT_EQ(err[0] * 100 + err[1], 120) << "the value without number stays";
    EXPECT_TRUE(iv__readerr("XYZ1 NOC2 FRZ2 CRC2 TME2 ALG2 FRM2 BUF2 L2", err));
    EXPECT_EQ(err[6], 2);
}

TEST(IniLine, SmsEntriesAndTheirRewrite) {
    fresh();
    read_lines({"SMS1=+49170;stop now", "SMS2=,+49171"});
    EXPECT_EQ(inidat.sms[0], 1);
    EXPECT_TRUE(MODUS('M'));
    EXPECT_EQ(inidat.sms[1], 2);
    EXPECT_TRUE(inidat.smsring);
    // The mark of a bad centre number follows the file's language when written.
    fresh();
    _de = true;
    read_lines({"SMSC=0171", "LAN=English"});
    EXPECT_EQ(written(iv__formatlines(), "SMSC"), "(format error)");
    // A call entry for any caller survives its own rewrite (found by the fuzzer).
    std::string t = rewritten({"SMS2=,;"}, "SMS2");
    fresh();
    read_lines({"SMS2=" + t});
    EXPECT_EQ(inidat.sms[1], 2) << t;
    EXPECT_STREQ(inidat.smsnr[1], "");
}

TEST(IniLine, HostileInput) {
    fresh();
    iv__readstate st;
    iv__readline(("REM=" + std::string(5000, 'X')).c_str(), &st);
    EXPECT_STREQ(inidat.rem, "");
    const char binary[] = {'A', 'P', 'N', '=', '\x01', '\xff', '\x80', 'z', 0};
    iv__readline(binary, &st);
    EXPECT_EQ(std::string(inidat.apn), std::string(binary + 4));
    for (const char* odd : {"", " ", "9", "=", "DAY=;"}) iv__readline(odd, &st);
    EXPECT_EQ(inidat.day, 0);
}

// ---- Ports ----

TEST(IniPorts, StatusPortNextToCommandPort) {
    struct {
        const char *com, *com1, *com2;
    } cases[] = {{"3", "COM3", "COM4"},
                 {"/dev/ttyUSB2", "/dev/ttyUSB2", "/dev/ttyUSB3"},
                 {"/dev/ttyUSB9", "/dev/ttyUSB9", "/dev/ttyUSB10"},
                 {"/dev/ttyUSB19", "/dev/ttyUSB19", "/dev/ttyUSB20"},
                 {"/dev/modem", "/dev/modem", "/dev/modem"},
                 {"/dev/ttyUSB2;/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB1"},
                 {"LINKSYS 192.168.1.1", "", ""}};
    for (const auto& c : cases) {
        fresh();
        secportmanuell = false;
        strcpy(inidat.comport, c.com);
        iv__ports();
        EXPECT_STREQ(inidat.com1, c.com1) << c.com;
        EXPECT_STREQ(inidat.com2, c.com2) << c.com;
        EXPECT_EQ(secportmanuell, strchr(c.com, ';') != nullptr) << c.com;
    }
    strcpy(inidat.comport, "NONE");
    iv__ports();
    EXPECT_TRUE(inidat.com1none);
}

TEST(IniSetup, NetworkAndApnAnswers) {
    char net[500] = "";
    std::string answer =
        "+COPS: (2,\"Vodafone.de\",\"Voda\",\"26202\",2),(3,\"E-Plus\",\"E+\",\"26203\",0),"
        "(1,\"" +
        std::string(31, 'x') + "\",\"\",\"1\",0),,(0-4),(0-2)\r\nOK";
    int n = iv__networklist(answer.c_str(), net, sizeof net);
    EXPECT_EQ(n, 2);
    EXPECT_STREQ(net, "Vodafone.de;E-Plus");
    char code[20];
    EXPECT_TRUE(iv__copsnetwork("+COPS: 0,2,\"26207\",2\r\nOK", code, sizeof code));
    EXPECT_STREQ(iv__apnfornetwork(code), "surfo2");
    EXPECT_FALSE(iv__copsnetwork("+COPS: 0,0,\"Limited Service\"", code, sizeof code));
    EXPECT_STREQ(iv__apnfornetwork("26201"), "internet.t-mobile");
    EXPECT_STREQ(iv__apnfornetwork("23415"), "");
    EXPECT_TRUE(iv__knownmodem("Manufacturer: HUAWEI\r\nModel: E220"));
    EXPECT_FALSE(iv__knownmodem("OK"));
}

// The configuration as listed in the service log: secrets masked.
TEST(IniSetup, ServiceLogListingMasksSecrets) {
    struct {
        const char *line, *listed;
    } cases[] = {
        {"11 PIN=CRYPT1ABCDEF\n", "11 PIN=xxxx"},
        {"11 PIN=12", "11 PIN=12"},
        {"10 COM=LINKSYS 10.0.0.1;; admin  ;geheim;x", "10 COM=LINKSYS 10.0.0.1;; admin  ;xxxx;x"},
        {"10 COM=LINKSYS root geheim", "10 COM=LINKSYS root xxxx"},
        {"10 COM=LINKSYS 10.0.0.1 root", "10 COM=LINKSYS 10.0.0.1 root"},
        {"06\n", nullptr},
        {"* comment", nullptr},
        {"ab", nullptr}};
    for (const auto& c : cases) {
        char out[200];
        ASSERT_EQ(iv__servicelogline(c.line, out, sizeof out), c.listed != nullptr) << c.line;
        if (c.listed) {
            EXPECT_STREQ(out, c.listed);
        }
    }
    char dir[100];
    EXPECT_TRUE(iv__dirvalue("03 DIR= \"/data/mavlyn/\"\r\n", dir, sizeof dir));
    EXPECT_STREQ(dir, "/data/mavlyn");
    EXPECT_FALSE(iv__dirvalue("03", dir, sizeof dir));
}

// ---- Roles ----

TEST(IniRoles, FromProgramNameAndFirstParameter) {
    EXPECT_EQ(iv__rolebyname("/opt/x/gprs.exe"), 1);
    EXPECT_EQ(iv__rolebyname("UMTSGPRS"), 4);
    EXPECT_EQ(iv__rolebyname("CONFIGX"), 50);
    EXPECT_EQ(iv__rolebyname("mavlyn"), 0);
    EXPECT_EQ(iv__rolebyname("gprs2"), -1);
    struct {
        std::vector<std::string> args;
        int funktion;
        const char* programm;
        int firstparam;
    } cases[] = {{{"/home/u/mavlyn/mavlyn", "UMTS", "PIN=1"}, 2, "UMTS", 2},
                 {{"./mavlyn", "INSTALLSUB_E"}, 0, "mavlyn", 2},
                 {{"mvl", "UMTS"}, 0, "mvl", 1}, // too short for the generic endings
                 {{"./mavlyn", "PIN=1234"}, 0, "mavlyn", 1}};
    for (auto c : cases) {
        std::vector<char*> argv;
        for (auto& a : c.args) argv.push_back(a.data());
        iv__invocation inv;
        iv__invocationrole(static_cast<int>(argv.size()), argv.data(), &inv);
        EXPECT_EQ(inv.funktion, c.funktion) << c.args[1];
        EXPECT_STREQ(inv.programm, c.programm) << c.args[1];
        EXPECT_EQ(inv.firstparam, c.firstparam) << c.args[1];
        EXPECT_EQ(inv.installsub, c.args[1] == "INSTALLSUB_E") << c.args[1];
    }
}

// ---- Header line ----

TEST(IniHeader, ColumnsAndLimits) {
    fresh(2);
    inidat.headerv = 1234567;
    inidat.headert = 4321;
    inidat.headerx = 12;
    inidat.headery = 34;
    inidat.headerx_neu = 12;
    inidat.headery_neu = -5;
    inidat.headerday = 7;
    inidat.headermon = 11;
    inidat.headerfefo = 2;
    inidat.hinweisk = '4';
    char line[64];
    iv__formatheader(line, sizeof line);
    EXPECT_STREQ(line, "01 2AA001234567-0012000007112-4004321") << "negative positions as 0";
    inidat.headerv = 1000000000;
    inidat.headerx_neu = 123456;
    iv__formatheader(line, sizeof line);
    EXPECT_EQ(strlen(line), 37u) << "columns never shift";
    EXPECT_EQ(std::string(line).substr(6, 9), "000000000");

    // Reading back what was written.
    fresh(0);
    iv__readheader("01 3BC000000042-0100020003041-7000099", false);
    EXPECT_EQ(inidat.funktion, 3) << "the role digit counts when the name gave none";
    inidat.headerx_neu = inidat.headerx;
    inidat.headery_neu = inidat.headery;
    iv__formatheader(line, sizeof line);
    EXPECT_STREQ(line, "01 3BC000000042-0100020003041-7000099") << "read back whole";
    EXPECT_TRUE(inidat.headerset);
    fresh(1);
    iv__readheader("0", true);
    EXPECT_EQ(inidat.funktion, 1);
    EXPECT_EQ(inidat.headerv, 0) << "a cut line gives no negative counters";
    EXPECT_EQ(inidat.headert, 0);
}

TEST(IniHeader, UpdateInPlaceOnlyWhenNeeded) {
    InTempDir dir;
    const std::string body = std::string(53, '0') + "\n02 keep\nAPN=x\n";
    std::string content = "01 9AA" + body.substr(6);
    write_file("mavlyn.ini", content);
    fresh(9);
    inidat.headergueltig = true;
    inidat.headerfefo = 0; // equals fefo: nothing changed
    iv_iniheaderwrite(false);
    EXPECT_EQ(read_file("mavlyn.ini"), content) << "nothing changed: the file is not touched";

    inidat.day = 1;
    inidat.headerv = 77;
    inidat.headervoffset = 5000;
    iv_iniheaderwrite(false);
    std::string after = read_file("mavlyn.ini");
    ASSERT_EQ(after.size(), content.size()) << "never truncated";
    EXPECT_EQ(after.substr(6, 9), "000000082") << "the offset is folded in";
    EXPECT_EQ(after.substr(37), content.substr(37)) << "only the first 37 characters change";

    // A first line shorter than 37 characters is not overwritten.
    std::string shortline = "0 short\nPIN=1234\nAPN=web\n";
    write_file("mavlyn.ini", shortline);
    iv_iniheaderwrite(false);
    EXPECT_EQ(read_file("mavlyn.ini"), shortline);
    // Neither created nor touched when missing or foreign.
    std::remove("mavlyn.ini");
    iv_iniheaderwrite(false);
    EXPECT_FALSE(exists("mavlyn.ini"));
}

TEST(IniHeader, ConfigurationRoleTakesFileHeader) {
    InTempDir dir; // the reset is noted in the connection log
    fresh(50);
    inidat.hinweisk = '6';
    configkbvreset = 2;
    configtreset = 0;
    const char file[] = "01 9AA000123456-0001000201111-1000777\nmore";
    iv__headerfromfile(file, sizeof file - 1);
    std::string h = headerdaten;
    EXPECT_EQ(h.size(), 53u);
    EXPECT_EQ(h.substr(0, 6), "01 9AA");
    EXPECT_EQ(h.substr(6, 9), "000000000") << "volume reset in the dialog";
    EXPECT_EQ(h[30], '6');
    EXPECT_EQ(h.substr(31, 6), "000777") << "time kept";
    EXPECT_EQ(h.substr(37), std::string(16, '0')) << "the line ends at its line feed";
}

// ---- Written form and round trips ----

TEST(IniWrite, NumberedLinesInTheUsersLanguage) {
    fresh();
    read_lines({"PIN=1234", "SMS1=+4917;go"});
    std::string t = iv__formatlines();
    EXPECT_NE(t.find("02 (Please do not change line 01.)\n"), std::string::npos);
    EXPECT_NE(t.find("11 PIN=CRYPT1"), std::string::npos) << "a plain PIN is stored scrambled";
    EXPECT_NE(t.find("35 SMS1=+4917;GO\n"), std::string::npos);
}

TEST(IniWrite, RoundTripKeepsEverySetting) {
    fresh();
    const char* setting_lines = "LAN=Deutsch\t\nCOM=/dev/ttyUSB2;/dev/ttyUSB1\nDEV=3\n"
                                "DEVI=AT+CGDCONT=1\nPIN=2468\nNET=;26201;26202\nAPN=surfo2\n"
                                "PPQ=*101#\nPPC=*103*<INPUT>#\nCONA=E\nCON=/dev/ttyUSB0\n"
                                "PASS=user;pw\nDAY=01;32\nRND=100;15\nMAXV=4G;4500M;5G\n"
                                "MAXT=50h;55h;1d\nHOMU=zone.example\nHOMI=inside\nHOMO=outside\n"
                                "ERR=NOC5 FRZ1 CRC2 TME3 ALG4 FRM5 BUF6 L7\n"
                                "PING=1.1.1.1;8.8.8.8\nSDLY=3;10\nENDM=2\nENDC=23:15;05:45\n"
                                "END=20FCZS\nCMD1=echo \"a\"\nCMD2=b\nCMD3=c\nSMS1=+49;KEY\n"
                                "SMS2=,+48\nSMSC=+4917\nIPC=0640\nICON=5\nBATT=40;20\n"
                                "MOD=OPRcd\nREM=my tariff\n";
    std::vector<std::string> in;
    std::stringstream lines(setting_lines);
    for (std::string l; std::getline(lines, l);) in.push_back(l);
    read_lines(in);
    inidat_t first = inidat;
    std::string t1 = iv__formatlines();
    fresh();
    _de = true;
    std::stringstream ss(t1);
    iv__readstate st;
    for (std::string l; std::getline(ss, l);) iv__readline(l.c_str(), &st);
    EXPECT_FALSE(_inidatneu) << "the written form is the current form";
    EXPECT_EQ(memcmp(&first.comport, &inidat.comport,
                     offsetof(inidat_t, headergueltig) - offsetof(inidat_t, comport)),
              0);
    EXPECT_EQ(iv__formatlines(), t1);
    EXPECT_TRUE(_de);
}

TEST(IniWrite, FullRewriteOfAGermanFile) {
    InTempDir dir;
    write_file("mavlyn.ini",
               "01 9AA000001000-0000000000000-0000000\n03 DIR=\nLAN=Deutsch\nPIN=1234\n"
               "* my own note\nAPN=web\nFOO=bar\n");
    fresh(9);
    _de = true;
    iv__readstate st;
    for (const auto& l : file_lines("mavlyn.ini")) iv__readline(l.c_str(), &st);
    iv__readheader(file_lines("mavlyn.ini")[0].c_str(), true);
    inidat.headergueltig = true;
    ASSERT_EQ(iv__iniwrite(-1), iv__WRITE_OK);
    auto lines = file_lines("mavlyn.ini");
    ASSERT_GT(lines.size(), 50u);
    EXPECT_EQ(lines[0].substr(6, 9), "000001000") << "the counter survives";
    EXPECT_EQ(lines[1], "02 (Die Zeile 01 bitte nicht verändern.)");
    std::string all = read_file("mavlyn.ini");
    size_t de = all.find("Einwahl-Manager"), en = all.find("Dial-up manager");
    ASSERT_NE(de, std::string::npos);
    ASSERT_NE(en, std::string::npos);
    EXPECT_LT(de, en) << "a German file describes in German first";
    EXPECT_NE(all.find("-> English description see below. <-"), std::string::npos);
    EXPECT_NE(all.find(iv__PROGRAMDATE), std::string::npos);
    EXPECT_EQ(all.find("==DATUM==="), std::string::npos);
    EXPECT_EQ(all.find("==2=="), std::string::npos);
    EXPECT_EQ(inidat.headerx, 9999);

    // Read back: the description does not disturb the settings.
    fresh(9);
    iv__readstate st2;
    for (const auto& l : file_lines("mavlyn.ini")) iv__readline(l.c_str(), &st2);
    EXPECT_FALSE(_inidatneu);
    EXPECT_STREQ(inidat.pin, "1234");
    EXPECT_STREQ(inidat.apn, "web");
}

// ---- Files that cannot be opened or written ----

namespace {

// Runs body in a child with a read-only view of the file; its exit code is the result, or
// -1 when the view cannot be set up here.
int in_child_with_readonly(const std::string& file, int (*body)()) {
    pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, file.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 99) return -1;
    return WEXITSTATUS(status);
}

int write_as(int funktion) {
    fresh(funktion);
    strcpy(inidat.apn, "changed");
    inidat.headergueltig = true;
    int r = iv__iniwrite(-1);
    return r == iv__WRITE_SKIPPED ? 1 : r == iv__WRITE_FAILED ? 2 : 0;
}

} // namespace

TEST(IniFileAccess, UnwritableFileIsLeftAlone) {
    InTempDir dir;
    const std::string content = std::string("01 9AA") + std::string(47, '0') + "\nAPN=old\n";
    write_file("mavlyn.ini", content);
    std::string path = dir.path() + "/mavlyn.ini";
    int dialup = in_child_with_readonly(path, [] { return write_as(9); });
    if (dialup < 0) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(dialup, 1) << "dial-up roles skip the write";
    EXPECT_EQ(in_child_with_readonly(path, [] { return write_as(50) == 2 ? 2 : 0; }), 2)
        << "configuration roles report the failure (and end)";
    EXPECT_EQ(read_file("mavlyn.ini"), content);
}

TEST(IniFileAccess, BusyFileIsRetriedThenReported) {
    InTempDir dir;
    write_file("mavlyn.ini", "0\n");
    pid_t pid = fork();
    if (pid == 0) {
        // No descriptor left: opening fails as long as the limit stays.
        struct rlimit rl = {3, 3};
        setrlimit(RLIMIT_NOFILE, &rl);
        fresh(9);
        cc_mtext[1][0] = 0;
        bool ok = iv_iniopen("rt");
        _exit(!ok && strstr(cc_mtext[1], "INI file is locked") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    fresh(9);
    cc_mtext[1][0] = 0;
    ASSERT_TRUE(iv_iniopen("rt"));
    EXPECT_TRUE(iv_iniopen("rt")) << "open in the same mode is kept";
    iv_iniclose();
    std::remove("mavlyn.ini");
    EXPECT_FALSE(iv_iniopen("rt"));
    EXPECT_EQ(cc_mtext[1][0], 0) << "a missing file is not a locked one";
}
