#include "config/config_record.h"
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "ui/timer_tick.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

cn__acct_t account(int day, int dayt, int round, int roundt) {
    cn__acct_t a{};
    a.headervoffset = 999;
    a.headerday = 1;
    a.headermon = 1;
    a.day = day;
    a.dayt = dayt;
    a.round = round;
    a.roundt = roundt;
    a.onlinezeit_vorher = -1;
    return a;
}

struct tm at(int mday, int mon, int hour = 12, int min = 0) {
    struct tm t {};
    t.tm_mday = mday;
    t.tm_mon = mon - 1;
    t.tm_hour = hour;
    t.tm_min = min;
    return t;
}

// Polls on the given days (day, month); the days on which the volume rolled over.
std::vector<int> volume_rollovers(cn__acct_t* a, std::vector<std::pair<int, int>> days) {
    std::vector<int> r;
    for (auto [d, m] : days) {
        cn__daychange_t out;
        cn__daychange(a, false, at(d, m), &out);
        if (out.volrollover) r.push_back(d);
    }
    return r;
}

} // namespace

TEST(AccountingRollover, ResetDayOneAcrossMonthEnd) {
    cn__acct_t a = account(1, 0, 1, 1);
    a.headerday = 30;
    a.headermon = 1;
    a.headerv = 1234;
    cn__daychange_t out;
    EXPECT_FALSE(cn__daychange(&a, false, at(30, 1), &out)) << "same day";
    EXPECT_EQ(volume_rollovers(&a, {{31, 1}, {2, 2}, {2, 2}, {3, 2}, {28, 2}}),
              std::vector<int>{2});
    EXPECT_EQ(a.headerv, 0);
    EXPECT_EQ(a.headervoffset, 999);
    EXPECT_EQ(a.headerday, 28);
    EXPECT_EQ(a.headermon, 2);
}

TEST(AccountingRollover, ProgramOffOverTheResetDay) {
    cn__acct_t a = account(15, 15, 1, 1);
    a.headerday = 9;
    a.headermon = 3;
    a.headert = 77;
    std::vector<int> vol;
    std::vector<int> tim;
    for (int d : {10, 20, 21, 31}) {
        cn__daychange_t out;
        cn__daychange(&a, false, at(d, 3), &out);
        if (out.volrollover) vol.push_back(d);
        if (out.timerollover) {
            tim.push_back(d);
            EXPECT_EQ(out.time_monthtotal, 77);
            EXPECT_TRUE(out.headerwrite);
        }
    }
    EXPECT_EQ(vol, std::vector<int>{20}) << "at the first poll after the 15th";
    EXPECT_EQ(tim, std::vector<int>{20});
    EXPECT_EQ(a.headert, 0);
    // Into the next month before the 15th: nothing; on the 15th: once more.
    EXPECT_EQ(volume_rollovers(&a, {{5, 4}, {14, 4}, {15, 4}, {16, 4}}), std::vector<int>{15});
}

TEST(AccountingRollover, DayThirtyTwoRollsEveryDayAndLateDaysCatchUp) {
    cn__acct_t a = account(32, 0, 1, 1);
    a.headerday = 3;
    a.headermon = 5;
    EXPECT_EQ(volume_rollovers(&a, {{3, 5}, {4, 5}, {4, 5}, {6, 5}, {1, 6}}),
              (std::vector<int>{4, 6, 1}));
    // A reset day the month does not have: the month change counts for it.
    cn__acct_t b = account(31, 0, 1, 1);
    b.headerday = 29;
    b.headermon = 4;
    EXPECT_EQ(volume_rollovers(&b, {{30, 4}, {1, 5}, {30, 5}, {31, 5}}), (std::vector<int>{1, 31}));
    for (int none : {0, 33, 99, -1}) {
        cn__acct_t c = account(none, none, 1, 1);
        EXPECT_TRUE(volume_rollovers(&c, {{2, 1}, {1, 2}, {1, 3}}).empty()) << none;
    }
}

