// Profiles in the data directory, and the installation pieces that work without dialogs.
#include "config/install.h"
#include "config/profiles.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

#include <sys/stat.h>

static bool executable(const std::string& f) {
    return access(f.c_str(), X_OK) == 0; // files written here have no x bit at all
}

// The profile command steps through the other .ini files of the folder, then wraps around.
TEST(Profiles, CycleThroughTheIniFiles) {
    InTempDir dir;
    write_file("mavlyn.ini", "x");
    iv_changeprofile();
    EXPECT_EQ(read_file("profile.ini"), "INI=mavlyn.ini") << "no other file: the default";
    for (const char* f :
         {"a.ini", "B.ini", "c.INI", "mavlynS.ini", "sms_name.ini", "x.txt", ".ini"})
        write_file(f, "x");
    write_file("profile.ini", "INI=a.ini");
    for (const char* e : {"B.ini", "c.INI", "a.ini"}) {
        iv_changeprofile();
        EXPECT_EQ(read_file("profile.ini"), std::string("INI=") + e);
    }
}

TEST(Profiles, EvaluationSetsFileTitleAndLog) {
    InTempDir dir;
    write_file("profile.ini", "* comment\n 12 ini=first.ini\r\n3INI=work.Ini\r\n");
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

// The English manual's install is test_system_install.sh's; here the other language's.
TEST(Install, PlacementIntoAHome) {
    InTempDir dir;
    write_file("prog", "#!/bin/sh\n");
    write_file("mavlyn_Manual.pdf", "manual");
    write_file("mavlynS.ini", "settings");
    for (const char* folder : {"/home/", "/other/"}) {
        const std::string target = dir.path() + folder;
        mkdir(target.c_str(), 0700);
        EXPECT_EQ(iv__placeprogram((dir.path() + "/prog").c_str(), target.c_str(), true, false),
                  exists("mavlyn_Manual.pdf"))
            << "without a manual at all the installation fails";
        EXPECT_TRUE(executable(target + "mavlyn")) << "nothing already placed is removed";
        std::remove("mavlyn_Manual.pdf");
    }
    EXPECT_EQ(read_file(dir.path() + "/home/mavlyn_Manual.pdf"), "manual");
    EXPECT_EQ(read_file(dir.path() + "/home/mavlynS.ini"), "settings");
}

TEST(Install, CopiesAndUpdateKeepTheOldVersion) {
    InTempDir dir;
    write_file("prog", "new version");
    SavedValues keep(iv__programfile);
    iv__programfile = "prog";
    EXPECT_TRUE(iv__createcopies());
    for (const char* c : {"CONFIG", "GPRS", "UMTS", "UMTSGPRS"}) {
        EXPECT_EQ(read_file(c), "new version") << c;
        EXPECT_TRUE(executable(c)) << c;
    }
    write_file("GPRS", "old version");
    write_file("CONFIG.exe", "old version");
    ASSERT_EQ(symlink("prog", "CONN"), 0);
    char failed[40];
    EXPECT_EQ(iv__updateexisting(failed, sizeof failed), 6);
    EXPECT_STREQ(failed, "");
    EXPECT_EQ(read_file("GPRS"), "new version");
    EXPECT_EQ(read_file("CONFIG.exe"), "new version");
    EXPECT_EQ(read_file("mavlyn_downdate"), "old version");
    EXPECT_EQ(read_file("prog"), "new version") << "a link to the program is not copied onto";
}
