// The conversions between the configuration dialog's fields and the configuration record,
// and the bilingual label table, without a display.
#include "ui/config_dialog.h"
#include "ui/labels.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

// ------------------------------------------------------------------ times of day

TEST(ConfigDialogTimes, ClockTextBecomesMinutesOfTheDay) {
    EXPECT_EQ(cf__timeminutes("22:30"), 1350);
    EXPECT_EQ(cf__timeminutes("00:00"), 0);
    EXPECT_EQ(cf__timeminutes("06:05"), 365);
    EXPECT_EQ(cf__timeminutes("23:59"), 1439);
    EXPECT_EQ(cf__timeminutes("7:15"), 435);
    EXPECT_EQ(cf__timeminutes("22.30"), 1350);
    EXPECT_EQ(cf__timeminutes("2230"), 1350);
    EXPECT_EQ(cf__timeminutes(" 22:30 "), 1350);
}

TEST(ConfigDialogTimes, EmptyOrUnreadableIsUnset) {
    EXPECT_EQ(cf__timeminutes(""), -1);
    EXPECT_EQ(cf__timeminutes("   "), -1);
    EXPECT_EQ(cf__timeminutes(nullptr), -1);
    EXPECT_EQ(cf__timeminutes("abc"), -1);
    EXPECT_EQ(cf__timeminutes("12:345"), -1);
    EXPECT_EQ(cf__timeminutes("123:45"), -1);
}

TEST(ConfigDialogTimes, BeyondTheDayStopsAtItsLastMinute) {
    EXPECT_EQ(cf__timeminutes("25:00"), 1439);
    EXPECT_EQ(cf__timeminutes("99:99"), 1439);
}

TEST(ConfigDialogTimes, MinutesAreShownAsClockTextAndBack) {
    EXPECT_EQ(cf__timetext(1350), "22:30");
    EXPECT_EQ(cf__timetext(5), "00:05");
    EXPECT_EQ(cf__timetext(-1), "");
    for (int m : {0, 1, 59, 60, 719, 1350, 1439})
        EXPECT_EQ(cf__timeminutes(cf__timetext(m).c_str()), m);
}

// ------------------------------------------------------------------ battery, network, ping

TEST(ConfigDialogBattery, LimitsAreClampedAndDisplayNotBelowWarning) {
    int d = 120, w = 150;
    cf__battery(&d, &w);
    EXPECT_EQ(d, 100);
    EXPECT_EQ(w, 100);
    d = 10, w = 20;
    cf__battery(&d, &w);
    EXPECT_EQ(d, 20);
    EXPECT_EQ(w, 20);
    d = 40, w = 10;
    cf__battery(&d, &w);
    EXPECT_EQ(d, 40);
    EXPECT_EQ(w, 10);
    d = -5, w = -1;
    cf__battery(&d, &w);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(w, 0);
}

TEST(ConfigDialogNetwork, SelectionAndEntryGiveTheStoredNetwork) {
    EXPECT_EQ(cf__network(0, "26202"), "26202");
    EXPECT_EQ(cf__network(1, "26202;26207"), ";26202;26207");
    EXPECT_EQ(cf__network(1, ";26202"), ";26202") << "a leading ';' is not doubled";
    EXPECT_EQ(cf__network(2, "26202"), "") << "all networks, whatever the entry holds";
    EXPECT_EQ(cf__network(-1, "26202"), "");
}

TEST(ConfigDialogNetwork, StoredNetworkSelectsItsItemAndComesBackUnchanged) {
    for (const char* net : {"", "26202", ";26202;26203", "?", "E-Plus"}) {
        std::string entry;
        int item = cf__networkitem(net, &entry);
        EXPECT_EQ(cf__network(item, entry.c_str()), net) << net;
    }
    std::string entry;
    EXPECT_EQ(cf__networkitem(";26202", &entry), 1);
    EXPECT_EQ(cf__networkitem("", &entry), 2);
    EXPECT_EQ(cf__networkitem("26202", &entry), 0);
}

TEST(ConfigDialogPing, RadioAndAddressesGiveThePingValue) {
    EXPECT_EQ(cf__ping(0, "1.2.3.4", "", ""), "");
    EXPECT_EQ(cf__ping(1, "", "", ""), "999.111.000.000;999.003.000.000");
    EXPECT_EQ(cf__ping(2, "", "", ""), "999.111.000.000");
    EXPECT_EQ(cf__ping(3, "192.168.1.1", "", ""), "192.168.001.001");
    EXPECT_EQ(cf__ping(3, "192.168.1.1", "8.8.8.8", "9.9.9.9"),
              "192.168.001.001;008.008.008.008;009.009.009.009");
    EXPECT_EQ(cf__ping(3, "192.168.1.1", "", "9.9.9.9"), "192.168.001.001;009.009.009.009");
    EXPECT_EQ(cf__ping(3, "000.000.000.000", "8.8.8.8", ""), "?");
    EXPECT_EQ(cf__ping(3, "", "", ""), "?");
}

