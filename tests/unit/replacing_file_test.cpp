// Files rewritten as a whole: the new content arrives complete or not at all.
#include "core/config_record.h"
#include "foundation/replacing_file.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

mode_t mode_of(const char* f) {
    struct stat st {};
    lstat(f, &st);
    return st.st_mode;
}

} // namespace

TEST(ReplacingFile, NewContentKeepsPermissionsAndLinks) {
    InTempDir tmp;
    std::ofstream("mavlyn.ini") << "old";
    chmod("mavlyn.ini", 0640);
    symlink("mavlyn.ini", "profile-link.ini");
    ASSERT_TRUE(file_replace("profile-link.ini", "new"));
    EXPECT_EQ(read_file("mavlyn.ini"), "new");
    EXPECT_TRUE(S_ISLNK(mode_of("profile-link.ini"))) << "the link stays a link";
    EXPECT_EQ(mode_of("mavlyn.ini") & 07777, 0640u);
    ASSERT_TRUE(file_replace("fresh.txt", "x"));
    EXPECT_EQ(read_file("fresh.txt"), "x");
}

TEST(ReplacingFile, AFailedWriteKeepsTheOldFileAndSaysSo) {
    InTempDir tmp;
    std::ofstream("mavlyn.ini") << "01 counters\nlines\n";
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        iv_inidefaults();
        // As on a full disk: no file may grow beyond 200 bytes (the log line still fits).
        signal(SIGXFSZ, SIG_IGN);
        rlimit small{200, 200};
        setrlimit(RLIMIT_FSIZE, &small);
        _exit(file_replace("mavlyn.ini", std::string(5000, 'x')) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failure is reported";
    EXPECT_EQ(read_file("mavlyn.ini"), "01 counters\nlines\n");
    EXPECT_NE(read_file("servilog.txt")
                  .find("mavlyn.ini could not be written; the previous "
                        "file is kept."),
              std::string::npos);
    EXPECT_EQ(system("ls -a | grep -q tmp"), 256) << "no temporary file left";
}

TEST(ReplacingFile, LeftoversOfAKilledWriterAreRemoved) {
    InTempDir tmp;
    pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    std::string leftover = ".mavlyn.ini." + std::to_string(dead) + "-0.tmp";
    std::string mine = ".mavlyn.ini." + std::to_string(getpid()) + "-999.tmp";
    std::ofstream(leftover) << "half";
    std::ofstream(mine) << "being written";
    ASSERT_TRUE(file_replace("mavlyn.ini", "whole"));
    EXPECT_FALSE(exists(leftover));
    EXPECT_TRUE(exists(mine)) << "a live writer's file is its own";
}
