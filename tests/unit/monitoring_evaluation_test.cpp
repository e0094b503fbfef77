// The evaluation of each pass: mode from speed, the status texts, the allowed networks, the
// limit levels, the permission to connect, the battery answer and the acoustic signal.
#include "control/monitoring_evaluation.h"
#include "modem/device_search.h"
#include "test_support.h"

TEST(ModeFromSpeed, FastConnectionsShowTheHigherMode) {
    struct {
        int mode;
        long up, down;
        int shown;
        char letter;
    } cases[] = {{2, 10000, 50000, 6, 'H'}, {2, 1000, 55000, 2, 'U'}, {2, 1000, 55001, 6, 'H'},
                 {6, 0, 0, 6, 'H'},         {1, 451, 9000, 5, 'E'},   {1, 450, 9000, 1, 'G'},
                 {2, -1, -1, 2, 'U'}, // no connection counts as no traffic
                 {0, 99999, 99999, 0, ' '}, {-1, 0, 0, -1, ' '}};
    for (const auto& c : cases) {
        char letter = 0;
        const char* text = nullptr;
        EXPECT_EQ(mt__modefromspeed(c.mode, c.up, c.down, &letter, &text), c.shown) << c.down;
        EXPECT_EQ(letter, c.letter) << c.down;
    }
}

TEST(StatusTexts, VolumeSpeedsAndMainLine) {
    char t[150];
    mt__volumetext(1234567, t, sizeof t);
    EXPECT_STREQ(t, "  1 234 567 kB");
    mt__speedline(12345, t, sizeof t);
    EXPECT_STREQ(t, "   12.3 kB/s");
    mt__speedline(-1, t, sizeof t);
    EXPECT_STREQ(t, "offline");
    for (auto [up, down, slow, text] : {std::tuple{100L, 8450L, false, "8.5\xe2\x86\x93"},
                                        {60000L, 1000L, false, "60\xe2\x86\x91"},
                                        {700L, 700L, false, "0.7  "},
                                        {100L, 300L, false, ""},
                                        {100L, 300L, true, "0.3\xe2\x86\x93"}}) {
        mt__speedshort(up, down, slow, t, sizeof t);
        EXPECT_STREQ(t, text) << up << " " << down;
    }
    const char none[2] = {1, 0};
    mt__mainline("Vodafone.de", none, none, none, t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de");
    mt__mainline("Vodafone.de", "26202", "", "", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202]");
    mt__mainline("Vodafone.de", "26202", "1A2B", "00C3D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202.1A2B.00C3D4E5]");
    mt__mainline("Vodafone.de", none, "1A2B", "D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [1A2B.D4E5]");
}

TEST(Networks, NewNamesAndTheAllowedList) {
    EXPECT_TRUE(mt__newnetwork("o2 - de", "Vodafone.de", "1A2B", "1A2B"));
    for (const char* same : {"Vodafone.de", "", " No Service", "Limited Service", ",1\r"})
        EXPECT_FALSE(mt__newnetwork(same, "Vodafone.de", "", "")) << same;
    EXPECT_FALSE(mt__newnetwork("1A2B", "Vodafone.de", "1A2B", "")) << "a location, not a name";
    EXPECT_FALSE(mt__networkallowed(";26201;", "Vodafone.de", "26202"));
    EXPECT_TRUE(mt__networkallowed(";26201", "T-Mobile D", "26201")); // ';' appended
    EXPECT_TRUE(mt__networkallowed(";Vodafone.de;26201;", "Vodafone.de", "999999"));
    EXPECT_FALSE(mt__networkallowed(";Vodafone.de;", "Vodafone", "26202"));
    EXPECT_FALSE(mt__networkallowed(";262011;", "x", "26201"));
}

TEST(Limits, LevelsMarkersThirdLimitAndPermission) {
    const long max[3] = {1000, 2000, 3000};
    const long maxt[3] = {0, 60, 0}; // 0: off
    EXPECT_EQ(mt__limitlevel(999, 59, max, maxt), 0);
    EXPECT_EQ(mt__limitlevel(1000, 0, max, maxt), 1);
    EXPECT_EQ(mt__limitlevel(2000, 0, max, maxt), 2);
    EXPECT_EQ(mt__limitlevel(0, 60, max, maxt), 2);
    EXPECT_FALSE(mt__limitexceeded(2999, 100000, max, maxt));
    EXPECT_TRUE(mt__limitexceeded(3000, 0, max, maxt));
    EXPECT_EQ(std::string() + mt__limitmarker(999, max) + mt__limitmarker(1500, max) +
                  mt__limitmarker(2500, max),
              " +*");
    const long off[3] = {0, 0, 0};
    EXPECT_FALSE(mt__limitexceeded(1L << 40, 1L << 40, off, off));

    EXPECT_FALSE(mt__permitted(0, true, false, GERAET_HUAWEI, false));
    EXPECT_TRUE(mt__permitted(1, true, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(1, false, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(4, true, true, GERAET_HUAWEI, false)) << "option X: pass 5";
    EXPECT_TRUE(mt__permitted(5, true, true, GERAET_HUAWEI, false));
    EXPECT_TRUE(mt__permitted(4, false, false, GERAET_SONY, false));
    EXPECT_TRUE(mt__permitted(3, false, false, GERAET_ERICSSON, false));
    EXPECT_FALSE(mt__permitted(9999, true, false, GERAET_HUAWEI, true)) << "once only";
}

TEST(Battery, ChargeOfTheCbcAnswer) {
    for (auto [answer, charge] : {std::pair{"\r\n+CBC: 0,80\r\n\r\nOK\r\n", 80},
                                  {"+CBC:  0, 45", 45},
                                  {"+CBC: 0,0", 1},
                                  {"+CBC: 1,80", 0}, // on the charger
                                  {"+CBC: 0", 0},
                                  {"ERROR", 0},
                                  {"+CBC: 0,99999999999999999999", 100}})
        EXPECT_EQ(mt__batterycharge(answer), charge) << answer;
}

TEST(AcousticSignal, DigitsAndFrequencies) {
    auto morse = [](const std::vector<mt__tone>& t, size_t from, size_t to) {
        std::string s;
        for (size_t i = from; i < to; i++)
            if (t[i].fq) s += t[i].ms == 300 ? '-' : t[i].ms == 100 ? '.' : '?';
        return s;
    };
    // 47: four dots and a dash, then a dash and three dots; each symbol followed by 100 ms of
    // silence, each digit by 200 ms more; the tens at the previous reading's frequency.
    std::vector<mt__tone> t = mt__morsesignal(30, 47);
    ASSERT_EQ(t.size(), 5u * 2 + 1 + 4u * 2 + 1);
    EXPECT_EQ(morse(t, 0, 11), "....-");
    EXPECT_EQ(morse(t, 11, t.size()), "-...");
    EXPECT_EQ(t[0].fq, mt__morsefrequency(30));
    EXPECT_EQ(t[1], (mt__tone{0, 100}));
    EXPECT_EQ(t[10], (mt__tone{0, 200}));
    EXPECT_EQ(t[11], (mt__tone{mt__morsefrequency(47), 300}));
    t = mt__morsesignal(5, 5); // "05": dash, five dots
    EXPECT_EQ(morse(t, 0, t.size()), "-.....");
    t = mt__morsesignal(100, 100); // at most 99
    EXPECT_EQ(morse(t, 0, t.size()), "-.-.");
}
