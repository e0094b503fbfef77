// The network analysis and console of the configuration dialog without a modem.
#include "ui/network_analysis.h"

#include "foundation/utilities.h"
#include "test_support.h"

#include <tuple>

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

// A parse as "name/plmn/status" per network.
std::string parsed(const char* answer, int* found) {
    cf__netz_t t[cf__NETZMAX];
    int n = 0;
    *found = cf__netzparse(answer, 1, t, &n, cf__NETZMAX);
    std::string out;
    for (int i = 0; i < n; i++)
        out += std::string(t[i].name) + "/" + t[i].plmn + "/" + std::to_string(t[i].status) + ";";
    return out;
}

} // namespace

TEST(NetworkAnalysis, ScanAnswersOfEveryShape) {
    // An answer, the networks found and what they are.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"\r\n+COPS: (2,\"Vodafone.de\",\"Vodafone\",\"26202\",2),(3,\"o2 - de\",\"o2 - de\","
         "\"26207\",0),(1,\"T-Mobile D\",\"TMO "
         "D\",\"262001\",2),,(0,1,2,3,4),(0,1,2)\r\n\r\nOK\r\n",
         3, "Vodafone.de/26202/2;o2 - de/26207/3;T-Mobile D/262001/1;"},
        {"(1,\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\",\"s\",\"26202\")", 1,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123/26202/1;"},              // cut to its field
        {"(1,\"A\",\"2620\",\"2620211\",\"2620x\")", 1, "A//1;"}, // no code among them
        {"(1,\"A\",\"B\",\"26202\",\"26203\")", 1, "A/26202/1;"},
        {"(2,\"o2 (DE)\",\"o2\",\"26207\",2)", 1, "o2 (DE)/26207/2;"},
        {"(12,\"A\",\"B\",\"26201\")", 1, "A/26201/0;"},
        {"(\"A\",\"B\",\"26201\")", 1, "A/26201/0;"},
        {"(1,\"A\r\nB\",\"s\",\"26201\")", 1, "A  B/26201/1;"},
        {"(1,\"A\",\"B\",\"26201\",2),(1,\"C\",\"D\",\"262", 1, "A/26201/1;"}, // cut answer
        {"(1,\"A\",\"B\",\"26201\"", 0, ""},
        {"(1,\"A\",(2,\"C\",\"D\",\"26209\")", 1, "C/26209/2;"},
        {"(0,1,2,3,4),(0,1,2)", 0, ""},
        {"(1,\"\",\"\",\"\")", 0, ""},
        {nullptr, 0, ""},
    };
    for (const auto& [answer, found, networks] : cases) {
        int n = -1;
        EXPECT_EQ(parsed(answer, &n), networks) << (answer ? answer : "null");
        EXPECT_EQ(n, found) << (answer ? answer : "null");
    }
}

TEST(NetworkAnalysis, MoreThanFortyNetworksNeverWriteBehindTheTable) {
    std::string answer = "+COPS: ";
    for (int i = 0; i < 45; i++)
        answer +=
            "(1,\"Net" + std::to_string(i) + "\",\"N\",\"" + std::to_string(26200 + i) + "\",2),";
    std::vector<cf__netz_t> t(cf__NETZMAX + 5, entry(9, 9, "x", "untouched"));
    int n = 0;
    EXPECT_EQ(cf__netzparse(answer.c_str(), 1, t.data(), &n, cf__NETZMAX), 40);
    EXPECT_STREQ(t[39].name, "Net39");
    n = 38; // a second pass adds behind the first, as far as there is room
    EXPECT_EQ(cf__netzparse(answer.c_str(), 2, t.data(), &n, cf__NETZMAX), 2);
    EXPECT_EQ(n, 40);
    EXPECT_EQ(t[38].ba, 2);
    EXPECT_STREQ(t[37].name, "Net37");
    EXPECT_STREQ(t[40].name, "untouched");
}

