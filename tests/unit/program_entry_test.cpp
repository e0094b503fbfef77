#include "control/program_entry.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

// Where the data lives for a program started from a given place: a copy in a system binary
// folder keeps its files in the user's home (root's in /usr/share), any other in its folder.
TEST(WorkingDirectory, ByStartPlace) {
    const std::string longpath = "/a/" + std::string(400, 'd') + "/mavlyn";
    struct {
        const char *exe, *home;
        char installsub;
        int kind;
        const char* dir;
    } cases[] = {{"/usr/bin/mavlyn", "/home/ann", '*', mt__DIR_HOME, "/home/ann/mavlyn"},
                 {"/usr/local/bin/GPRS", "/home/ann/", -1, mt__DIR_HOME, "/home/ann/mavlyn"},
                 {"/sbin/mavlyn", "", 0, mt__DIR_HOME, "~/mavlyn"},
                 {"/bin/mavlyn", "/root", '0', mt__DIR_SHARED, "/usr/share/mavlyn"},
                 {"/opt/mav/mavlyn", "/home/ann", '0', mt__DIR_EXECUTABLE, "/opt/mav"},
                 {"./mavlyn", "/home/ann", '0', mt__DIR_EXECUTABLE, "."},
                 {"/usr/bin/x/mavlyn", "/h", '0', mt__DIR_EXECUTABLE, "/usr/bin/x"},
                 // only the first 299 characters of the path are looked at
                 {longpath.c_str(), "/h", '0', mt__DIR_EXECUTABLE, "/a"},
                 {"mavlyn", "/home/ann", '0', mt__DIR_NONE, ""}};
    for (const auto& c : cases) {
        char out[300] = "";
        EXPECT_EQ(mt__datadirectory(out, sizeof out, c.exe, c.home, c.installsub), c.kind) << c.exe;
        EXPECT_STREQ(out, c.dir) << c.exe;
    }
}

TEST(ParameterWords, DirInstanceAndRole) {
    EXPECT_STREQ(mt__dirparameter("DIR=  /tmp/x"), "/tmp/x");
    EXPECT_STREQ(mt__dirparameter("dir=/a"), "/a");
    EXPECT_EQ(mt__dirparameter("DIRX=/a"), nullptr);
    const char* rest = nullptr;
    EXPECT_EQ(mt__instanceshift("instance  = 7", &rest), 7);
    EXPECT_EQ(mt__instanceshift("INSTANCE=x9", &rest), 0);
    EXPECT_STREQ(rest, "x9");
    EXPECT_EQ(mt__instanceshift("INSTANC", &rest), -1);

    struct {
        const char *name, *arg;
        int role;
    } roles[] = {{"/usr/bin/control-panel", nullptr, FUNKTION_CONTROL},
                 {"CoNtRoL", nullptr, FUNKTION_CONTROL},
                 {"/opt/mavlyn", "control", FUNKTION_CONTROL},
                 {"/opt/mavlyn", "CONTROLX", 0}, // the first argument only as a whole word
                 {"mavlyn", "PROFILE", FUNKTION_PROFILE},
                 {"mavlyn_debian_remove_now", nullptr, FUNKTION_REMOVE},
                 {"mavlyn", "MAVLYN_DEBIAN_REMOVE", FUNKTION_REMOVE},
                 {"/opt/control/mavlyn", nullptr, 0}, // the base name counts
                 {"GPRS", "INSTANCE=1", 0}};
    for (const auto& r : roles)
        EXPECT_EQ(mt__presetrole(r.name, r.arg), r.role) << r.name << " " << (r.arg ? r.arg : "");
}

TEST(ParameterWords, FlagsAndKeys) {
    InTempDir tmp;
    fresh_record();
    char a0[] = "mavlyn", a1[] = "nosplash", a2[] = "MUTE", a3[] = "SilentInstall",
         a4[] = "STARTTOGGLE", a5[] = "INSTANCE=3", a6[] = "", a7[] = "instance  = 7",
         a8[] = "INSTANCEq";
    char* argv[] = {a0, a1, a2, a3, a4, a5, a6, a7, a8, nullptr};
    unsigned long before[5] = {aktivsignal, endesignal, konfigaktivsignal, smssignal, mvliok};
    mt__parameterwords(9, argv);
    EXPECT_TRUE(cs_nosplash && tonlos && _silentinstall);
    EXPECT_EQ(_starttoggle, 1);
    unsigned long after[5] = {aktivsignal, endesignal, konfigaktivsignal, smssignal, mvliok};
    for (int i = 0; i < 5; i++) EXPECT_EQ(after[i], before[i] + 10) << "INSTANCE words add up";
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("INSTANCE: \"3\""), std::string::npos);
    EXPECT_NE(log.find("INSTANCE: \"q\""), std::string::npos);
}

// A shutdown the settings ask for must not follow a TERM signal.
TEST(Signals, TermBecomesAnOrderlyEndWithoutShutdown) {
    InTempDir tmp;
    shutdownerlaubt = true;
    mt__signalreceived(15, 0, 4242);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_FALSE(shutdownerlaubt);
}
