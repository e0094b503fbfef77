// The makers' habits a host has to live with: answers in pieces, lines of the device's own,
// a SIM that takes its time, text in the terminal character set.
#include "codec.h"
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

namespace {

// Everything a port sends within the next second, piece by piece as the host would read it.
std::vector<std::string> pieces(Sim& sim, std::string first) {
    std::vector<std::string> out;
    if (!first.empty()) out.push_back(first);
    for (int ms = 0; ms < 1000; ms += 10)
        if (std::string more = sim.advance(10); !more.empty()) out.push_back(more);
    return out;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& p : v) s += p;
    return s;
}

} // namespace

TEST(Realism, AnswersComeInPiecesTheRestUpToThreeHundredMillisecondsLater) {
    Sim sim("sierra", true);
    sim.set("sim_start_ms", "0");
    sim.send("ATE0\r");
    pieces(sim, "");
    for (int k = 0; k < 3; k++) {
        std::string first = sim.send("AT+CSQ\r");
        std::vector<std::string> got = pieces(sim, first);
        ASSERT_EQ(got.size(), 2u) << k;
        EXPECT_EQ(joined(got), ok("+CSQ: 20,99")) << "nothing lost, nothing overtakes";
        EXPECT_FALSE(first.ends_with(kOk)) << "the first piece is never the whole answer";
    }
}

TEST(Realism, MakersChatterBetweenAndInsideAnswers) {
    const std::pair<const char*, std::string> cases[] = {
        {"huawei", "^RSSI:20"},   {"huawei", "^BOOT:"},        {"huawei", "^MODE:5,4"},
        {"zte", "+ZUSIMR:2"},     {"zte", "+ZPASR: \"UMTS\""}, {"option", "_OSIGQ: 20,0"},
        {"ericsson", "*EMRDY: 1"}};
    for (const auto& [profile, line] : cases) {
        Sim sim(profile, true);
        sim.set("sim_start_ms", "0");
        std::string heard;
        for (int s = 0; s < 30; s++) {
            heard += joined(pieces(sim, sim.send("AT+CSQ\r")));
            heard += sim.advance(1000);
        }
        EXPECT_NE(heard.find("\r\n" + line), std::string::npos) << profile;
        if (line[0] == '*') continue; // the Ericsson's line comes once, after power-on
        EXPECT_NE(heard.find("+CSQ: 20,99\r\n\r\n" + line.substr(0, 1)), std::string::npos)
            << profile << ": nothing inside an answer";
    }
}

TEST(Realism, TheSimIsBusyForItsTimeAfterPowerOnAndReset) {
    Sim sim("option", true);
    sim.set("cmee", "1");
    sim.send("ATE0\r");
    std::int64_t on = sim.now();
    auto cpin = [&] { return joined(pieces(sim, sim.send("AT+CPIN?\r"))); };
    EXPECT_NE(cpin().find("+CME ERROR: 14"), std::string::npos);
    EXPECT_NE(joined(pieces(sim, sim.send("AT+CGREG?\r"))).find("+CGREG: 0,0"), std::string::npos);
    while (sim.now() - on < 4900) sim.advance(100);
    EXPECT_NE(cpin().find("+CME ERROR: 14"), std::string::npos) << "five seconds for an Option";
    sim.advance(200);
    EXPECT_NE(cpin().find("+CPIN: READY"), std::string::npos);
    sim.send("AT+CFUN=1,1\r");
    pieces(sim, "");
    EXPECT_NE(cpin().find("+CME ERROR: 14"), std::string::npos) << "busy again after a reset";
}

TEST(Realism, PlainUssdAnswersInTheTerminalCharacterSet) {
    const std::pair<const char*, std::string> sets[] = {
        {"IRA", "G?ltig: 5 EUR"},
        {"8859-1", "G\xFCltig: 5 EUR"},
        {"GSM", "G~ltig: 5 EUR"},
        {"PCCP437", "G\x81ltig: 5 EUR"},
        {"UCS2", text_to_ucs2_hex("Gültig: 5 EUR")}};
    for (const auto& [set, text] : sets) {
        Sim sim;
        sim.set("ussd", "*100#|Gültig: 5 EUR");
        EXPECT_EQ(sim.at("AT+CSCS=\"" + std::string(set) + "\""), kOk);
        EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"), kOk + "\r\n+CUSD: 0,\"" + text + "\",15\r\n")
            << set;
    }
    EXPECT_EQ(Sim("novatel").at("AT+CSCS?"), ok("+CSCS: \"PCCP437\""));
}
