#include "config/config_record.h"
#include "connection/dialup.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

std::string command(const char* path, const char* user, const char* pass, bool mdv, bool dump) {
    char out[cn__COMMANDLEN];
    cn__buildcommand(out, sizeof out, path, user, pass, mdv, dump);
    return out;
}

struct Classified {
    cn__lineaction action;
    int error;
    long pid;
};
Classified classify(const char* line, bool mdv = false, bool lockseen = false,
                    bool pathleft = false) {
    Classified c{};
    c.action = cn__classify(line, cn__linestate{mdv, lockseen, pathleft}, &c.error, &c.pid);
    return c;
}

} // namespace

TEST(DialupCommandLine, OptionCombinations) {
    EXPECT_EQ(command("/dev/ttyUSB1", "web", "secret", false, false),
              "pppd '/dev/ttyUSB1' user web password secret crtscts lock usepeerdns noipdefault "
              "defaultroute replacedefaultroute nodetach child-timeout 5 connect "
              "'chat \"\" atd*99#' 2>&1");
    EXPECT_EQ(command("/dev/ttyUSB1", "web", "secret", true, true),
              "pppd '/dev/ttyUSB1' user web password secret crtscts lock usepeerdns noipdefault "
              "defaultroute nodetach child-timeout 5 dump connect 'chat \"\" atd*99#' 2>&1");
    std::string defaults = command("", "", "", false, false);
    EXPECT_EQ(defaults.rfind("pppd '/dev/ttyUSB0' user a password " cn__NOPASSWORD " ", 0), 0u)
        << defaults;
    EXPECT_NE(command("/dev/x", "u", "p", false, true)
                  .find(" replacedefaultroute nodetach "
                        "child-timeout 5 dump connect "),
              std::string::npos);
}

