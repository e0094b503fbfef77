// The panel icons' pictures, pixel by pixel, and their text forms.
#include "config/config_record.h"
#include "ui/icon_art.h"
#include "ui/panel_icons.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

const uint32_t black = 0xff000000, clear = 0, lightblue = 0xffff8080;

uint32_t at(const ic__picture& p, int row, int col) {
    return p[row * ic__SIZE + col];
}

// The rows of a picture as text: '#' for black, '.' for transparent, 'o' for other colours.
std::string rows(const ic__picture& p, int from, int to, int c0 = 0, int c1 = ic__SIZE - 1) {
    std::string s;
    for (int r = from; r <= to; r++) {
        for (int c = c0; c <= c1; c++) {
            uint32_t v = at(p, r, c);
            s += v == black ? '#' : v == clear ? '.' : 'o';
        }
        s += '\n';
    }
    return s;
}

class Icons : public ::testing::Test {
  protected:
    void SetUp() override { iv_inidefaults(); }
    void TearDown() override { iv_inidefaults(); }
};

} // namespace

TEST_F(Icons, UmtsWithFiftyFivePercent) {
    ic__picture p;
    ic__paintmain(p, 1, 2, ic__signallevel(55), 0, 0, false);
    EXPECT_EQ(at(p, 0, 0), clear) << "top-left pixel";
    EXPECT_EQ(at(p, 0, 1), lightblue) << "the ball's surroundings take the mode colour";
    EXPECT_EQ(at(p, 21, 21), lightblue);
    EXPECT_EQ(at(p, 2, 3), 0xff0000ffu) << "the ball stays red above";
    // The letter U in rows 11-20, columns 1-8, and four bars of heights 3 to 6 on row 20.
    EXPECT_EQ(rows(p, 11, 20, 1, 20), "##oooo##ooo##ooo##oo\n"
                                      "##oooo##ooooo###oooo\n"
                                      "##oooo##oooooooooooo\n"
                                      "##oooo##oooooooooooo\n"
                                      "##oooo##oooooooo##oo\n"
                                      "##oooo##oooooo####oo\n"
                                      "##oooo##oooo######oo\n"
                                      "##oooo##oo########oo\n"
                                      "o##oo##ooo########oo\n"
                                      "oo####oooo########oo\n");
    for (int bar = 0; bar < 4; bar++) {
        int height = bar + 3;
        for (int col : {11 + 2 * bar, 12 + 2 * bar}) {
            EXPECT_EQ(at(p, 20, col), black);
            EXPECT_EQ(at(p, 21 - height, col), black) << "bar " << bar;
            EXPECT_EQ(at(p, 20 - height, col), lightblue) << "bar " << bar;
        }
    }
    EXPECT_EQ(at(p, 20, 19), lightblue) << "no fifth bar";
    EXPECT_EQ(at(p, 11, 1), black);
    EXPECT_EQ(at(p, 11, 3), lightblue);
    EXPECT_EQ(at(p, 20, 3), black);
}

TEST_F(Icons, SignalLevelsAndModeColours) {
    const int levels[][2] = {{0, 0}, {14, 1}, {15, 2}, {49, 3}, {69, 4}, {70, 5}, {100, 5}};
    for (const auto& l : levels) EXPECT_EQ(ic__signallevel(l[0]), l[1]) << l[0];
    ic__picture p;
    ic__paintmain(p, 1, 1, 0, 0, 0, false);
    EXPECT_EQ(at(p, 21, 21), 0xff4040ffu) << "GPRS red";
    EXPECT_EQ(at(p, 20, 11), 0xff4040ffu) << "no bars without signal";
    ic__paintmain(p, 1, 5, 5, 0, 0, false);
    EXPECT_EQ(at(p, 21, 0), 0xff80ff80u) << "EDGE green";
    EXPECT_EQ(at(p, 14, 20), black) << "the fifth bar is 7 high";
    EXPECT_EQ(at(p, 13, 20), 0xff80ff80u);
    ic__paintmain(p, 1, 6, 1, 0, 0, false);
    EXPECT_EQ(at(p, 21, 0), 0xffff40ffu) << "HSPA";
    ic__paintmain(p, 1, 9, 1, 0, 0, false);
    EXPECT_EQ(at(p, 21, 0), 0xffc0c0c0u) << "unknown mode grey";
    EXPECT_EQ(at(p, 11, 1), 0xffc0c0c0u) << "and no letter";
}

