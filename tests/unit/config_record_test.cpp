#include "config/config_record.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(ConfigRecord, Defaults) {
    memset(&inidat, 0x5A, sizeof inidat);
    iv_inidefaults();
    EXPECT_EQ(inidat.hinweisk, '0');
    EXPECT_STREQ(inidat.ppq, "*100#");
    EXPECT_STREQ(inidat.ppc, "*104*<INPUT>#");
    EXPECT_TRUE(inidat.constart);
    EXPECT_TRUE(inidat.conende);
    EXPECT_EQ(inidat.round, 1);
    EXPECT_EQ(inidat.roundt, 1);
    const int err[8] = {0, 15, 50, 10, 10, 10, 10, 4};
    for (int i = 0; i < ERRN; i++) EXPECT_EQ(inidat.err[i], err[i]) << errname[i];
    EXPECT_EQ(inidat.enduhrzeit1, -1);
    EXPECT_EQ(inidat.enduhrzeit2, -1);
    EXPECT_EQ(inidat.icon, 1);
    EXPECT_EQ(inidat.header2, 'A');
    EXPECT_EQ(inidat.header3, 'A');
    EXPECT_EQ(inidat.headervoffset, 999);
    EXPECT_EQ(inidat.pingp, inidat.ping);
    EXPECT_STREQ(inidat.apn, "");
    EXPECT_EQ(inidat.max[2], 0);
    for (int c = 0; c < 256; c++) ASSERT_EQ(inidat.mod[c], 0);
    EXPECT_STREQ(errname[ERR_L], "L");
    EXPECT_STREQ(errname[ERR_BUF], "BUF");
    EXPECT_EQ(strlen(headerdaten), 53u);
}

TEST(ConfigRecord, ModLettersAreCaseSensitive) {
    iv_inidefaults();
    iv_readmod("pK;P 8-");
    EXPECT_TRUE(MODUS('P'));
    EXPECT_TRUE(MODUS('p'));
    EXPECT_TRUE(MODUS('K'));
    EXPECT_FALSE(MODUS('k'));
    EXPECT_TRUE(MODUS('8'));
    EXPECT_FALSE(MODUS(';'));
    char out[64];
    iv_writemod(out, sizeof out);
    EXPECT_STREQ(out, "8KPp") << "ascending code order";
    iv_readmod("");
    iv_writemod(out, sizeof out);
    EXPECT_STREQ(out, "");
    iv_readmod("\xE4\xFF"
               "Z");
    iv_writemod(out, sizeof out);
    EXPECT_STREQ(out, "Z") << "only letters and digits";
    iv_readmod("ABCDEFG");
    iv_writemod(out, 4);
    EXPECT_STREQ(out, "ABC");
}
