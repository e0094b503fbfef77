#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(NumberText, BasesAndSigns) {
    char s[80];
    EXPECT_STREQ(itoa(0, s, 10), "0");
    EXPECT_STREQ(itoa(-255, s, 16), "-ff");
    EXPECT_STREQ(itoa(5, s, 2), "101");
    EXPECT_STREQ(itoa(INT_MIN, s, 10), "-2147483648");
    EXPECT_STREQ(ltoa(LONG_MIN, s, 16), "-8000000000000000");
    EXPECT_STREQ(ltoa(1234567890123L, s, 10), "1234567890123");
}

TEST(BoundedCopy, CutsAndAlwaysTerminates) {
    char d[4] = "xyz";
    EXPECT_STREQ(strmcpy(d, "abcdef", 1), "");
    EXPECT_STREQ(strmcpy(d, "abcdef", sizeof d), "abc");
    memcpy(d, "xyz", 4);
    strmcpy(d, "q", 0);
    EXPECT_STREQ(d, "xyz") << "maxlen 0 leaves dest alone";

    char big[10];
    char* end = stpMcpy(big, "abc");
    EXPECT_EQ(end, big + 3);
    end = stpmcpy(end, "defghijk", sizeof big - 3);
    EXPECT_STREQ(big, "abcdefghi");
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(stpmcpy(big, "x", 0), big);
}

TEST(BoundedCopy, TokenFieldsAdvanceThePointer) {
    char list[] = "abc;de;;f";
    char* p = list;
    char d[3];
    strmtcpy(d, &p, sizeof d, ';');
    EXPECT_STREQ(d, "ab");
    EXPECT_STREQ(p, "de;;f") << "the rest of a cut field is skipped with its token";
    strmtcpy(d, &p, sizeof d, ';');
    EXPECT_STREQ(d, "de");
    strmtcpy(d, &p, sizeof d, ';');
    EXPECT_STREQ(d, "");
    strmtcpy(d, &p, sizeof d, ';');
    EXPECT_STREQ(d, "f");
    EXPECT_STREQ(p, "");
    char big[30];
    STRMTCPY(big, &p, ';');
    EXPECT_STREQ(big, "") << "an exhausted list yields empty fields";
}

TEST(Compare, CaseInsensitive) {
    EXPECT_EQ(stricmp("Hello", "hELLO"), 0);
    EXPECT_EQ(stricmp("abc", "abd"), -1);
    EXPECT_EQ(stricmp("abd", "ABC"), 1);
    EXPECT_EQ(stricmp("ab", "abc"), -1);
    EXPECT_EQ(memicmp("ab", "AB", 2), 0);
    EXPECT_NE(memicmp("a", "ab", 2), 0);
    EXPECT_EQ(memicmp("mavlyn_END now", "MAVLYN_end", 10), 0);
    EXPECT_EQ(memicmp("x", "y", 0), 0);
    EXPECT_EQ(memicmp("", "", 1), 1) << "a NUL in s1 within siz counts as unequal";
}

TEST(Compare, SortRowsWithQsort) {
    char rows[3][8] = {"beta", "Alpha", "alpha"};
    qsort(rows, 3, sizeof rows[0], sortiervergleich);
    EXPECT_STREQ(rows[0], "Alpha");
    EXPECT_STREQ(rows[2], "beta");
    char rows2[3][8] = {"beta", "Gamma", "alpha"};
    qsort(rows2, 3, sizeof rows2[0], sortiervergleichi);
    EXPECT_STREQ(rows2[0], "alpha");
    EXPECT_STREQ(rows2[2], "Gamma");
}

TEST(Clamp, RaisesThenLowers) {
    EXPECT_EQ(bereich(-5, 0, 10), 0);
    EXPECT_EQ(bereich(50, 0, 10), 10);
    EXPECT_EQ(bereich(5, 10, 0), 0) << "von above bis: the upper bound wins";
    EXPECT_EQ(bereichl(1L << 40, 0, 99), 99);
}

TEST(Units, VolumeDurationAndClock) {
    EXPECT_STREQ(kbytemiteinheit(2000000), "2G");
    EXPECT_STREQ(kbytemiteinheit(1500), "1500k");
    EXPECT_STREQ(kbytemiteinheit(3000), "3M");
    EXPECT_STREQ(kbytemiteinheit(0), "0");
    EXPECT_STREQ(kbytemiteinheit(-7), "0");
    EXPECT_STREQ(zeitmiteinheit(2880), "2d");
    EXPECT_STREQ(zeitmiteinheit(120), "2h");
    EXPECT_STREQ(zeitmiteinheit(90), "90min");
    EXPECT_STREQ(zeitmiteinheit(0), "0");
    EXPECT_STREQ(stundenminuten(125), "0002:05");
    EXPECT_STREQ(stundenminuten(-3), "0000:00");
}

