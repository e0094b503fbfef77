// Text, time and file helpers that the logs, command files and queue folders rest on.
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <ctime>
#include <sys/stat.h>

// Every fixed-size field is filled through strmcpy.
TEST(Text, CopiesCutToTheirField) {
    char d[4] = "xyz";
    EXPECT_STREQ(strmcpy(d, "q", 0), "xyz") << "maxlen 0 leaves dest alone";
    EXPECT_STREQ(strmcpy(d, "abcdef", sizeof d), "abc");
    EXPECT_STREQ(strmcpy(d, "abcdef", 1), "");
}

TEST(Clock, TimeStampsAndTheEndTimeWindow) {
    struct tm t {};
    t.tm_year = 110, t.tm_mon = 9, t.tm_mday = 11, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 7;
    char out[32];
    ut_formatkompakt(out, sizeof out, t);
    EXPECT_STREQ(out, "20101011_090507");
    struct {
        int now, from, to;
        bool inside;
    } window[] = {
        {23 * 60, 1320, 390, true}, {6 * 60 + 30, 1320, 390, true}, {6 * 60 + 31, 1320, 390, false},
        {600, 600, 600, true},      {601, 600, 700, true},          {599, 600, 700, false},
        {0, -1, 390, false}};
    for (const auto& w : window)
        EXPECT_EQ(ut_innerhalb(w.now, w.from, w.to), w.inside) << w.now << " " << w.from;
    inidat.enduhrzeit1 = 0;
    inidat.enduhrzeit2 = 1439;
    inidatgueltig = false;
    EXPECT_FALSE(innerhalb_enduhrzeit()) << "not before the record is valid";
    inidatgueltig = true;
    EXPECT_TRUE(innerhalb_enduhrzeit());
}

static unsigned mode(const char* path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
}

TEST(Files, CopyFindModesAndLinks) {
    InTempDir tmp;
    std::string block(70000, 'x');
    block[40000] = 0;
    write_file("a.txt", block);
    EXPECT_TRUE(file_copy("a.txt", "b.txt", false));
    EXPECT_EQ(read_file("b.txt"), block) << "blocks and NUL bytes copied whole";
    EXPECT_EQ(mode("b.txt"), 0600u);
    EXPECT_FALSE(file_copy("a.txt", "b.txt", true)) << "existing target kept with fiex";
    EXPECT_FALSE(file_copy("missing", "c.txt", false) || exists("c.txt"));
    EXPECT_TRUE(file_delete("b.txt"));
    EXPECT_FALSE(file_delete("b.txt"));

    ASSERT_TRUE(dir_create("sms_send") && dir_create("sms_send")) << "an existing one counts";
    char re[300] = "junk", small[8];
    EXPECT_FALSE(file_find("sms_send", "sms_", re));
    EXPECT_STREQ(re, "");
    write_file("sms_send/sms_1.txt", "x");
    write_file("sms_send/other", "x");
    EXPECT_TRUE(file_find("sms_send/", "sms_", re));
    EXPECT_STREQ(re, "sms_send/sms_1.txt");
    EXPECT_TRUE(file_find("sms_send", "sms_", small, sizeof small));
    EXPECT_STREQ(small, "sms_sen") << "the result is cut to its buffer";

    // Read and write bits are added, nothing is taken away.
    chmod("a.txt", 0444);
    mkdir("d", 0500);
    EXPECT_TRUE(file_makerw("a.txt", true) && file_makerw("d", false));
    EXPECT_FALSE(file_makerw("missing", false));
    EXPECT_EQ(mode("a.txt"), 0744u);
    EXPECT_EQ(mode("d"), 0700u);
    EXPECT_TRUE(symlink_create("/etc/hostname", "link", false));
    EXPECT_TRUE(symlink_create("/elsewhere", "link", false)) << "an existing link counts";
}
