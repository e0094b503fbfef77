// The daily statistics made from the connection log: reading log lines, summing per day, the
// bars, the calendar between days, and the two files as a spreadsheet or an editor sees them.
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "ui/connlog_statistics.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const char* INFO = "mavlyn    Version 0.4    Datum 11.10.2010~mavlyn    Version 0.4    Date "
                   "11.10.2010 (d.m.y)";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return out;
}

// The lines after the six head lines (info, title, warranty, empty, labels, ticks).
std::vector<std::string> body(int art, const std::vector<std::string>& log) {
    cf__connlogstatistics st(art, false, INFO);
    for (const auto& l : log) st.feed(l.c_str());
    st.finish();
    auto all = lines_of(st.text);
    EXPECT_GE(all.size(), 6u);
    return std::vector<std::string>(all.begin() + 6, all.end());
}

long day_total(int art, const std::vector<std::string>& log, int line = 0) {
    cf__connlogstatistics st(art, false, INFO);
    for (const auto& l : log) st.feed(l.c_str());
    st.finish();
    auto csv = lines_of(st.csv);
    if (line >= static_cast<int>(csv.size())) return -1;
    size_t q = csv[line].rfind(";\"");
    return std::stol(csv[line].substr(q + 2));
}

const std::string VT = cf__scaleticks(1), VL = cf__scalelabels(1);

} // namespace

// ------------------------------------------------------------------ log lines

TEST(ConnlogLines, VolumesAndTimesInBothLanguages) {
    const struct {
        const char* line;
        int keyword;
        bool minutes;
        long value;
    } cases[] = {
        {"2010-10-11 14:05:09 Subtotal: 1 234 kB.\r\n", cf__SUBTOTAL, false, 1234},
        {"2010-10-11 14:05:09 Datenvolumen:   56789 kB\n", cf__DATAVOLUME, false, 56789},
        {"2010-10-11 14:05:09 Data volume: 0 kB", cf__DATAVOLUME, false, 0},
        {"2010-10-11 23:59:59 Onlinezeit: 0012:34", cf__ONLINETIME, true, 754},
        {"2010-10-11 14:05:09 Online time: 0000:07", cf__ONLINETIME, true, 7},
        // The marker of a second instance is skipped.
        {"2010-10-11 14:05:09'02 Zwischensumme: 0001:05", cf__SUBTOTAL, true, 65},
        {"2010-10-11 14:05:09 Subtotal: 99999999999999999999999 kB", cf__SUBTOTAL, false,
         cf__VALUEMAX},
    };
    for (const auto& c : cases) {
        cf__logline l;
        ASSERT_TRUE(cf__parselogline(c.line, &l)) << c.line;
        EXPECT_EQ(l.keyword, c.keyword) << c.line;
        EXPECT_EQ(l.minutes, c.minutes) << c.line;
        EXPECT_EQ(l.value, c.value) << c.line;
        EXPECT_EQ(l.year * 10000 + l.month * 100 + l.day, 20101011) << c.line;
        // Each statistics takes only its own lines.
        EXPECT_EQ(cf__countsfor(l, 1), !c.minutes && c.keyword != cf__ONLINETIME) << c.line;
        EXPECT_EQ(cf__countsfor(l, 2), c.minutes && c.keyword != cf__DATAVOLUME) << c.line;
    }
}

TEST(ConnlogLines, OtherLinesDoNotCount) {
    cf__logline l;
    for (const char* s :
         {"2010-10-11 14:05:09 Connection terminated.", "2010-10-11 14:05:09 Month total: 5000 kB.",
          "2010-10-11 14:05:09 Subtotal: kB", "2010-10-11 14:05:09 Subtotal: 12 MB",
          "2010-10-11 14:05:09 Subtotal: 12:5", "2010-10-11 14:05:09  Subtotal: 12 kB",
          "2010-10-11 14:05:09'2 Subtotal: 12 kB", "2010-10-11 14:05:09 '02 Subtotal: 12 kB",
          "2010-10-11 14:05:09 subtotal: 12 kB", "2010-10-11 14:5:09 Subtotal: 12 kB",
          "2010-13-11 14:05:09 Subtotal: 12 kB", "2010-10-00 14:05:09 Subtotal: 12 kB",
          "2010-10-11 14:05:09", ""})
        EXPECT_FALSE(cf__parselogline(s, &l)) << s;
    EXPECT_FALSE(cf__parselogline(nullptr, &l));
}

// ------------------------------------------------------------------ bars

