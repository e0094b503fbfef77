// Reading and writing "mavlyn.ini".
#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/scrambling.h"
#include "control/start_sequence.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "test_support.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

static void fresh(int funktion = 9) {
    fresh_record("");
    inidat.funktion = funktion;
    _inidatneu = false;
    fefo = fefo_OHNE;
}

// Reads the lines of text into the record, as the file is read.
static iv__readstate read_text(const std::string& text) {
    iv__readstate st;
    std::stringstream ss(text);
    for (std::string l; std::getline(ss, l);) iv__readline(l.c_str(), &st);
    return st;
}

// The value of key in written lines ("<missing>" when the key is missing).
static std::string written(const std::string& text, const std::string& key) {
    size_t p = text.find(" " + key + "=");
    if (p == std::string::npos) return "<missing>";
    p += key.size() + 2;
    return text.substr(p, text.find('\n', p) - p);
}

// The value of key as the program writes it after reading text into a fresh record.
static std::string rewritten(const std::string& text, const std::string& key) {
    fresh();
    read_text(text);
    return written(iv__formatlines(), key);
}

// What hand-edited lines turn into, seen in the line the program writes back.
TEST(IniLine, HandEditedLinesAsWrittenBack) {
    const struct {
        const char* key;
        std::string lines;
        const char* value;
    } cases[] = {
        {"NET", "  12 NET=26202", "26202"},
        {"APN", "* APN=commented", ""},
        {"PIN", "PINCODE=1234", ""},
        {"PIN", "PIN=none", ""},
        {"DEVI", "DEVI=AT+X\nDEV=7", "AT+X"},
        {"DEV", "DEV=100", ""},
        {"ICON", "ICON=9", "1"},
        {"ENDM", "ENDM=7", "0"},
        {"IPC", "IPC=77777", "3777"},
        {"BATT", "BATT=150;x5", "100;5"},
        {"DAY", "DAY=P01", "01"},
        {"DAY", "DAY=;", ""},
        {"DAY", "DAY=33;5", "99;05"},
        {"RND", "RND=0;3", ";3"},
        {"SMS3", "SMS3=,", ""},
        {"MOD", "MOD=\xE4\xFFZ", "Z"},
        {"MOD", "SERVICELOG", "P"},
        {"CMD1", "CMD1=echo 'hi'", "echo \"hi\""},
        {"APN", "13APN = web.vodafone.de\napn=lower.case.key", "lower.case.key"},
        {"PPQ", "14 (PPQ=*1#", "*100#"},             // '(' behind the number: a comment
        {"MAXV", "MAX=1M", "1M;0;0"},                // the older name of MAXV
        {"APN", "APN=" + std::string(300, 'a'), ""}, // too long for its field: unchanged
        {"HOMU", "HOMU=HTTP://zone.example/x", "zone.example/x"},
        {"RND", "RND=100;15\nDAY=05;250", "250;15"}, // an old third value was the rounding
        {"SDLY", "SDLY=20;5\nEND=7;30tfczs", "7;5"}, // older: the start delay before END
        {"END", "SDLY=20;5\nEND=7;30tfczs", "30TFCZS"},
        {"END", "END=5RS", "5R"}, // R is not replaced by a later S
        {"SMS1", "SMS1=+49170;stop now", "+49170;STOP NOW"},
        {"SMS1", "SMS1=+491701234567890123456789012345;STOP", ""}, // never cut to another number
        {"SMS1", "SMS1=+49\r\r170;go\r", "+49170;GO"},
        {"SMS1", "SMS1=\t, +4917 ;x", ",+4917"}, // blanks around the call mark (fuzzer)
        {"SMS2", "SMS2=,;", ",;"},               // any caller (fuzzer): read back in IniWrite
        {"MOD", "MOD=pK;P 8-", "8KPp"},          // letters and digits, case counts, in code order
        {"ENDC", "ENDC=2200;0630", ""},          // no colon: no end time
        {"CON", "CON=,/dev/ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& c : cases) {
        char plain[300] = "";
        ob_deobfuscate(rewritten(c.lines, c.key).c_str(), plain);
        EXPECT_STREQ(plain, c.value) << c.lines << " -> " << c.key;
    }
}

TEST(IniLine, OutdatedFormsAskForARewrite) {
    char stored[64];
    ob_obfuscate("4321", stored);
    struct {
        std::string line;
        bool rewrite;
    } cases[] = {
        {"05 mavlyn 0.4", false}, {"05 mavlyn 0.3", true}, {"04 --> Enter PIN", true},
        {"iniwrite", true},       {"SERVICELOG", true},    {"07 LAN=English\t", false},
        {"07 LAN=german", true},  {"11 PIN = 1234", true}, {"PIN=" + std::string(stored), false},
        {"MAX=1M", true},         {"DAY=P01", true},       {"BATT=10;30", true}};
    for (const auto& c : cases) {
        fresh();
        read_text(c.line);
        EXPECT_EQ(_inidatneu, c.rewrite) << c.line;
    }
    fresh();
    EXPECT_FALSE(read_text("iniwrite").exit);
    EXPECT_TRUE(read_text("INIWRITEEXIT\n07 LAN=german").exit && _de);
}

TEST(IniLine, PinUnderOptionKAndSmsEntries) {
    fresh();
    MODUS('K') = 1;
    read_text("PIN=1234");
    EXPECT_STREQ(inidat.pin, "");
    EXPECT_EQ(written(iv__formatlines(), "PIN"), "") << "option K: no PIN read or written";
    fresh();
    read_text("SMS1=+49170;stop now\nSMS2=,+49171");
    EXPECT_TRUE(MODUS('M') && inidat.smsring);
    // The mark of a bad centre number follows the file's language when written.
    fresh();
    _de = true;
    read_text("SMSC=0171\nLAN=English");
    EXPECT_EQ(written(iv__formatlines(), "SMSC"), "(format error)");
}

// The connection as read: its kind, its port, connect at the start (S), end with the program (E).
static std::string connection(const std::string& lines) {
    fresh();
    read_text(lines);
    EXPECT_STREQ(inidat.con, inidat.conport) << lines;
    return std::to_string(inidat.conad) + "|" + inidat.conport + "|" +
           (inidat.constart ? "S" : "") + (inidat.conende ? "E" : "");
}

// A blank before the end mark is no part of the port (found by the fuzzer); CONA anywhere in
// the file overrides the older markers of CON.
TEST(IniLine, ConnectionForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"CON=", "0||SE"},
        {"CON=Internet", "0||SE"},
        {"CON=|", "1||SE"},
        {"CON=|Internet", "1||SE"},
        {"CON=,", "3||SE"},
        {"CON=,/dev/ttyUSB0", "4|/dev/ttyUSB0|SE"},
        {"CON=|/dev/ttyUSB1", "2|/dev/ttyUSB1|SE"},
        {"CON=;/dev/ttyUSB1;", "2|/dev/ttyUSB1|"},
        {"CON=;Internet", "0||E"},
        {"CON=; |/dev/ttyUSB0", "2|/dev/ttyUSB0|E"},
        {"CON=;;x;;", "2|x|"},
        {"CON=;|/dev/ttyUSB0= ;", "2|/dev/ttyUSB0=|"},
        {"CONA=e\nCON=;x;", "2|x|E"},
        {"CON=;x;\nCONA=S", "2|x|S"}};
    for (auto [lines, read] : cases) EXPECT_EQ(connection(lines), read) << lines;
    // A port name that looks like another form is written so that it reads back the same.
    for (const char* port : {",x", "|y", ";z", " w", "\tv"}) {
        std::string t = rewritten(std::string("CON=|") + port, "CON");
        EXPECT_EQ(connection("CON=" + t), "2|" + std::string(port) + "|SE") << t;
    }
}