TEST(DialupCommandLine, ConfigurationTextCannotReachTheShell) {
    std::string c = command("/dev/tty'; touch /tmp/x; '", "a b;rm", "p$(id)`x`", false, false);
    EXPECT_NE(c.find("pppd '/dev/tty'\\''; touch /tmp/x; '\\''' user 'a b;rm' password "
                     "'p$(id)`x`' crtscts"),
              std::string::npos)
        << c;
    // What sh makes of it: exactly the three values as single words.
    std::string probe = "set -- " + c.substr(5, c.find(" crtscts") - 5) +
                        "; printf '%s|' \"$1\" \"$2\" \"$3\" \"$4\" \"$5\"";
    FILE* f = popen(probe.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[300] = "";
    ASSERT_NE(fgets(buf, sizeof buf, f), nullptr);
    pclose(f);
    EXPECT_STREQ(buf, "/dev/tty'; touch /tmp/x; '|user|a b;rm|password|p$(id)`x`|");
}

TEST(DialupCommandLine, LongCredentialsLeaveItEmpty) {
    std::string user(250, 'u'), pass(250, 'p');
    EXPECT_EQ(command("/dev/ttyUSB0", user.c_str(), pass.c_str(), false, false), "")
        << "500 characters together";
    pass.pop_back();
    std::string c = command("/dev/ttyUSB0", user.c_str(), pass.c_str(), false, false);
    EXPECT_NE(c.find(user), std::string::npos) << "499 characters still fit";
    // A long path on top no longer fits the 800 bytes: no line rather than a cut one.
    std::string path = "/dev/" + std::string(290, 'd');
    char out[cn__COMMANDLEN] = "junk";
    EXPECT_FALSE(
        cn__buildcommand(out, sizeof out, path.c_str(), user.c_str(), pass.c_str(), false, true));
    EXPECT_STREQ(out, "");
    std::string huge(600, 'x');
    EXPECT_FALSE(cn__buildcommand(out, sizeof out, "/dev/ttyUSB0", huge.c_str(), "", false, false));
}

TEST(DialupCommandLine, DeviceListIsTakenPathByPath) {
    const char* list = "/dev/ttyUSB7,/dev/ttyUSB0";
    char path[300];
    cn__nextpath(&list, path, sizeof path);
    EXPECT_STREQ(path, "/dev/ttyUSB7");
    ASSERT_NE(list, nullptr);
    cn__nextpath(&list, path, sizeof path);
    EXPECT_STREQ(path, "/dev/ttyUSB0");
    EXPECT_EQ(list, nullptr) << "exhausted";
    cn__nextpath(&list, path, sizeof path);
    EXPECT_STREQ(path, "");
    const char* small = "/dev/ttyUSB12345";
    char cut[8];
    cn__nextpath(&small, cut, sizeof cut);
    EXPECT_STREQ(cut, "/dev/tt");
}

TEST(DialupPhrases, ErrorNumbers) {
    struct {
        const char* line;
        int error;
    } table[] = {
        {"Usage: pppd [ options ], where options are:\n", 29},
        {"pppd: unrecognized option '/dev/ttyUSB9'\n", 30},
        {"Cannot read /etc/ppp/options\n", 31},
        {"Failed to open /dev/ttyUSB0: No such file or directory\n", 32},
        {"Device ttyUSB0 is locked by pid 4711\n", 34},
        {"Failed to open /dev/ttyUSB0: Permission denied\n", 35},
        {"pppd: option requires root privilege\n", 36},
        {"Connect script failed\n", 37},
        {"Hangup (SIGHUP)\n", 38},
        {"LCP: timeout sending Config-Requests\n", 41},
    };
    for (auto& row : table) {
        Classified c = classify(row.line, false, true, false);
        EXPECT_EQ(c.error, row.error) << row.line;
        EXPECT_EQ(c.action, row.error ? cn__LINE_ERROR : cn__LINE_NONE) << row.line;
    }
    EXPECT_EQ(classify("Modem hangup\n").action, cn__LINE_NONE) << "only a line that begins so";
    EXPECT_EQ(classify("Using interface ppp0\n").action, cn__LINE_NONE);
    EXPECT_EQ(classify("").action, cn__LINE_NONE);
}

TEST(DialupPhrases, RetriesBeforeErrors) {
    const char* mdv = "pppd: unrecognized option 'replacedefaultroute'\n";
    EXPECT_EQ(classify(mdv).action, cn__LINE_MANDRIVA);
    EXPECT_EQ(classify(mdv, false, false, true).action, cn__LINE_MANDRIVA)
        << "not taken for a bad device path";
    EXPECT_EQ(classify(mdv, true).error, 30) << "assumed already: an unrecognized option";
    Classified c = classify("In file x: pppd: unrecognized option 'replacedefaultroute'\n", true);
    EXPECT_EQ(c.error, 33);

    c = classify("Device ttyUSB0 is locked by pid 4711\n");
    EXPECT_EQ(c.action, cn__LINE_KILLLOCK);
    EXPECT_EQ(c.pid, 4711);
    for (const char* bad :
         {"Device x is locked by pid 0\n", "Device x is locked by pid 1\n",
          "Device x is locked by pid \n", "Device x is locked by pid 99999999999999999999999\n"}) {
        c = classify(bad);
        EXPECT_EQ(c.action, cn__LINE_KILLLOCK) << bad;
        EXPECT_EQ(c.pid, 0) << "no signal to a process group, to init or beyond: " << bad;
    }
    std::string self = "Device x is locked by pid " + std::to_string(getpid()) + "\n";
    EXPECT_EQ(classify(self.c_str()).pid, 0) << "never ourselves";

    EXPECT_EQ(classify("pppd: unrecognized option '/dev/ttyUSB9'\n", false, false, true).action,
              cn__LINE_NEXTPATH);
}

TEST(DialupPhrases, SuccessNeedsInterfaceAuthenticationAndDns) {
    char name[100] = "";
    EXPECT_TRUE(cn__interfacename("Connect: ppp0 <--> /dev/ttyUSB0\n", name, sizeof name));
    EXPECT_STREQ(name, "ppp0");
    EXPECT_TRUE(cn__interfacename("x\nConnect: ppp1\t<-->", name, sizeof name));
    EXPECT_STREQ(name, "ppp1");
    EXPECT_TRUE(cn__interfacename("Connect: wwan0", name, sizeof name));
    EXPECT_STREQ(name, "wwan0");
    for (const char* bad : {"Connect script failed\n", "Connect: \n", "Connect: ../../etc/x <-->",
                            "Connect: a/b <-->", "Connect: .. <-->", " Connect: ppp0 <-->",
                            "Connect: averyveryverylongname0 <-->"}) {
        strMcpy(name, "keep");
        EXPECT_FALSE(cn__interfacename(bad, name, sizeof name)) << bad;
        EXPECT_STREQ(name, "keep");
    }
    EXPECT_TRUE(cn__authenticated("PAP authentication succeeded\n"));
    EXPECT_TRUE(cn__authenticated("CHAP authentication succeeded\n"));
    EXPECT_FALSE(cn__authenticated("PAP authentication failed\n"));
    EXPECT_TRUE(cn__dnsaddress("primary   DNS address 10.0.0.1\n"));
    EXPECT_FALSE(cn__dnsaddress("Ask peer for DNS address(es)\n"));
    EXPECT_TRUE(cn__dnsaddress("DNS address x, DNS address 8"));
}

TEST(DialupPhrases, PidFileAndNumbers) {
    EXPECT_EQ(cn__pidfromtext("4711\n"), 4711);
    EXPECT_EQ(cn__pidfromtext("4711ppp0"), 4711);
    EXPECT_EQ(cn__pidfromtext(" 4711"), 0) << "leading digits only";
    EXPECT_EQ(cn__pidfromtext(""), 0);
    EXPECT_EQ(cn__pidfromtext("0\n"), 0) << "kill(0) would hit our own process group";
    EXPECT_EQ(cn__pidfromtext("1\n"), 0);
    EXPECT_EQ(cn__pidfromtext("3000000000\n"), 0);

    const char* t = " \t 123abc";
    EXPECT_EQ(cn__readlong(&t), 123);
    EXPECT_STREQ(t, "abc");
    EXPECT_EQ(cn__readlong(&t), 0);
    const char* big = "999999999999999999999999 7";
    EXPECT_GT(cn__readlong(&big), 0) << "saturates instead of overflowing";
    const char* m = "57 3";
    EXPECT_EQ(cn__readlongmax(&m), 10);
    EXPECT_EQ(cn__readlongmax(&m), 3);
}

TEST(DialupOutput, LinesFromAPipe) {
    cn__linesplitter s;
    char line[5000];
    s.feed("Using inter", 11);
    EXPECT_FALSE(s.next(line, sizeof line, false)) << "half a line waits for the rest";
    s.feed("face ppp0\nConnect: ppp0", 23);
    ASSERT_TRUE(s.next(line, sizeof line, false));
    EXPECT_STREQ(line, "Using interface ppp0\n");
    EXPECT_FALSE(s.next(line, sizeof line, false));
    ASSERT_TRUE(s.next(line, sizeof line, true)) << "the rest at the end of output";
    EXPECT_STREQ(line, "Connect: ppp0");

    const char nul[] = "Connect: ppp0\0 <-->\n";
    s.feed(nul, sizeof nul - 1);
    ASSERT_TRUE(s.next(line, sizeof line, false));
    EXPECT_STREQ(line, "Connect: ppp0  <-->\n");

    std::string longline(7000, 'z');
    size_t taken = s.feed(longline.data(), longline.size());
    EXPECT_EQ(taken, longline.size());
    ASSERT_TRUE(s.next(line, sizeof line, false));
    EXPECT_EQ(strlen(line), sizeof line - 1) << "an overlong line comes in pieces";
    ASSERT_TRUE(s.next(line, sizeof line, true));
    EXPECT_EQ(strlen(line), 7000 - (sizeof line - 1));
    std::string flood(20000, 'f');
    EXPECT_LT(s.feed(flood.data(), flood.size()), flood.size()) << "bounded buffer";
}

class DialupSession : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        saved_de = _de;
        _de = true;
        programmende_gewuenscht = false;
        ruhestatus = 0;
        cn__active = 0;
        cn__linuxconnectionname[0] = 0;
    }
    void TearDown() override {
        iv_inidefaults();
        _de = saved_de;
        programmende_gewuenscht = false;
        ruhestatus = 0;
        cn__active = 0;
    }
    bool saved_de = true;
    InTempDir tmp;
};