TEST(AccountingRollover, MonthTotalFoldsWithRounding) {
    cn__acct_t a = account(1, 0, 5, 1);
    a.headermon = 6;
    a.headerday = 30;
    a.headerv = 100;
    a.headervoffset = 12345; // 12 kB unfolded
    cn__daychange_t out;
    ASSERT_TRUE(cn__daychange(&a, false, at(1, 7), &out));
    ASSERT_TRUE(out.volrollover);
    EXPECT_EQ(out.vol_monthtotal, 115) << "112 kB rounded up to the unit 5";
    EXPECT_TRUE(out.headerwrite);

    cn__acct_t z = account(1, 0, 0, 1);
    z.headermon = 6;
    z.headerv = 100;
    z.headervoffset = 12345;
    ASSERT_TRUE(cn__daychange(&z, false, at(1, 7), &out));
    EXPECT_EQ(out.vol_monthtotal, 112) << "unit 0: folded without rounding, no division by 0";

    cn__acct_t s = account(1, 0, 5, 1);
    s.headermon = 6;
    s.headerv = 100;
    s.headervoffset = 9999;
    ASSERT_TRUE(cn__daychange(&s, false, at(1, 7), &out));
    EXPECT_EQ(out.vol_monthtotal, 100) << "up to 9999 bytes are not folded";
}

TEST(AccountingRollover, SubtotalAtMidnightWhileConnected) {
    cn__acct_t a = account(0, 0, 1, 1);
    a.headerday = 4;
    a.headermon = 2;
    a.headerv = 10;
    a.headervoffset = 3500;
    a.headert = 61;
    cn__daychange_t out;
    ASSERT_TRUE(cn__daychange(&a, true, at(5, 2, 0, 1), &out));
    EXPECT_TRUE(out.subtotal);
    EXPECT_EQ(out.subtotal_kb, 13);
    EXPECT_EQ(out.subtotal_min, 61);
    EXPECT_FALSE(out.headerwrite);
    ASSERT_TRUE(cn__daychange(&a, true, at(6, 2, 0, 2), &out));
    EXPECT_FALSE(out.subtotal) << "00:02 is no longer midnight";
    ASSERT_TRUE(cn__daychange(&a, false, at(7, 2, 0, 0), &out));
    EXPECT_FALSE(out.subtotal) << "not connected";
}

TEST(AccountingRounding, PerConnection) {
    cn__acct_t a = account(0, 0, 5, 1);
    a.headervoffset = 1950;
    cn__endconnection(&a);
    EXPECT_EQ(a.headervoffset, 5000);
    cn__endconnection(&a);
    EXPECT_EQ(a.headervoffset, 5000) << "already a multiple";

    cn__acct_t k = account(0, 0, 1, 1);
    k.headervoffset = 999;
    cn__endconnection(&k);
    EXPECT_EQ(k.headervoffset, 1000) << "every connection counts at least one kilobyte";
    k.headervoffset = 20;
    cn__endconnection(&k);
    EXPECT_EQ(k.headerv + k.headervoffset / 1000, 1);

    cn__acct_t r = account(0, 0, 5, 1);
    r.headervoffset = 1000;
    cn__volzeitrunden(&r);
    EXPECT_EQ(r.headervoffset, 1000) << "one kilobyte is below the rounding threshold";
}

TEST(AccountingRounding, TimeUnitOfFifteenAroundAConnection) {
    cn__acct_t a = account(0, 0, 1, 15);
    a.headert = 30;
    a.onlinezeit_vorher = 100;
    cn__volzeitrunden(&a); // connection start
    EXPECT_EQ(a.headert, 30);
    EXPECT_EQ(a.onlinezeit_vorher, -1) << "the next started minute counts at once";
    int s = 10 * 60;
    for (int i = 0; i < 3 * 60 - 10; i++) a.headert += cn__countminute(&a.onlinezeit_vorher, s++);
    EXPECT_EQ(a.headert, 33) << "three minutes counted";
    cn__endconnection(&a);
    EXPECT_EQ(a.headert, 45) << "15 higher than at the start";
}

TEST(AccountingMinutes, FirstAfterOneSecondThenEverySixty) {
    int vorher = -1;
    int s = 59 * 60 + 30; // across the full hour
    std::vector<int> counted;
    for (int i = 0; i < 200; i++) {
        if (cn__countminute(&vorher, s % 3600)) counted.push_back(i);
        s++;
    }
    EXPECT_EQ(counted, (std::vector<int>{1, 61, 121, 181}));
    // A gap of five minutes between two polls counts one minute, not five.
    int total = 0;
    total += cn__countminute(&vorher, (s + 300) % 3600);
    total += cn__countminute(&vorher, (s + 301) % 3600);
    EXPECT_EQ(total, 1);
}

