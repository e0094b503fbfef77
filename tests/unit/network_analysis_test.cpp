#include "ui/network_analysis.h"

#include "foundation/utilities.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

cf__netz_t entry(int ba, int sig, const char* plmn, const char* name, int status = 1) {
    cf__netz_t e{};
    e.ba = ba;
    e.sig = sig;
    strMcpy(e.plmn, plmn);
    strMcpy(e.name, name);
    e.status = status;
    return e;
}

std::string scan_group(int i) {
    return "(1,\"Net" + std::to_string(i) + "\",\"N" + std::to_string(i) + "\",\"" +
           std::to_string(26200 + i) + "\",2)";
}

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) n++;
    return n;
}

} // namespace

// ---- the scan answer

TEST(NetworkAnalysisScan, RealAnswerGivesEveryNetworkWithItsStatus) {
    cf__netz_t t[cf__NETZMAX];
    int n = 0;
    const char* answer = "\r\n+COPS: (2,\"Vodafone.de\",\"Vodafone\",\"26202\",2),"
                         "(3,\"o2 - de\",\"o2 - de\",\"26207\",0),(1,\"T-Mobile D\",\"TMO D\","
                         "\"262001\",2),,(0,1,2,3,4),(0,1,2)\r\n\r\nOK\r\n";
    EXPECT_EQ(cf__netzparse(answer, 2, t, &n, cf__NETZMAX), 3);
    ASSERT_EQ(n, 3);
    EXPECT_STREQ(t[0].name, "Vodafone.de");
    EXPECT_STREQ(t[0].plmn, "26202");
    EXPECT_EQ(t[0].status, 2);
    EXPECT_STREQ(t[1].name, "o2 - de");
    EXPECT_EQ(t[1].status, 3);
    EXPECT_STREQ(t[2].plmn, "262001") << "six digits are a network code too";
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(t[i].ba, 2);
        EXPECT_EQ(t[i].sig, -1);
    }
    // A second pass adds behind the first.
    EXPECT_EQ(cf__netzparse("+COPS: (1,\"E-Plus\",\"E+\",\"26203\",0)\r\nOK", 1, t, &n, 40), 1);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(t[3].ba, 1);
    EXPECT_STREQ(t[0].name, "Vodafone.de") << "earlier entries stay";
}

TEST(NetworkAnalysisScan, MoreThanFortyNetworksKeepTheFirstForty) {
    std::string answer = "+COPS: ";
    for (int i = 0; i < 45; i++) answer += scan_group(i) + ",";
    answer += ",(0,1,2,3,4),(0,1,2)\r\nOK\r\n";
    std::vector<cf__netz_t> t(cf__NETZMAX + 5, entry(9, 9, "x", "untouched"));
    int n = 0;
    EXPECT_EQ(cf__netzparse(answer.c_str(), 1, t.data(), &n, cf__NETZMAX), 40);
    EXPECT_EQ(n, 40);
    EXPECT_STREQ(t[0].name, "Net0");
    EXPECT_STREQ(t[39].name, "Net39");
    EXPECT_STREQ(t[40].name, "untouched") << "nothing is written behind the table";
    // With 38 from an earlier pass only two more fit.
    n = 38;
    EXPECT_EQ(cf__netzparse(answer.c_str(), 2, t.data(), &n, cf__NETZMAX), 2);
    EXPECT_EQ(n, 40);
    EXPECT_STREQ(t[40].name, "untouched");
}

