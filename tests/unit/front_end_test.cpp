// The CONTROL role's display made from another instance's shared record.
#include "control/front_end.h"
#include "control/instance_interface.h"
#include "core/status_lines.h"
#include "test_support.h"

const long none[3] = {0, 0, 0};

// Fields of the record as the main instance writes them, and the lines shown from them.
TEST(FrontEnd, SignalSpeedModeVolumeAndTime) {
    struct {
        int raw, percent, dbm, online, opmode;
        unsigned up, down;
        const char *signal, *upline, *downline, *mode;
    } cases[] = {
        {12, 40, -89, 30, 2, 12345, 999, " 40% = -89dBm", "    12.3 kB/s", "     0.9 kB/s",
         " UMTS"},
        {3, 10, -107, 30, 2, 0, 60000, "+10% = -107dBm", "     0.0 kB/s", "    60.0 kB/s", " HSPA"},
        {0, 0, 0, 0, 1, 4000, 5450, " ", " offline", " offline", " GPRS"},
        {0, 0, 0, 0, 1, 4000, 5451, " ", " offline", " offline", " EDGE"},
        {0, 0, 0, 0, 7, 0, 0, " ", " offline", " offline", " "},
    };
    for (const auto& c : cases) {
        mvlio_t r{};
        r.signal_raw = static_cast<uint8_t>(c.raw);
        r.signal_percent = static_cast<uint8_t>(c.percent);
        r.signal_dbm = static_cast<int16_t>(c.dbm);
        r.online_time = static_cast<uint32_t>(c.online);
        r.opmode = static_cast<uint8_t>(c.opmode);
        r.upspeed = c.up;
        r.downspeed = c.down;
        fe__display_t d = fe__display(r, none, none);
        EXPECT_EQ(d.signal + "|" + d.up + "|" + d.down + "|" + d.mode,
                  std::string(c.signal) + "|" + c.upline + "|" + c.downline + "|" + c.mode);
    }
    mvlio_t r{};
    r.volume = 1234567;
    r.time = 125;
    const long vol[3] = {1000000, 2000000, 3000000};
    const long tim[3] = {100, 120, 200};
    fe__display_t d = fe__display(r, vol, tim);
    EXPECT_EQ(d.volume, "+  1 234 567 kB") << "beyond the first local limit";
    EXPECT_EQ(d.time[0], '*');
    EXPECT_EQ(fe__display(r, none, none).volume, "   1 234 567 kB");
}

TEST(FrontEnd, UnterminatedTextsAndAbsurdNumbersAreShownSafely) {
    mvlio_t r;
    memset(&r, 'A', sizeof r);
    r.signal_raw = 255;
    r.signal_percent = 255;
    fe__display_t d = fe__display(r, none, none);
    EXPECT_EQ(d.message.size(), sizeof r.message);
    EXPECT_EQ(d.mini.size(), sizeof r.mini_message + 1) << "with its marker";
    EXPECT_EQ(d.error.size(), sizeof r.error_message);
}
