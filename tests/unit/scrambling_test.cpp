// PINs and logins stored scrambled in mavlyn.ini; older versions' files keep reading back.
#include "config/scrambling.h"
#include "test_support.h"

TEST(Scrambling, StoredFormReadsBack) {
    char stored[6 + 2 * 255 + 1], back[256];
    ob_obfuscate("1234567890", stored); // the whole key and its wrap
    EXPECT_STREQ(stored, "CRYPT13B#CH#VJ#VHB#A3J#C3#") << "the form existing files hold";
    char plain[256]; // every byte value
    for (int i = 0; i < 255; i++) plain[i] = static_cast<char>(i + 1);
    plain[255] = 0;
    ob_obfuscate(plain, stored);
    EXPECT_TRUE(ob_deobfuscate(stored, back));
    EXPECT_STREQ(back, plain);
}

TEST(Scrambling, DamagedAndPlainValues) {
    char full[32], back[64] = "junk";
    ob_obfuscate("", full);
    EXPECT_STREQ(full, "");
    EXPECT_FALSE(ob_deobfuscate("", back));
    EXPECT_STREQ(back, "");
    EXPECT_FALSE(ob_deobfuscate("1234", back)) << "a plain value is taken as it stands";
    EXPECT_STREQ(back, "1234");
    ob_obfuscate("4711", full);
    EXPECT_TRUE(ob_deobfuscate((std::string(full) + "H").c_str(), back));
    EXPECT_STREQ(back, "4711") << "a single left-over character is ignored";
    EXPECT_TRUE(ob_deobfuscate(std::string(full, strlen(full) - 1).c_str(), back));
    EXPECT_STREQ(back, "471");
    EXPECT_TRUE(ob_deobfuscate("CRYPT1zz", back)) << "unknown characters count as 0";
    EXPECT_EQ(back[0], 'T');
}
