// Reading and writing "mavlyn.ini": line rules, value syntaxes, the counter line, the full
// rewrite and what survives a round trip.
#include "config/config_record.h"
#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/scrambling.h"
#include "control/session_state.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

// These cases change program-wide state (language, file names, the record); every case of
// this file leaves it as the program starts, so that other tests see the initial values.
class RestoreGlobals : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override {
        std::string suite = info.test_suite_name();
        if (suite.rfind("Ini", 0) != 0 && suite != "Profiles" && suite != "Install") return;
        iv_inidefaults();
        _inidatneu = false;
        _de = true;
        fefo = fefo_OHNE;
        programmende_gewuenscht = false;
        secportmanuell = false;
        configkbvreset = configtreset = 0;
        strcpy(inidatei, "mavlyn.ini");
        strcpy(inititel, "mavlyn");
        strcpy(connlogdatei, "connlog.txt");
        strcpy(headerdaten, "01 AAA000000000-0000000000000-00000000000000000000000");
    }
};
const bool restore_registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RestoreGlobals);
    return true;
}();

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

// The value of key in written lines ("" when the key is missing).
std::string written(const std::string& text, const std::string& key) {
    size_t p = text.find(" " + key + "=");
    if (p == std::string::npos) return "<missing>";
    p += key.size() + 2;
    return text.substr(p, text.find('\n', p) - p);
}

std::vector<std::string> file_lines(const std::string& name) {
    std::vector<std::string> out;
    std::stringstream ss(read_file(name));
    for (std::string l; std::getline(ss, l);) out.push_back(l);
    return out;
}

} // namespace

// ---- Line rules ----

TEST(IniLine, NumbersCommentsAndKeyMatching) {
    fresh();
    read_lines({"  12 NET=26202", "13APN = web.vodafone.de", "* APN=commented", "14 (PPQ=*1#",
                "PINCODE=1234", "apn=lower.case.key"});
    EXPECT_STREQ(inidat.net, "26202");
    EXPECT_STREQ(inidat.apn, "lower.case.key") << "keys are case-insensitive, last line wins";
    EXPECT_STREQ(inidat.ppq, "*100#") << "a '(' behind the number is a comment";
    EXPECT_STREQ(inidat.pin, "") << "PINCODE= is not PIN=";
    EXPECT_FALSE(_inidatneu);
}

TEST(IniLine, LongerKeysWinAndTextLimits) {
    fresh();
    read_lines({"DEVI=AT+X", "DEV=7", "PING=1.2.3.4", "CONA=S", "CON=/dev/ttyUSB0", "MAX=1M"});
    EXPECT_STREQ(inidat.devi, "AT+X");
    EXPECT_EQ(inidat.mangeraet, 7);
    EXPECT_STREQ(inidat.ping, "1.2.3.4");
    EXPECT_STREQ(inidat.pin, "");
    EXPECT_TRUE(inidat.constart);
    EXPECT_FALSE(inidat.conende);
    EXPECT_EQ(inidat.max[0], 1000) << "MAX is the older name of MAXV";
    EXPECT_TRUE(_inidatneu);
    fresh();
    std::string longapn(300, 'a');
    read_lines({"APN=" + longapn, "DEV=100", "ICON=9", "ENDM=7"});
    EXPECT_STREQ(inidat.apn, "") << "a value longer than its field leaves it unchanged";
    EXPECT_EQ(inidat.mangeraet, 0);
    EXPECT_EQ(inidat.icon, 1);
    EXPECT_EQ(inidat.endm, 0);
}

TEST(IniLine, VersionHintAndWriteRequests) {
    fresh();
    iv__readstate st = read_lines({"05 mavlyn 0.4"});
    EXPECT_FALSE(_inidatneu);
    read_lines({"05 mavlyn 0.3"});
    EXPECT_TRUE(_inidatneu);
    fresh();
    read_lines({"04 --> Enter PIN"});
    EXPECT_TRUE(_inidatneu);
    fresh();
    st = read_lines({"iniwrite"});
    EXPECT_TRUE(_inidatneu);
    EXPECT_FALSE(st.exit);
    st = read_lines({"INIWRITEEXIT"});
    EXPECT_TRUE(st.exit);
    fresh();
    read_lines({"SERVICELOG"});
    EXPECT_TRUE(MODUS('P'));
    EXPECT_TRUE(_inidatneu);
}

