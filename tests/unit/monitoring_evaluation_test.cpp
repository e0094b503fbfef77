// The evaluation of each pass: mode from speed, the status texts, the allowed networks, the
// limit levels, the permission to connect, the battery answer and the acoustic signal.
#include "control/monitoring_evaluation.h"
#include "modem/device_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(ModeFromSpeed, FastConnectionsShowTheHigherMode) {
    char letter = 0;
    const char* text = nullptr;
    EXPECT_EQ(mt__modefromspeed(2, 10000, 50000, &letter, &text), 6);
    EXPECT_EQ(letter, 'H');
    EXPECT_STREQ(text, "HSPA");
    EXPECT_EQ(mt__modefromspeed(2, 0, 60000, &letter, &text), 6);
    EXPECT_EQ(mt__modefromspeed(2, 1000, 55000, &letter, &text), 2);
    EXPECT_EQ(letter, 'U');
    EXPECT_STREQ(text, "UMTS");
    EXPECT_EQ(mt__modefromspeed(2, 1000, 55001, &letter, &text), 6);
    EXPECT_EQ(mt__modefromspeed(6, 0, 0, &letter, &text), 6); // HSPA stays HSPA
    EXPECT_EQ(mt__modefromspeed(1, 451, 9000, &letter, &text), 5);
    EXPECT_EQ(letter, 'E');
    EXPECT_STREQ(text, "EDGE");
    EXPECT_EQ(mt__modefromspeed(1, 450, 9000, &letter, &text), 1);
    EXPECT_EQ(letter, 'G');
    EXPECT_EQ(mt__modefromspeed(5, 0, 0, &letter, &text), 5);
    // No connection (negative speeds) counts as no traffic.
    EXPECT_EQ(mt__modefromspeed(2, -1, -1, &letter, &text), 2);
    EXPECT_EQ(mt__modefromspeed(0, 99999, 99999, &letter, &text), 0);
    EXPECT_EQ(letter, ' ');
    EXPECT_EQ(mt__modefromspeed(-1, 0, 0, &letter, &text), -1);
    EXPECT_EQ(letter, ' ');
}

TEST(StatusTexts, VolumeAndSpeeds) {
    char t[40];
    mt__volumetext(1234567, t, sizeof t);
    EXPECT_STREQ(t, "  1 234 567 kB");
    mt__volumetext(42, t, sizeof t);
    EXPECT_STREQ(t, "  0 000 042 kB");
    mt__speedline(12345, t, sizeof t);
    EXPECT_STREQ(t, "   12.3 kB/s");
    mt__speedline(0, t, sizeof t);
    EXPECT_STREQ(t, "    0.0 kB/s");
    mt__speedline(-1, t, sizeof t);
    EXPECT_STREQ(t, "offline");

    mt__speedshort(100, 8450, false, t, sizeof t);
    EXPECT_STREQ(t, "8.5\xe2\x86\x93");
    mt__speedshort(60000, 1000, false, t, sizeof t);
    EXPECT_STREQ(t, "60\xe2\x86\x91");
    mt__speedshort(700, 700, false, t, sizeof t);
    EXPECT_STREQ(t, "0.7  ");
    mt__speedshort(100, 300, false, t, sizeof t);
    EXPECT_STREQ(t, "");
    mt__speedshort(100, 300, true, t, sizeof t);
    EXPECT_STREQ(t, "0.3\xe2\x86\x93");
    mt__speedshort(-1, -1, true, t, sizeof t);
    EXPECT_STREQ(t, "");
}

