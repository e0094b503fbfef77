// The daily statistics made from the connection log, and the files they are written to.
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "ui/connlog_statistics.h"

#include <tuple>

namespace {

const char* INFO = "mavlyn    Version 0.4    Datum 11.10.2010~mavlyn    Version 0.4    Date "
                   "11.10.2010 (d.m.y)";

// The statistics' text after its six head lines, a word per line: "dd.mm. value" without
// the bar, "." for a gap, T and L for the scale's ticks and labels.
std::string days(int art, const std::vector<std::string>& log) {
    cf__connlogstatistics st(art, false, INFO);
    for (const auto& l : log) st.feed(l.c_str());
    st.finish();
    std::istringstream text(st.text);
    std::string out, line;
    for (int n = 0; std::getline(text, line); n++) {
        line.pop_back(); // the CR
        std::istringstream words(line);
        std::string date, value;
        words >> date >> value;
        if (n < 6) continue;
        out += line == cf__scaleticks(art)    ? " T"
               : line == cf__scalelabels(art) ? " L"
               : date == "."                  ? " ."
                                              : " " + date + " " + value;
    }
    return out.substr(1);
}

} // namespace

TEST(ConnlogLines, VolumesAndTimesInBothLanguages) {
    // A line: its keyword, whether its value is a time, the value.
    const std::tuple<const char*, int, bool, long> cases[] = {
        {"2010-10-11 14:05:09 Subtotal: 1 234 kB.\r\n", cf__SUBTOTAL, false, 1234},
        {"2010-10-11 14:05:09 Datenvolumen:   56789 kB\n", cf__DATAVOLUME, false, 56789},
        {"2010-10-11 14:05:09 Data volume: 0 kB", cf__DATAVOLUME, false, 0},
        {"2010-10-11 23:59:59 Onlinezeit: 0012:34", cf__ONLINETIME, true, 754},
        {"2010-10-11 14:05:09 Online time: 0000:07", cf__ONLINETIME, true, 7},
        {"2010-10-11 14:05:09 Subtotal: 99999999999999999999999 kB", cf__SUBTOTAL, false,
         cf__VALUEMAX},
    };
    for (const auto& [line, keyword, minutes, value] : cases) {
        cf__logline l;
        ASSERT_TRUE(cf__parselogline(line, &l)) << line;
        EXPECT_EQ(l.keyword, keyword) << line;
        EXPECT_EQ(l.minutes, minutes) << line;
        EXPECT_EQ(l.value, value) << line;
        EXPECT_EQ(l.year * 10000 + l.month * 100 + l.day, 20101011) << line;
        // Each statistics takes only its own lines.
        EXPECT_EQ(cf__countsfor(l, 1), !minutes && keyword != cf__ONLINETIME) << line;
        EXPECT_EQ(cf__countsfor(l, 2), minutes && keyword != cf__DATAVOLUME) << line;
    }
    cf__logline l;
    for (const char* s :
         {"2010-10-11 14:05:09 Connection terminated.", "2010-10-11 14:05:09 Month total: 5000 kB.",
          "2010-10-11 14:05:09 Subtotal: kB", "2010-10-11 14:05:09 Subtotal: 12 MB",
          "2010-10-11 14:05:09 Subtotal: 12:5", "2010-10-11 14:05:09  Subtotal: 12 kB",
          "2010-10-11 14:05:09'2 Subtotal: 12 kB", "2010-10-11 14:05:09 '02 Subtotal: 12 kB",
          "2010-10-11 14:05:09 subtotal: 12 kB", "2010-10-11 14:5:09 Subtotal: 12 kB",
          "2010-13-11 14:05:09 Subtotal: 12 kB", "2010-10-00 14:05:09 Subtotal: 12 kB",
          "2010-10-11 14:05:09", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(cf__parselogline(s, &l)) << (s ? s : "null");
}

TEST(ConnlogBars, VolumeSixStepsPerDecadeTimeUpToOneDay) {
    const std::string k(18, 'k'), M(18, 'M'), G(18, 'G');
    const std::tuple<int, long, std::string> cases[] = {
        {1, 14, "11.10.    000014 kkkkkkk"}, // steps 1.0, 1.5, 2.2, 3.3, 4.7, 6.8
        {1, 1500000, "11.10.   1500000 " + k + M + "GG"},
        {1, cf__VALUEMAX, "11.10." + std::to_string(cf__VALUEMAX) + " " + k + M + G + "TTTTTT"},
        {2, 0, "11.10. 00:00 m"},
        {2, 60, "11.10. 01:00 " + std::string(12, 'm') + "h"},
        {2, 1500, "11.10. 24:00 " + std::string(12, 'm') + std::string(46, 'h')},
    };
    for (const auto& [art, value, line] : cases)
        EXPECT_EQ(cf__dayline(art, 11, 10, value), line) << value;
}

// Summing per day, and the calendar between the days of the log.
TEST(ConnlogDays, RunningTotalsMidnightMissingDaysAndGaps) {
    auto vol = [](const char* when) { return std::string(when) + " 10:00:00 Data volume: 1 kB"; };
    // A name, the statistics (1 volume, 2 time), the log and its days.
    const std::tuple<const char*, int, std::vector<std::string>, const char*> cases[] = {
        // 100, +200, a restart counts from 0 (+50), a final volume whole (+400), and the first
        // line after it from 0 again (+30).
        {"growth",
         1,
         {"2010-10-11 10:00:00 Subtotal: 100 kB", "2010-10-11 11:00:00 Subtotal: 300 kB",
          "2010-10-11 11:30:00 Subtotal: 50 kB", "2010-10-11 12:00:00 Data volume: 400 kB",
          "2010-10-11 13:00:00 Subtotal: 30 kB"},
         "11.10. 000780 T L"},
        {"time",
         2,
         {"2010-10-11 10:00:00 Zwischensumme: 0000:10",
          "2010-10-11 10:20:00 Zwischensumme: 0000:30", "2010-10-11 11:00:00 Onlinezeit: 0001:05"},
         "11.10. 01:35 T L"},
        // The first two minutes after midnight belong to the day before.
        {"midnight",
         1,
         {"2010-10-11 22:00:00 Subtotal: 100 kB", "2010-10-12 00:00:30 Subtotal: 250 kB",
          "2010-10-12 00:01:59 Subtotal: 260 kB", "2010-10-12 00:02:00 Subtotal: 300 kB",
          "2010-10-12 08:00:00 Data volume: 500 kB"},
         "11.10. 000260 12.10. 000540 T L"},
        // Also at the start of the log, into the leap day.
        {"first line at midnight", 1, {"2012-03-01 00:00:10 Subtotal: 70 kB"}, "29.02. 000070 T L"},
        // Missing days are listed, with the scale at the first of a month.
        {"leap year",
         1,
         {"2012-02-28 10:00:00 Data volume: 10 kB", vol("2012-03-02")},
         "28.02. 000010 29.02. 000000 T L T 01.03. 000000 02.03. 000001 T L"},
        {"no leap year",
         2,
         {"2011-02-28 10:00:00 Online time: 0000:05", "2011-03-02 10:00:00 Online time: 0000:05"},
         "28.02. 00:05 T L T 01.03. 00:00 02.03. 00:05 T L"},
        {"new year",
         1,
         {vol("2010-12-31"), vol("2011-01-01")},
         "31.12. 000001 T L 01.01. 000001 T L"},
        {"after 30 days",
         1,
         {vol("2010-04-30"), vol("2010-05-01")},
         "30.04. 000001 T L 01.05. 000001 T L"},
        // Three gap lines instead of 59 empty days; a skipped year and a log back in time too.
        {"long gap",
         1,
         {vol("2010-01-01"), vol("2010-03-01")},
         "01.01. 000001 . . . 01.03. 000001 T L"},
        {"year skipped",
         1,
         {vol("2010-05-05"), vol("2012-01-02")},
         "05.05. 000001 . . . 02.01. 000001 T L"},
        {"back in time",
         1,
         {vol("2010-05-05"), vol("2010-05-04")},
         "05.05. 000001 . . . 04.05. 000001 T L"},
    };
    for (const auto& [name, art, log, want] : cases) EXPECT_EQ(days(art, log), want) << name;
}

TEST(ConnlogFiles, NoLogNoFiles) {
    InTempDir tmp;
    strMcpy(connlogdatei, "connlog.txt");
    EXPECT_FALSE(cf__connloggrafik(1));
    EXPECT_FALSE(exists("connlog_vol.txt") || exists("connlog_vol.csv"));
}