TEST_F(Icons, DigitIconWithRatesSevenAndTwelveThirtyFour) {
    inidat.icon = 2;
    ic__picture p;
    ic__paintmain(p, 1, 2, 3, 7, 1234, true);
    // Only the "7" at the right of the top rows.
    for (int r = 0; r <= 6; r++)
        for (int c = 0; c <= 16; c++) ASSERT_EQ(at(p, r, c), clear) << r << "," << c;
    EXPECT_EQ(rows(p, 0, 0, 17, 21), "#####\n");
    EXPECT_EQ(rows(p, 6, 6, 17, 21), ".##..\n");
    // "1234" below, the "1" cut by one pixel at the left edge.
    EXPECT_EQ(rows(p, 15, 21, 0, 3), ".##.\n###.\n###.\n.##.\n.##.\n.##.\n####\n");
    EXPECT_EQ(rows(p, 21, 21, 17, 21), "..##.\n") << "units digit 4";
    // Mode letter U, six wide, and three level bars of 2 x 6.
    EXPECT_EQ(rows(p, 8, 13, 0, 21), "##..##..##.##.##......\n"
                                     "##..##..##.##.##......\n"
                                     "##..##..##.##.##......\n"
                                     "##..##..##.##.##......\n"
                                     "##..##..##.##.##......\n"
                                     ".####...##.##.##......\n");
}

TEST_F(Icons, StateSymbolsAndSymbolColour) {
    ic__picture p;
    ic__paintmain(p, 2, 0, 0, 0, 0, false);
    EXPECT_EQ(rows(p, 17, 17), ".########....########.\n") << "a bar broken in the middle";
    EXPECT_EQ(at(p, 6, 0), black) << "the ball stays";
    inidat.mod[static_cast<unsigned char>('B')] = 1;
    ic__paintmain(p, 2, 0, 0, 0, 0, false);
    EXPECT_EQ(at(p, 17, 1), 0xffffffffu) << "MOD=B draws symbols in white";
}

TEST_F(Icons, CountdownClockAndTextForms) {
    ic__picture p;
    ic__paintcountdown(p, 1, 75);
    // 1:15 — hours at column 0, minutes' tens at 11, units at 17, the colon at 8-9.
    EXPECT_EQ(rows(p, 15, 15, 0, 4), "..##.\n") << "digit 1";
    EXPECT_EQ(rows(p, 15, 15, 11, 15), "..##.\n") << "digit 1";
    EXPECT_EQ(rows(p, 15, 15, 17, 21), "#####\n") << "digit 5";
    EXPECT_EQ(rows(p, 16, 21, 8, 9), "##\n##\n..\n##\n##\n..\n");
    for (auto [art, val, text] : {std::tuple<int, int, const char*>{1, 75, "c75"},
                                  {2, 7, "z7"},
                                  {1, 150, "c2h"},
                                  {3, 599, "x9h"},
                                  {1, 600, "c"},
                                  {0, 600, ""}})
        EXPECT_EQ(ic__countdowntext(art, val), text);
    ic__paintcountdown(p, 1, 600);
    for (int r = 15; r <= 21; r++)
        for (int c : {0, 1, 2, 3, 11, 12, 17, 18, 19})
            ASSERT_EQ(at(p, r, c), clear) << r << "," << c;
    ic__paintcountdown(p, 2, 30);
    EXPECT_EQ(rows(p, 8, 8, 18, 21), "####\n") << "the large Z of the idle kind";
}

TEST_F(Icons, BatteryLevelsWithLimitsThirtyAndTen) {
    const int levels[][2] = {{31, 0}, {30, 1}, {11, 1}, {10, 2}, {0, 0}}; // 0 is unknown
    for (const auto& l : levels) EXPECT_EQ(ic__batterylevel(l[0], 30, 10), l[1]) << l[0];
    ic__picture p;
    ic__paintbattery(p, 1);
    EXPECT_EQ(at(p, 0, 0), 0xffbfbfbfu);
    EXPECT_EQ(at(p, 15, 10), 0xff00ffffu) << "yellow filling";
    ic__paintbattery(p, 2);
    EXPECT_EQ(at(p, 13, 10), black);
    EXPECT_EQ(at(p, 19, 10), 0xff0000ffu) << "red below";
}

TEST_F(Icons, BlinkStepsSwapColoursBackAndForth) {
    ic__picture p, start;
    ic__paintwarning(p);
    memcpy(start, p, sizeof p);
    ic__swapcolours(p, 0xff009f9f, 0xff00ffff);
    EXPECT_EQ(at(p, 10, 5), 0xff00ffffu) << "dark yellow became yellow";
    ic__swapcolours(p, 0xff009f9f, 0xff00ffff);
    EXPECT_EQ(memcmp(p, start, sizeof p), 0);
    ic__painthomezone(p, 3);
    EXPECT_EQ(at(p, 0, 21), 0xff0000ffu) << "the red band ends top right";
    EXPECT_EQ(at(p, 21, 0), 0xff0000ffu) << "and starts bottom left";
}

TEST_F(Icons, TooltipMarks) {
    for (auto [mark, shown] :
         {std::pair<std::string, const char*>{"+Update_query~now.", "+Update query~now."},
          {"+Update-\\Anfrage~x", "+Update-\\Anfragex"},
          {"+Update-\\Anfrage.", "+Update-Anfrage."}}) {
        ic__tooltipmarks(mark.data());
        EXPECT_STREQ(mark.c_str(), shown);
    }
}