TEST(IniLine, LimitsEndTimesAndTolerances) {
    struct {
        const char* text;
        bool minutes, damaged;
        long v0, v1, v2;
    } limits[] = {{"5G;500M;300", false, false, 5000000, 500000, 300},
                  {"1,5G", false, true, 1, -1, 0},
                  {"1;2;3;4", false, true, 1, 2, 3},
                  {"2d;10h;90", true, false, 2880, 600, 90}};
    for (const auto& l : limits) {
        long v[3] = {-1, -1, -1};
        EXPECT_EQ(iv__readlimits(l.text, v, l.minutes), l.damaged) << l.text;
        EXPECT_EQ(v[0], l.v0) << l.text;
        EXPECT_TRUE(l.v1 < 0 || (v[1] == l.v1 && v[2] == l.v2)) << l.text; // -1: damaged
    }
    long v[3];
    iv__readlimits("99999999999999999999G", v, false);
    EXPECT_GT(v[0], 0) << "a huge number saturates instead of wrapping";

    int a, b;
    bool e;
    EXPECT_TRUE(iv__readendc("25:00;06.00", &a, &b, &e));
    EXPECT_EQ(a * 10000 + b, 1439 * 10000 + 360);
    EXPECT_FALSE(e);

    int err[12] = {0, 15, 50, 10, 10, 10, 10, 4};
    EXPECT_FALSE(iv__readerr("noc5 FRZ 20 CRC50 TME10 ALG10 FRM10 BUF10 L9", err));
    EXPECT_EQ(err[0] * 10000 + err[1] * 100 + err[7], 52009);
    EXPECT_TRUE(iv__readerr("NOC1 FRZ", err)) << "fewer than eight, and a name without number";
    EXPECT_EQ(err[0] * 100 + err[1], 120) << "the value without number stays";
}