TEST(NetworkAnalysis, SignalValuesAndTheStoppingRule) {
    const std::pair<const char*, int> csq[] = {
        {"+CSQ:7,0", 7},    {"+CSQ: 0,99", 0}, {"+CSQ: 99,99", -1},
        {"+CSQ: 1234", -1}, {"+CSQ: ,99", -1},
    };
    for (const auto& [answer, value] : csq) EXPECT_EQ(cf__csqvalue(answer), value) << answer;
    // The number of values fed until the rule stops, 0 when it does not within the list.
    const std::pair<std::vector<int>, int> rows[] = {
        {{50, 50, 60, 60, 60}, 5},         // three identical values in a row; a change starts again
        {{0, 0, 0, 0, 0, 0, 0}, 6},        // zeros are only close
        {{10, 13, 10, 13, 10, 13, 10}, 6}, // fifth close value
        {{10, 30, 33, 60, 62, 90, 94, 20, 23, 50, 54}, 11}, // close values need not follow
        {{10, 20, 30, 40, 50, 60, 70, 80}, 0},
        {{10, 15, 10, 15, 10, 15, 10}, 0}, // 5 points apart is not close
    };
    for (const auto& row : rows) {
        cf__csqmess_t m;
        int after = 0;
        for (size_t i = 0; i < row.first.size() && !after; i++)
            if (cf__csqstep(&m, row.first[i])) after = static_cast<int>(i + 1);
        EXPECT_EQ(after, row.second) << "row " << &row - rows;
    }
}

