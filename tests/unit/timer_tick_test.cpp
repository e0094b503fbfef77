// The countdown arithmetic of the timer tick, in hundredths of a second.
#include "ui/timer_tick.h"

#include <gtest/gtest.h>

TEST(TimerTick, CountdownKindsAndMinutesLeft) {
    // Offline for 91 s with NOC 5: (9100 + 5500) / 6000 = 2, so 3 minutes left.
    ti__countdown_t c = ti__countdown(0, 9100, 0, 5, 0, false);
    EXPECT_EQ(c.kind, 3);
    EXPECT_EQ(c.minutes, 3);
    EXPECT_EQ(ti__countdown(0, 9000, 0, 5, 0, false).kind, 0) << "only after 90 s";
    // END 30 forced, online 29 min 10 s: nothing left.
    c = ti__countdown(175000, 0, 0, 0, 30, true);
    EXPECT_EQ(c.kind, 1);
    EXPECT_EQ(c.minutes, 0);
    // END 30 without force counts the idle time from one minute on.
    EXPECT_EQ(ti__countdown(100, 0, 5999, 0, 30, false).kind, 0);
    c = ti__countdown(100, 0, 6000, 0, 30, false);
    EXPECT_EQ(c.kind, 2);
    EXPECT_EQ(c.minutes, 29);
    // Offline wins over the connection countdown; an expired period goes negative.
    c = ti__countdown(175000, 400000, 6000, 5, 30, true);
    EXPECT_EQ(c.kind, 3);
    EXPECT_LT(c.minutes, 0);
}

TEST(TimerTick, ShownMinutesDropFiveSecondsInAndThenEveryMinute) {
    EXPECT_EQ(ti__countdown(0, 9100, 0, 10, 30, true).minutes, 8);
    EXPECT_EQ(ti__countdown(499, 0, 0, 0, 30, true).minutes, 30);
    EXPECT_EQ(ti__countdown(500, 0, 0, 0, 30, true).minutes, 29);
    EXPECT_EQ(ti__countdown(6499, 0, 0, 0, 30, true).minutes, 29);
    EXPECT_EQ(ti__countdown(6500, 0, 0, 0, 30, true).minutes, 28);
}
