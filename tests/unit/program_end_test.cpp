// The end conditions, the interruption path, a pause and a real end in a child process
// whose "sudo" is a fake that only records its arguments.
#include "control/instance_interface.h"
#include "control/program_end.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <sys/sem.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

class End : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record();
        inidat.round = 1; // connection log on
        onlinezeit = offlinezeita = inaktivzeit = 0;
    }
    size_t count(const std::string& file, const std::string& text) {
        std::string s = read_file(file);
        size_t n = 0;
        for (size_t p = s.find(text); p != std::string::npos; p = s.find(text, p + 1)) n++;
        return n;
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

// The inactive time with "disconnect only" is driven by the user programs scenario.
TEST_F(End, OnlineLimitWithDisconnectOnlyKeepsRunningAndIsReportedOnce) {
    inidat.end = 1;
    inidat.endverb = true;
    inidat.endforce = true;
    inidat.constart = true;
    onlinezeit = 6000;
    EXPECT_FALSE(programmende(false));
    EXPECT_FALSE(inidat.constart);
    EXPECT_EQ(unterbrechung_gewuenscht, 0) << "the interruption was carried out";
    // The next waiting point comes before the statistics have polled again.
    EXPECT_FALSE(programmende(false));
    EXPECT_EQ(count("connlog.txt", " 1 minutes maximum online time expired."), 1u);
    EXPECT_FALSE(programmende_gewuenscht);

    ruhestatus = 2; // a pause under way: nothing happens
    EXPECT_FALSE(programmende(true));
    EXPECT_FALSE(programmende_gewuenscht);
}

// A pause keeps the instance flag; an end asked for while a pause is pending ends for good,
// with the shutdown it allows.
TEST_F(End, PauseKeepsTheFlagAndAPendingPauseGivesWayToTheEnd) {
    std::string bin = tmp.path() + "/bin";
    mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/sudo") << "#!/bin/sh\nprintf '%s|' \"$@\" >>" << tmp.path()
                                 << "/sudo.calls\necho ok\n";
    chmod((bin + "/sudo").c_str(), 0755);
    const unsigned long flag = aktivsignal;
    aktivsignal = 0x3B000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
        inidat.funktion = 9;
        fl_set(aktivsignal);
        ruhestatus = 1;
        if (!programmende(true) || ruhestatus != 3) _exit(3);
        if (fl_holder(aktivsignal) != getpid()) _exit(4);
        ruhestatus = 1; // another cause of a pause, while the end is asked for
        inidat.endshutdown = 1;
        shutdownerlaubt = true;
        programmende_endgueltig();
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(semget(static_cast<key_t>(aktivsignal), 0, 0), 0) << "cleared at the end";
    aktivsignal = flag;
    EXPECT_EQ(count("servilog.txt", "mavlyn paused. Standby."), 1u);
    EXPECT_EQ(count("servilog.txt", "mavlyn terminated."), 1u);
    EXPECT_EQ(read_file("sudo.calls"),
              "shutdown|-P|1|Shutdown initiated by mavlyn. See file mavlyn.ini, parameter END=S or "
              "END=R|");
    EXPECT_EQ(count("connlog.txt", " Shutdown initiated."), 1u);
}
