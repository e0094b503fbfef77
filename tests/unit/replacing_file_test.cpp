// Files rewritten as a whole: the new content arrives complete or not at all.
#include "foundation/replacing_file.h"
#include "test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>

TEST(ReplacingFile, NewContentKeepsPermissionsAndLinks) {
    InTempDir tmp;
    std::ofstream("mavlyn.ini") << "old";
    chmod("mavlyn.ini", 0640);
    symlink("mavlyn.ini", "profile-link.ini");
    ASSERT_TRUE(file_replace("profile-link.ini", "new"));
    EXPECT_EQ(read_file("mavlyn.ini"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink("profile-link.ini")) << "the link stays a link";
    EXPECT_EQ(std::filesystem::status("mavlyn.ini").permissions(), std::filesystem::perms(0640));
    ASSERT_TRUE(file_replace("fresh.txt", "x"));
    EXPECT_EQ(read_file("fresh.txt"), "x");
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
