// The removal role against home folders in a temporary tree, never the machine's /home.
#include "config/install.h"
#include "test_support.h"

#include <sys/stat.h>

TEST(Removal, OnlyRealFoldersOfTheirUsersAndNeverThroughALink) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hand folders to other users";
    InTempDir tmp;
    const std::string t = tmp.path() + "/";
    const uid_t user = 65534;
    auto make = [&](const char* path, uid_t owner) {
        ASSERT_EQ(mkdir((t + path).c_str(), 0755), 0) << path;
        ASSERT_EQ(lchown((t + path).c_str(), owner, owner), 0) << path;
    };
    for (const char* d : {"home", "elsewhere", "root", "root/mavlyn"}) make(d, 0);
    for (const char* d : {"home/alice", "home/alice/mavlyn", "home/alice/mavlyn/sms_in", "home/bob",
                          "home/carol", "other", "other/mavlyn"})
        make(d, user);
    make("home/carol/mavlyn", 0); // in a user's home, but not the user's
    for (const char* f : {"elsewhere/precious", "root/mavlyn/mavlyn.ini",
                          "home/alice/mavlyn/sms_in/sms_1.txt", "home/carol/mavlyn/keep"})
        write_file(t + f, "data");
    for (auto [link, to] : {std::pair{"home/alice/mavlyn/link", "elsewhere"},
                            {"home/bob/mavlyn", "elsewhere"}, // the folder itself a link
                            {"home/dave", "other"}})          // a home that is a link
        ASSERT_EQ(symlink((t + to).c_str(), (t + link).c_str()), 0) << link;

    iv__runremove((t + "home").c_str(), (t + "root").c_str());

    EXPECT_FALSE(exists(t + "home/alice/mavlyn"));
    EXPECT_TRUE(exists(t + "home/alice"));
    EXPECT_EQ(read_file(t + "elsewhere/precious"), "data") << "nothing through a link";
    EXPECT_TRUE(exists(t + "home/bob/mavlyn")) << "a link is not a user's folder";
    EXPECT_TRUE(exists(t + "home/carol/mavlyn/keep"));
    EXPECT_TRUE(exists(t + "other/mavlyn")) << "a home that is a link is not followed";
    EXPECT_FALSE(exists(t + "root/mavlyn")) << "root's own folder goes";
}
