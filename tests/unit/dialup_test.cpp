// The pppd command line, pppd's output, and connections through the fake pppd.
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <csignal>

namespace {

std::string command(const std::string& path, const std::string& file, bool mdv = false,
                    bool dump = false) {
    char out[cn__COMMANDLEN] = "junk";
    cn__buildcommand(out, sizeof out, path.c_str(), file.c_str(), mdv, dump);
    return out;
}

std::string login(const std::string& user, const std::string& pass) {
    char out[1100] = "junk";
    cn__loginoptions(out, sizeof out, user.c_str(), pass.c_str());
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

TEST(DialupCommandLine, OptionsQuotingAndLimits) {
    EXPECT_EQ(command("/dev/ttyUSB1", "/home/u/mavlyn/.pppd_login"),
              "pppd '/dev/ttyUSB1' file '/home/u/mavlyn/.pppd_login' crtscts lock usepeerdns "
              "noipdefault defaultroute replacedefaultroute nodetach child-timeout 5 connect "
              "'chat \"\" atd*99#' 2>&1");
    EXPECT_NE(command("/dev/x", "/f", true, true)
                  .find(" defaultroute nodetach child-timeout 5 dump connect "),
              std::string::npos);
    EXPECT_EQ(command("", "/f").rfind("pppd '/dev/ttyUSB0' file '/f' ", 0), 0u);
    // What sh makes of hostile values: exactly the two values as single words.
    std::string c = command("/dev/tty'; touch /tmp/x; '", "/h/a b;$(id)`x`");
    std::string probe = "set -- " + c.substr(5, c.find(" crtscts") - 5) +
                        "; printf '%s|' \"$1\" \"$2\" \"$3\" \"$4\"";
    FILE* f = popen(probe.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[300] = "";
    ASSERT_NE(fgets(buf, sizeof buf, f), nullptr);
    pclose(f);
    EXPECT_STREQ(buf, "/dev/tty'; touch /tmp/x; '|file|/h/a b;$(id)`x`||");
    EXPECT_EQ(command("/dev/" + std::string(790, 'd'), "/f"), "")
        << "no line rather than a cut one";
}

TEST(DialupCommandLine, LoginOptionsFileHoldsUserAndPasswordAsPppdWords) {
    EXPECT_EQ(login("web", "secret"), "user \"web\"\npassword \"secret\"\n");
    EXPECT_EQ(login("", ""), "user \"a\"\npassword \"" cn__NOPASSWORD "\"\n");
    // Quotes, backslashes and line ends cannot end a word or start another option.
    EXPECT_EQ(login("a\"b", "p\\q\nnoauth #x"),
              "user \"a\\\"b\"\npassword \"p\\\\q\\012noauth #x\"\n");
    // User and password of 500 characters together: no login, as no line would fit.
    std::string user(250, 'u'), pass(250, 'p');
    EXPECT_EQ(login(user, pass), "");
    pass.pop_back();
    EXPECT_NE(login(user, pass).find(pass), std::string::npos);
}

TEST(DialupCommandLine, OnlyAPppdOfOurUserIsEndedForItsLock) {
    const std::tuple<const char*, const char*, bool> table[] = {
        {"pppd\n", "Name:\tpppd\nUid:\t1000\t0\t0\t0\n", true},           // set-user-id root
        {"pppd\n", "Name:\tpppd\nUid:\t1001\t1000\t1000\t1000\n", false}, // another user's
        {"pppd\n", "Name:\tpppd\nUid:\t10000\t1000\t1000\t1000\n", false},
        {"pppd2\n", "Name:\tpppd2\nUid:\t1000\t1000\t1000\t1000\n", false},
        {"", "", false}, // the process has gone
    };
    for (auto [comm, status, ours] : table)
        EXPECT_EQ(cn__ownpppd(comm, status, 1000), ours) << comm << status;
}

// The error numbers the connection log shows; 30, 34 and 41 are test_dialup.sh's.
TEST(DialupPhrases, ErrorNumbers) {
    const std::pair<const char*, int> table[] = {
        {"Usage: pppd [ options ], where options are:\n", 29},
        {"Cannot read /etc/ppp/options\n", 31},
        {"Failed to open /dev/ttyUSB0: No such file or directory\n", 32},
        {"Failed to open /dev/ttyUSB0: Permission denied\n", 35},
        {"pppd: option requires root privilege\n", 36},
        {"Connect script failed\n", 37},
        {"Hangup (SIGHUP)\n", 38},
        {"Modem hangup\n", 0}, // only a line that begins so
        {"Using interface ppp0\n", 0}};
    for (auto [line, error] : table) {
        Classified c = classify(line, false, true, false);
        EXPECT_EQ(c.error, error) << line;
        EXPECT_EQ(c.action, error ? cn__LINE_ERROR : cn__LINE_NONE) << line;
    }
}

TEST(DialupPhrases, RetriesBeforeErrors) {
    const char* mdv = "pppd: unrecognized option 'replacedefaultroute'\n";
    EXPECT_EQ(classify(mdv, false, false, true).action, cn__LINE_MANDRIVA)
        << "not taken for a bad device path";
    EXPECT_EQ(classify(mdv, true).error, 30) << "assumed already: an unrecognized option";
    EXPECT_EQ(classify("In file x: pppd: unrecognized option 'replacedefaultroute'\n", true).error,
              33);
    for (std::string pid : {std::string("0"), std::string("1"), std::string(),
                            std::string("99999999999999999999"), std::to_string(getpid())})
        EXPECT_EQ(classify(("Device x is locked by pid " + pid + "\n").c_str()).pid, 0)
            << "no signal to a group, init, beyond or us: " << pid;
}

TEST(DialupPhrases, ConnectedOnceInterfaceAndAddressAreKnown) {
    // The lines, and the index of the one that completes the connection (-1 never).
    const std::tuple<const char*, std::vector<const char*>, int> table[] = {
        {"DNS first", {"Connect: wwan0 <-->", "primary   DNS address 8.8.8.8\n"}, 1},
        {"address before the interface",
         {"local  IP address 10.0.0.2\n", "x\nConnect: ppp1\t<-->"},
         1},
        {"authentication refused",
         {"Connect: ppp0 <--> /dev/ttyUSB0\n", "PAP authentication failed\n",
          "Ask peer for DNS address(es)\n", "remote IP address 10.0.0.1\n"},
         -1},
        {"no usable interface name",
         {"Connect: ../../etc/x <-->", "Connect: a/b <-->", " Connect: ppp0 <-->",
          "Connect: averyveryverylongname0 <-->", "Connect script failed\n",
          "local  IP address 10.0.0.2\n"},
         -1},
    };
    for (auto& [what, lines, connected_at] : table) {
        char name[100] = "";
        bool addressed = false;
        int at = -1;
        for (size_t i = 0; i < lines.size() && at < 0; i++)
            if (cn__established(lines[i], name, sizeof name, &addressed)) at = static_cast<int>(i);
        EXPECT_EQ(at, connected_at) << what;
    }
}

TEST(DialupPhrases, PidFileAndNumbers) {
    const std::pair<const char*, int> pids[] = {
        {"4711\n", 4711}, {"4711ppp0", 4711}, {" 4711", 0},       {"", 0},
        {"0\n", 0},       {"1\n", 0},         {"3000000000\n", 0}};
    for (auto [text, pid] : pids) EXPECT_EQ(cn__pidfromtext(text), pid) << text;
    const char* t = " \t 123abc";
    EXPECT_EQ(cn__readlong(&t), 123);
    EXPECT_STREQ(t, "abc");
    const char* big = "999999999999999999999999 57";
    EXPECT_GT(cn__readlong(&big), 0) << "saturates instead of overflowing";
}

TEST(DialupOutput, LinesFromAPipe) {
    cn__linesplitter s;
    char line[5000];
    const char nul[] = "Connect: ppp0\0 <-->\n";
    s.feed(nul, sizeof nul - 1);
    ASSERT_TRUE(s.next(line, sizeof line, false));
    EXPECT_STREQ(line, "Connect: ppp0  <-->\n");
    std::string longline(7000, 'z');
    EXPECT_EQ(s.feed(longline.data(), longline.size()), longline.size());
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
        fresh_record("");
        _de = true;
        ruhestatus = cn__active = 0;
        cn__linuxconnectionname[0] = 0;
    }
    SavedValues keep{cn__active, cn__linuxconnectionname};
    InTempDir tmp;
};

TEST_F(DialupSession, AStopWithoutConnectionIsNothingAndATimeGapEndsTheProgram) {
    inidat.endstandby = true;
    inidat.headervoffset = 5;
    cn_stop(2);
    EXPECT_FALSE(exists("connlog.txt")) << "no connection, nothing to stop";
    EXPECT_EQ(inidat.headervoffset, 5) << "no kilobyte for a connection that did not exist";
    EXPECT_FALSE(programmende_gewuenscht || cn_timegap(12345));
    cn__active = 1000;
    EXPECT_FALSE(cn_timegap(1004));
    EXPECT_FALSE(cn_wastimegap());
    EXPECT_TRUE(cn_timegap(1010)) << "6 s after the last activity check";
    EXPECT_TRUE(cn_timegap(1011)) << "stays detected until the connection is stopped";
    cn_stop(0);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(ruhestatus, 0) << "the end, not a pause";
    EXPECT_EQ(cn__active, 0);
    EXPECT_NE(read_file("connlog.txt").find(" Verbindung beendet.\n"), std::string::npos);
}

TEST_F(DialupSession, ProgramSlotBoundToAnSmsIsLeftAlone) {
    strMcpy(inidat.cmd[0], ",/usr/bin/every");
    strMcpy(inidat.cmd[1], "/usr/bin/first");
    strMcpy(inidat.cmd[2], "|,/usr/bin/atend");
    inidat.sms[0] = 2;
    EXPECT_EQ(cn__stopslots(), 0b100u);
    EXPECT_EQ(cn__startslots(false), 0b010u);
}

// Driven by tests/e2e/test_dialup.sh, which also checks the logs; skipped elsewhere.
namespace {

class DialupSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* work = getenv("DIALUP_WORK");
        // Only there the fake pppd comes first in PATH: the real one must never run here.
        if (!getenv("SB") || !work) GTEST_SKIP() << "runs inside tests/e2e/test_dialup.sh";
        ASSERT_EQ(chdir(work), 0);
        fresh_record();
        strMcpy(inidat.con, "/dev/ttyUSB7,/dev/ttyUSB0");
        strMcpy(inidat.conname, "web");
        strMcpy(inidat.conpass, "web");
        inidat.constart = verbindenverboten = false;
        inidat.round = inidat.roundt = 1;
        ruhestatus = 0;
    }
};

void poll() {
    long up, down, kb;
    msleep(1100);
    cn_statistics(&up, &down, &kb);
}

long volume() {
    return inidat.headerv * 1000 + inidat.headervoffset;
}

void expect_pppd_ended() {
    for (int i = 0; i < 50 && exists("/var/run/ppp0.pid"); i++) msleep(100);
    EXPECT_FALSE(exists("/var/run/ppp0.pid")) << "pppd ended through its pid file";
}

} // namespace

