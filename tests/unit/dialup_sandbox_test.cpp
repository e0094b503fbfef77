// Connection start and end through the fake pppd, driven by tests/e2e/test_dialup.sh inside
// the scenario sandbox (private /run, network namespace, simulated modem on /dev/ttyUSB0).
// Outside the sandbox these cases are skipped: they start "pppd" from PATH.
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

class DialupSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* work = getenv("DIALUP_WORK");
        // Only there the fake pppd comes first in PATH: the real one must never run here.
        if (!getenv("SB") || !work) GTEST_SKIP() << "runs inside tests/e2e/test_dialup.sh";
        ASSERT_EQ(chdir(work), 0);
        iv_inidefaults();
        MODUS('P') = 1;
        _de = false;
        strMcpy(inidat.con, "/dev/ttyUSB7,/dev/ttyUSB0");
        strMcpy(inidat.conname, "web");
        strMcpy(inidat.conpass, "web");
        inidat.constart = false;
        inidat.round = inidat.roundt = 1;
        verbindenverboten = programmende_gewuenscht = false;
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

// The link's counters as the kernel has them now.
void counters(long* tx, long* rx) {
    std::string dev = read_file("/proc/net/dev");
    ASSERT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp0", tx, rx, nullptr), 1);
}

} // namespace

TEST_F(DialupSandbox, BurstBeforeTheDisconnectIsCountedToTheByte) {
    cn_start();
    ASSERT_STREQ(cn__linuxconnectionname, "ppp0");
    ASSERT_TRUE(cn_isactive());
    poll();
    const long before = volume(), tx = cn__statistiksbytes, rx = cn__statistikrbytes;
    // Traffic through the link, to the peer end in a namespace of its own, with no poll after.
    ASSERT_EQ(system("ping -q -c 20 -i 0.01 -s 1000 -I ppp0 10.0.0.1 >/dev/null 2>&1"), 0);
    long sent = 0, received = 0;
    counters(&sent, &received);
    sent -= tx;
    received -= rx;
    EXPECT_GT(sent, 20 * 1000);
    EXPECT_GT(received, 20 * 1000);
    cn_stop(0);
    EXPECT_EQ(volume() - before, sent + received);
    EXPECT_STREQ(cn__linuxconnectionname, "");
    for (int i = 0; i < 50 && exists("/var/run/ppp0.pid"); i++) msleep(100);
    EXPECT_FALSE(exists("/var/run/ppp0.pid")) << "pppd ended through its pid file";
}

TEST_F(DialupSandbox, DroppedLinkIsClosedWithoutAutomaticConnecting) {
    cn_start();
    ASSERT_STREQ(cn__linuxconnectionname, "ppp0");
    const long before = volume();
    kill(static_cast<pid_t>(atol(read_file("/var/run/ppp0.pid").c_str())), SIGTERM);
    for (int i = 0; i < 50 && cn_isactive(); i++) msleep(100);
    poll();
    EXPECT_EQ(cn__active, 0);
    EXPECT_FALSE(programmende_gewuenscht) << "a dropped link is no stand-by";
    EXPECT_STREQ(cn__linuxconnectionname, "");
    EXPECT_EQ(volume() - before, 1000) << "a connection counts at least one kilobyte";
}

TEST_F(DialupSandbox, StaleLockIsKilledOnce) {
    EXPECT_EQ(cn_linuxconnect(21), 0);
    EXPECT_STREQ(cn__linuxconnectionname, "ppp0");
    cn_linuxconnect(22);
}

TEST_F(DialupSandbox, UnknownReplaceDefaultRouteIsLeftOut) {
    EXPECT_EQ(cn_linuxconnect(21), 0);
    cn_linuxconnect(22);
    EXPECT_EQ(cn_linuxconnect(21), 0) << "later starts leave it out at once";
    cn_linuxconnect(22);
}

TEST_F(DialupSandbox, LinkFailureIsAnErrorNumber) {
    EXPECT_EQ(cn_linuxconnect(21), 41);
    for (int i = 0; i < 50 && exists("/var/run/ppp0.pid"); i++) msleep(100);
    EXPECT_FALSE(exists("/var/run/ppp0.pid"));
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