TEST(AccountingTraffic, FoldingSpeedsAndJumps) {
    cn__acct_t a = account(0, 0, 1, 1);
    unsigned long step = 0;
    cn__traffic_t t;
    cn__foldtraffic(&a, 2000, 6000, 100, false, 2, &step, &t);
    EXPECT_EQ(a.headervoffset, 999 + 8000);
    EXPECT_EQ(t.bpsu, 2000);
    EXPECT_EQ(t.bpsd, 6000);
    EXPECT_FALSE(t.step);

    cn__foldtraffic(&a, 60000000, 0, 100, false, 102, &step, &t);
    EXPECT_EQ(a.headervoffset, 8999) << "a jump of 50 MB or more is no traffic";
    EXPECT_EQ(t.bpsu, -1) << "nor a speed";
    cn__foldtraffic(&a, -5000000, 100, 100, false, 202, &step, &t);
    EXPECT_EQ(a.headervoffset, 8999) << "counters that went back (a new interface)";
    EXPECT_EQ(t.bpsu, -1);
    EXPECT_EQ(t.bpsd, 100);

    cn__foldtraffic(&a, 500, 500, 0, false, 302, &step, &t);
    EXPECT_EQ(a.headervoffset, 8999) << "no interval, nothing counted";
    EXPECT_EQ(t.bpsd, -1);

    cn__foldtraffic(&a, 10000000, 10000, 100, false, 402, &step, &t);
    EXPECT_TRUE(t.step) << "10 MB reached";
    EXPECT_EQ(t.stepbytes, 10018999);
    EXPECT_EQ(a.headerv, 10018) << "no reset day: folded at once";
    EXPECT_EQ(a.headervoffset, 750);
    EXPECT_FALSE(t.headerwrite);

    cn__acct_t d = account(15, 0, 1, 1);
    d.headervoffset = 9999999;
    cn__foldtraffic(&d, 1, 0, 100, false, 10, &step, &t);
    EXPECT_TRUE(t.step);
    EXPECT_TRUE(t.headerwrite) << "with a reset day the header write folds";
    EXPECT_EQ(d.headervoffset, 10000000);
}

TEST(AccountingTraffic, FiveMinuteStepAndTestMode) {
    cn__acct_t a = account(0, 0, 1, 1);
    unsigned long step = 2;
    cn__traffic_t t;
    cn__foldtraffic(&a, 0, 0, 100, false, 30001, &step, &t);
    EXPECT_FALSE(t.step);
    cn__foldtraffic(&a, 0, 0, 100, false, 30002, &step, &t);
    EXPECT_TRUE(t.step) << "5 minutes online";
    EXPECT_EQ(step, 30002u);
    cn__foldtraffic(&a, 0, 0, 100, false, 2, &step, &t);
    EXPECT_TRUE(t.step) << "a new connection";

    cn__acct_t m = account(5, 0, 1, 1);
    m.headervoffset = 0;
    step = 0;
    cn__foldtraffic(&m, 60, 40, 100, true, 2, &step, &t);
    EXPECT_EQ(m.headervoffset, 1000000) << "test mode: 100 bytes count as 1,000,000";
    cn__foldtraffic(&m, 49999999, 0, 100, true, 3, &step, &t);
    EXPECT_EQ(m.headervoffset, 1000000 + 2147483647L) << "limited on overflow";
}

