#include "core/session_state.h"
#include "core/status_lines.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(RemoteCommands, KommByPrefix) {
    EXPECT_EQ(KOMM("mavlyn_END now"), 3);
    EXPECT_EQ(KOMM("MAVLYN_connect"), 0);
    EXPECT_EQ(KOMM("mavlyn_disconnect please"), 1);
    EXPECT_EQ(KOMM("mavlyn_RECONNECT"), 2);
    EXPECT_EQ(KOMM("mavlyn_EN"), -1) << "shorter than the word";
    EXPECT_EQ(KOMM("connect"), -1);
    EXPECT_EQ(KOMM(""), -1);
    EXPECT_EQ(KOMM(nullptr), -1);
}

namespace {
std::string shown(const char* line) {
    char out[cc_mtextLEN];
    cc_minitext(out, sizeof out, line);
    return out;
}
} // namespace

TEST(StatusLines, MiniTextMarks) {
    EXPECT_EQ(shown("+Call_recieved."), "Call recieved.");
    EXPECT_EQ(cc_marker("+Call_recieved."), '+');
    EXPECT_EQ(shown("+Update-\\Anfrage."), "Update-Anfrage.");
    EXPECT_EQ(shown("*Not in_homezone."), "Not in homezone.");
    EXPECT_EQ(cc_marker("*x"), '*');
    EXPECT_EQ(cc_marker("0x"), ' ') << "marker 0 is shown as normal";
    EXPECT_EQ(shown(" a_b~c"), "a b~c") << "only the first mark found counts";
    EXPECT_EQ(shown(" a~b\\c"), "ab\\c");
    EXPECT_EQ(shown(" a_b_c"), "a b_c");
    EXPECT_EQ(shown(""), "");
}

TEST(StatusLines, ShowWritersAndErrorLine) {
    for (auto& l : cc_mtext) strcpy(l, "*stale");
    std::string longtext(300, 'x');
    cc_show2(("+" + longtext).c_str(), " mini");
    EXPECT_EQ(strlen(cc_mtext[1]), 149u) << "cut to the line";
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " mini");
    for (int i = 2; i <= 8; i++) EXPECT_STREQ(cc_mtext[i], " ") << i;
    EXPECT_STREQ(cc_mtext[0], "*stale") << "line 0 unused";
    EXPECT_FALSE(cc_errorlineshown());
    strcpy(cc_mtext[cc_mtextERR], "*");
    EXPECT_FALSE(cc_errorlineshown()) << "a marker alone does not replace line 6";
    strcpy(cc_mtext[cc_mtextERR], "*Modem error.");
    EXPECT_TRUE(cc_errorlineshown());
    strcpy(cc_mtext[1], " Ending.");
    cc_show1();
    EXPECT_STREQ(cc_mtext[1], " Ending.");
    EXPECT_STREQ(cc_mtext[cc_mtextERR], " ");
}
