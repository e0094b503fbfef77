// The panel icons' pictures, pixel by pixel, and their text forms.
#include "core/config_record.h"
#include "test_support.h"
#include "ui/panel_icons.h"

#include <tuple>

namespace {

const uint32_t black = 0xff000000, clear = 0, red = 0xff0000ffu;

uint32_t at(const ic__picture& p, int row, int col) {
    return p[row * ic__SIZE + col];
}

// The rows of a picture as text: '#' for black, '.' for transparent, 'o' for other colours.
std::string rows(const ic__picture& p, int from, int to, int c0 = 0, int c1 = ic__SIZE - 1) {
    std::string s;
    for (int r = from; r <= to; r++) {
        for (int c = c0; c <= c1; c++)
            s += at(p, r, c) == black ? '#' : at(p, r, c) == clear ? '.' : 'o';
        s += '\n';
    }
    return s;
}

class Icons : public ::testing::Test {
  protected:
    void SetUp() override { iv_inidefaults(); }
    ic__picture p;
};

} // namespace

TEST_F(Icons, MainIconModesLevelsAndDigits) {
    ic__paintmain(p, 1, 2, ic__signallevel(55), 0, 0, false);
    EXPECT_EQ(at(p, 0, 0), clear) << "top-left pixel";
    EXPECT_EQ(at(p, 2, 3), red) << "the ball stays red above";
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

    const int levels[][2] = {{0, 0}, {14, 1}, {15, 2}, {49, 3}, {69, 4}, {70, 5}, {100, 5}};
    for (const auto& l : levels) EXPECT_EQ(ic__signallevel(l[0]), l[1]) << l[0];
    // Mode, level, then a pixel and its colour: GPRS red without bars, EDGE green with the
    // fifth bar 7 high, HSPA, unknown grey without a letter.
    const std::tuple<int, int, int, int, uint32_t> cases[] = {
        {1, 0, 21, 21, 0xff4040ffu}, {1, 0, 20, 11, 0xff4040ffu}, {5, 5, 21, 0, 0xff80ff80u},
        {5, 5, 14, 20, black},       {5, 5, 13, 20, 0xff80ff80u}, {6, 1, 21, 0, 0xffff40ffu},
        {9, 1, 21, 0, 0xffc0c0c0u},  {9, 1, 11, 1, 0xffc0c0c0u},
    };
    for (auto [mode, level, row, col, colour] : cases) {
        ic__paintmain(p, 1, mode, level, 0, 0, false);
        EXPECT_EQ(at(p, row, col), colour) << mode << " " << row << "," << col;
    }

    inidat.icon = 2;
    ic__paintmain(p, 1, 2, 3, 7, 1234, true);
    // Only the "7" at the right of the top rows; "1234" below, its "1" cut at the left edge.
    EXPECT_EQ(rows(p, 0, 0) + rows(p, 6, 6),
              std::string(17, '.') + "#####\n" + std::string(18, '.') + "##..\n");
    EXPECT_EQ(rows(p, 15, 21, 0, 3), ".##.\n###.\n###.\n.##.\n.##.\n.##.\n####\n");
    EXPECT_EQ(rows(p, 21, 21, 17, 21), "..##.\n") << "units digit 4";
    // Mode letter U, six wide, and three level bars of 2 x 6.
    EXPECT_EQ(rows(p, 13, 13, 0, 21), ".####...##.##.##......\n");
}

TEST_F(Icons, SymbolsBatteryBlinkStepsAndCountdown) {
    ic__paintmain(p, 2, 0, 0, 0, 0, false);
    EXPECT_EQ(rows(p, 17, 17), ".########....########.\n") << "a bar broken in the middle";
    EXPECT_EQ(at(p, 6, 0), black) << "the ball stays";
    inidat.mod[static_cast<unsigned char>('B')] = 1;
    ic__paintmain(p, 2, 0, 0, 0, 0, false);
    EXPECT_EQ(at(p, 17, 1), 0xffffffffu) << "MOD=B draws symbols in white";

    EXPECT_EQ(ic__batterylevel(0, 30, 10), 0) << "unknown"; // the others: the window tests
    ic__paintbattery(p, 1);
    EXPECT_EQ(at(p, 15, 10), 0xff00ffffu) << "yellow filling";
    ic__paintbattery(p, 2);
    EXPECT_EQ(at(p, 13, 10), black);
    EXPECT_EQ(at(p, 19, 10), red) << "red below";

    ic__paintwarning(p);
    ic__swapcolours(p, 0xff009f9f, 0xff00ffff);
    EXPECT_EQ(at(p, 10, 5), 0xff00ffffu) << "dark yellow became yellow";
    ic__painthomezone(p, 3);
    EXPECT_EQ(at(p, 0, 21), red) << "the red band ends top right";
    EXPECT_EQ(at(p, 21, 0), red) << "and starts bottom left";

    inidat.mod[static_cast<unsigned char>('B')] = 0;
    ic__paintcountdown(p, 1, 75);
    // 1:15: hours at column 0, minutes' tens at 11, units at 17, the colon at 8-9.
    EXPECT_EQ(rows(p, 15, 15), "..##.........##..#####\n");
    EXPECT_EQ(rows(p, 16, 21, 8, 9), "##\n##\n..\n##\n##\n..\n");
    ic__paintcountdown(p, 1, 600);
    const std::string none(22, '.'), colon = "........##............";
    EXPECT_EQ(rows(p, 15, 21), none + "\n" + colon + "\n" + colon + "\n" + none + "\n" + colon +
                                   "\n" + colon + "\n" + none + "\n")
        << "no digits from ten hours on, only the colon";
    ic__paintcountdown(p, 2, 30);
    EXPECT_EQ(rows(p, 8, 8, 18, 21), "####\n") << "the large Z of the idle kind";
    for (auto [art, val, text] : {std::tuple<int, int, const char*>{2, 7, "z7"},
                                  {3, 599, "x9h"},
                                  {1, 600, "c"},
                                  {0, 600, ""}})
        EXPECT_EQ(ic__countdowntext(art, val), text);
    for (auto [mark, shown] :
         {std::pair<std::string, const char*>{"+Update-\\Anfrage~x", "+Update-\\Anfragex"},
          {"+Update-\\Anfrage.", "+Update-Anfrage."}}) {
        ic__tooltipmarks(mark.data());
        EXPECT_STREQ(mark.c_str(), shown);
    }
}
