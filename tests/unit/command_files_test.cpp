// Command words from files and the shared record, and the user programs with their marks.
#include "control/command_files.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <csignal>

namespace {

class Commands : public ::testing::Test {
  protected:
    void SetUp() override { fresh_record(); }
    void TearDown() override {
        mvlior = nullptr;
        mvliow = nullptr;
        mvlior_rw = false;
        for (int i = 0; i < 3; i++) sp_stop(i);
    }
    // The pid a test program wrote into NAME.pid, once it is there.
    pid_t pid_of(const std::string& name) {
        for (int i = 0; i < 200 && read_file(name + ".pid").empty(); i++) msleep(20);
        return static_cast<pid_t>(atol(read_file(name + ".pid").c_str()));
    }
    static bool alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }
    mvlio_t record{};
    InTempDir tmp;
};

// A program that writes its pid and then runs until it is ended; "ignore" ignores SIGTERM
// (and so does the sleep it starts, which must go with it).
std::string program(const char* name, bool ignore = false) {
    return std::string(ignore ? "trap '' TERM; " : "") + "echo $$ > " + name +
           ".pid; while :; do sleep 1; done";
}

} // namespace

TEST(CommandMarks, PositionsAndPredecessors) {
    EXPECT_TRUE(sp_ishidden(";!/usr/bin/prog"));
    EXPECT_FALSE(sp_ishidden("!;/usr/bin/prog")) << "';' after '!' is no mark position";
    EXPECT_STREQ(sp_cstart("!;/usr/bin/prog"), "/usr/bin/prog");
    EXPECT_TRUE(sp_ateveryconnect("|,x"));
    EXPECT_FALSE(sp_ateveryconnect("!,x"));
    EXPECT_TRUE(sp_atend(";,|x"));
    EXPECT_FALSE(sp_atend("x|"));
    EXPECT_STREQ(sp_cstart(",;|!"), "");
    EXPECT_TRUE(sp__stoppable(";!x") && sp__stoppable(",x"));
    EXPECT_FALSE(sp__stoppable("|x") || sp__stoppable("x") || sp__stoppable(";x"));
}

TEST_F(Commands, FilesOnlyWhenAskedAndTheSharedRecordAlways) {
    write_file("mavlyn_END", "");
    dateikommandoholen(false);
    EXPECT_FALSE(programmende_gewuenscht);
    EXPECT_TRUE(exists("mavlyn_END"));

    mvlior = mvliow = &record;
    mvlior_rw = true;
    strcpy(record.command, "MAVLYN_reconnect"); // in any case
    dateikommandoholen(false);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_STREQ(record.command, "");
    EXPECT_STREQ(cc_mtext[1], "+External command received.");

    char prog[] = "/opt/mavlyn/mavlyn";
    char* argv[] = {prog, nullptr};
    _argc = 1; // both put back after the test
    _argv = argv;
    strcpy(record.command, "mavlyn_path");
    dateikommandoholen(false);
    EXPECT_STREQ(record.answer, "/opt/mavlyn/mavlyn");
    EXPECT_STREQ(record.command, "");
}

TEST_F(Commands, StopMarksEndTheirProgramsWithoutWaitingForThem) {
    sp_start(0, ("!" + program("stubborn", true)).c_str());
    sp_start(1, ("," + program("polite")).c_str());
    sp_start(2, program("free").c_str());
    pid_t stubborn = pid_of("stubborn"), polite = pid_of("polite"), free = pid_of("free");
    ASSERT_TRUE(alive(stubborn) && alive(polite) && alive(free));

    EXPECT_TRUE(sp_stop(0));
    EXPECT_FALSE(alive(stubborn)) << "SIGTERM is ignored: SIGKILL follows";
    EXPECT_TRUE(sp_stop(1));
    EXPECT_FALSE(alive(polite));
    EXPECT_FALSE(sp_stop(1)) << "nothing left in the slot";
    EXPECT_TRUE(sp_stop(2)) << "a program without a stop mark is let go";
    EXPECT_TRUE(alive(free)) << "and runs on";
    kill(free, SIGKILL);

    sp_start(5, "!echo no > bad.txt");
    sp_start(0, "!;,");
    EXPECT_FALSE(sp_stop(0));
    EXPECT_FALSE(exists("bad.txt"));
}
