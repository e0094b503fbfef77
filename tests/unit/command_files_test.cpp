// Command words from files and the shared record, and the user programs with their marks.
#include "config/config_record.h"
#include "control/command_files.h"
#include "control/instance_interface.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        memset(&record, 0, sizeof record);
    }
    void TearDown() override {
        mvlior = nullptr;
        mvliow = nullptr;
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
    }
    void write(const char* name, const std::string& content) { std::ofstream(name) << content; }
    bool exists(const char* name) { return access(name, F_OK) == 0; }
    mvlio_t record;
    InTempDir tmp;
};

} // namespace

TEST(CommandMarks, PositionsAndPredecessors) {
    EXPECT_TRUE(sp_atstart(";!/usr/bin/prog"));
    EXPECT_TRUE(sp_ishidden(";!/usr/bin/prog"));
    EXPECT_TRUE(sp_atstart("!;/usr/bin/prog"));
    EXPECT_FALSE(sp_ishidden("!;/usr/bin/prog")) << "';' after '!' is no mark position";
    EXPECT_STREQ(sp_cstart("!;/usr/bin/prog"), "/usr/bin/prog");
    EXPECT_TRUE(sp_ateveryconnect(",x.at"));
    EXPECT_TRUE(sp_ateveryconnect("|,x"));
    EXPECT_FALSE(sp_ateveryconnect("!,x"));
    EXPECT_TRUE(sp_atend(";,|x"));
    EXPECT_FALSE(sp_atend("x|"));
    EXPECT_FALSE(sp_atstart("prog !"));
    EXPECT_STREQ(sp_cstart(",;|!"), "");
}

TEST_F(Commands, EmptyEndFileEndsTheProgram) {
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
}

TEST_F(Commands, SharedReconnectIsCarriedOutAndCleared) {
    mvlior = &record;
    mvlior_rw = true;
    strcpy(record.command, "MAVLYN_reconnect");
    dateikommandoholen(true);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_STREQ(record.command, "");
    EXPECT_STREQ(cc_mtext[1], "+External command received.");
}

TEST_F(Commands, PathQuestionIsAnswered) {
    mvliow = &record;
    char prog[] = "/opt/mavlyn/mavlyn";
    char* argv[] = {prog, nullptr};
    int oldc = _argc;
    char** oldv = _argv;
    _argc = 1;
    _argv = argv;
    strcpy(record.command, "mavlyn_path");
    dateikommandoholen(false);
    EXPECT_STREQ(record.answer, "/opt/mavlyn/mavlyn");
    EXPECT_STREQ(record.command, "");
    _argc = oldc;
    _argv = oldv;
}

TEST_F(Commands, UserProgramRunsAndItsSlotIsClosed) {
    sp_start(1, "!echo started > out.txt");
    EXPECT_TRUE(sp_stop(1)) << "a slot was open";
    EXPECT_FALSE(sp_stop(1));
    std::ifstream f("out.txt");
    std::string s;
    f >> s;
    EXPECT_EQ(s, "started");
    sp_stop(0); // a slot an earlier case may have left open
    sp_start(5, "!echo no > bad.txt");
    sp_start(0, "!;,");
    EXPECT_FALSE(sp_stop(0));
    EXPECT_FALSE(exists("bad.txt"));
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