TEST(NetworkAnalysis, ResultSortedLinesAndClipboard) {
    cf__netz_t t[] = {entry(1, 40, "1", "g40"), entry(2, 10, "2", "u10"),
                      entry(1, -1, "3", "g?"),  entry(2, 80, "4", "u80"),
                      entry(2, -1, "5", "u?"),  entry(1, 40, "6", "g40b")};
    cf__netzsort(t, 6);
    std::string order;
    for (const auto& e : t) order += std::string(e.name) + " ";
    EXPECT_EQ(order, "u80 u10 u? g40 g40b g? ");
    // Full fields without their terminating NUL are read only within the field.
    cf__netz_t full = entry(2, 1, "", "");
    memset(full.plmn, '7', sizeof full.plmn);
    memset(full.name, 'n', sizeof full.name);
    EXPECT_EQ(cf__netzzeile(full, false),
              "UMTS\t01%\t[" + std::string(7, '7') + "]\t" + std::string(31, 'n'));

    cf__netz_t three[] = {entry(2, 100, "26202", "Vodafone.de"), entry(2, 7, "26201", "T-Mobile"),
                          entry(1, -1, "26207", "o2 - de", 3)};
    EXPECT_EQ(cf__netzclip(three, 3, false, false, "01.02.2026 10:11:12"),
              "mavlyn 0.4\r\nNetwork Analysis\r\n01.02.2026 10:11:12\r\n\r\n"
              "UMTS 100%  [26202]  Vodafone.de\r\nUMTS  07%  [26201]  T-Mobile\r\n"
              "GPRS  ??%  [26207]  o2 - de  (forbidden)\r\n");
    EXPECT_EQ(cf__netzclip(three, 0, false, false, "d"),
              "mavlyn 0.4\r\nNetwork Analysis\r\nd\r\n\r\nNo network to be displayed.\r\n");
    // A count beyond the table is held to the table; the longest lines still fit.
    std::vector<cf__netz_t> many(100, entry(2, -1, "123456", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", 3));
    many[40] = entry(1, 1, "1", "behind the table");
    std::string clip = cf__netzclip(many.data(), 100, false, false, std::string(500, 'd').c_str());
    EXPECT_EQ(clip.find("behind"), std::string::npos);
    EXPECT_LE(clip.size(), static_cast<size_t>(cf__CLIPMAX));
}

TEST(NetworkAnalysis, ChoosingANetworkForTheSelectionField) {
    // The selection's item and field, the chosen name: taken or not, and the field after.
    const std::tuple<int, std::string, std::string, bool, std::string> cases[] = {
        {1, "E-Plus", "Vodafone.de", true, "E-Plus;Vodafone.de"}, // warning mode: appended
        {1, "", "Vodafone.de", true, "Vodafone.de"},
        {0, "E-Plus", "Vodafone.de", true, "Vodafone.de"}, // only this network: replaced
        {1, std::string(282, 'x'), "Vodafone.de", true, std::string(282, 'x') + ";Vodafone.de"},
        {1, std::string(283, 'x'), "Vodafone.de", false, std::string(283, 'x')},
        {0, "", std::string(294, 'n'), true, std::string(294, 'n')},
        {2, "keep", std::string(295, 'n'), false, "keep"},
    };
    for (const auto& [item, field, name, ok, after] : cases) {
        int i = item;
        std::string f = field;
        EXPECT_EQ(cf__netzwahl(&i, &f, name.c_str()), ok) << item << " " << field.size();
        EXPECT_EQ(i, item);
        EXPECT_EQ(f, after);
    }
}

TEST(NetworkAnalysis, ConsoleLineEndsAndBounds) {
    // A typed line, what goes to the modem and what the console shows.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"ATI\r\n", "ATI\r", "ATI"},
        {"0791\\z", "0791\x1a", "0791\\z"},
        {"0791\\Z\r", "0791\x1a", "0791\\Z"},
        {"AT\\E", "AT\x1b", "AT\\E"},
        {"AT\\R", "AT\r", "AT\\R"},
        {"AT\\e", "AT\\e\r", "AT\\e"}, // only Ctrl-Z is taken in either case
        {"AT\\", "AT\\\r", "AT\\"},
        {"", "\r", ""},
        {std::string(300, 'A'), std::string(287, 'A') + "\r", std::string(287, 'A')},
        {std::string(285, 'A') + "\\z", std::string(285, 'A') + "\x1a",
         std::string(285, 'A') + "\\z"},
        {std::string(286, 'A') + "\\z", std::string(286, 'A') + "\\\r",
         std::string(286, 'A') + "\\"},
    };
    for (const auto& [input, send, shown] : cases) {
        char s[cf__KONSOLELEN + 2], v[cf__KONSOLELEN + 1];
        cf__konsolezeile(input.c_str(), s, sizeof s, v, sizeof v);
        EXPECT_EQ(std::string(s), send) << input;
        EXPECT_EQ(std::string(v), shown) << input;
    }
    char small[4];
    cf__konsolezeile("ATI+CGMM", small, sizeof small, nullptr, 0);
    EXPECT_STREQ(small, "ATI") << "the output buffer bounds the copy";
}

TEST(NetworkAnalysis, NetlockAnswersAndAModemThatStopsAnswering) {
    for (const char* locked : {"\r\n+CLCK: 1\r\n\r\nOK\r\n", "+CLCK: 0,1\r\n+CLCK: 1,2\r\nOK"})
        EXPECT_TRUE(cf__netlockan(locked)) << locked;
    for (const char* open : {"\r\n+CLCK: 0\r\n\r\nOK\r\n", "+CLCK: 10", "+CME ERROR: 3"})
        EXPECT_FALSE(cf__netlockan(open)) << open;
    EXPECT_FALSE(cf__netlockan(nullptr));

    cf__netlock_t s;
    std::string show, send;
    // An answer in two pieces is one answer.
    cf__netlockstart(&s, &send);
    EXPECT_TRUE(cf__netlockpoll(&s, "\r\n", false, &show, &send));
    EXPECT_EQ(send, "");
    EXPECT_TRUE(cf__netlockpoll(&s, "OK\r\n", false, &show, &send));
    EXPECT_EQ(send, "ATE0\r");
    // No answer within ten polls stops the test.
    int polls = 0;
    while (polls < 20 && cf__netlockpoll(&s, "", true, &show, &send)) polls++;
    EXPECT_EQ(polls, 9);
    EXPECT_EQ(show, "* Fehler: Modem antwortet nicht.\r\n\r\n");
}