TEST_F(DialupSession, TimeGapOfSixSecondsAsksForReinitialisation) {
    cn__active = 1000;
    EXPECT_FALSE(cn_timegap(1004));
    EXPECT_FALSE(cn_wastimegap());
    EXPECT_TRUE(cn_timegap(1010)) << "6 s after the last activity check";
    EXPECT_TRUE(cn_wastimegap());
    EXPECT_TRUE(cn_timegap(1011)) << "stays detected until the connection is stopped";

    cn_stop(0);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(ruhestatus, 1) << "a pause with restart, not the end";
    EXPECT_EQ(cn__active, 0);
    std::string log = read_file("connlog.txt");
    EXPECT_NE(log.find(" Verbindung unterbrochen.\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Verbindung beendet.\n"), std::string::npos) << log;
}

TEST_F(DialupSession, TimeGapWithEndAtStandbyEndsTheProgram) {
    inidat.endstandby = true;
    cn__active = 500;
    EXPECT_TRUE(cn_timegap(506));
    cn_stop(0);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(ruhestatus, 0);
}

TEST_F(DialupSession, StopWithoutConnectionDoesNothing) {
    inidat.headervoffset = 5;
    cn_stop(2);
    EXPECT_FALSE(exists("connlog.txt"));
    EXPECT_EQ(inidat.headervoffset, 5) << "no kilobyte for a connection that did not exist";
    EXPECT_FALSE(programmende_gewuenscht);
    cn__active = 0;
    EXPECT_FALSE(cn_timegap(12345)) << "no connection, no gap";
}

TEST_F(DialupSession, UserProgramSlotsOfTheConnection) {
    strMcpy(inidat.cmd[0], ",/usr/bin/every");
    strMcpy(inidat.cmd[1], "/usr/bin/first");
    strMcpy(inidat.cmd[2], "|,/usr/bin/atend");
    EXPECT_EQ(cn__stopslots(), 0b101u) << "',' marks, also behind '|'";
    EXPECT_EQ(cn__startslots(false), 0b011u) << "first connect: all but start/end programs";
    EXPECT_EQ(cn__startslots(true), 0b001u) << "later: only those of every connect";
    inidat.sms[0] = 2;
    EXPECT_EQ(cn__stopslots(), 0b100u) << "an SMS-bound slot is left alone";
    EXPECT_EQ(cn__startslots(false), 0b010u);
    strMcpy(inidat.cmd[1], "|/usr/bin/atend");
    EXPECT_EQ(cn__startslots(false), 0u);
}