TEST(Clock, TimeStampForms) {
    struct tm t {};
    t.tm_year = 110, t.tm_mon = 9, t.tm_mday = 11, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 7;
    char out[32];
    ut_formatdatumzeit(out, sizeof out, t);
    EXPECT_STREQ(out, "2010-10-11 09:05:07");
    ut_formatkompakt(out, sizeof out, t);
    EXPECT_STREQ(out, "20101011_090507");
    EXPECT_EQ(strlen(datumzeit()), 19u);
    EXPECT_EQ(strlen(datumzeitkompakt()), 15u);
}

TEST(Clock, EndTimeWindowAcrossMidnight) {
    EXPECT_TRUE(ut_innerhalb(23 * 60, 1320, 390));
    EXPECT_TRUE(ut_innerhalb(6 * 60 + 30, 1320, 390));
    EXPECT_FALSE(ut_innerhalb(6 * 60 + 31, 1320, 390));
    EXPECT_TRUE(ut_innerhalb(600, 600, 600));
    EXPECT_FALSE(ut_innerhalb(601, 600, 700) && ut_innerhalb(599, 600, 700));
    EXPECT_FALSE(ut_innerhalb(0, -1, 390));

    inidat.enduhrzeit1 = 0;
    inidat.enduhrzeit2 = 1439;
    inidatgueltig = false;
    EXPECT_FALSE(innerhalb_enduhrzeit()) << "not before the record is valid";
    inidatgueltig = true;
    EXPECT_TRUE(innerhalb_enduhrzeit());
    inidat.enduhrzeit2 = -1;
    EXPECT_FALSE(innerhalb_enduhrzeit());
    inidatgueltig = false;
}

TEST(Files, ExistsLengthCopyDelete) {
    InTempDir tmp;
    EXPECT_FALSE(file_exists("a.txt"));
    EXPECT_EQ(file_length("a.txt"), -1);
    {
        std::ofstream f("a.txt", std::ios::binary);
        std::string block(70000, 'x');
        block[40000] = 0;
        f << block;
    }
    EXPECT_TRUE(file_exists("a.txt"));
    EXPECT_EQ(file_length("a.txt"), 70000);
    EXPECT_TRUE(file_copy("a.txt", "b.txt", false));
    EXPECT_EQ(read_file("b.txt"), read_file("a.txt")) << "blocks and NUL bytes copied whole";
    struct stat st;
    ASSERT_EQ(stat("b.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(file_copy("a.txt", "b.txt", true)) << "existing target kept with fiex";
    EXPECT_FALSE(file_copy("missing", "c.txt", false));
    EXPECT_FALSE(exists("c.txt"));
    EXPECT_TRUE(file_delete("b.txt"));
    EXPECT_FALSE(file_delete("b.txt"));
}

TEST(Files, FindInDirectory) {
    InTempDir tmp;
    ASSERT_TRUE(dir_create("sms_send"));
    EXPECT_TRUE(dir_create("sms_send")) << "an existing directory counts as success";
    char re[300] = "junk";
    EXPECT_FALSE(file_find("sms_send", "sms_", re));
    EXPECT_STREQ(re, "");
    std::ofstream("sms_send/sms_1.txt") << "x";
    std::ofstream("sms_send/other") << "x";
    EXPECT_TRUE(file_find("sms_send", "sms_", re));
    EXPECT_STREQ(re, "sms_send/sms_1.txt");
    EXPECT_TRUE(file_find("sms_send/", "sms_", re));
    EXPECT_STREQ(re, "sms_send/sms_1.txt");
    EXPECT_TRUE(file_find(nullptr, "sms_s", re));
    EXPECT_STREQ(re, "./sms_send");
    char small[8];
    EXPECT_TRUE(file_find("sms_send", "sms_", small, sizeof small));
    EXPECT_STREQ(small, "sms_sen") << "the result is cut to its buffer";
    EXPECT_FALSE(file_find("nodir", nullptr, re));
}

TEST(Files, MakeReadWriteAddsOnlyMissingBits) {
    InTempDir tmp;
    std::ofstream("f") << "x";
    chmod("f", 0444);
    EXPECT_TRUE(file_makerw("f", false));
    struct stat st;
    stat("f", &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(file_makerw("f", true));
    stat("f", &st);
    EXPECT_EQ(st.st_mode & 0777, 0744u);
    mkdir("d", 0500);
    EXPECT_TRUE(file_makerw("d", false));
    stat("d", &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(file_makerw("missing", false));
}

TEST(Files, SymlinkCreate) {
    InTempDir tmp;
    EXPECT_TRUE(symlink_create("/etc/hostname", "link", false));
    EXPECT_TRUE(symlink_create("/elsewhere", "link", false)) << "existing link counts";
    char target[100] = "";
    ASSERT_GT(readlink("link", target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/etc/hostname");
    EXPECT_FALSE(symlink_create(nullptr, "x", false));
}

TEST(Sleep, ProgramEndCutsTheSleepShort) {
    programmende_gewuenscht = true;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(msleepx(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
    programmende_gewuenscht = false;
    EXPECT_FALSE(msleepx(10));
}