TEST(AccountingErrors, LevelsThresholdAndDecay) {
    int err[12] = {0, 15, 50, 10, 10, 10, 10, 4};
    int erro[8] = {};
    int which = -1;
    char line[150];
    EXPECT_EQ(cn__errorratio(erro, err, &which), 0);
    cn__errorline(line, sizeof line, 0, which, err[7], false);
    EXPECT_STREQ(line, "0");

    erro[ERR_CRC] = 20; // 400
    erro[ERR_BUF] = 4;  // 400, later on a tie
    int r = cn__errorratio(erro, err, &which);
    EXPECT_EQ(r, 400);
    EXPECT_EQ(which, ERR_CRC) << "the first on a tie";
    cn__errorline(line, sizeof line, r, which, err[7], false);
    EXPECT_STREQ(line, "+Error CRC 4");
    cn__errorline(line, sizeof line, r, which, 5, true);
    EXPECT_STREQ(line, "0") << "below the display level";
    erro[ERR_TME] = 7;
    r = cn__errorratio(erro, err, &which);
    cn__errorline(line, sizeof line, r, which, err[7], true);
    EXPECT_STREQ(line, "*Fehler TME 7");
    erro[ERR_TME] = 500;
    r = cn__errorratio(erro, err, &which);
    EXPECT_GE(r, 1000) << "threshold reached";
    cn__errorline(line, sizeof line, r, which, err[7], false);
    EXPECT_STREQ(line, "*Error TME 9");

    int e2[8] = {0, 0, 60, 30, 1, 0, 5, 0};
    int th[12] = {0, 15, 50, 10, 0, 10, 10, 4};
    cn__decay(e2, th);
    EXPECT_EQ(e2[ERR_CRC], 55) << "twice: 60-2-1=57, 57-1-1=55";
    EXPECT_EQ(e2[ERR_TME], 28);
    EXPECT_EQ(e2[ERR_ALG], 0) << "no threshold";
    EXPECT_EQ(e2[ERR_BUF], 4);
    int zero[8] = {};
    cn__decay(zero, th);
    for (int v : zero) EXPECT_EQ(v, 0) << "never negative";
    int hostile[8] = {0, 0, INT_MAX, 0, 0, 0, 0, 0};
    int one[12] = {0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(cn__errorratio(hostile, one, &which), INT_MAX) << "no overflow";
}

TEST(AccountingProbes, CursorWalksTheList) {
    const char* list = "10.0.0.1;10.0.0.2";
    std::vector<std::string> asked;
    static std::vector<std::string>* sink;
    sink = &asked;
    static bool brake = false;
    cn__keepalive_t probes{[](const char* ip, bool) {
                               sink->push_back(ip);
                               return true;
                           },
                           [](const char*) { return false; }, &brake};
    size_t pos = 0;
    int noc = 0;
    for (int i = 0; i < 5; i++) cn__keepalive(false, 0, 0, list, &pos, &noc, probes);
    EXPECT_EQ(asked, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.1", "10.0.0.2",
                                               "10.0.0.1"}));
    brake = true;
    cn__keepalive(false, 0, 0, list, &pos, &noc, probes);
    cn__keepalive(false, 0, 0, list, &pos, &noc, probes);
    EXPECT_EQ(asked.back(), "10.0.0.2");
    EXPECT_EQ(asked[asked.size() - 2], "10.0.0.2") << "the brake holds the cursor";
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
    EXPECT_EQ(cn__nextprobe("", 0), 0u);
}

TEST(AccountingProcNetDev, InterfaceLineAndErrorCounters) {
    const std::string dev =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
        "errs drop fifo colls carrier compressed\n"
        "    lo:   1000      10    0    0    0     0          0         0     1000      10    "
        "0    0    0     0       0          0\n"
        "  ppp01: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
        "\tppp0: 123456  100    1    3    20    4          0         0   654321     90    10    "
        "2    0     12       0          0\n";
    long bu = -1, bd = -1;
    int err[8] = {};
    ASSERT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp0", &bu, &bd, err), 1);
    EXPECT_EQ(bd, 123456);
    EXPECT_EQ(bu, 654321);
    EXPECT_EQ(err[ERR_CRC], 1 + 2) << "(min(e,10)+4)/5 for receive and transmit";
    EXPECT_EQ(err[ERR_BUF], 3 + 2);
    EXPECT_EQ(err[ERR_ALG], 10 + 0) << "capped at 10";
    EXPECT_EQ(err[ERR_FRM], 4);
    EXPECT_EQ(err[ERR_TME], 10);
    EXPECT_EQ(err[ERR_NOC] + err[ERR_FRZ] + err[ERR_L], 0);

    EXPECT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp", nullptr, nullptr, nullptr), 0)
        << "only the whole name";
    EXPECT_EQ(cn__procnetdev(dev.data(), dev.size(), "ppp01", &bu, &bd, nullptr), 1);
    EXPECT_EQ(bu, 9);
    EXPECT_EQ(cn__procnetdev("", 0, "ppp0", &bu, &bd, err), 0);
    const std::string cut = "ppp0: 77";
    ASSERT_EQ(cn__procnetdev(cut.data(), cut.size(), "ppp0", &bu, &bd, err), 1);
    EXPECT_EQ(bd, 77);
    EXPECT_EQ(bu, 0) << "missing numbers read as 0";
    const std::string garbage = "ppp0: -5 x\xff 99999999999999999999999999999\n";
    ASSERT_EQ(cn__procnetdev(garbage.data(), garbage.size(), "ppp0", &bu, &bd, err), 1);
    EXPECT_GE(bu, 0);
    EXPECT_GE(bd, 0) << "never a negative counter";
}