TEST(ConnlogBars, VolumeSixStepsPerDecadeTimeUpToOneDay) {
    const std::string k(18, 'k'), M(18, 'M'), G(18, 'G');
    const struct {
        int art;
        long value;
        std::string line;
    } cases[] = {
        {1, 1, "11.10.    000001 k"},
        {1, 14, "11.10.    000014 kkkkkkk"}, // steps 1.0, 1.5, 2.2, 3.3, 4.7, 6.8
        {1, 68, "11.10.    000068 " + std::string(12, 'k')},
        {1, 999, "11.10.    000999 " + k},
        {1, 1000, "11.10.    001000 " + k + "M"},
        {1, 1500000, "11.10.   1500000 " + k + M + "GG"},
        {1, cf__VALUEMAX, "11.10." + std::to_string(cf__VALUEMAX) + " " + k + M + G + "TTTTTT"},
        {2, 0, "11.10. 00:00 m"},
        {2, 60, "11.10. 01:00 " + std::string(12, 'm') + "h"},
        {2, 1500, "11.10. 24:00 " + std::string(12, 'm') + std::string(46, 'h')},
    };
    for (const auto& c : cases) EXPECT_EQ(cf__dayline(c.art, 11, 10, c.value), c.line) << c.value;
}

// ------------------------------------------------------------------ summing per day

TEST(ConnlogSums, RunningTotalsCountOnlyTheirGrowth) {
    // 100, +200, a restart counts from 0 (+50), a final volume whole (+400), and the first
    // line after it from 0 again (+30).
    EXPECT_EQ(
        day_total(1,
                  {"2010-10-11 10:00:00 Subtotal: 100 kB", "2010-10-11 11:00:00 Subtotal: 300 kB",
                   "2010-10-11 11:30:00 Subtotal: 50 kB", "2010-10-11 12:00:00 Data volume: 400 kB",
                   "2010-10-11 13:00:00 Subtotal: 30 kB"}),
        780);
    EXPECT_EQ(day_total(2, {"2010-10-11 10:00:00 Zwischensumme: 0000:10",
                            "2010-10-11 10:20:00 Zwischensumme: 0000:30",
                            "2010-10-11 11:00:00 Onlinezeit: 0001:05"}),
              30 + 65);
}

TEST(ConnlogSums, FirstMinutesAfterMidnightBelongToTheDayBefore) {
    std::vector<std::string> log = {
        "2010-10-11 22:00:00 Subtotal: 100 kB", "2010-10-12 00:00:30 Subtotal: 250 kB",
        "2010-10-12 00:01:59 Subtotal: 260 kB", "2010-10-12 00:02:00 Subtotal: 300 kB",
        "2010-10-12 08:00:00 Data volume: 500 kB"};
    EXPECT_EQ(day_total(1, log, 0), 260);
    EXPECT_EQ(day_total(1, log, 1), 40 + 500);

    // A log that starts at midnight gives that minute to the calendar day before.
    cf__connlogstatistics st(1, false, INFO);
    st.feed("2012-03-01 00:00:10 Subtotal: 70 kB");
    st.finish();
    EXPECT_EQ(st.csv, "\"29.02.2012\";\"70\"\r\n");
}

// ------------------------------------------------------------------ days between

TEST(ConnlogCalendar, MissingDaysOfALeapYearWithScaleAtTheFirst) {
    auto b = body(
        1, {"2012-02-28 10:00:00 Data volume: 10 kB", "2012-03-02 10:00:00 Data volume: 1 kB"});
    std::vector<std::string> want = {"28.02.    000010 kkkkkkk", "29.02.    000000 .", VT, VL, VT,
                                     "01.03.    000000 .",       "02.03.    000001 k", VT, VL};
    EXPECT_EQ(b, want);

    // Not a leap year: February ends at the 28th.
    b = body(2, {"2011-02-28 10:00:00 Online time: 0000:05",
                 "2011-03-02 10:00:00 Online time: 0000:05"});
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(b[4], "01.03. 00:00 .");
}