TEST(IniLine, LanguageAndTab) {
    fresh();
    _de = true;
    read_lines({"07 LAN=English\t"});
    EXPECT_FALSE(_de);
    EXPECT_FALSE(_inidatneu) << "the current form has a tab";
    read_lines({"07 LAN=german"});
    EXPECT_TRUE(_de);
    EXPECT_TRUE(_inidatneu);
}

TEST(IniLine, Credentials) {
    fresh();
    read_lines({"11 PIN = 1234"});
    EXPECT_STREQ(inidat.pin, "1234");
    EXPECT_TRUE(_inidatneu) << "a plain PIN is rewritten scrambled";
    char stored[64];
    ob_obfuscate("4321", stored);
    fresh();
    read_lines({std::string("PIN=") + stored});
    EXPECT_STREQ(inidat.pin, "4321");
    EXPECT_FALSE(_inidatneu);
    read_lines({"PIN=none"});
    EXPECT_STREQ(inidat.pin, "");
    fresh();
    inidat.mod[static_cast<unsigned char>('K')] = 1;
    read_lines({"PIN=1234"});
    EXPECT_STREQ(inidat.pin, "") << "option K ignores the PIN";
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
        fresh();
        read_lines({std::string("CON=|") + port});
        EXPECT_STREQ(inidat.conport, port);
        std::string t = written(iv__formatlines(), "CON");
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

TEST(IniLine, CountersDayAndRounding) {
    fresh();
    read_lines({"DAY=P01"});
    EXPECT_EQ(inidat.day, 1);
    EXPECT_EQ(inidat.round, 1);
    EXPECT_TRUE(_inidatneu);
    fresh();
    read_lines({"RND=100;15", "DAY=05;250"});
    EXPECT_EQ(inidat.day, 5);
    EXPECT_EQ(inidat.dayt, 0);
    EXPECT_EQ(inidat.round, 250) << "an old third value above 99 was the rounding";
    EXPECT_EQ(inidat.roundt, 15);
    fresh();
    read_lines({"SDLY=20;5", "END=7;30tfczs"});
    EXPECT_EQ(inidat.startdelay, 7u) << "older syntax: the start delay in front of END";
    EXPECT_EQ(inidat.resumedelay, 5u);
    EXPECT_EQ(inidat.end, 30u);
    EXPECT_TRUE(inidat.endhightraffic && inidat.endforce && inidat.endverb && inidat.endstandby);
    EXPECT_EQ(inidat.endshutdown, 1);
    read_lines({"END=5RS"});
    EXPECT_EQ(inidat.endshutdown, 2) << "R is not replaced by a later S";
}

TEST(IniLine, LimitsWithUnits) {
    long v[3];
    EXPECT_FALSE(iv__readlimits("5G;500M;300", v, false));
    EXPECT_EQ(v[0], 5000000);
    EXPECT_EQ(v[1], 500000);
    EXPECT_EQ(v[2], 300);
    EXPECT_TRUE(iv__readlimits("1,5G", v, false));
    EXPECT_EQ(v[0], 1);
    EXPECT_TRUE(iv__readlimits("1;2;3;4", v, false));
    EXPECT_EQ(v[2], 3);
    EXPECT_FALSE(iv__readlimits("2d;10h;90", v, true));
    EXPECT_EQ(v[0], 2880);
    EXPECT_EQ(v[1], 600);
    EXPECT_EQ(v[2], 90);
    EXPECT_FALSE(iv__readlimits("2d;10h;90min", v, true)) << "the written form reads back";
    EXPECT_EQ(v[2], 90);
    EXPECT_FALSE(iv__readlimits("99999999999999999999G", v, false));
    EXPECT_GT(v[0], 0) << "a huge number saturates instead of wrapping";
}

TEST(IniLine, EndTimes) {
    int a, b;
    bool e;
    EXPECT_FALSE(iv__readendc("22:00;06:30E", &a, &b, &e));
    EXPECT_EQ(a, 1320);
    EXPECT_EQ(b, 390);
    EXPECT_TRUE(e);
    iv__readendc("2200;0630", &a, &b, &e);
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
    EXPECT_TRUE(iv__readendc("25:00;06.00", &a, &b, &e));
    EXPECT_EQ(a, 1439);
    EXPECT_EQ(b, 360);
    EXPECT_FALSE(e);
}

TEST(IniLine, ErrorTolerances) {
    int err[12] = {0, 15, 50, 10, 10, 10, 10, 4};
    EXPECT_FALSE(iv__readerr("noc5 FRZ 20 CRC50 TME10 ALG10 FRM10 BUF10 L9", err));
    EXPECT_EQ(err[0], 5);
    EXPECT_EQ(err[1], 20);
    EXPECT_EQ(err[7], 9);
    EXPECT_TRUE(iv__readerr("NOC1 FRZ", err)) << "fewer than eight, and a name without number";
    EXPECT_EQ(err[0], 1);
    EXPECT_EQ(err[1], 20) << "the value without number stays";
    EXPECT_TRUE(iv__readerr("XYZ1 NOC2 FRZ2 CRC2 TME2 ALG2 FRM2 BUF2 L2", err));
    EXPECT_EQ(err[6], 2);
}

TEST(IniLine, SmsEntriesBatteryIpcSmsc) {
    fresh();
    read_lines({"SMS1=+49170;stop now", "SMS2=,+49171", "SMS3=,"});
    EXPECT_EQ(inidat.sms[0], 1);
    EXPECT_STREQ(inidat.smsnr[0], "+49170");
    EXPECT_STREQ(inidat.smskey[0], "STOP NOW");
    EXPECT_TRUE(MODUS('M'));
    EXPECT_EQ(inidat.sms[1], 2);
    EXPECT_STREQ(inidat.smsnr[1], "+49171");
    EXPECT_TRUE(inidat.smsring);
    EXPECT_EQ(inidat.sms[2], 0);
    // A number that does not fit must not be cut to somebody else's number.
    read_lines({"SMS1=+491701234567890123456789012345;STOP"});
    EXPECT_EQ(inidat.sms[0], 0);
    EXPECT_STREQ(inidat.smsnr[0], "");
    // Carriage returns inside a line are line ends, not part of a number.
    fresh();
    read_lines({"SMS1=+49\r\r170;go\r", "SMS2=, +4917 ;x"});
    EXPECT_STREQ(inidat.smsnr[0], "+49170");
    EXPECT_STREQ(inidat.smsnr[1], "+4917") << "blanks around a number";
    // A blank before the call mark still makes a call entry; read as a number starting with
    // "," it was written back as a call entry and changed on the next reading (fuzzer).
    fresh();
    read_lines({"SMS1=\t,\t+4917 ;x"});
    EXPECT_EQ(inidat.sms[0], 2);
    EXPECT_STREQ(inidat.smsnr[0], "+4917");
    EXPECT_EQ(written(iv__formatlines(), "SMS1"), ",+4917");
    // The mark of a bad centre number follows the file's language when written.
    fresh();
    _de = true;
    read_lines({"SMSC=0171", "LAN=English"});
    EXPECT_EQ(written(iv__formatlines(), "SMSC"), "(format error)");
    // A call entry for any caller survives its own rewrite (found by the fuzzer).
    fresh();
    read_lines({"SMS2=,;"});
    EXPECT_EQ(inidat.sms[1], 2);
    std::string t = written(iv__formatlines(), "SMS2");
    fresh();
    read_lines({"SMS2=" + t});
    EXPECT_EQ(inidat.sms[1], 2) << t;
    EXPECT_STREQ(inidat.smsnr[1], "");

    fresh();
    read_lines({"BATT=10;30"});
    EXPECT_EQ(inidat.batt1, 30);
    EXPECT_EQ(inidat.batt2, 10);
    EXPECT_TRUE(_inidatneu);
    read_lines({"BATT=150;x5"});
    EXPECT_EQ(inidat.batt1, 100);
    EXPECT_EQ(inidat.batt2, 5);
    read_lines({"IPC=0660"});
    EXPECT_EQ(inidat.ipcmod, 432);
    read_lines({"IPC=77777"});
    EXPECT_EQ(inidat.ipcmod, 2047);
    read_lines({"SMSC=+491710760000"});
    EXPECT_STREQ(inidat.smsc, "+491710760000");
    read_lines({"SMSC=0171"});
    EXPECT_STREQ(inidat.smsc, "(format error)");
    read_lines({"CMD1=echo 'hi'", "HOMU=HTTP://zone.example/x"});
    EXPECT_STREQ(inidat.cmd[0], "echo \"hi\"");
    EXPECT_STREQ(inidat.homu, "zone.example/x");
}

TEST(IniLine, HostileInput) {
    fresh();
    std::string huge(5000, 'X');
    iv__readstate st;
    iv__readline(("REM=" + huge).c_str(), &st);
    EXPECT_STREQ(inidat.rem, "");
    const char binary[] = {'A', 'P', 'N', '=', '\x01', '\xff', '\x80', 'z', 0};
    iv__readline(binary, &st);
    EXPECT_EQ(std::string(inidat.apn), std::string(binary + 4));
    iv__readline("", &st);
    iv__readline(" ", &st);
    iv__readline("9", &st);
    iv__readline("=", &st);
    iv__readline("DAY=;", &st);
    EXPECT_EQ(inidat.day, 0);
}

// ---- Ports ----

TEST(IniPorts, StatusPortNextToCommandPort) {
    char out[40];
    iv__nextport("/dev/ttyUSB2", out, sizeof out);
    EXPECT_STREQ(out, "/dev/ttyUSB3");
    iv__nextport("/dev/ttyUSB19", out, sizeof out);
    EXPECT_STREQ(out, "/dev/ttyUSB20");
    iv__nextport("/dev/ttyUSB9", out, sizeof out);
    EXPECT_STREQ(out, "/dev/ttyUSB10");
    iv__nextport("/dev/modem", out, sizeof out);
    EXPECT_STREQ(out, "/dev/modem");

    fresh();
    strcpy(inidat.comport, "3");
    iv__ports();
    EXPECT_STREQ(inidat.com1, "COM3");
    EXPECT_STREQ(inidat.com2, "COM4");
    secportmanuell = false;
    strcpy(inidat.comport, "/dev/ttyUSB2;/dev/ttyUSB1");
    iv__ports();
    EXPECT_STREQ(inidat.com1, "/dev/ttyUSB2");
    EXPECT_STREQ(inidat.com2, "/dev/ttyUSB1");
    EXPECT_TRUE(secportmanuell);
    strcpy(inidat.comport, "NONE");
    iv__ports();
    EXPECT_TRUE(inidat.com1none);
    strcpy(inidat.comport, "LINKSYS 192.168.1.1");
    iv__ports();
    EXPECT_STREQ(inidat.com1, "");
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

TEST(IniSetup, ServiceLogListingMasksPin) {
    char out[200];
    EXPECT_TRUE(iv__servicelogline("11 PIN=CRYPT1ABCDEF\n", out, sizeof out));
    EXPECT_STREQ(out, "11 PIN=xxxx");
    EXPECT_TRUE(iv__servicelogline("11 PIN=12", out, sizeof out));
    EXPECT_STREQ(out, "11 PIN=12");
    EXPECT_FALSE(iv__servicelogline("06\n", out, sizeof out));
    // The router's password is masked too, with or without an address in front.
    EXPECT_TRUE(iv__servicelogline("10 COM=LINKSYS 10.0.0.1;; admin  ;geheim;x", out, sizeof out));
    EXPECT_STREQ(out, "10 COM=LINKSYS 10.0.0.1;; admin  ;xxxx;x");
    EXPECT_TRUE(iv__servicelogline("10 COM=LINKSYS root geheim", out, sizeof out));
    EXPECT_STREQ(out, "10 COM=LINKSYS root xxxx");
    EXPECT_TRUE(iv__servicelogline("10 COM=LINKSYS 10.0.0.1 root", out, sizeof out));
    EXPECT_STREQ(out, "10 COM=LINKSYS 10.0.0.1 root");
    EXPECT_FALSE(iv__servicelogline("* comment", out, sizeof out));
    EXPECT_FALSE(iv__servicelogline("ab", out, sizeof out));
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

    iv__invocation inv;
    char a0[] = "/home/u/mavlyn/mavlyn", a1[] = "UMTS", a2[] = "PIN=1";
    char* argv[] = {a0, a1, a2};
    iv__invocationrole(3, argv, &inv);
    EXPECT_EQ(inv.funktion, 2);
    EXPECT_STREQ(inv.programm, "UMTS");
    EXPECT_EQ(inv.firstparam, 2) << "parameters are read from the second word on";

    char b0[] = "./mavlyn", b1[] = "INSTALLSUB_E";
    char* argv2[] = {b0, b1};
    iv__invocationrole(2, argv2, &inv);
    EXPECT_TRUE(inv.installsub);
    EXPECT_EQ(inv.language, 2);
    EXPECT_EQ(inv.funktion, 0);
    EXPECT_STREQ(inv.programm, "mavlyn");

    // Too short for the generic endings, and configuration lines are never a name.
    char c0[] = "mvl", c1[] = "UMTS";
    char* argv3[] = {c0, c1};
    iv__invocationrole(2, argv3, &inv);
    EXPECT_EQ(inv.funktion, 0);
    EXPECT_EQ(inv.firstparam, 1);
    char d0[] = "./mavlyn", d1[] = "PIN=1234";
    char* argv4[] = {d0, d1};
    iv__invocationrole(2, argv4, &inv);
    EXPECT_STREQ(inv.programm, "mavlyn");
    EXPECT_EQ(inv.firstparam, 1);
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
    std::string h = line;
    ASSERT_EQ(h.size(), 37u);
    EXPECT_EQ(h.substr(0, 6), "01 2AA");
    EXPECT_EQ(h.substr(6, 9), "001234567");
    EXPECT_EQ(h.substr(16, 8), "00120000") << "negative positions are written as 0";
    EXPECT_EQ(h.substr(24, 4), "0711");
    EXPECT_EQ(h[28], '2');
    EXPECT_EQ(h[30], '4');
    EXPECT_EQ(h.substr(31, 6), "004321");
    inidat.headerv = 1000000000;
    inidat.headerx_neu = 123456;
    iv__formatheader(line, sizeof line);
    EXPECT_EQ(strlen(line), 37u) << "columns never shift";
    EXPECT_EQ(std::string(line).substr(6, 9), "000000000");

    // Reading back what was written.
    fresh(0);
    iv__readheader("01 3BC000000042-0100020003041-7000099", false);
    EXPECT_EQ(inidat.funktion, 3) << "the role digit counts when the name gave none";
    EXPECT_EQ(inidat.header2, 'B');
    EXPECT_EQ(inidat.headerv, 42);
    EXPECT_EQ(inidat.headerx, 100);
    EXPECT_EQ(inidat.headery, 200);
    EXPECT_EQ(inidat.headerday, 3);
    EXPECT_EQ(inidat.headermon, 4);
    EXPECT_EQ(inidat.headerfefo, 1);
    EXPECT_EQ(inidat.hinweisk, '7');
    EXPECT_EQ(inidat.headert, 99);
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
    {
        std::ofstream f("mavlyn.ini");
        f << content;
    }
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
    {
        std::ofstream f("mavlyn.ini");
        f << shortline;
    }
    iv_iniheaderwrite(false);
    EXPECT_EQ(read_file("mavlyn.ini"), shortline);
    // Neither created nor touched when missing or foreign.
    std::remove("mavlyn.ini");
    iv_iniheaderwrite(false);
    EXPECT_FALSE(exists("mavlyn.ini"));
}

TEST(IniHeader, ConfigurationRoleTakesFileHeader) {
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
    configkbvreset = 0;
}

// ---- Written form and round trips ----

TEST(IniWrite, CanonicalLines) {
    fresh();
    read_lines({"LAN=English", "MAXV=5G;500M;300", "MAXT=2d;10h;90", "ENDC=22:00;06:30E",
                "DAY=33;5", "BATT=10;30", "IPC=0660", "PIN=1234", "CON=,/dev/ttyUSB0", "ERR=NOC3",
                "MOD=PK", "SMS1=+4917;go", "SMS2=,+4918", "RND=0;3", "SDLY=4;9", "END=15tR"});
    std::string t = iv__formatlines();
    EXPECT_EQ(written(t, "LAN"), "English\t");
    EXPECT_EQ(written(t, "MAXV"), "5G;500M;300k");
    EXPECT_EQ(written(t, "MAXT"), "2d;10h;90min");
    EXPECT_EQ(written(t, "ENDC"), "22:00;06:30E");
    EXPECT_EQ(written(t, "DAY"), "99;05");
    EXPECT_EQ(written(t, "BATT"), "30;10");
    EXPECT_EQ(written(t, "IPC"), "0660");
    EXPECT_EQ(written(t, "PIN"), "") << "option K writes an empty PIN";
    EXPECT_EQ(written(t, "CON"), "/dev/ttyUSB0");
    EXPECT_EQ(written(t, "ERR"), "NOC3 FRZ15 CRC50 TME10 ALG10 FRM10 BUF10 L4");
    EXPECT_EQ(written(t, "MOD"), "KMP");
    EXPECT_EQ(written(t, "SMS1"), "+4917;GO");
    EXPECT_EQ(written(t, "SMS2"), ",+4918");
    EXPECT_EQ(written(t, "SMS3"), "");
    EXPECT_EQ(written(t, "RND"), ";3");
    EXPECT_EQ(written(t, "SDLY"), "4;9");
    EXPECT_EQ(written(t, "END"), "15TR");
    EXPECT_EQ(t.find("11 PIN=\n") != std::string::npos, true);
    EXPECT_NE(t.find("35 SMS1="), std::string::npos);
    EXPECT_NE(t.find("02 (Please do not change line 01.)\n"), std::string::npos);

    fresh();
    read_lines({"PIN=1234", "ENDC=2200;0630"});
    t = iv__formatlines();
    EXPECT_EQ(written(t, "PIN").rfind("CRYPT1", 0), 0u) << "a plain PIN is stored scrambled";
    EXPECT_EQ(written(t, "ENDC"), "");
}

TEST(IniWrite, RoundTripKeepsEverySetting) {
    fresh();
    std::vector<std::string> in = {"LAN=Deutsch\t",
                                   "COM=/dev/ttyUSB2;/dev/ttyUSB1",
                                   "DEV=3",
                                   "DEVI=AT+CGDCONT=1",
                                   "PIN=2468",
                                   "NET=;26201;26202",
                                   "APN=surfo2",
                                   "PPQ=*101#",
                                   "PPC=*103*<INPUT>#",
                                   "CONA=E",
                                   "CON=/dev/ttyUSB0",
                                   "PASS=user;pw",
                                   "DAY=01;32",
                                   "RND=100;15",
                                   "MAXV=4G;4500M;5G",
                                   "MAXT=50h;55h;1d",
                                   "HOMU=zone.example",
                                   "HOMI=inside",
                                   "HOMO=outside",
                                   "ERR=NOC5 FRZ1 CRC2 TME3 ALG4 FRM5 BUF6 L7",
                                   "PING=1.1.1.1;8.8.8.8",
                                   "SDLY=3;10",
                                   "ENDM=2",
                                   "ENDC=23:15;05:45",
                                   "END=20FCZS",
                                   "CMD1=echo \"a\"",
                                   "CMD2=b",
                                   "CMD3=c",
                                   "SMS1=+49;KEY",
                                   "SMS2=,+48",
                                   "SMSC=+4917",
                                   "IPC=0640",
                                   "ICON=5",
                                   "BATT=40;20",
                                   "MOD=OPRcd",
                                   "REM=my tariff"};
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
    {
        std::ofstream f("mavlyn.ini");
        f << "01 9AA000001000-0000000000000-0000000\n03 DIR=\nLAN=Deutsch\nPIN=1234\n"
             "* my own note\nAPN=web\nFOO=bar\n";
    }
    fresh(9);
    _de = true;
    iv__readstate st;
    for (const auto& l : file_lines("mavlyn.ini")) iv__readline(l.c_str(), &st);
    iv__readheader(file_lines("mavlyn.ini")[0].c_str(), true);
    inidat.headergueltig = true;
    ASSERT_EQ(iv__iniwrite(-1), iv__WRITE_OK);
    auto lines = file_lines("mavlyn.ini");
    ASSERT_GT(lines.size(), 50u);
    EXPECT_EQ(lines[0].size(), 53u);
    EXPECT_EQ(lines[0].substr(37), std::string(16, '0'));
    EXPECT_EQ(lines[0].substr(6, 9), "000001000") << "the counter survives";
    EXPECT_EQ(lines[1], "02 (Die Zeile 01 bitte nicht verändern.)");
    EXPECT_EQ(lines[10].substr(0, 13), "11 PIN=CRYPT1");
    EXPECT_EQ(lines[12], "13 APN=web");
    EXPECT_EQ(lines[42].substr(0, 7), "43 REM=");
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

TEST(IniWrite, DescriptionTextBothLanguages) {
    std::string de = iv__manual(true), en = iv__manual(false);
    EXPECT_GT(de.size(), 10000u);
    EXPECT_GT(en.size(), 10000u);
    EXPECT_EQ(en[0], '*');
    size_t total = 0;
    iv__manualdata(&total);
    EXPECT_EQ(total, 31708u);
    // Every description line is a comment, so that reading the file back ignores it.
    for (const std::string* s : {&de, &en}) {
        std::stringstream ss(*s);
        for (std::string l; std::getline(ss, l);) ASSERT_EQ(l[0], '*') << l;
    }
    for (const char* key : {"MAXV", "ENDC", "BATT", "PASS", "SMSC"}) {
        EXPECT_NE(de.find(key), std::string::npos) << key;
        EXPECT_NE(en.find(key), std::string::npos) << key;
    }
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
    {
        std::ofstream f("mavlyn.ini");
        f << content;
    }
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
    {
        std::ofstream f("mavlyn.ini");
        f << "0\n";
    }
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