class AccountingSession : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        cn__linuxconnectionname[0] = 0;
    }
    void TearDown() override {
        iv_inidefaults();
        cn__linuxconnectionname[0] = 0;
    }
    InTempDir tmp;
};

TEST_F(AccountingSession, InterfaceNameFromTheConfiguration) {
    long bu = 0, bd = 0;
    EXPECT_EQ(cn_ifstatistics(&bu, &bd, nullptr), -1) << "no name and no device";
    strMcpy(inidat.con, "INTERNET");
    EXPECT_EQ(cn_ifstatistics(&bu, &bd, nullptr), -1);
    strMcpy(inidat.con, "ppp7");
    EXPECT_EQ(cn_ifstatistics(&bu, &bd, nullptr), 0) << "the name is taken first";
    EXPECT_STREQ(cn__linuxconnectionname, "ppp7");
    EXPECT_EQ(cn_ifstatistics(&bu, &bd, nullptr), 0) << "no such interface here";
    cn__linuxconnectionname[0] = 0;
    strMcpy(inidat.con, "ppp/../../x");
    cn_ifstatistics(&bu, &bd, nullptr);
    EXPECT_STREQ(cn__linuxconnectionname, "") << "never a path as interface name";
    strMcpy(cn__linuxconnectionname, "lo");
    EXPECT_EQ(cn_ifstatistics(&bu, &bd, nullptr), 1) << "a listed interface";
    EXPECT_GE(bu, 0);
}

TEST_F(AccountingSession, OfflineTimeRunsWhileNoInterfaceIsKnown) {
    // The default data port (CON empty or "Internet"): no interface name before a dial-up.
    // The offline time must still grow, or a ringing caller would never get past the
    // hold-off of incoming calls. The poll does not dial by itself then.
    inidat.constart = false;
    verbindenverboten = programmende_gewuenscht = linksys = false;
    for (const char* con : {"", "Internet"}) {
        strMcpy(inidat.con, con);
        offlinezeit = offlinezeita = 0;
        onlinezeit = 0;
        long up, down, kb;
        for (int i = 0; i < 16; i++) {
            cn__statistikzeit = ti_htime() - 100; // one second since the last poll
            EXPECT_FALSE(cn_statistics(&up, &down, &kb));
        }
        EXPECT_GE(offlinezeit, 1600u) << "CON=" << con;
        EXPECT_LT(offlinezeit, 1700u) << "CON=" << con;
        EXPECT_EQ(offlinezeita, offlinezeit);
        EXPECT_EQ(onlinezeit, 0u);
        EXPECT_STREQ(cn__linuxconnectionname, "");
    }
    offlinezeit = offlinezeita = 0;
}

TEST_F(AccountingSession, VolumeAndTimeLinesAtTheEndOfAConnection) {
    // The program's own bookkeeping at a connection end, through the configuration record.
    inidat.round = 5;
    inidat.headerv = 10;
    inidat.headervoffset = 1950;
    inidat.roundt = 15;
    inidat.headert = 31;
    cn__endofconnection();
    EXPECT_EQ(inidat.headerv * 1000 + inidat.headervoffset, 15000);
    EXPECT_EQ(inidat.headert, 45);
    EXPECT_EQ(onlinezeit_vorher, -1);
}