TEST_F(DialupSandbox, BurstBeforeTheDisconnectIsCountedToTheByte) {
    cn_start();
    ASSERT_STREQ(cn__linuxconnectionname, "ppp0");
    ASSERT_TRUE(cn_isactive());
    poll();
    const long before = volume(), counted = cn__statistiksbytes + cn__statistikrbytes;
    // Traffic through the link, to the peer end in a namespace of its own, with no poll after.
    ASSERT_EQ(system("ping -q -c 20 -i 0.01 -s 1000 -I ppp0 10.0.0.1 >/dev/null 2>&1"), 0);
    std::string dev = read_file("/proc/net/dev");
    long tx = 0, rx = 0;
    ASSERT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp0", &tx, &rx, nullptr), 1);
    const long burst = tx + rx - counted;
    EXPECT_GT(burst, 2 * 20 * 1000);
    cn_stop(0);
    EXPECT_EQ(volume() - before, burst);
    EXPECT_STREQ(cn__linuxconnectionname, "");
    expect_pppd_ended();
}

TEST_F(DialupSandbox, DroppedLinkIsClosedWithoutAutomaticConnecting) {
    cn_start();
    ASSERT_STREQ(cn__linuxconnectionname, "ppp0");
    kill(static_cast<pid_t>(atol(read_file("/var/run/ppp0.pid").c_str())), SIGTERM);
    for (int i = 0; i < 50 && cn_isactive(); i++) msleep(100);
    poll();
    EXPECT_EQ(cn__active, 0);
    EXPECT_FALSE(programmende_gewuenscht) << "a dropped link is no stand-by";
    EXPECT_STREQ(cn__linuxconnectionname, "");
}

