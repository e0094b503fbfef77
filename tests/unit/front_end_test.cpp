// The CONTROL role's display made from another instance's shared record.
#include "control/front_end.h"

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
    r.opmode = 6;
    r.downspeed = 0;
    EXPECT_EQ(fe__display(r, none, none).mode, " HSPA");
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
    EXPECT_EQ(d.mini.size(), sizeof r.mini_message);
    EXPECT_EQ(d.error.size(), sizeof r.error_message);
    EXPECT_FALSE(d.volume.empty());
    EXPECT_FALSE(d.time.empty());
}