TEST(IniPorts, StatusPortNextToCommandPort) {
    const std::pair<const char*, const char*> cases[] = {
        {"3", "COM3|COM4"},
        {"/dev/ttyUSB2", "/dev/ttyUSB2|/dev/ttyUSB3"},
        {"/dev/ttyUSB9", "/dev/ttyUSB9|/dev/ttyUSB10"},
        {"/dev/modem", "/dev/modem|/dev/modem"},
        {"/dev/ttyUSB2;/dev/ttyUSB1", "/dev/ttyUSB2|/dev/ttyUSB1"},
        {"LINKSYS 192.168.1.1", "|"}};
    for (auto [com, ports] : cases) {
        fresh();
        secportmanuell = false;
        strcpy(inidat.comport, com);
        iv__ports();
        EXPECT_EQ(std::string(inidat.com1) + "|" + inidat.com2, ports);
        EXPECT_EQ(secportmanuell, strchr(com, ';') != nullptr) << com;
    }
    strcpy(inidat.comport, "NONE");
    iv__ports();
    EXPECT_TRUE(inidat.com1none);
}

TEST(IniSetup, NetworkList) {
    char net[500] = "";
    std::string answer = "+COPS: (2,\"Vodafone.de\",\"Voda\",\"26202\",2),(3,\"E-Plus\",\"E+\","
                         "\"26203\",0),(1,\"" +
                         std::string(31, 'x') + "\",\"\",\"1\",0),,(0-4),(0-2)\r\nOK";
    EXPECT_EQ(iv__networklist(answer.c_str(), net, sizeof net), 2);
    EXPECT_STREQ(net, "Vodafone.de;E-Plus");
}

TEST(IniSetup, ServiceLogListingMasksSecrets) {
    const std::pair<const char*, const char*> cases[] = {
        {"11 PIN=CRYPT1ABCDEF\n", "11 PIN=xxxx"},
        {"11 PIN=12", "11 PIN=12"},
        {"10 COM=LINKSYS root geheim", "10 COM=LINKSYS root xxxx"},
        {"10 COM=LINKSYS 10.0.0.1 root", "10 COM=LINKSYS 10.0.0.1 root"},
        {"06\n", nullptr},
        {"* comment", nullptr},
        {"ab", nullptr}};
    for (auto [line, listed] : cases) {
        char out[200];
        ASSERT_EQ(iv__servicelogline(line, out, sizeof out), listed != nullptr) << line;
        EXPECT_TRUE(!listed || std::string(out) == listed) << out;
    }
    char dir[100];
    EXPECT_TRUE(iv__dirvalue("03 DIR= \"/data/mavlyn/\"\r\n", dir, sizeof dir));
    EXPECT_STREQ(dir, "/data/mavlyn");
    EXPECT_FALSE(iv__dirvalue("03", dir, sizeof dir));
}

