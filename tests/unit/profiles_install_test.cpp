// Profiles in the data directory, and the installation pieces that work without dialogs.
#include "config/install.h"
#include "config/profiles.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {
void touch(const std::string& f, const std::string& content = "x") {
    write_file(f, content);
}
bool executable(const std::string& f) {
    struct stat st;
    return stat(f.c_str(), &st) == 0 && (st.st_mode & S_IXUSR);
}
} // namespace

// The profile command steps through the other .ini files of the folder, then wraps around.
TEST(Profiles, CycleThroughTheIniFiles) {
    InTempDir dir;
    touch("mavlyn.ini");
    iv_changeprofile();
    EXPECT_EQ(read_file("profile.ini"), "INI=mavlyn.ini") << "no other file: the default";
    for (const char* f :
         {"a.ini", "B.ini", "c.INI", "mavlynS.ini", "sms_name.ini", "x.txt", ".ini"})
        touch(f);
    touch("profile.ini", "INI=a.ini");
    for (const char* e : {"B.ini", "c.INI", "a.ini"}) {
        iv_changeprofile();
        EXPECT_EQ(read_file("profile.ini"), std::string("INI=") + e);
    }
}

TEST(Profiles, EvaluationSetsFileTitleAndLog) {
    InTempDir dir;
    touch("profile.ini", "* comment\n 12 ini=first.ini\r\n3INI=work.Ini\r\n");
    strcpy(inidatei, "mavlyn.ini");
    iv__readprofilefile();
    EXPECT_STREQ(inidatei, "work.Ini") << "the last INI= line counts";
    EXPECT_STREQ(inititel, "work");
    EXPECT_STREQ(connlogdatei, "connlog_work.txt");

    char ini[40], title[40], log[40];
    EXPECT_TRUE(iv__profileline("INI=../../etc/passwd", ini, sizeof ini));
    EXPECT_STREQ(ini, "") << "a profile is a file of the data directory";
    iv__profiletitle("holiday", title, sizeof title);
    EXPECT_STREQ(title, "holiday") << "a name without .ini keeps its full name";
    iv__profileconnlog(std::string(35, 't').c_str(), log, sizeof log);
    EXPECT_EQ(std::string(log).substr(strlen(log) - 4), ".txt") << "the ending survives";
}

TEST(Install, PlacementIntoAHome) {
    InTempDir dir;
    touch("prog", "#!/bin/sh\n");
    touch("mavlyn_Manual.pdf", "manual");
    touch("mavlynS.ini", "settings");
    std::string target = dir.path() + "/home/mavlyn/";
    ASSERT_EQ(system(("mkdir -p " + target).c_str()), 0);
    EXPECT_TRUE(iv__placeprogram((dir.path() + "/prog").c_str(), target.c_str(), true, false))
        << "the other language's manual stands in";
    EXPECT_TRUE(executable(target + "mavlyn"));
    EXPECT_EQ(read_file(target + "mavlyn_Manual.pdf"), "manual");
    EXPECT_EQ(read_file(target + "mavlynS.ini"), "settings");
    std::remove("mavlyn_Manual.pdf");
    std::string t2 = dir.path() + "/other/";
    ASSERT_EQ(system(("mkdir -p " + t2).c_str()), 0);
    EXPECT_FALSE(iv__placeprogram((dir.path() + "/prog").c_str(), t2.c_str(), true, false))
        << "no manual at all is an installation error";
    EXPECT_TRUE(exists(t2 + "mavlyn")) << "nothing already placed is removed";
}

TEST(Install, SecondStepStartsTheCopyInTheTarget) {
    InTempDir dir;
    std::string target = dir.path() + "/t/";
    ASSERT_EQ(system(("mkdir -p " + target).c_str()), 0);
    touch(target + "mavlyn", "#!/bin/sh\necho \"$@\" > started\n");
    chmod((target + "mavlyn").c_str(), 0700);
    EXPECT_TRUE(iv__startsecondstep(target.c_str(), false));
    for (int i = 0; i < 100 && !exists(target + "started"); i++) usleep(50000);
    EXPECT_EQ(read_file(target + "started"), "INSTALLSUB_E\n");
    EXPECT_FALSE(iv__startsecondstep((dir.path() + "/missing/").c_str(), true));
}

TEST(Install, CopiesAndUpdateKeepTheOldVersion) {
    InTempDir dir;
    touch("prog", "new version");
    const char* saved = iv__programfile;
    iv__programfile = "prog";
    EXPECT_TRUE(iv__createcopies());
    for (const char* c : {"CONFIG", "GPRS", "UMTS", "UMTSGPRS"}) {
        EXPECT_EQ(read_file(c), "new version") << c;
        EXPECT_TRUE(executable(c)) << c;
    }
    touch("GPRS", "old version");
    touch("CONFIG.exe", "old version");
    ASSERT_EQ(symlink("prog", "CONN"), 0);
    char failed[40];
    EXPECT_EQ(iv__updateexisting(failed, sizeof failed), 6);
    EXPECT_STREQ(failed, "");
    EXPECT_EQ(read_file("GPRS"), "new version");
    EXPECT_EQ(read_file("CONFIG.exe"), "new version");
    EXPECT_EQ(read_file("mavlyn_downdate"), "old version");
    EXPECT_EQ(read_file("prog"), "new version") << "a link to the program is not copied onto";
    iv__programfile = saved;
}
