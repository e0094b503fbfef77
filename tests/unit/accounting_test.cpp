// Volume and time accounting, error levels, the probe cursor and the interface table.
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

namespace {

// Reset days and units as given, the last poll on 1 January.
cn__acct_t account(int day, int round, long headerv = 0, long offset = 999) {
    return {headerv, offset, 0, 0, 1, 1, day, day, round, 1, -1};
}

struct tm at(int mday, int mon, int hour = 12, int min = 0) {
    struct tm t {};
    t.tm_mday = mday, t.tm_mon = mon - 1, t.tm_hour = hour, t.tm_min = min;
    return t;
}

long bytes(const cn__acct_t& a) {
    return a.headerv * 1000 + a.headervoffset;
}

} // namespace

TEST(AccountingRollover, ResetDaysAcrossDaysAndMonths) {
    // Reset day, day and month of the last poll, the polls (day, month), the days that rolled.
    const std::tuple<int, int, int, std::vector<std::pair<int, int>>, std::vector<int>> table[] = {
        {1, 30, 1, {{30, 1}, {31, 1}, {2, 2}, {2, 2}, {3, 2}, {28, 2}}, {2}},
        // Not running over the reset day: at the first poll after it, once a month.
        {15,
         9,
         3,
         {{10, 3}, {20, 3}, {21, 3}, {31, 3}, {5, 4}, {14, 4}, {15, 4}, {16, 4}},
         {20, 15}},
        {32, 3, 5, {{3, 5}, {4, 5}, {4, 5}, {6, 5}, {1, 6}}, {4, 6, 1}},
        // A reset day the month does not have: the month change stands for it.
        {31, 29, 4, {{30, 4}, {1, 5}, {30, 5}, {31, 5}}, {1, 31}},
        {0, 1, 1, {{2, 1}, {1, 2}, {1, 3}}, {}},
        {33, 1, 1, {{2, 1}, {1, 2}}, {}},
    };
    for (auto& [day, oldday, oldmon, polls, rolled] : table) {
        cn__acct_t a = account(day, 1, 1234);
        a.headerday = oldday;
        a.headermon = oldmon;
        a.headert = 77;
        std::vector<int> vol, tim;
        for (auto [d, m] : polls) {
            cn__daychange_t out;
            cn__daychange(&a, false, at(d, m), &out);
            if (out.volrollover) vol.push_back(d);
            if (out.timerollover) tim.push_back(d);
            EXPECT_EQ(out.headerwrite, out.volrollover || out.timerollover);
        }
        EXPECT_EQ(vol, rolled) << "reset day " << day;
        EXPECT_EQ(tim, rolled) << "reset day " << day;
        EXPECT_EQ(a.headerday, polls.back().first);
    }
}

TEST(AccountingRollover, MonthTotals) {
    const std::tuple<int, long, long> table[] = {
        // Unit, bytes not folded yet, month total in kB.
        {5, 12345, 115}, // 112 kB rounded up to the unit
        {0, 12345, 112}, // no unit: folded without rounding
        {5, 9999, 100},  // up to 9999 bytes are not folded
    };
    for (auto [round, offset, total] : table) {
        cn__acct_t a = account(1, round, 100, offset);
        a.headermon = 6;
        a.headert = 61;
        cn__daychange_t out;
        ASSERT_TRUE(cn__daychange(&a, false, at(1, 7), &out));
        EXPECT_EQ(out.vol_monthtotal, total) << offset;
        EXPECT_EQ(out.time_monthtotal, 61);
        EXPECT_EQ(bytes(a) * 100 + a.headert, 99900) << "the new month starts afresh";
    }
    // Connected at midnight: a subtotal of the old day, only in the first two minutes.
    cn__acct_t c = account(0, 1, 10, 3500);
    c.headert = 61;
    cn__daychange_t out;
    ASSERT_TRUE(cn__daychange(&c, true, at(5, 2, 0, 1), &out));
    EXPECT_TRUE(out.subtotal);
    EXPECT_EQ(out.subtotal_kb * 1000 + out.subtotal_min, 13061);
    ASSERT_TRUE(cn__daychange(&c, true, at(6, 2, 0, 2), &out));
    EXPECT_FALSE(out.subtotal);
    EXPECT_FALSE(cn__daychange(&c, true, at(6, 2, 0, 3), &out)) << "same day";
}

