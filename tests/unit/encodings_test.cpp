// The USSD codings at the edges test_calls_and_ussd.sh does not reach.
#include "foundation/encodings.h"
#include "test_support.h"

static std::string packed(const char* text, bool raw = false, int maxlen = 160,
                          int* count = nullptr) {
    char t[64];
    strcpy(t, text);
    int n = strtosevenhex(t, raw, maxlen);
    if (count) *count = n;
    return raw ? std::string(t, static_cast<size_t>(n)) : t;
}
static std::string unpacked(const char* hex, bool (*decode)(char*)) {
    char t[64];
    strcpy(t, hex);
    return decode(t) ? t : "<refused:" + std::string(t) + ">";
}

TEST(SevenBit, PacksAsTheModemExpects) {
    int n = 0;
    EXPECT_EQ(packed("hello", true), std::string("\xE8\x32\x9B\xFD\x06", 5));
    EXPECT_EQ(packed("hello", false, 2), "E832") << "at most maxlen characters";
    EXPECT_EQ(packed("\xC3\xA4@$", true, 160, &n), packed("\xE4@$", true))
        << "a UTF-8 umlaut packs as its Latin-1 form";
    EXPECT_EQ(n, 3);
    EXPECT_EQ(unpacked(packed("\xC3\xA9").c_str(), sevenhextostr), "__")
        << "an unknown pair: two underscores";
}

TEST(SevenBit, AnswersReadBack) {
    for (const char* text : {"Guthaben: 5,00 EUR", "abcdefg", "\xC4\xD6\xDC\xE4\xF6\xFC\xDF"})
        EXPECT_EQ(unpacked(packed(text).c_str(), sevenhextostr), text);
    EXPECT_EQ(unpacked("e8329bfd06", sevenhextostr), "hello");
    // Delta, Omega, escape and the currency sign have no Latin-1 form: stand-ins.
    EXPECT_EQ(unpacked("90CA8604", sevenhextostr), "^O \xD7");
    for (const char* bad : {"E83", "E8329", "E8X2", "", "E8 2"})
        EXPECT_EQ(unpacked(bad, sevenhextostr), "<refused:" + std::string(bad) + ">");
}

TEST(Ucs2, ConvertsOnlyValidHex) {
    EXPECT_EQ(unpacked("00480069", utf16hextostr), "Hi") << "the shortest valid text";
    for (const char* bad : {"0048006900", "00480069002", "0048006G0021", "1048006900210021"})
        EXPECT_EQ(unpacked(bad, utf16hextostr), "<refused:" + std::string(bad) + ">");
}

TEST(Utf8, TableCharactersAndLimits) {
    struct {
        const char *in, *out;
    } cases[] = {{"M\xFCller", "M\xC3\xBCller"},
                 {"\xE3", "\xC4\x83"},
                 {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}, // UTF-8 already
                 {"\xC4\x80", "\xC3\x84_"},                  // 0xC4 is the capital A umlaut
                 {"\xE2\x86\x92!", "\xE2\x86\x92!"},
                 {"a\xA7z", "a_z"}};
    char d[16];
    for (const auto& c : cases) EXPECT_STREQ(strmtoutf8(d, c.in, sizeof d), c.out) << c.in;
    EXPECT_STREQ(strmtoutf8(d, "\xE4\xE4", 3), "\xC3\xA4") << "only what fits, with the NUL";
    d[0] = 'x';
    strmtoutf8(d, "abc", 0);
    EXPECT_EQ(d[0], 'x');
}