TEST(ConfigDialogPing, StoredValueSelectsItsRadio) {
    std::string ips[3];
    EXPECT_EQ(cf__pingmode("", ips), 0);
    EXPECT_EQ(cf__pingmode("999.111.000.000;999.003.000.000", ips), 1);
    EXPECT_EQ(cf__pingmode("999.111.000.000", ips), 2);
    EXPECT_EQ(cf__pingmode("010.000.000.001;010.000.000.002", ips), 3);
    EXPECT_EQ(ips[0], "010.000.000.001");
    EXPECT_EQ(ips[1], "010.000.000.002");
    EXPECT_EQ(ips[2], "");
    const char* v = "010.000.000.001;010.000.000.002;010.000.000.003";
    int mode = cf__pingmode(v, ips);
    EXPECT_EQ(cf__ping(mode, ips[0].c_str(), ips[1].c_str(), ips[2].c_str()), v);
}

TEST(ConfigDialogPing, AddressesAreRewrittenWithThreeDigitsAndClamped) {
    EXPECT_EQ(cf__iptext("10.0.0.1"), "010.000.000.001");
    EXPECT_EQ(cf__iptext("300.256.-1.7"), "255.255.001.007");
    EXPECT_EQ(cf__iptext("1.2"), "001.002.000.000");
    EXPECT_EQ(cf__iptext(""), "");
    EXPECT_EQ(cf__iptext("99999999999999999.1.1.1"), "255.001.001.001");
}

// ------------------------------------------------------------------ user commands

TEST(ConfigDialogCommands, TriggerAndHiddenBecomeMarks) {
    cf__command c;
    c.command = "xterm";
    const struct {
        int trigger;
        bool hidden;
        const char* stored;
    } cases[] = {{1, false, "!xterm"}, {2, false, "|xterm"}, {3, false, "xterm"},
                 {4, false, ",xterm"}, {1, true, ";!xterm"}, {4, true, ";,xterm"},
                 {3, true, ";xterm"}};
    for (const auto& k : cases) {
        c.trigger = k.trigger;
        c.hidden = k.hidden;
        cf__commandrecord r = cf__commandstore(c);
        EXPECT_STREQ(r.cmd, k.stored);
        EXPECT_EQ(r.sms, 0);
        cf__command back = cf__commandload(r.cmd, r.sms, r.smsnr, r.smskey);
        EXPECT_EQ(back.trigger, k.trigger);
        EXPECT_EQ(back.hidden, k.hidden);
        EXPECT_EQ(back.command, "xterm");
    }
}

TEST(ConfigDialogCommands, SmsAndCallTriggersKeepSenderAndKeyword) {
    cf__command c;
    c.command = "reboot.sh";
    c.sender = "+491701234567";
    c.keyword = "restart";
    c.trigger = 5;
    cf__commandrecord r = cf__commandstore(c);
    EXPECT_STREQ(r.cmd, "reboot.sh");
    EXPECT_EQ(r.sms, 1);
    EXPECT_STREQ(r.smsnr, "+491701234567");
    EXPECT_STREQ(r.smskey, "RESTART");
    c.trigger = 6;
    r = cf__commandstore(c);
    EXPECT_EQ(r.sms, 2);
    EXPECT_STREQ(r.smsnr, "+491701234567");
    EXPECT_STREQ(r.smskey, "");
    cf__command back = cf__commandload(r.cmd, r.sms, r.smsnr, r.smskey);
    EXPECT_EQ(back.trigger, 6);
    EXPECT_EQ(back.sender, "+491701234567");
}

TEST(ConfigDialogCommands, NeverOrEmptyCommandClearsTheEntry) {
    cf__command c;
    c.command = "x";
    c.sender = "+49";
    c.keyword = "K";
    c.trigger = 0;
    cf__commandrecord r = cf__commandstore(c);
    EXPECT_STREQ(r.cmd, "");
    EXPECT_EQ(r.sms, 0);
    EXPECT_STREQ(r.smsnr, "");
    EXPECT_STREQ(r.smskey, "");
    c.trigger = 5;
    c.command.clear();
    r = cf__commandstore(c);
    EXPECT_STREQ(r.cmd, "");
    EXPECT_EQ(r.sms, 0);
    EXPECT_STREQ(r.smsnr, "");
}

