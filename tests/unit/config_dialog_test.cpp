// The configuration dialog's fields to and from the record, and its labels, without a display.
#include "test_support.h"
#include "ui/config_dialog.h"
#include "ui/labels.h"

TEST(ConfigDialogFields, ClockTextsAndMinutesOfTheDay) {
    const std::pair<const char*, int> cases[] = {
        {"22:30", 1350},   {"00:00", 0},    {"7:15", 435},   {"22.30", 1350}, {"2230", 1350},
        {" 22:30 ", 1350}, {"25:00", 1439}, {"99:99", 1439}, {"", -1},        {"   ", -1},
        {"abc", -1},       {"12:345", -1},  {"123:45", -1},  {nullptr, -1},
    };
    for (const auto& [text, minutes] : cases)
        EXPECT_EQ(cf__timeminutes(text), minutes) << (text ? text : "null");
    EXPECT_EQ(cf__timetext(-1), "");
    for (int m : {0, 59, 60, 1439}) EXPECT_EQ(cf__timeminutes(cf__timetext(m).c_str()), m);
}

TEST(ConfigDialogFields, BatteryNetworkAndPing) {
    const int battery[][4] = {
        {120, 150, 100, 100}, {10, 20, 20, 20}, {40, 10, 40, 10}, {-5, -1, 0, 0}};
    for (const auto& b : battery) {
        int d = b[0], w = b[1];
        cf__battery(&d, &w);
        EXPECT_EQ(d * 1000 + w, b[2] * 1000 + b[3]) << b[0] << " " << b[1];
    }
    EXPECT_EQ(cf__network(1, "26202;26207"), ";26202;26207");
    EXPECT_EQ(cf__network(1, ";26202"), ";26202") << "a leading ';' is not doubled";
    EXPECT_EQ(cf__network(2, "26202"), "") << "all networks, whatever the entry holds";
    for (const char* net : {"", "26202", ";26202;26203", "?"}) {
        std::string entry;
        int item = cf__networkitem(net, &entry);
        EXPECT_EQ(cf__network(item, entry.c_str()), net) << net;
    }
    EXPECT_EQ(cf__ping(3, "192.168.1.1", "", "9.9.9.9"), "192.168.001.001;009.009.009.009");
    EXPECT_EQ(cf__ping(3, "000.000.000.000", "8.8.8.8", ""), "?");
    for (const char* ping : {"", "999.111.000.000;999.003.000.000", "999.111.000.000",
                             "010.000.000.001;010.000.000.002;010.000.000.003"}) {
        std::string ips[3];
        int mode = cf__pingmode(ping, ips);
        EXPECT_EQ(cf__ping(mode, ips[0].c_str(), ips[1].c_str(), ips[2].c_str()), ping);
    }
    EXPECT_EQ(cf__iptext("300.256.-1.7"), "255.255.001.007");
    EXPECT_EQ(cf__iptext("1.2"), "001.002.000.000");
    EXPECT_EQ(cf__iptext("99999999999999999.1.1.1"), "255.001.001.001");
    EXPECT_GT(cf__number("99999999999999999999"), 0) << "no overflow into negatives";
}

// Each trigger as stored (command|sms|number|keyword), and loaded back as it was set.
TEST(ConfigDialogFields, UserCommandsKeepTriggerMarksAndFields) {
    const std::string nr = "+491701234567";
    const std::pair<cf__command, std::string> cases[] = {
        {{1, false, "xterm"}, "!xterm|0||"},
        {{2, false, "xterm"}, "|xterm|0||"},
        {{3, false, "xterm"}, "xterm|0||"},
        {{4, false, "xterm"}, ",xterm|0||"},
        {{4, true, "xterm"}, ";,xterm|0||"},
        {{5, false, "xterm", nr, "restart"}, "xterm|1|+491701234567|RESTART"},
        {{6, false, "xterm", nr, "restart"}, "xterm|2|+491701234567|"},
        {{0, false, "xterm", nr, "restart"}, "|0||"}, // "never" clears all four
    };
    for (const auto& [c, stored] : cases) {
        cf__commandrecord r = cf__commandstore(c);
        EXPECT_EQ(std::string(r.cmd) + "|" + std::to_string(r.sms) + "|" + r.smsnr + "|" + r.smskey,
                  stored);
        if (!c.trigger) continue;
        cf__command back = cf__commandload(r.cmd, r.sms, r.smsnr, r.smskey);
        EXPECT_EQ(back.trigger * 10 + back.hidden, c.trigger * 10 + c.hidden) << stored;
        EXPECT_EQ(back.command + "|" + back.sender, c.command + "|" + (c.trigger > 4 ? nr : ""));
    }
    EXPECT_EQ(strlen(cf__commandstore({3, false, std::string(400, 'a')}).cmd), 299u)
        << "cut to its field";
}

TEST(ConfigDialogFields, LimitsAreShownInTheLargestFittingUnitAndComeBackWhole) {
    const struct {
        long value;
        bool time;
        long number;
        int unit;
    } cases[] = {{5000000, false, 5, 2}, {500000, false, 500, 1}, {1500, false, 1500, 0},
                 {2880, true, 2, 2},     {600, true, 10, 1},      {0, false, 0, 0}};
    for (const auto& c : cases) {
        long n;
        int u;
        cf__limitsplit(c.value, c.time, &n, &u);
        EXPECT_EQ(n * 10 + u, c.number * 10 + c.unit) << c.value;
        EXPECT_EQ(cf__limit(n, u, c.time), c.value);
    }
    // 300 GB do not fit the GB field and come back whole in a smaller unit.
    long n;
    int u;
    cf__limitsplit(300000000, false, &n, &u);
    EXPECT_EQ(cf__limit(n, u, false), 300000000);
}

TEST(LabelTable, LanguagePartsLatin1AndATableThatOutgrowsItsBlock) {
    EXPECT_EQ(ls__language("SMSC", false), "SMSC");
    ls_reset();
    ls_element('L', nullptr, "Ger\xE4t~Device");
    std::string text(1500, 'y');
    const int n = 200; // about 300 kB, five times the first block
    for (int i = 0; i < n; i++) ls_element('L', nullptr, text.c_str());
    std::string seen;
    ls__walk([](char k, GtkWidget*, const char* t,
                void* d) { *static_cast<std::string*>(d) += k + std::to_string(strlen(t)); },
             &seen);
    std::string want = "L13"; // Latin-1 is stored as UTF-8
    for (int i = 0; i < n; i++) want += "L1500";
    EXPECT_EQ(seen, want) << "every record is intact across the blocks";
    ls_reset();
    EXPECT_EQ(ls__count(), 0);
}
