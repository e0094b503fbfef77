#include "config/config_record.h"
#include "control/program_entry.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

TEST(WorkingDirectory, SystemBinaryDirectories) {
    char out[300];
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/usr/bin/mavlyn", "/home/ann", '*'),
              mt__DIR_HOME);
    EXPECT_STREQ(out, "/home/ann/mavlyn");
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/usr/local/bin/GPRS", "/home/ann/", -1),
              mt__DIR_HOME);
    EXPECT_STREQ(out, "/home/ann/mavlyn");
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/sbin/mavlyn", "", 0), mt__DIR_HOME);
    EXPECT_STREQ(out, "~/mavlyn") << "an empty home directory gives ~";
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/bin/mavlyn", "/root", '0'), mt__DIR_SHARED);
    EXPECT_STREQ(out, "/usr/share/mavlyn");
}

TEST(WorkingDirectory, OtherStartDirectories) {
    char out[300];
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/opt/mav/mavlyn", "/home/ann", '0'),
              mt__DIR_EXECUTABLE);
    EXPECT_STREQ(out, "/opt/mav");
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "./mavlyn", "/home/ann", '0'), mt__DIR_EXECUTABLE);
    EXPECT_STREQ(out, ".");
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "mavlyn", "/home/ann", '0'), mt__DIR_NONE);
    EXPECT_EQ(mt__datadirectory(out, sizeof out, "/usr/bin/x/mavlyn", "/h", '0'),
              mt__DIR_EXECUTABLE)
        << "only the exact system directories";
    std::string longpath = "/a/" + std::string(400, 'd') + "/mavlyn";
    EXPECT_EQ(mt__datadirectory(out, sizeof out, longpath.c_str(), "/h", '0'), mt__DIR_EXECUTABLE);
    EXPECT_STREQ(out, "/a") << "only the first 299 characters of the path are looked at";
}

TEST(ParameterWords, DirArgument) {
    EXPECT_STREQ(mt__dirparameter("DIR=  /tmp/x"), "/tmp/x");
    EXPECT_STREQ(mt__dirparameter("dir=/a"), "/a");
    EXPECT_EQ(mt__dirparameter("DIRX=/a"), nullptr);
    EXPECT_EQ(mt__dirparameter(nullptr), nullptr);
}

TEST(ParameterWords, InstanceShifts) {
    const char* rest = nullptr;
    EXPECT_EQ(mt__instanceshift("INSTANCE=3", &rest), 3);
    EXPECT_STREQ(rest, "3");
    EXPECT_EQ(mt__instanceshift("instance  = 7", &rest), 7);
    EXPECT_EQ(mt__instanceshift("INSTANCE=x9", &rest), 0);
    EXPECT_STREQ(rest, "x9");
    EXPECT_EQ(mt__instanceshift("INSTANC", &rest), -1);
    EXPECT_EQ(mt__instanceshift("INSTANCE", &rest), 0);
}

TEST(ParameterWords, FlagsAndKeys) {
    InTempDir tmp;
    iv_inidefaults();
    MODUS('P') = 1;
    char a0[] = "mavlyn", a1[] = "nosplash", a2[] = "MUTE", a3[] = "SilentInstall",
         a4[] = "STARTTOGGLE", a5[] = "INSTANCE=3", a6[] = "", a7[] = "instance  = 7",
         a8[] = "INSTANCEq";
    char* argv[] = {a0, a1, a2, a3, a4, a5, a6, a7, a8, nullptr};
    unsigned long before[5] = {aktivsignal, endesignal, konfigaktivsignal, smssignal, mvliok};
    mt__parameterwords(9, argv);
    EXPECT_TRUE(cs_nosplash);
    EXPECT_TRUE(tonlos);
    EXPECT_TRUE(_silentinstall);
    EXPECT_EQ(_starttoggle, 1);
    unsigned long after[5] = {aktivsignal, endesignal, konfigaktivsignal, smssignal, mvliok};
    for (int i = 0; i < 5; i++) EXPECT_EQ(after[i], before[i] + 10) << "INSTANCE words add up";
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("INSTANCE: \"3\""), std::string::npos);
    EXPECT_NE(log.find("INSTANCE: \"q\""), std::string::npos);
    iv_inidefaults();
}

TEST(RolePreset, ByNameOrFirstArgument) {
    EXPECT_EQ(mt__presetrole("/usr/bin/control-panel", nullptr), FUNKTION_CONTROL);
    EXPECT_EQ(mt__presetrole("CoNtRoL", nullptr), FUNKTION_CONTROL);
    EXPECT_EQ(mt__presetrole("/opt/mavlyn", "control"), FUNKTION_CONTROL);
    EXPECT_EQ(mt__presetrole("/opt/mavlyn", "CONTROLX"), 0) << "argv[1] only as a whole word";
    EXPECT_EQ(mt__presetrole("profile", nullptr), FUNKTION_PROFILE);
    EXPECT_EQ(mt__presetrole("mavlyn", "PROFILE"), FUNKTION_PROFILE);
    EXPECT_EQ(mt__presetrole("mavlyn_debian_remove_now", nullptr), FUNKTION_REMOVE);
    EXPECT_EQ(mt__presetrole("mavlyn", "MAVLYN_DEBIAN_REMOVE"), FUNKTION_REMOVE);
    EXPECT_EQ(mt__presetrole("/opt/control/mavlyn", nullptr), 0) << "the base name counts";
    EXPECT_EQ(mt__presetrole("GPRS", "INSTANCE=1"), 0);
}

TEST(Signals, TermBecomesAnOrderlyEndRequest) {
    InTempDir tmp;
    iv_inidefaults();
    MODUS('P') = 1;
    shutdownerlaubt = true;
    programmende_gewuenscht = false;
    mt__signalreceived(15, 0, 4242);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_FALSE(shutdownerlaubt) << "no configured shutdown after a signal";
    EXPECT_NE(read_file("servilog.txt").find(" Received: signal 15, code 0 from process 4242.\n"),
              std::string::npos);
    programmende_gewuenscht = false;
    iv_inidefaults();
}