TEST(ConfigDialogCommands, OverlongTextsAreCutToTheirFields) {
    cf__command c;
    c.trigger = 5;
    c.hidden = true;
    c.command = std::string(400, 'a');
    c.sender = std::string(50, '1');
    c.keyword = std::string(400, 'k');
    cf__commandrecord r = cf__commandstore(c);
    EXPECT_EQ(strlen(r.cmd), 299u);
    EXPECT_EQ(strlen(r.smsnr), 29u);
    EXPECT_EQ(strlen(r.smskey), 299u);
}

// ------------------------------------------------------------------ limits and counters

TEST(ConfigDialogLimits, UnitsMultiplyTheNumber) {
    EXPECT_EQ(cf__limit(300, 0, false), 300);
    EXPECT_EQ(cf__limit(500, 1, false), 500000);
    EXPECT_EQ(cf__limit(5, 2, false), 5000000);
    EXPECT_EQ(cf__limit(90, 0, true), 90);
    EXPECT_EQ(cf__limit(10, 1, true), 600);
    EXPECT_EQ(cf__limit(2, 2, true), 2880);
}

TEST(ConfigDialogLimits, StoredValueIsShownInTheLargestFittingUnit) {
    long n;
    int u;
    cf__limitsplit(5000000, false, &n, &u);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(u, 2);
    cf__limitsplit(500000, false, &n, &u);
    EXPECT_EQ(n, 500);
    EXPECT_EQ(u, 1);
    cf__limitsplit(1500, false, &n, &u);
    EXPECT_EQ(n, 1500);
    EXPECT_EQ(u, 0);
    cf__limitsplit(2880, true, &n, &u);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(u, 2);
    cf__limitsplit(600, true, &n, &u);
    EXPECT_EQ(n, 10);
    EXPECT_EQ(u, 1);
    // 300 GB do not fit the GB field (at most 200); 300000 MB do not fit either.
    cf__limitsplit(300000000, false, &n, &u);
    EXPECT_EQ(cf__limit(n, u, false), 300000000);
    cf__limitsplit(0, false, &n, &u);
    EXPECT_EQ(n, 0);
}

TEST(ConfigDialogLimits, FieldClamps) {
    EXPECT_EQ(cf__clamplimit(250, 2), 200);
    EXPECT_EQ(cf__clamplimit(250, 1), 250);
    EXPECT_EQ(cf__clamplimit(300000, 0), 200000);
    EXPECT_EQ(cf__clamplimit(-3, 0), 0);
    EXPECT_EQ(cf__clampround(0), 1);
    EXPECT_EQ(cf__clampround(200000), 100000);
    EXPECT_EQ(cf__clamperr(12000), 9999);
    EXPECT_EQ(cf__clamperr(-1), 0);
}

TEST(ConfigDialogLimits, ResetDayItems) {
    EXPECT_EQ(cf__dayitem(0), -1);
    EXPECT_EQ(cf__dayitem(1), 0);
    EXPECT_EQ(cf__dayitem(31), 30);
    EXPECT_EQ(cf__dayitem(32), 31);
    EXPECT_EQ(cf__dayitem(99), 32);
    EXPECT_EQ(cf__day(0), 1);
    EXPECT_EQ(cf__day(30), 31);
    EXPECT_EQ(cf__day(31), 32) << "every day";
    EXPECT_EQ(cf__day(32), 99) << "never";
    EXPECT_EQ(cf__day(-1), 0);
}

TEST(ConfigDialogLimits, ActualValuesOfTheCounters) {
    EXPECT_EQ(cf__volumecounter(0), "  0 000 000 ");
    EXPECT_EQ(cf__volumecounter(1234567), "  1 234 567 ");
    EXPECT_EQ(cf__timecounter(0), "0000:00 ");
    EXPECT_EQ(cf__timecounter(1505), "0025:05 ");
}

TEST(ConfigDialogGlobal, IconIsItemPlusOne) {
    EXPECT_EQ(cf__icon(0), 1);
    EXPECT_EQ(cf__icon(4), 5);
    EXPECT_EQ(cf__iconitem(5), 4);
    EXPECT_EQ(cf__iconitem(0), 0) << "an icon outside 1..6 shows the standard icon";
    EXPECT_EQ(cf__iconitem(9), 5);
}