// As the scenario's FAKE_PPPD_* allow.
TEST_F(DialupSandbox, StaleLockIsKilledOnce) {
    EXPECT_EQ(cn_linuxconnect(21), 0);
    EXPECT_STREQ(cn__linuxconnectionname, "ppp0");
    cn_linuxconnect(22);
}

TEST_F(DialupSandbox, UnknownReplaceDefaultRouteIsLeftOut) {
    for (int start = 0; start < 2; start++) {
        EXPECT_EQ(cn_linuxconnect(21), 0) << start;
        cn_linuxconnect(22);
    }
}

TEST_F(DialupSandbox, LinkFailureIsAnErrorNumber) {
    EXPECT_EQ(cn_linuxconnect(21), 41);
    expect_pppd_ended();
}

TEST_F(DialupSandbox, FourFailedStartsPauseTheSession) {
    strMcpy(inidat.con, "/dev/ttyUSB7");
    for (int i = 0; i < 3; i++) {
        cn_start();
        EXPECT_FALSE(programmende_gewuenscht) << "attempt " << i + 1;
    }
    cn_start();
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(ruhestatus, 1);
}

TEST_F(DialupSandbox, LockOfAnotherProgramIsLeftAlone) {
    EXPECT_EQ(cn_linuxconnect(21), 34);
}
