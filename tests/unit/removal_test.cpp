// The removal role against home folders in a temporary tree, never the machine's /home.
#include "config/install.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void make(const std::string& path, uid_t owner) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    ASSERT_EQ(lchown(path.c_str(), owner, owner), 0) << path;
}

void put(const std::string& path) {
    std::ofstream(path) << "data";
}

} // namespace

TEST(Removal, OnlyRealFoldersOfTheirUsersAndNeverThroughALink) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hand folders to other users";
    InTempDir tmp;
    const std::string t = tmp.path(), homes = t + "/home";
    const uid_t user = 65534;
    make(homes, 0);
    make(t + "/elsewhere", 0);
    put(t + "/elsewhere/precious");
    make(t + "/root", 0);
    make(t + "/root/mavlyn", 0);
    put(t + "/root/mavlyn/mavlyn.ini");

    // A user's folder with a tree, and links out of it.
    make(homes + "/alice", user);
    make(homes + "/alice/mavlyn", user);
    make(homes + "/alice/mavlyn/sms_in", user);
    put(homes + "/alice/mavlyn/sms_in/sms_1.txt");
    ASSERT_EQ(symlink((t + "/elsewhere").c_str(), (homes + "/alice/mavlyn/link").c_str()), 0);
    // The folder itself a link to somewhere else.
    make(homes + "/bob", user);
    ASSERT_EQ(symlink((t + "/elsewhere").c_str(), (homes + "/bob/mavlyn").c_str()), 0);
    // A folder in a user's home that is not the user's.
    make(homes + "/carol", user);
    make(homes + "/carol/mavlyn", 0);
    put(homes + "/carol/mavlyn/keep");
    // A home that is a link.
    make(t + "/other", user);
    make(t + "/other/mavlyn", user);
    ASSERT_EQ(symlink((t + "/other").c_str(), (homes + "/dave").c_str()), 0);

    iv__runremove(homes.c_str(), (t + "/root").c_str());

    EXPECT_FALSE(exists(homes + "/alice/mavlyn"));
    EXPECT_TRUE(exists(homes + "/alice"));
    EXPECT_EQ(read_file(t + "/elsewhere/precious"), "data") << "nothing through a link";
    EXPECT_TRUE(exists(homes + "/bob/mavlyn")) << "a link is not a user's folder";
    EXPECT_TRUE(exists(homes + "/carol/mavlyn/keep"));
    EXPECT_TRUE(exists(t + "/other/mavlyn")) << "a home that is a link is not followed";
    EXPECT_FALSE(exists(t + "/root/mavlyn")) << "root's own folder goes";
}