TEST(IniRoles, FromProgramNameAndFirstParameter) {
    const std::pair<const char*, int> roles[] = {
        {"/opt/x/gprs.exe", 1}, {"UMTSGPRS", 4}, {"CONFIGX", 50}, {"mavlyn", 0}, {"gprs2", -1}};
    for (auto [name, role] : roles) EXPECT_EQ(iv__rolebyname(name), role) << name;
    // The role, the name the program goes by, and where its own parameters begin.
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"/home/u/mavlyn/mavlyn", "UMTS", "PIN=1"}, "2|UMTS|2"},
        {{"./mavlyn", "INSTALLSUB_E"}, "0|mavlyn|2|installsub"},
        {{"mvl", "UMTS"}, "0|mvl|1"}, // too short for the generic endings
        {{"./mavlyn", "PIN=1234"}, "0|mavlyn|1"}};
    for (auto [args, read] : cases) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        iv__invocation inv;
        iv__invocationrole(static_cast<int>(argv.size()), argv.data(), &inv);
        EXPECT_EQ(std::to_string(inv.funktion) + "|" + inv.programm + "|" +
                      std::to_string(inv.firstparam) + (inv.installsub ? "|installsub" : ""),
                  read);
    }
}

TEST(IniHeader, ColumnsAndLimits) {
    fresh(2);
    inidat.headerv = 1234567, inidat.headert = 4321, inidat.headerfefo = 2, inidat.hinweisk = '4';
    inidat.headerx = inidat.headerx_neu = 12, inidat.headery = 34, inidat.headery_neu = -5;
    inidat.headerday = 7, inidat.headermon = 11;
    char line[64];
    iv__formatheader(line, sizeof line);
    EXPECT_STREQ(line, "01 2AA001234567-0012000007112-4004321") << "negative positions as 0";
    inidat.headerv = 1000000000;
    inidat.headerx_neu = 123456;
    iv__formatheader(line, sizeof line);
    EXPECT_EQ(strlen(line), 37u) << "columns never shift";
    EXPECT_EQ(std::string(line).substr(6, 9), "000000000");

    fresh(0);
    iv__readheader("01 3BC000000042-0100020003041-7000099", false);
    EXPECT_EQ(inidat.funktion, 3) << "the role digit counts when the name gave none";
    fresh(1);
    iv__readheader("0", true);
    EXPECT_EQ(inidat.funktion, 1);
    EXPECT_EQ(std::to_string(inidat.headerv) + "|" + std::to_string(inidat.headert), "0|0")
        << "a cut line gives no negative counters";
}

TEST(IniHeader, UpdateInPlaceOnlyWhenNeeded) {
    InTempDir dir;
    const std::string content = "01 9AA" + std::string(47, '0') + "\n02 keep\nAPN=x\n";
    write_file("mavlyn.ini", content);
    fresh(9);
    inidat.headergueltig = true;
    inidat.headerfefo = 0; // equals fefo: nothing changed
    iv_iniheaderwrite(false);
    EXPECT_EQ(read_file("mavlyn.ini"), content) << "nothing changed: the file is not touched";

    inidat.day = 1, inidat.headerv = 77, inidat.headervoffset = 5000;
    iv_iniheaderwrite(false);
    std::string after = read_file("mavlyn.ini");
    ASSERT_EQ(after.size(), content.size()) << "never truncated";
    EXPECT_EQ(after.substr(6, 9), "000000082") << "the offset is folded in";
    EXPECT_EQ(after.substr(37), content.substr(37)) << "only the first 37 characters change";

    const std::string shortline = "0 short\nPIN=1234\nAPN=web\n";
    write_file("mavlyn.ini", shortline);
    iv_iniheaderwrite(false);
    EXPECT_EQ(read_file("mavlyn.ini"), shortline);
    std::remove("mavlyn.ini");
    iv_iniheaderwrite(false);
    EXPECT_FALSE(exists("mavlyn.ini"));
}

