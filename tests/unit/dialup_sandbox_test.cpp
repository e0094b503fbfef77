// Connection start and end through the fake pppd, driven by tests/e2e/test_dialup.sh inside
// the scenario sandbox (private /run, network namespace, simulated modem on /dev/ttyUSB0),
// which also checks the logs each case leaves. Outside the sandbox these cases are skipped:
// they start "pppd" from PATH.
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <csignal>

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

// Both directions of the link as the kernel counts them now.
long link_bytes() {
    std::string dev = read_file("/proc/net/dev");
    long tx = 0, rx = 0;
    EXPECT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp0", &tx, &rx, nullptr), 1);
    return tx + rx;
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
    const long burst = link_bytes() - counted;
    EXPECT_GT(burst, 2 * 20 * 1000);
    cn_stop(0);
    EXPECT_EQ(volume() - before, burst);
    EXPECT_STREQ(cn__linuxconnectionname, "");
    expect_pppd_ended();
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

// Starts as the fake pppd allows them (FAKE_PPPD_* of the scenario): a stale lock, an unknown
// replacedefaultroute (left out at once from the second start on), a link that fails.
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