TEST(StatusTexts, MainLineByKnownCellData) {
    char t[150];
    const char none[2] = {1, 0};
    mt__mainline("Vodafone.de", "", "", "", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de");
    mt__mainline("Vodafone.de", none, none, none, t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de");
    mt__mainline("Vodafone.de", "26202", "", "", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202]");
    mt__mainline("Vodafone.de", "26202", "1A2B", "00C3D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202.1A2B.00C3D4E5]");
    mt__mainline("Vodafone.de", none, "1A2B", "D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [1A2B.D4E5]");
}

TEST(NewNetwork, OnlyRealNamesThatChanged) {
    EXPECT_TRUE(mt__newnetwork("Vodafone.de", "", "", ""));
    EXPECT_TRUE(mt__newnetwork("o2 - de", "Vodafone.de", "1A2B", "1A2B"));
    EXPECT_FALSE(mt__newnetwork("Vodafone.de", "Vodafone.de", "", ""));
    EXPECT_FALSE(mt__newnetwork("", "Vodafone.de", "", ""));
    EXPECT_FALSE(mt__newnetwork(" No Service", "Vodafone.de", "", ""));
    EXPECT_FALSE(mt__newnetwork("Limited Service", "Vodafone.de", "", ""));
    EXPECT_FALSE(mt__newnetwork("1A2B", "Vodafone.de", "1A2B", ""));
    EXPECT_FALSE(mt__newnetwork("1A2B", "Vodafone.de", "", "1A2B"));
    EXPECT_FALSE(mt__newnetwork(",1\r", "Vodafone.de", "", ""));
}

TEST(AllowedNetworks, NameOrCodeBetweenSemicolons) {
    EXPECT_FALSE(mt__networkallowed(";26201;", "Vodafone.de", "26202"));
    EXPECT_TRUE(mt__networkallowed(";26201;", "T-Mobile D", "26201"));
    EXPECT_TRUE(mt__networkallowed(";26201", "T-Mobile D", "26201")); // ';' appended
    EXPECT_TRUE(mt__networkallowed(";Vodafone.de;26201;", "Vodafone.de", "999999"));
    EXPECT_FALSE(mt__networkallowed(";Vodafone.de;", "Vodafone", "26202"));
    EXPECT_FALSE(mt__networkallowed(";262011;", "x", "26201"));
    EXPECT_FALSE(mt__networkallowed(";", "x", "999999"));
}

TEST(Limits, LevelsMarkersAndTheThirdLimit) {
    const long max[3] = {1000, 2000, 3000};
    const long maxt[3] = {0, 60, 0}; // 0: off
    EXPECT_EQ(mt__limitlevel(999, 0, max, maxt), 0);
    EXPECT_EQ(mt__limitlevel(1000, 0, max, maxt), 1);
    EXPECT_EQ(mt__limitlevel(2000, 0, max, maxt), 2);
    EXPECT_EQ(mt__limitlevel(0, 60, max, maxt), 2);
    EXPECT_EQ(mt__limitlevel(0, 59, max, maxt), 0);
    EXPECT_FALSE(mt__limitexceeded(2999, 100000, max, maxt));
    EXPECT_TRUE(mt__limitexceeded(3000, 0, max, maxt));
    EXPECT_EQ(mt__limitmarker(999, max), ' ');
    EXPECT_EQ(mt__limitmarker(1500, max), '+');
    EXPECT_EQ(mt__limitmarker(2500, max), '*');
    EXPECT_EQ(mt__limitmarker(100000, maxt), '*');
    const long off[3] = {0, 0, 0};
    EXPECT_EQ(mt__limitlevel(1L << 40, 1L << 40, off, off), 0);
    EXPECT_FALSE(mt__limitexceeded(1L << 40, 1L << 40, off, off));
}

TEST(Permission, FromWhichPass) {
    EXPECT_FALSE(mt__permitted(0, true, false, GERAET_HUAWEI, false));
    EXPECT_TRUE(mt__permitted(1, true, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(1, false, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(4, true, true, GERAET_HUAWEI, false));
    EXPECT_TRUE(mt__permitted(5, true, true, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(3, false, false, GERAET_SONY, false));
    EXPECT_TRUE(mt__permitted(4, false, false, GERAET_SONY, false));
    EXPECT_FALSE(mt__permitted(2, false, false, GERAET_ERICSSON, false));
    EXPECT_TRUE(mt__permitted(3, false, false, GERAET_ERICSSON, false));
    EXPECT_TRUE(mt__permitted(1, false, false, GERAET_HUAWEI, true));
    EXPECT_FALSE(mt__permitted(9999, true, false, GERAET_HUAWEI, true)); // once only
}

TEST(Battery, ChargeOfTheCbcAnswer) {
    EXPECT_EQ(mt__batterycharge("\r\n+CBC: 0,80\r\n\r\nOK\r\n"), 80);
    EXPECT_EQ(mt__batterycharge("+CBC:  0, 45"), 45);
    EXPECT_EQ(mt__batterycharge("+CBC: 0,0"), 1);
    EXPECT_EQ(mt__batterycharge("+CBC: 1,80"), 0); // on the charger
    EXPECT_EQ(mt__batterycharge("+CBC: 0"), 0);
    EXPECT_EQ(mt__batterycharge("ERROR"), 0);
    EXPECT_EQ(mt__batterycharge(""), 0);
    EXPECT_EQ(mt__batterycharge("+CBC: 0,99999999999999999999"), 100);
}

std::string morse(const std::vector<mt__tone>& t, size_t from, size_t to) {
    std::string s;
    for (size_t i = from; i < to; i++)
        if (t[i].fq) s += t[i].ms == 300 ? '-' : t[i].ms == 100 ? '.' : '?';
    return s;
}

TEST(AcousticSignal, FortySevenPercent) {
    std::vector<mt__tone> t = mt__morsesignal(30, 47);
    // 4: four dots and a dash; 7: a dash and three dots. Each symbol is followed by 100 ms
    // of silence, each digit by 200 ms more.
    ASSERT_EQ(t.size(), 5u * 2 + 1 + 4u * 2 + 1);
    EXPECT_EQ(morse(t, 0, 11), "....-");
    EXPECT_EQ(morse(t, 11, t.size()), "-...");
    int fprev = mt__morsefrequency(30), fnow = mt__morsefrequency(47);
    EXPECT_NE(fprev, fnow);
    for (size_t i = 0; i < 10; i += 2) {
        EXPECT_EQ(t[i].fq, fprev);
        EXPECT_EQ(t[i + 1], (mt__tone{0, 100}));
    }
    EXPECT_EQ(t[10], (mt__tone{0, 200}));
    EXPECT_EQ(t[11], (mt__tone{fnow, 300}));
    EXPECT_EQ(t.back(), (mt__tone{0, 200}));
}

TEST(AcousticSignal, DigitsAndFrequencies) {
    EXPECT_EQ(mt__morsefrequency(0), 310);
    EXPECT_EQ(mt__morsefrequency(100), 3210);
    EXPECT_EQ(mt__morsefrequency(47), 1323);
    std::vector<mt__tone> t = mt__morsesignal(5, 5); // "05": dash, five dots
    EXPECT_EQ(morse(t, 0, 3), "-");
    EXPECT_EQ(morse(t, 3, t.size()), ".....");
    t = mt__morsesignal(100, 100); // at most 99
    EXPECT_EQ(morse(t, 0, 5), "-.");
    EXPECT_EQ(morse(t, 5, t.size()), "-.");
    t = mt__morsesignal(16, 16);
    EXPECT_EQ(morse(t, 0, 5), ".-");
    EXPECT_EQ(morse(t, 5, t.size()), "-....");
}

} // namespace
