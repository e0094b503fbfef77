// Command words and the status lines the control window and the front ends show.
#include "core/session_state.h"
#include "core/status_lines.h"
#include "test_support.h"

TEST(RemoteCommands, KommByPrefix) {
    for (auto [text, komm] : {std::pair{"mavlyn_END now", 3},
                              {"MAVLYN_connect", 0},
                              {"mavlyn_disconnect please", 1},
                              {"mavlyn_RECONNECT", 2},
                              {"mavlyn_EN", -1},
                              {"connect", -1},
                              {"", -1}})
        EXPECT_EQ(KOMM(text), komm) << text;
    EXPECT_EQ(KOMM(nullptr), -1);
}

// The first mark ('_' a blank, '~' and '\' nothing) is taken out for the mini window.
TEST(StatusLines, MiniTextMarks) {
    for (auto [line, shown] : {std::pair{"+Call_recieved.", "Call recieved."},
                               {"+Update-\\Anfrage.", "Update-Anfrage."},
                               {"*Not in_homezone.", "Not in homezone."},
                               {" a_b~c", "a b~c"},
                               {" a~b\\c", "ab\\c"},
                               {" a_b_c", "a b_c"},
                               {"", ""}}) {
        char out[cc_mtextLEN];
        cc_minitext(out, sizeof out, line);
        EXPECT_STREQ(out, shown) << line;
    }
    EXPECT_EQ(std::string() + cc_marker("+x") + cc_marker("*x") + cc_marker("0x"), "+* ");
}

TEST(StatusLines, ShowWritersAndErrorLine) {
    for (auto& l : cc_mtext) strcpy(l, "*stale");
    cc_show2(("+" + std::string(300, 'x')).c_str(), " mini");
    EXPECT_EQ(strlen(cc_mtext[1]), 149u) << "cut to the line";
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " mini");
    EXPECT_STREQ(cc_mtext[2], " ") << "the lines below are cleared";
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
