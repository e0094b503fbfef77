// The countdown the timer tick shows, from times in hundredths of a second.
#include "test_support.h"
#include "ui/timer_tick.h"

#include <tuple>

TEST(TimerTick, CountdownKindsAndMinutesLeft) {
    // Online, offline and idle time, NOC, END, forced: the kind and the minutes left.
    const std::tuple<unsigned long, unsigned long, unsigned long, int, unsigned long, bool, int,
                     long>
        cases[] = {
            {0, 9000, 0, 5, 0, false, 0, 0},    // offline with NOC 5: only after 90 s
            {0, 9100, 0, 10, 30, true, 3, 8},   // offline wins over the connection
            {175000, 0, 0, 0, 30, true, 1, 0},  // END 30 forced, 29:10 online: nothing left
            {100, 0, 5999, 0, 30, false, 0, 0}, // idle time counts from one minute on
            {100, 0, 6000, 0, 30, false, 2, 29},
            {499, 0, 0, 0, 30, true, 1, 30}, // the shown minute drops five seconds in
            {500, 0, 0, 0, 30, true, 1, 29},
            {6499, 0, 0, 0, 30, true, 1, 29}, // and then every minute
            {6500, 0, 0, 0, 30, true, 1, 28},
        };
    for (const auto& [online, offline, idle, noc, end, force, kind, minutes] : cases) {
        ti__countdown_t r = ti__countdown(online, offline, idle, noc, end, force);
        EXPECT_EQ(r.kind, kind) << online << " " << offline << " " << idle;
        if (!kind) continue;
        EXPECT_EQ(r.minutes, minutes) << online << " " << offline;
    }
    EXPECT_LT(ti__countdown(175000, 400000, 6000, 5, 30, true).minutes, 0) << "an expired period";
}