TEST(AccountingConnection, EveryConnectionCountsAtLeastOneKilobyte) {
    // Unit, bytes before, bytes of the connection, bytes after.
    const std::tuple<int, long, long, long> table[] = {
        {1, 1019, 20, 1999},   // the 20 bytes are part of its kilobyte
        {5, 1950, 1500, 5000}, // rounded up to the unit
        {5, 5000, 0, 10000},   // an empty one is one unit
    };
    for (auto [round, offset, connection, after] : table) {
        cn__acct_t a = account(0, round, 0, offset);
        cn__endconnection(&a, connection);
        EXPECT_EQ(bytes(a), after) << offset << " + " << connection;
    }
    // Time in units of 15 minutes around a connection of three minutes.
    cn__acct_t t = account(0, 1);
    t.roundt = 15;
    t.headert = 30;
    cn__volzeitrunden(&t); // connection start
    EXPECT_EQ(t.onlinezeit_vorher, -1) << "the next started minute counts at once";
    int s = 10 * 60;
    for (int i = 0; i < 3 * 60 - 10; i++) t.headert += cn__countminute(&t.onlinezeit_vorher, s++);
    EXPECT_EQ(t.headert, 33);
    cn__endconnection(&t, 5000);
    EXPECT_EQ(t.headert, 45);
}

TEST(AccountingMinutes, FirstAfterOneSecondThenEverySixty) {
    int vorher = -1;
    int s = 59 * 60 + 30; // across the full hour
    std::vector<int> counted;
    for (int i = 0; i < 200; i++, s++)
        if (cn__countminute(&vorher, s % 3600)) counted.push_back(i);
    EXPECT_EQ(counted, (std::vector<int>{1, 61, 121, 181}));
    // Five minutes between two polls count one minute, not five.
    EXPECT_EQ(
        cn__countminute(&vorher, (s + 300) % 3600) + cn__countminute(&vorher, (s + 301) % 3600), 1);
}

TEST(AccountingTraffic, BytesAndSpeedsOfOnePoll) {
    const long mb = 1000000; // 5 MB/s are shown by test_dialup.sh
    // Counters at the last poll and now, 1/100 s since; bytes counted, speed (-1 unknown).
    const std::tuple<const char*, long, long, long, long, long> table[] = {
        {"100 MB/s", 0, 100 * mb, 100, 100 * mb, 100 * mb},
        {"60 MB in a poll delayed to 2 s", 0, 60 * mb, 200, 60 * mb, 30 * mb},
        {"poll after 0.3 s: counted, no speed", 1000, 3000, 30, 2000, -1},
        {"poll after 2 hours: counted, no speed", 0, 5 * mb, 720000, 5 * mb, -1},
        {"interface made anew", 5 * mb, 1200, 100, 1200, 1200},
        {"already up at the first poll", -1, 40 * mb, 100, 0, -1},
        {"more than any link carries", 0, 3000 * mb, 100, 0, -1},
    };
    for (auto [what, last, now, elapsed, counted, speed] : table) {
        cn__acct_t a = account(0, 1, 0, 0);
        unsigned long step = 0;
        cn__traffic_t t;
        cn__foldtraffic(&a, cn__bytessince(last, now, elapsed), cn__bytessince(0, 0, elapsed),
                        cn__interval(elapsed, 0), false, 2, &step, &t);
        EXPECT_EQ(bytes(a), counted) << what;
        EXPECT_EQ(t.bpsu, speed) << what;
    }
    // Test mode: 100 bytes count as 1,000,000, limited on overflow.
    cn__acct_t m = account(5, 1, 0, 0);
    EXPECT_EQ(cn__addtraffic(&m, 60, 40, true), 1000000);
    cn__addtraffic(&m, 49999999, 0, true);
    EXPECT_EQ(m.headervoffset, 1000000 + 2147483647L);
}

TEST(AccountingTraffic, TenMegabyteAndFiveMinuteStepsKeepEveryByte) {
    cn__acct_t a = account(0, 1, 0, 999);
    unsigned long step = 2;
    cn__traffic_t t;
    cn__foldtraffic(&a, 10000000, 10456, 100, false, 3, &step, &t);
    EXPECT_TRUE(t.step && !t.headerwrite);
    EXPECT_EQ(t.stepbytes, 10011455);
    EXPECT_EQ(a.headerv, 10011) << "no reset day: folded at once";
    EXPECT_EQ(bytes(a), 10011455);
    cn__foldtraffic(&a, 1, 0, 100, false, 30002, &step, &t);
    EXPECT_FALSE(t.step);
    cn__foldtraffic(&a, 1, 0, 100, false, 30003, &step, &t);
    EXPECT_TRUE(t.step) << "5 minutes online";
    EXPECT_EQ(bytes(a), 10011457);

    cn__acct_t d = account(15, 1, 0, 9999999);
    cn__foldtraffic(&d, 1, 0, 100, false, 10, &step, &t);
    EXPECT_TRUE(t.headerwrite) << "with a reset day the header write folds";
    EXPECT_EQ(d.headervoffset, 10000000);
}

