#include "foundation/encodings.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(SevenBit, PacksAsTheStandardDoes) {
    char t[32] = "hello";
    EXPECT_EQ(strtosevenhex(t, false, 160), 5);
    EXPECT_STREQ(t, "E8329BFD06");

    char eight[32] = "12345678";
    EXPECT_EQ(strtosevenhex(eight, false, 160), 8);
    EXPECT_EQ(strlen(eight), 14u) << "eight characters fill exactly seven octets";

    char raw[32] = "hello";
    EXPECT_EQ(strtosevenhex(raw, true, 160), 5);
    EXPECT_EQ(std::string(raw, 5), std::string("\xE8\x32\x9B\xFD\x06", 5));
    EXPECT_EQ(raw[5], 0);

    char cut[32] = "hello";
    EXPECT_EQ(strtosevenhex(cut, false, 2), 2) << "at most maxlen characters";
    EXPECT_STREQ(cut, "E832");
}

TEST(SevenBit, MapsLatin1AndUtf8Umlauts) {
    char latin1[16] = "\xE4@$";
    strtosevenhex(latin1, true, 160);
    char utf8[16] = "\xC3\xA4@$";
    EXPECT_EQ(strtosevenhex(utf8, true, 160), 3) << "a UTF-8 pair is one character";
    EXPECT_EQ(memcmp(latin1, utf8, 3), 0);

    char unknown[16] = "\xC3\xA9";
    EXPECT_EQ(strtosevenhex(unknown, false, 160), 2) << "unknown pair: two underscores";
    EXPECT_TRUE(sevenhextostr(unknown));
    EXPECT_STREQ(unknown, "__");
}

TEST(SevenBit, RoundTripAndPadding) {
    char t[64] = "Guthaben: 5,00 EUR";
    strtosevenhex(t, false, 160);
    ASSERT_TRUE(sevenhextostr(t));
    EXPECT_STREQ(t, "Guthaben: 5,00 EUR");

    // Seven characters leave one spare septet of zero bits in the last octet: read back as
    // '@' and dropped.
    char seven[32] = "abcdefg";
    strtosevenhex(seven, false, 160);
    ASSERT_TRUE(sevenhextostr(seven));
    EXPECT_STREQ(seven, "abcdefg");

    char g[32] = "\xC4\xD6\xDC\xE4\xF6\xFC\xDF";
    strtosevenhex(g, false, 160);
    ASSERT_TRUE(sevenhextostr(g));
    EXPECT_STREQ(g, "\xC4\xD6\xDC\xE4\xF6\xFC\xDF");
}

TEST(SevenBit, ReplacementsForGreekLetters) {
    // septets 0x10 (Delta), 0x15 (Omega), 0x1B (escape), 0x24 (currency sign), packed
    char t[32];
    unsigned char septets[4] = {0x10, 0x15, 0x1B, 0x24};
    unsigned char octets[4] = {};
    for (int k = 0; k < 4; k++) {
        int bit = 7 * k;
        octets[bit / 8] |= static_cast<unsigned char>(septets[k] << (bit % 8));
        if (bit % 8 > 1)
            octets[bit / 8 + 1] |= static_cast<unsigned char>(septets[k] >> (8 - bit % 8));
    }
    snprintf(t, sizeof t, "%02X%02X%02X%02X", octets[0], octets[1], octets[2], octets[3]);
    ASSERT_TRUE(sevenhextostr(t));
    EXPECT_STREQ(t, "^O \xD7");
}

TEST(SevenBit, RejectsWhatIsNotPackedHex) {
    for (const char* bad : {"E83", "E8329", "E8X2", "", "E8 2"}) {
        char t[16];
        strcpy(t, bad);
        EXPECT_FALSE(sevenhextostr(t)) << bad;
        EXPECT_STREQ(t, bad) << "left unchanged";
    }
    char lower[16] = "e8329bfd06";
    EXPECT_TRUE(sevenhextostr(lower));
    EXPECT_STREQ(lower, "hello");
}

TEST(Ucs2, ConvertsOnlyValidHex) {
    char t[32] = "004800690021";
    EXPECT_TRUE(utf16hextostr(t));
    EXPECT_STREQ(t, "Hi!");

    char umlaut[32] = "00E400660066";
    EXPECT_TRUE(utf16hextostr(umlaut));
    EXPECT_STREQ(umlaut, "\xE4"
                         "ff");

    for (const char* bad :
         {"0048006900", "00480069002", "0048006G0021", "00480069", "1048006900210021"}) {
        char b[32];
        strcpy(b, bad);
        bool converted = utf16hextostr(b);
        if (strcmp(bad, "00480069") == 0) {
            EXPECT_TRUE(converted) << "eight digits are the shortest valid text";
            continue;
        }
        EXPECT_FALSE(converted) << bad;
        EXPECT_STREQ(b, bad);
    }
}

TEST(Utf8, TableCharactersAndLimits) {
    char d[16];
    EXPECT_STREQ(strmtoutf8(d, "\xE4\xE4", 3), "\xC3\xA4") << "only what fits, with the NUL";
    EXPECT_STREQ(strmtoutf8(d,
                            "M\xFC"
                            "de",
                            sizeof d),
                 "M\xC3\xBC"
                 "de");
    EXPECT_STREQ(strmtoutf8(d, "\xE3", sizeof d), "\xC4\x83");
    EXPECT_STREQ(strmtoutf8(d, "\xC3\xA9t\xC3\xA9", sizeof d), "\xC3\xA9t\xC3\xA9")
        << "existing UTF-8 is kept";
    EXPECT_STREQ(strmtoutf8(d, "\xC4\x80", sizeof d), "\xC3\x84_")
        << "0xC4 is always read as the Latin-1 capital A umlaut when it fits";
    EXPECT_STREQ(strmtoutf8(d, "\xE2\x86\x92!", sizeof d), "\xE2\x86\x92!");
    EXPECT_STREQ(strmtoutf8(d,
                            "a\xA7"
                            "b",
                            sizeof d),
                 "a_b");
    d[0] = 'x';
    strmtoutf8(d, "abc", 0);
    EXPECT_EQ(d[0], 'x');
    char tiny[4];
    EXPECT_STREQ(strMtoutf8(tiny, "abcdef"), "abc");
}