TEST(NetworkAnalysisScan, OddAndHostileGroups) {
    cf__netz_t t[cf__NETZMAX];
    struct {
        const char* answer;
        int found;
        const char* name;
        const char* plmn;
        int status;
    } cases[] = {
        // The long name is cut to its field.
        {"(1,\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\",\"s\",\"26202\")", 1,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "26202", 1},
        // Codes of 4 or 7 digits and non-digits are no codes.
        {"(1,\"A\",\"2620\",\"2620211\",\"2620x\")", 1, "A", "", 1},
        {"(1,\"A\",\"B\",\"26202\",\"26203\")", 1, "A", "26202", 1},
        // A bracket inside the quotes belongs to the name.
        {"(2,\"o2 (DE)\",\"o2\",\"26207\",2)", 1, "o2 (DE)", "26207", 2},
        // No digit 1-3 before the first comma: no status.
        {"(0,\"A\",\"B\",\"26201\")", 1, "A", "26201", 0},
        {"(12,\"A\",\"B\",\"26201\")", 1, "A", "26201", 0},
        {"(\"A\",\"B\",\"26201\")", 1, "A", "26201", 0},
        // Control characters do not reach the lines.
        {"(1,\"A\r\nB\",\"s\",\"26201\")", 1, "A  B", "26201", 1},
        // A cut answer: the open group is no network.
        {"(1,\"A\",\"B\",\"26201\",2),(1,\"C\",\"D\",\"262", 1, "A", "26201", 1},
        {"(1,\"A\",\"B\",\"26201\"", 0, "", "", 0},
        {"(1,\"A", 0, "", "", 0},
        {"(1,\"A\",\"B\"", 0, "", "", 0},
        // An unclosed group followed by a new one: the new one counts.
        {"(1,\"A\",(2,\"C\",\"D\",\"26209\")", 1, "C", "26209", 2},
        // Groups without quoted text are the lists of modes and formats.
        {"(0,1,2,3,4),(0,1,2)", 0, "", "", 0},
        {"(1,\"\",\"\",\"\")", 0, "", "", 0},
        {"", 0, "", "", 0},
        {"((((", 0, "", "", 0},
    };
    for (const auto& c : cases) {
        int n = 0;
        EXPECT_EQ(cf__netzparse(c.answer, 1, t, &n, cf__NETZMAX), c.found) << c.answer;
        EXPECT_EQ(n, c.found);
        if (c.found) {
            EXPECT_STREQ(t[0].name, c.name) << c.answer;
            EXPECT_STREQ(t[0].plmn, c.plmn) << c.answer;
            EXPECT_EQ(t[0].status, c.status) << c.answer;
        }
    }
    int n = 0;
    EXPECT_EQ(cf__netzparse(nullptr, 1, t, &n, cf__NETZMAX), 0);
}

// ---- the signal measurement