TEST(AccountingErrors, LevelsThresholdAndDecay) {
    const int err[12] = {0, 15, 50, 10, 10, 10, 10, 4};
    // CRC, BUF and TME counts, the display level, German; the line shown.
    const std::tuple<int, int, int, int, bool, const char*> table[] = {
        {20, 4, 0, 4, false, "+Error CRC 4"}, // 400 each: the first on a tie
        {20, 4, 0, 5, true, "0"},             // below the display level
        {20, 4, 7, 4, true, "*Fehler TME 7"},
        {20, 4, 500, 4, false, "*Error TME 9"}, // threshold reached, level at most 9
    };
    for (auto [crc, buf, tme, display, de, shown] : table) {
        int erro[8] = {0, 0, crc, tme, 0, 0, buf, 0};
        int which = -1;
        int ratio = cn__errorratio(erro, err, &which);
        char line[150];
        cn__errorline(line, sizeof line, ratio, which, display, de);
        EXPECT_STREQ(line, shown);
    }
    // Decay after a poll: "CRC" twice as fast, never below 0.
    int c[8] = {0, 0, 60, 30, 1, 0, 5, 0};
    cn__decay(c, err);
    EXPECT_EQ(std::vector<int>(c, c + 8), (std::vector<int>{0, 0, 55, 28, 0, 0, 4, 0}));
}

TEST(AccountingProbes, CursorWalksTheList) {
    const char* list = "10.0.0.1;10.0.0.2";
    static std::vector<std::string> asked;
    static bool brake;
    asked.clear();
    brake = false;
    auto ask = [](const char* ip, bool) { return asked.push_back(ip), true; };
    cn__keepalive_t probes{ask, [](const char*) { return false; }, &brake};
    size_t pos = 0;
    int noc = 0;
    for (int i = 0; i < 5; i++) {
        brake = i >= 3; // the brake holds the cursor
        cn__keepalive(false, 0, 0, list, &pos, &noc, probes);
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.1", "10.0.0.2",
                                               "10.0.0.2"}));
    brake = false;
    asked.clear();
    cn__keepalive(false, 5, 0, list, &pos, &noc, probes);
    cn__keepalive(false, 5, 0, list, &pos, &noc, probes);
    EXPECT_EQ(noc, 2) << "sending without receiving";
    cn__keepalive(false, 5, 3, list, &pos, &noc, probes);
    EXPECT_EQ(noc, 0);
    EXPECT_TRUE(asked.empty()) << "no probe while there is traffic";
    char addr[50];
    cn__probeaddress("a;b;", 999, addr, sizeof addr);
    EXPECT_STREQ(addr, "a") << "a cursor outside the list starts over";
    EXPECT_EQ(cn__nextprobe("a;b;", 2), 0u) << "a final ';' leads back to the first";
}

TEST(AccountingProcNetDev, InterfaceLineAndErrorCounters) {
    const std::string dev =
        "Inter-|   Receive                                                |  Transmit\n"
        "    lo:   1000      10    0    0    0     0          0         0     1000      10    "
        "0    0    0     0       0          0\n"
        "  ppp01: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
        "\tppp0: 123456  100    1    3    20    4          0         0   654321     90    10    "
        "2    0     12       0          0\n";
    long bu = -1, bd = -1;
    int err[8] = {};
    ASSERT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp0", &bu, &bd, err), 1);
    EXPECT_EQ(bd * 1000000 + bu, 123456654321);
    EXPECT_EQ(std::vector<int>(err, err + 8), (std::vector<int>{0, 0, 3, 10, 10, 4, 5, 0}));
    EXPECT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp", nullptr, nullptr, nullptr), 0);
    const std::string cut = "ppp0: 77";
    ASSERT_EQ(cn__procnetdev(cut.data(), cut.size(), "ppp0", &bu, &bd, err), 1);
    EXPECT_EQ(bu, 0) << "missing numbers read as 0";
}

// The data port and a device path are dialled, so the poll before is offline; a ppp CON is watched.
TEST(AccountingSession, WithoutAnInterfaceThePollIsOffline) {
    SavedValues keep(cn__linuxconnectionname);
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"Internet", ""}, {"/dev/ttyUSB3", ""}, {"ppp7", "ppp7"}, {"ppp/../../x", ""}};
    for (auto [con, watched] : cases) {
        strMcpy(inidat.con, con);
        cn__linuxconnectionname[0] = 0;
        EXPECT_EQ(cn_ifstatistics(nullptr, nullptr, nullptr), 0) << con;
        EXPECT_STREQ(cn__linuxconnectionname, watched) << con;
    }
}
