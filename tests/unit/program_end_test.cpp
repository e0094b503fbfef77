// The end conditions, the shutdown command, the interruption path, and a real end in a child
// process whose "sudo" is a fake that only records its arguments.
#include "config/config_record.h"
#include "control/program_end.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class End : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        MODUS('P') = 1;
        inidat.round = 1; // connection log on
        ruhestatus = 0;
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        shutdownerlaubt = false;
        onlinezeit = offlinezeita = inaktivzeit = 0;
    }
    void TearDown() override {
        ruhestatus = 0;
        programmende_gewuenscht = false;
        iv_inidefaults();
    }
    InTempDir tmp;
};

} // namespace

TEST(EndConditions, OrderAndLimits) {
    EXPECT_EQ(pe__endcondition(false, true, true, 0, 0, 0, 10, 30, true), pe__RESTARTED);
    EXPECT_EQ(pe__endcondition(true, true, true, 0, 0, 0, 0, 0, false), pe__NONE)
        << "the CONTROL role ignores a new instance";
    EXPECT_EQ(pe__endcondition(false, false, false, 0, 60000, 0, 10, 0, false), pe__NOCONNECTION);
    EXPECT_EQ(pe__endcondition(false, false, false, 0, 59999, 0, 10, 0, false), pe__NONE);
    EXPECT_EQ(pe__endcondition(false, false, true, 0, 600000, 0, 10, 0, false), pe__NONE)
        << "connected";
    EXPECT_EQ(pe__endcondition(false, false, true, 180000, 0, 0, 0, 30, true), pe__ONLINETIME);
    EXPECT_EQ(pe__endcondition(false, false, true, 180000, 0, 179999, 0, 30, false), pe__NONE);
    EXPECT_EQ(pe__endcondition(false, false, true, 0, 0, 180000, 0, 30, false), pe__INACTIVETIME);
}

TEST(EndConditions, ShutdownCommand) {
    EXPECT_EQ(pe__shutdowncommand(false, false),
              "sudo shutdown -P 1 \"Shutdown initiated by mavlyn. See file mavlyn.ini, parameter "
              "END=S or END=R\" &");
    EXPECT_EQ(pe__shutdowncommand(true, true),
              "sudo shutdown -r 1 \"Reboot initiiert von mavlyn. Siehe Datei mavlyn.ini, Parameter "
              "END=S oder END=R\" &");
}

TEST_F(End, InactivityWithDisconnectOnlyKeepsRunning) {
    inidat.end = 30;
    inidat.endverb = true;
    inidat.constart = true;
    inaktivzeit = 180000;
    EXPECT_FALSE(programmende(false));
    EXPECT_FALSE(programmende_gewuenscht);
    EXPECT_FALSE(inidat.constart);
    EXPECT_EQ(unterbrechung_gewuenscht, 0) << "the interruption was carried out";
    EXPECT_FALSE(shutdownerlaubt);
    EXPECT_NE(read_file("connlog.txt").find(" 30 minutes maximum inactive time expired."),
              std::string::npos);
    // The next waiting point comes before the statistics have polled again: the limit that
    // was just carried out is not reported and carried out a second time.
    inidat.constart = true;
    EXPECT_FALSE(programmende(false));
    EXPECT_TRUE(inidat.constart);
    std::string connlog = read_file("connlog.txt");
    size_t first = connlog.find("maximum inactive time expired.");
    EXPECT_EQ(connlog.find("maximum inactive time expired.", first + 1), std::string::npos)
        << connlog;
}

TEST_F(End, OnlineTimeWithDisconnectOnlyIsReportedOnce) {
    inidat.end = 1;
    inidat.endforce = true;
    inidat.endverb = true;
    onlinezeit = 6000;
    EXPECT_FALSE(programmende(false));
    EXPECT_FALSE(programmende(false));
    std::string connlog = read_file("connlog.txt");
    ASSERT_NE(connlog.find(" 1 minutes maximum online time expired."), std::string::npos);
    size_t first = connlog.find("maximum online time expired.");
    EXPECT_EQ(connlog.find("maximum online time expired.", first + 1), std::string::npos)
        << connlog;
    EXPECT_FALSE(programmende_gewuenscht);
}

TEST_F(End, NothingHappensDuringAPause) {
    ruhestatus = 2;
    EXPECT_FALSE(programmende(true));
    EXPECT_FALSE(programmende_gewuenscht);
}

TEST_F(End, NoConnectionEndsAndShutsDownThroughSudo) {
    std::string bin = tmp.path() + "/bin";
    mkdir(bin.c_str(), 0755);
    {
        std::ofstream f(bin + "/sudo");
        f << "#!/bin/sh\nprintf '%s|' \"$@\" >>" << tmp.path() << "/sudo.calls\necho ok\n";
    }
    chmod((bin + "/sudo").c_str(), 0755);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
        inidat.err[ERR_NOC] = 10;
        inidat.endshutdown = 1;
        offlinezeita = 60000;
        programmende(false);
        _exit(3); // not reached: the end exits by itself
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file("sudo.calls"),
              "shutdown|-P|1|Shutdown initiated by mavlyn. See file mavlyn.ini, parameter END=S or "
              "END=R|");
    std::string connlog = read_file("connlog.txt");
    EXPECT_NE(connlog.find(" 10 minutes without functioning connection."), std::string::npos);
    EXPECT_NE(connlog.find(" Shutdown initiated."), std::string::npos);
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("mavlyn terminated."), std::string::npos);
}