TEST(NetworkAnalysisSignal, CsqValueAndPercent) {
    struct {
        const char* answer;
        int value;
    } cases[] = {
        {"\r\n+CSQ: 20,99\r\n\r\nOK\r\n", 20},
        {"+CSQ:7,0", 7},
        {"+CSQ: 0,99", 0},
        {"+CSQ: 99,99", -1},
        {"+CSQ: 33,99", -1},
        {"+CSQ: 1234", -1},
        {"+CSQ: ,99", -1},
        {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(cf__csqvalue(c.answer), c.value) << c.answer;
    EXPECT_EQ(cf__csqvalue(nullptr), -1);
    EXPECT_EQ(cf__csqpercent(20), 66);
    EXPECT_EQ(cf__csqpercent(32), 100) << "never above 100";
}

TEST(NetworkAnalysisSignal, StoppingRule) {
    // The number of values fed until the rule stops, 0 when it does not within the list.
    auto stops_after = [](std::vector<int> values) {
        cf__csqmess_t m;
        for (size_t i = 0; i < values.size(); i++)
            if (cf__csqstep(&m, values[i])) return static_cast<int>(i + 1);
        return 0;
    };
    EXPECT_EQ(stops_after({50, 50, 50, 50}), 3) << "third identical value in a row";
    EXPECT_EQ(stops_after({50, 50, 60, 60, 60}), 5) << "the row starts again";
    EXPECT_EQ(stops_after({0, 0, 0, 0, 0, 0, 0}), 6)
        << "zeros do not count as identical, only as close";
    EXPECT_EQ(stops_after({10, 13, 10, 13, 10, 13, 10}), 6)
        << "the fifth value within 4 points of its predecessor";
    EXPECT_EQ(stops_after({10, 30, 33, 60, 62, 90, 94, 20, 23, 50, 54}), 11)
        << "close values need not follow each other";
    EXPECT_EQ(stops_after({10, 20, 30, 40, 50, 60, 70, 80}), 0);
    EXPECT_EQ(stops_after({10, 15, 10, 15, 10, 15, 10}), 0) << "5 points apart is not close";
}

// ---- sort, lines, clipboard, progress

TEST(NetworkAnalysisResult, SortPutsUmtsFirstAndStrongestFirst) {
    cf__netz_t t[] = {entry(1, 40, "1", "g40"), entry(2, 10, "2", "u10"),
                      entry(1, -1, "3", "g?"),  entry(2, 80, "4", "u80"),
                      entry(2, -1, "5", "u?"),  entry(1, 40, "6", "g40b")};
    cf__netzsort(t, 6);
    const char* order[] = {"u80", "u10", "u?", "g40", "g40b", "g?"};
    for (int i = 0; i < 6; i++) EXPECT_STREQ(t[i].name, order[i]) << i;
}

TEST(NetworkAnalysisResult, ViewLines) {
    EXPECT_EQ(cf__netzzeile(entry(2, 45, "26202", "Vodafone.de", 2), false),
              "UMTS\t45%\t[26202]\tVodafone.de");
    EXPECT_EQ(cf__netzzeile(entry(1, 5, "26207", "o2 - de", 3), true),
              "GPRS\t05%\t[26207]\to2 - de  (gesperrt)");
    EXPECT_EQ(cf__netzzeile(entry(2, -1, "", "X"), false), "UMTS\t?%\t[]\tX");
    // Full fields without their terminating NUL are read only within the field.
    cf__netz_t full = entry(2, 1, "", "");
    memset(full.plmn, '7', sizeof full.plmn);
    memset(full.name, 'n', sizeof full.name);
    EXPECT_EQ(cf__netzzeile(full, false),
              "UMTS\t01%\t[" + std::string(7, '7') + "]\t" + std::string(31, 'n'));
}

TEST(NetworkAnalysisResult, ClipboardText) {
    cf__netz_t t[] = {entry(2, 100, "26202", "Vodafone.de"), entry(2, 7, "26201", "T-Mobile"),
                      entry(1, -1, "26207", "o2 - de", 3)};
    const std::string head = "mavlyn 0.4\r\nNetwork Analysis\r\n01.02.2026 10:11:12\r\n\r\n";
    EXPECT_EQ(cf__netzclip(t, 3, false, false, "01.02.2026 10:11:12"),
              head + "UMTS 100%  [26202]  Vodafone.de\r\n"
                     "UMTS  07%  [26201]  T-Mobile\r\n"
                     "GPRS  ??%  [26207]  o2 - de  (forbidden)\r\n");
    EXPECT_EQ(cf__netzclip(t, 0, false, false, "d"),
              "mavlyn 0.4\r\nNetwork Analysis\r\nd\r\n\r\nNo network to be displayed.\r\n");
    // A count beyond the table is held to the table; the longest lines still fit.
    std::vector<cf__netz_t> many(100, entry(2, -1, "123456", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", 3));
    many[40] = entry(1, 1, "1", "behind the table");
    std::string clip = cf__netzclip(many.data(), 100, false, false, std::string(500, 'd').c_str());
    EXPECT_EQ(count(clip, "(forbidden)"), 40u);
    EXPECT_EQ(clip.find("behind"), std::string::npos);
    EXPECT_LE(clip.size(), static_cast<size_t>(cf__CLIPMAX));
}

// ---- choosing a network for the selection field

TEST(NetworkAnalysisChoose, ComboModesAndFieldLimit) {
    struct {
        int item;
        std::string field;
        bool ok;
        int item_after;
        std::string field_after;
    } cases[] = {
        {2, "old", true, 0, "Vodafone.de"},           // automatic: only this network
        {1, "E-Plus", true, 1, "E-Plus;Vodafone.de"}, // warning mode: appended
        {1, "", true, 1, "Vodafone.de"},              // warning mode, empty: replaced
        {0, "E-Plus", true, 0, "Vodafone.de"},        // only this network: replaced
        {1, std::string(282, 'x'), true, 1, std::string(282, 'x') + ";Vodafone.de"},
        {1, std::string(283, 'x'), false, 1, std::string(283, 'x')},
    };
    for (const auto& c : cases) {
        int item = c.item;
        std::string field = c.field;
        EXPECT_EQ(cf__netzwahl(&item, &field, "Vodafone.de"), c.ok)
            << c.item << " " << c.field.size();
        EXPECT_EQ(item, c.item_after);
        EXPECT_EQ(field, c.field_after);
    }
    // The rule counts the whole result: 294 characters pass, 295 do not.
    int item = 0;
    std::string field;
    EXPECT_TRUE(cf__netzwahl(&item, &field, std::string(294, 'n').c_str()));
    field = "keep";
    item = 2;
    EXPECT_FALSE(cf__netzwahl(&item, &field, std::string(295, 'n').c_str()));
    EXPECT_EQ(item, 2) << "nothing changes";
    EXPECT_EQ(field, "keep");
}

// ---- the console line

TEST(NetworkAnalysisConsole, LineEnds) {
    struct {
        std::string input, send, shown;
    } cases[] = {
        {"ATI", "ATI\r", "ATI"},
        {"ATI\r\n", "ATI\r", "ATI"},
        {"0791\\z", std::string("0791\x1a"), "0791\\z"},
        {"0791\\Z\r", std::string("0791\x1a"), "0791\\Z"},
        {"AT\\E", std::string("AT\x1b"), "AT\\E"},
        {"AT\\R", "AT\r", "AT\\R"},
        {"AT\\e", "AT\\e\r", "AT\\e"}, // only Ctrl-Z is taken in either case
        {"AT\\", "AT\\\r", "AT\\"},
        {"\\z", std::string("\x1a"), "\\z"},
        {"", "\r", ""},
        {std::string(300, 'A'), std::string(287, 'A') + "\r", std::string(287, 'A')},
        {std::string(285, 'A') + "\\z", std::string(285, 'A') + "\x1a",
         std::string(285, 'A') + "\\z"},
        {std::string(286, 'A') + "\\z", std::string(286, 'A') + "\\\r",
         std::string(286, 'A') + "\\"},
    };
    for (const auto& c : cases) {
        char send[cf__KONSOLELEN + 2], shown[cf__KONSOLELEN + 1];
        cf__konsolezeile(c.input.c_str(), send, sizeof send, shown, sizeof shown);
        EXPECT_EQ(std::string(send), c.send) << c.input;
        EXPECT_EQ(std::string(shown), c.shown) << c.input;
    }
    char small[4];
    cf__konsolezeile("ATI+CGMM", small, sizeof small, nullptr, 0);
    EXPECT_STREQ(small, "ATI") << "the output buffer bounds the copy";
}

// ---- the netlock test

TEST(NetworkAnalysisNetlock, LockAnswer) {
    EXPECT_TRUE(cf__netlockan("\r\n+CLCK: 1\r\n\r\nOK\r\n"));
    EXPECT_TRUE(cf__netlockan("+CLCK: 0,1\r\n+CLCK: 1,2\r\nOK"));
    EXPECT_FALSE(cf__netlockan("\r\n+CLCK: 0\r\n\r\nOK\r\n"));
    EXPECT_FALSE(cf__netlockan("+CLCK: 10"));
    EXPECT_FALSE(cf__netlockan("+CME ERROR: 3"));
    EXPECT_FALSE(cf__netlockan(nullptr));
}

TEST(NetworkAnalysisNetlock, CommandSequenceAndMissingAnswer) {
    cf__netlock_t s;
    std::string show, send, sent, shown;
    cf__netlockstart(&s, &send);
    sent += send;
    const char* answers[] = {"\r\nOK\r\n",
                             "ATE0\r\r\nOK\r\n",
                             "\r\nModel: E220\r\n\r\nOK\r\n",
                             "\r\n+CLCK: 0\r\n\r\nOK\r\n",
                             "\r\n+CLCK: 1\r\n\r\nOK\r\n",
                             "\r\n+CME ERROR: 3\r\n",
                             "\r\n+CLCK: 1\r\n"};
    for (int i = 0; i < 7; i++) {
        bool more = cf__netlockpoll(&s, answers[i], false, &show, &send);
        if (i == 6) {
            // The last answer lacks its "OK": it is taken at the tenth poll.
            EXPECT_TRUE(more);
            for (int k = 0; k < 8 && more; k++) more = cf__netlockpoll(&s, "", false, &show, &send);
            EXPECT_TRUE(more);
            more = cf__netlockpoll(&s, "", false, &show, &send);
        }
        EXPECT_EQ(more, i < 6) << i;
        shown += show;
        sent += send;
    }
    EXPECT_EQ(sent, "AT\rATE0\rATI\rAT+CLCK=\"PN\",2\rAT+CLCK=\"PU\",2\rAT+CLCK=\"PP\",2\r"
                    "AT+CLCK=\"PC\",2\r");
    EXPECT_EQ(shown, "\r\nModel: E220\r\n\r\nOK\r\nNetwork subset lock detected.\r\n"
                     "Corporate lock detected.\r\n");
    EXPECT_FALSE(cf__netlockpoll(&s, "OK", false, &show, &send)) << "ended";

    // An answer in two pieces is one answer.
    cf__netlockstart(&s, &send);
    EXPECT_TRUE(cf__netlockpoll(&s, "\r\n", false, &show, &send));
    EXPECT_EQ(send, "");
    EXPECT_TRUE(cf__netlockpoll(&s, "OK\r\n", false, &show, &send));
    EXPECT_EQ(send, "ATE0\r");

    // No answer within ten polls stops the test.
    int polls = 0;
    bool more = true;
    while (more && polls < 20) {
        more = cf__netlockpoll(&s, "", true, &show, &send);
        polls++;
    }
    EXPECT_EQ(polls, 10);
    EXPECT_EQ(show, "* Fehler: Modem antwortet nicht.\r\n\r\n");
}
