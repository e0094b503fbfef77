// The end conditions, and a pause and a real end in a child whose "sudo" is a fake.
#include "control/instance_interface.h"
#include "control/program_end.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "sms_test_support.h"
#include "test_support.h"

#include <sys/sem.h>
#include <sys/wait.h>

TEST(EndConditions, OrderAndLimits) {
    EXPECT_EQ(pe__endcondition(false, true, true, 0, 0, 0, 10, 30, true), pe__RESTARTED);
    EXPECT_EQ(pe__endcondition(false, false, false, 0, 59999, 0, 10, 0, false), pe__NONE);
    EXPECT_EQ(pe__endcondition(false, false, true, 0, 600000, 0, 10, 0, false), pe__NONE)
        << "connected";
    EXPECT_EQ(pe__endcondition(false, false, true, 180000, 0, 0, 0, 30, true), pe__ONLINETIME);
    EXPECT_EQ(pe__endcondition(false, false, true, 180000, 0, 179999, 0, 30, false), pe__NONE);
}

// A pause keeps the instance flag; an end asked for during a pause ends for good.
TEST(End, PauseKeepsTheFlagAndAPendingPauseGivesWayToTheEnd) {
    InTempDir tmp;
    FakeCommands sudo(tmp.path(), {"sudo"}, "ok");
    fresh_record();
    aktivsignal = 0x3B000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
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
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_LT(semget(static_cast<key_t>(aktivsignal), 0, 0), 0) << "cleared at the end";
    const std::string log = read_file("servilog.txt");
    EXPECT_EQ(count(log, "mavlyn paused. Standby."), 1u);
    EXPECT_EQ(count(log, "mavlyn terminated."), 1u);
    EXPECT_EQ(count(sudo.calls(), "sudo shutdown -P 1 "), 1u);
}