TEST(ConnlogCalendar, MonthAndYearChangesAndLongGaps) {
    // The next day in a new month: ticks and labels.
    auto b =
        body(1, {"2010-12-31 10:00:00 Data volume: 1 kB", "2011-01-01 10:00:00 Data volume: 1 kB"});
    EXPECT_EQ(
        b, (std::vector<std::string>{"31.12.    000001 k", VT, VL, "01.01.    000001 k", VT, VL}));
    // Also when the old month had 30 days.
    b = body(1, {"2010-04-30 10:00:00 Data volume: 1 kB", "2010-05-01 10:00:00 Data volume: 1 kB"});
    EXPECT_EQ(b[1], VT);
    // 1 January to 1 March: three gap lines instead of 59 empty days.
    b = body(1, {"2010-01-01 10:00:00 Data volume: 1 kB", "2010-03-01 10:00:00 Data volume: 1 kB"});
    EXPECT_EQ(b, (std::vector<std::string>{"01.01.    000001 k", ".                .",
                                           ".                .", ".                .",
                                           "01.03.    000001 k", VT, VL}));
    // A year skipped is a gap too, and so is a log that goes back in time.
    for (const char* later :
         {"2012-01-02 10:00:00 Data volume: 1 kB", "2010-05-04 10:00:00 Data volume: 1 kB"}) {
        b = body(1, {"2010-05-05 10:00:00 Data volume: 1 kB", later});
        ASSERT_EQ(b.size(), 7u) << later;
        EXPECT_EQ(b[1], ".                .") << later;
    }
}

// ------------------------------------------------------------------ the files

// The unit binary puts the file names, the version line and the language back.
TEST(ConnlogFiles, TextAndCsvFromTheLog) {
    InTempDir tmp;
    strMcpy(connlogdatei, "connlog.txt");
    strMcpy(configinfo, INFO);
    _de = false;
    {
        std::ofstream log("connlog.txt", std::ios::binary);
        log << "2010-10-09 18:00:00 Connection established.\n"
               "2010-10-09 19:00:00 Data volume: 2 500 kB\n"
               "2010-10-09 19:00:00 Online time: 0001:00\n"
               "2010-10-10 23:00:00 Subtotal: 800 kB\n"
               "2010-10-10 23:00:00 Subtotal: 0000:30\n"
               "2010-10-11 00:00:40'01 Subtotal: 1000 kB.\n"
               "2010-10-11 00:00:40'01 Subtotal: 0001:30\n"
               "2010-10-11 09:00:00 Subtotal: 1150 kB\n"
               "2010-10-11 09:00:00 Subtotal: 0010:00\n"
               "2010-10-11 09:00:00 Connection terminated.\n";
    }
    ASSERT_TRUE(cf__connloggrafik(1));
    EXPECT_EQ(read_file("connlog_vol.txt"),
              "mavlyn    Version 0.4    Date 11.10.2010 (d.m.y)\r\n"
              "Statistics: Data volume\r\n"
              "- results without warranty -\r\n"
              "\r\n"
              "                 1k    10k   100k  1M    10M   100M  1G\r\n"
              "                 |     |     |     |     |     |     |\r\n"
              "09.10.    002500 kkkkkkkkkkkkkkkkkkMMM\r\n"
              "10.10.    001000 kkkkkkkkkkkkkkkkkkM\r\n"
              "11.10.    000150 kkkkkkkkkkkkkk\r\n"
              "                 |     |     |     |     |     |     |\r\n"
              "                 1k    10k   100k  1M    10M   100M  1G\r\n");
    EXPECT_EQ(read_file("connlog_vol.csv"), "\"09.10.2010\";\"2500\"\r\n"
                                            "\"10.10.2010\";\"1000\"\r\n"
                                            "\"11.10.2010\";\"150\"\r\n");

    _de = true;
    ASSERT_TRUE(cf__connloggrafik(2));
    EXPECT_EQ(
        read_file("connlog_tim.txt")
            .rfind("mavlyn    Version 0.4    Datum 11.10.2010\r\n"
                   "Statistik: Onlinezeit\r\n"
                   "- Ergebnisse ohne Gewähr -\r\n\r\n"
                   "             1min  30min 1h2h  4h  6h  8h  10h 12h 14h 16h 18h 20h 22h\r\n",
                   0),
        0u)
        << "the German head";
    EXPECT_EQ(read_file("connlog_tim.csv"), "\"09.10.2010\";\"60\"\r\n"
                                            "\"10.10.2010\";\"90\"\r\n"
                                            "\"11.10.2010\";\"510\"\r\n");
}

TEST(ConnlogFiles, NoLogNoFiles) {
    InTempDir tmp;
    strMcpy(connlogdatei, "connlog.txt");
    EXPECT_FALSE(cf__connloggrafik(1));
    EXPECT_FALSE(exists("connlog_vol.txt") || exists("connlog_vol.csv"));
}
