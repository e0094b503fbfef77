// Command words from files and the shared record, and the user programs with their marks.
#include "control/command_files.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "test_support.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        memset(&record, 0, sizeof record);
    }
    void TearDown() override {
        mvlior = nullptr;
        mvliow = nullptr;
        mvlior_rw = false;
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        sp__startedatstart = started_;
        for (int i = 0; i < 3; i++) sp_stop(i);
        iv_inidefaults();
    }
    void write(const char* name, const std::string& content) { std::ofstream(name) << content; }
    // The pid a test program wrote into NAME.pid, once it is there.
    pid_t pid_of(const std::string& name) {
        for (int i = 0; i < 200 && read_file(name + ".pid").empty(); i++) msleep(20);
        return static_cast<pid_t>(atol(read_file(name + ".pid").c_str()));
    }
    static bool alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }
    mvlio_t record;
    InTempDir tmp;
    bool started_ = sp__startedatstart;
};

// A program that writes its pid and then runs until it is ended; "ignore" ignores SIGTERM
// (and so does the sleep it starts, which must go with it).
std::string program(const char* name, bool ignore = false) {
    return std::string(ignore ? "trap '' TERM; " : "") + "echo $$ > " + name +
           ".pid; while :; do sleep 1; done";
}

} // namespace

TEST(CommandMarks, PositionsAndPredecessors) {
    EXPECT_TRUE(sp_atstart(";!/usr/bin/prog"));
    EXPECT_TRUE(sp_ishidden(";!/usr/bin/prog"));
    EXPECT_TRUE(sp_atstart("!;/usr/bin/prog"));
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

TEST_F(Commands, FilesAndTheSharedRecord) {
    write("mavlyn_END", "");
    write("mavlyn_CONNECT", std::string(30, 'x')); // too big: stays and is ignored
    inidat.constart = false;
    dateikommandoholen(false);
    EXPECT_FALSE(programmende_gewuenscht) << "files only when asked to read them";
    dateikommandoholen(true);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_FALSE(exists("mavlyn_END"));
    EXPECT_TRUE(exists("mavlyn_CONNECT"));
    EXPECT_FALSE(inidat.constart);
    EXPECT_STREQ(cc_mtext[1], "+File command received.");

    // A front end's command, in any case, is carried out and cleared.
    mvlior = mvliow = &record;
    mvlior_rw = true;
    strcpy(record.command, "MAVLYN_reconnect");
    dateikommandoholen(false);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_STREQ(record.command, "");
    EXPECT_STREQ(cc_mtext[1], "+External command received.");

    char prog[] = "/opt/mavlyn/mavlyn";
    char* argv[] = {prog, nullptr};
    int oldc = _argc;
    char** oldv = _argv;
    _argc = 1;
    _argv = argv;
    strcpy(record.command, "mavlyn_path");
    dateikommandoholen(false);
    _argc = oldc;
    _argv = oldv;
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

TEST_F(Commands, AtStartProgramsRunOncePerRun) {
    sp__startedatstart = false;
    strcpy(inidat.cmd[0], ("!" + program("once")).c_str());
    strcpy(inidat.cmd[1], "!echo sms >> sms.txt");
    inidat.sms[1] = 1; // started by SMS only
    sp_startatstart();
    pid_t first = pid_of("once");
    sp_startatstart(); // a restart after a pause
    EXPECT_EQ(pid_of("once"), first);
    EXPECT_TRUE(alive(first));
    EXPECT_FALSE(exists("sms.txt"));
}

TEST_F(Commands, AtFileSendsItsFirstLineToTheModem) {
    ModemSim sim({"--profile", "generic"});
    ASSERT_TRUE(sim.ready());
    cm_ini();
    ASSERT_TRUE(cm_open(sim.port(0).c_str(), 0));
    write("apn.at", "AT+CGDCONT=1,\"IP\",\"web.vodafone.de\"\r\nATZ\r\n");
    sp_start(2, ",apn.at");
    EXPECT_FALSE(sp_stop(2)) << "no program for an .at file";
    sp_start(2, ",missing.at");
    msleep(300);
    std::string heard = sim.transcript();
    EXPECT_NE(heard.find("0\tAT+CGDCONT=1,\"IP\",\"web.vodafone.de\"\n"), std::string::npos)
        << heard;
    EXPECT_EQ(heard.find("ATZ"), std::string::npos) << "only the first line";
    cm_postini();
}