TEST(ConfigDialogEnd, CountdownRadioAndFields) {
    unsigned long end;
    bool force, verb;
    for (int radio = 1; radio <= 4; radio++) {
        cf__endfields(radio, 30, &end, &force, &verb);
        EXPECT_EQ(end, 30u);
        EXPECT_EQ(cf__endradio(end, force, verb), radio);
    }
    cf__endfields(1, 30, &end, &force, &verb);
    EXPECT_TRUE(force);
    EXPECT_TRUE(verb);
    cf__endfields(4, 30, &end, &force, &verb);
    EXPECT_FALSE(force);
    EXPECT_FALSE(verb);
    cf__endfields(0, 30, &end, &force, &verb);
    EXPECT_EQ(end, 0u);
    EXPECT_FALSE(force);
    EXPECT_EQ(cf__endradio(0, true, true), 0);
}

TEST(ConfigDialogFields, NumbersTyped) {
    EXPECT_EQ(cf__number(" 42"), 42);
    EXPECT_EQ(cf__number("12abc"), 12);
    EXPECT_EQ(cf__number(""), 0);
    EXPECT_EQ(cf__number("-7"), -7);
    EXPECT_GT(cf__number("99999999999999999999"), 0) << "no overflow into negatives";
}

TEST(ConfigDialogFields, HintsByCode) {
    EXPECT_NE(cf__hinttext('1'), nullptr);
    EXPECT_NE(strstr(cf__hinttext('8'), "Please enter APN at \"Network\"."), nullptr);
    EXPECT_EQ(cf__hinttext('0'), nullptr);
    EXPECT_EQ(cf__hinttext('4'), nullptr);
}

TEST(ConfigDialogFields, EventIdentifiersPackTwoLetters) {
    EXPECT_EQ(cf__eid('B', '1'), 'B' * 256 + '1');
    EXPECT_NE(cf__eid('N', 'Q'), cf__eid('Q', 'N'));
}

// ------------------------------------------------------------------ label table

TEST(LabelTexts, LanguagePartsAndItems) {
    EXPECT_EQ(ls__language("Abbrechen~Cancel", true), "Abbrechen");
    EXPECT_EQ(ls__language("Abbrechen~Cancel", false), "Cancel");
    EXPECT_EQ(ls__language("SMSC", false), "SMSC");
    EXPECT_EQ(ls__language("~- nothing -", true), "");
    EXPECT_EQ(ls__language("~- nothing -", false), "- nothing -");
    auto items = ls__items("kB|MB|GB");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2], "GB");
    EXPECT_EQ(ls__items("a||b").size(), 3u);
    EXPECT_EQ(ls__items("").size(), 1u);
}

TEST(LabelTable, RecordsHoldClassHandleAndUtf8Text) {
    ls_reset();
    GtkWidget* fake = reinterpret_cast<GtkWidget*>(static_cast<uintptr_t>(0));
    ls_element('L', fake, "Gerät~Device");
    const unsigned char* p = ls__storage;
    EXPECT_EQ(p[0], 'L');
    GtkWidget* stored;
    memcpy(&stored, p + 1, sizeof stored);
    EXPECT_EQ(stored, fake);
    EXPECT_STREQ(reinterpret_cast<const char*>(p + 1 + sizeof(GtkWidget*)), "Gerät~Device");
    EXPECT_EQ(*ls__storagep, 0) << "a class byte 0 ends the table";
    EXPECT_EQ(ls__count(), 1);
    ls_reset();
    EXPECT_EQ(ls__count(), 0);
}

TEST(LabelTable, LatinOneTextIsStoredAsUtf8AndLongTextsCut) {
    ls_reset();
    ls_element('L', nullptr, "Ger\xE4t");
    EXPECT_STREQ(reinterpret_cast<const char*>(ls__storage + 1 + sizeof(GtkWidget*)), "Gerät");
    ls_reset();
    std::string big(5000, 'x');
    ls_element('L', nullptr, big.c_str());
    EXPECT_LT(strlen(reinterpret_cast<const char*>(ls__storage + 1 + sizeof(GtkWidget*))),
              static_cast<size_t>(ls__TEXTMAX));
    ls_reset();
}

TEST(LabelTable, FullTableGoesOnInsteadOfFailing) {
    ls_reset();
    std::string text(1500, 'y');
    const int n = 200; // about 300 kB, five times the first block
    for (int i = 0; i < n; i++) ls_element('L', nullptr, text.c_str());
    EXPECT_EQ(ls__count(), n);
    int seen = 0;
    ls__walk(
        [](char k, GtkWidget*, const char* t, void* d) {
            if (k == 'L' && strlen(t) == 1500) ++*static_cast<int*>(d);
        },
        &seen);
    EXPECT_EQ(seen, n) << "every record is intact across the blocks";
    ls_reset();
    EXPECT_EQ(ls__count(), 0);
}
