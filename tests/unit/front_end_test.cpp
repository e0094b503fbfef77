// The CONTROL role's display made from another instance's shared record.
#include "control/front_end.h"
#include "control/instance_interface.h"
#include "core/status_lines.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {
const long none[3] = {0, 0, 0};
}

TEST(FrontEnd, SignalAndSpeedLines) {
    mvlio_t r{};
    r.signal_raw = 12;
    r.signal_percent = 40;
    r.signal_dbm = -89;
    r.online_time = 30;
    r.upspeed = 12345;
    r.downspeed = 999;
    fe__display_t d = fe__display(r, none, none);
    EXPECT_EQ(d.signal, " 40% = -89dBm");
    EXPECT_EQ(d.up, "    12.3 kB/s");
    EXPECT_EQ(d.down, "     0.9 kB/s");
    r.signal_percent = 10;
    r.signal_dbm = -107;
    EXPECT_EQ(fe__display(r, none, none).signal, "+10% = -107dBm");
    r.signal_raw = 0;
    r.online_time = 0;
    d = fe__display(r, none, none);
    EXPECT_EQ(d.signal, " ");
    EXPECT_EQ(d.up, " offline");
    EXPECT_EQ(d.down, " offline");
}

TEST(FrontEnd, ModeFromFamilyAndSpeed) {
    mvlio_t r{};
    r.opmode = 1;
    r.upspeed = 4000;
    r.downspeed = 5450;
    EXPECT_EQ(fe__display(r, none, none).mode, " GPRS");
    r.downspeed = 5451;
    EXPECT_EQ(fe__display(r, none, none).mode, " EDGE");
    r.opmode = 2;
    r.upspeed = 0;
    r.downspeed = 60000;
    EXPECT_EQ(fe__display(r, none, none).mode, " HSPA");
    r.downspeed = 56000;
    EXPECT_EQ(fe__display(r, none, none).mode, " UMTS");
    r.opmode = 7;
    EXPECT_EQ(fe__display(r, none, none).mode, " ");
}

TEST(FrontEnd, VolumeAndTimeWithTheLocalLimits) {
    mvlio_t r{};
    r.volume = 1234567;
    r.time = 125;
    const long vol[3] = {1000000, 2000000, 3000000};
    const long tim[3] = {100, 120, 200};
    fe__display_t d = fe__display(r, vol, tim);
    EXPECT_EQ(d.volume, "+  1 234 567 kB");
    EXPECT_EQ(d.time[0], '*');
    EXPECT_EQ(fe__display(r, none, none).volume, "   1 234 567 kB");
}

TEST(FrontEnd, UnterminatedTextsAndAbsurdNumbersAreShownSafely) {
    mvlio_t r;
    memset(&r, 'A', sizeof r);
    r.signal_raw = 255;
    r.signal_percent = 255;
    fe__display_t d = fe__display(r, none, none);
    EXPECT_EQ(d.message.size(), sizeof r.message);
    EXPECT_EQ(d.mini.size(), sizeof r.mini_message + 1) << "with its marker";
    EXPECT_EQ(d.error.size(), sizeof r.error_message);
    EXPECT_FALSE(d.volume.empty());
    EXPECT_FALSE(d.time.empty());
}

// The record holds the mini text as the main instance shows it; the front end shows the same
// text, in the colour of the main line's marker.
TEST(FrontEnd, MiniTextArrivesAsSentWithItsColour) {
    char saved[cc_mtextFELD][cc_mtextLEN];
    memcpy(saved, cc_mtext, sizeof saved);
    for (auto [main, mini] : {std::pair{"*Volume/time warning.", "*Vol/time_warning."},
                              {"+Update query", "+Update_query~x"},
                              {"+File command received.", "+Datei~Kommando"},
                              {" Vodafone.de", " U40% 0012_Vodafone.de"}}) {
        mvlio_t r{};
        mvliow = &r;
        cc_show2(main, mini);
        mvliow = nullptr;
        char sent[cc_mtextLEN], shown[cc_mtextLEN];
        cc_minitext(sent, sizeof sent, mini);
        EXPECT_STREQ(r.mini_message, sent) << "outside programs read the text as shown";
        std::string line = fe__display(r, none, none).mini;
        EXPECT_EQ(cc_marker(line.c_str()), mini[0]) << mini;
        cc_minitext(shown, sizeof shown, line.c_str());
        EXPECT_STREQ(shown, sent);
    }
    memcpy(cc_mtext, saved, sizeof saved);
}
