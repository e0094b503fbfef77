#include "config/scrambling.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(Scrambling, RoundTripOverAllBytes) {
    char plain[256];
    for (int i = 0; i < 255; i++) plain[i] = static_cast<char>(i + 1);
    plain[255] = 0;
    char stored[6 + 2 * 255 + 1];
    ob_obfuscate(plain, stored);
    EXPECT_EQ(strlen(stored), 6u + 2 * 255);
    EXPECT_EQ(strncmp(stored, "CRYPT1", 6), 0);
    for (const char* c = stored + 6; *c; c++)
        EXPECT_NE(strchr("H7XC#B3VJ&G9SFEA", *c), nullptr) << "only alphabet characters";
    char back[256];
    EXPECT_TRUE(ob_deobfuscate(stored, back));
    EXPECT_STREQ(back, plain);
}

TEST(Scrambling, KnownFormAndKeyCycle) {
    char stored[64];
    ob_obfuscate("1234", stored);
    // '1' ^ 'T' = 0x65 -> "3B"; '2' ^ 'q' = 0x43 -> "#C"; '3' ^ '7' = 0x04 -> "H#"; '4' ^ 'L' =
    // 0x78
    EXPECT_STREQ(stored, "CRYPT13B#CH#VJ");
    char ten[11] = "aaaaaaaaaa";
    ob_obfuscate(ten, stored);
    EXPECT_EQ(std::string(stored + 6, 2), std::string(stored + 6 + 18, 2))
        << "the key repeats after nine bytes";
}

TEST(Scrambling, EmptyPlainAndOddStored) {
    char stored[8] = "junk";
    ob_obfuscate("", stored);
    EXPECT_STREQ(stored, "");
    char back[64] = "junk";
    EXPECT_FALSE(ob_deobfuscate("", back));
    EXPECT_STREQ(back, "");

    char full[32];
    ob_obfuscate("4711", full);
    std::string odd = std::string(full) + "H";
    EXPECT_TRUE(ob_deobfuscate(odd.c_str(), back));
    EXPECT_STREQ(back, "4711") << "a single left-over character is ignored";
    odd = std::string(full, strlen(full) - 1);
    EXPECT_TRUE(ob_deobfuscate(odd.c_str(), back));
    EXPECT_STREQ(back, "471") << "an odd count loses only the last character";
}

TEST(Scrambling, PlainTextComesBackUnchanged) {
    char back[64];
    EXPECT_FALSE(ob_deobfuscate("1234", back));
    EXPECT_STREQ(back, "1234");
    EXPECT_TRUE(ob_deobfuscate("CRYPT1zz", back)) << "unknown characters count as 0";
    EXPECT_EQ(static_cast<unsigned char>(back[0]), static_cast<unsigned char>('T'));
}