TEST(IniWrite, RoundTripKeepsEverySetting) {
    const std::string name(120, 'n'), pass(100, 'p');
    fresh();
    read_text("LAN=Deutsch\t\nCOM=/dev/ttyUSB2;/dev/ttyUSB1\nDEV=3\nDEVI=AT+CGDCONT=1\nPIN=2468\n"
              "NET=;26201;26202\nAPN=surfo2\nPPQ=*101#\nPPC=*103*<INPUT>#\nCONA=E\n"
              "CON=/dev/ttyUSB0\nPASS=" +
              name + ";" + pass +
              ";x\nDAY=01;32\nRND=100;15\nMAXV=4G;4500M;5G\nMAXT=50h;55h;1d\n"
              "HOMU=zone.example\nHOMI=inside\nHOMO=outside\n"
              "ERR=NOC5 FRZ1 CRC2 TME3 ALG4 FRM5 BUF6 L7\nPING=1.1.1.1;8.8.8.8\nSDLY=3;10\n"
              "ENDM=2\nENDC=23:15;05:45\nEND=20FCZS\nCMD1=echo \"a\"\nCMD2=b\nCMD3=c\n"
              "SMS1=+49;KEY\nSMS2=,+48\nSMS3=,;\nSMSC=+4917\nIPC=0640\nICON=5\nBATT=40;20\n"
              "MOD=OPRcd\nREM=my tariff\n");
    EXPECT_EQ(inidat.conpass, pass + ";x") << "the password may hold the separator";
    inidat_t first = inidat;
    std::string t1 = iv__formatlines();
    fresh();
    _de = true;
    read_text(t1);
    EXPECT_FALSE(_inidatneu) << "the written form is the current form";
    EXPECT_EQ(memcmp(&first.comport, &inidat.comport,
                     offsetof(inidat_t, headergueltig) - offsetof(inidat_t, comport)),
              0);
    EXPECT_EQ(iv__formatlines(), t1);
    EXPECT_TRUE(_de);
}

TEST(IniWrite, FullRewriteOfAGermanFile) {
    InTempDir dir;
    const std::string header = "01 9AA000001000-0000000000000-0000000";
    write_file("mavlyn.ini", header + "\nLAN=Deutsch\nPIN=1234\n* my own note\nAPN=web\n");
    fresh(9);
    _de = true;
    read_text(read_file("mavlyn.ini"));
    iv__readheader(header.c_str(), true);
    inidat.headergueltig = true;
    ASSERT_EQ(iv__iniwrite(-1), iv__WRITE_OK);
    std::string all = read_file("mavlyn.ini");
    EXPECT_EQ(all.find("\n02 (Die Zeile 01 bitte nicht verändern.)\n"), all.find('\n'));
    size_t de = all.find("Einwahl-Manager"), en = all.find("Dial-up manager");
    EXPECT_TRUE(de != std::string::npos && en != std::string::npos && de < en);
    EXPECT_NE(all.find(iv__PROGRAMDATE), std::string::npos);
    EXPECT_EQ(all.find("==DATUM==="), std::string::npos);
    EXPECT_EQ(all.find("==2=="), std::string::npos);
}

// A folder in the file's place; a full disk is test_ini_rewrite.sh's.
TEST(IniFileAccess, UnwritableFileIsLeftAlone) {
    InTempDir dir;
    ASSERT_EQ(mkdir("mavlyn.ini", 0700), 0);
    for (auto [funktion, result] : {std::pair{9, iv__WRITE_SKIPPED}, {50, iv__WRITE_FAILED}}) {
        fresh(funktion);
        inidat.headergueltig = true;
        EXPECT_EQ(iv__iniwrite(-1), result) << funktion;
    }
    EXPECT_NE(read_file("servilog.txt").find("mavlyn.ini could not be written; the previous"),
              std::string::npos);
    for (const auto& name : folder_names(".")) EXPECT_EQ(name.find(".tmp"), std::string::npos);
}

TEST(IniFileAccess, BusyFileIsRetriedThenReported) {
    InTempDir dir;
    write_file("mavlyn.ini", "0\n");
    fresh(9);
    cc_mtext[1][0] = 0;
    pid_t pid = fork();
    if (pid == 0) {
        struct rlimit rl = {3, 3}; // no descriptor left as long as the limit stays
        setrlimit(RLIMIT_NOFILE, &rl);
        _exit(!iv_iniopen("rt") && strstr(cc_mtext[1], "INI file is locked") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(iv_iniopen("rt"));
    EXPECT_TRUE(iv_iniopen("rt")) << "open in the same mode is kept";
    iv_iniclose();
    std::remove("mavlyn.ini");
    EXPECT_FALSE(iv_iniopen("rt"));
    EXPECT_EQ(cc_mtext[1][0], 0) << "a missing file is not a locked one";
}
