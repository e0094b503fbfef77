// The command line and the data call as a host meets them.
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(Line, EchoPiecesNoiseAndOverlongLines) {
    Sim sim;
    EXPECT_EQ(sim.send("AT\r"), "AT\r" + kOk);
    EXPECT_EQ(sim.send("ATE0\r"), "ATE0\r" + kOk);
    EXPECT_EQ(sim.send("AT+C"), "");
    EXPECT_EQ(sim.send("SQ\r\n"), ok("+CSQ: 20,99")) << "the line waits for its CR; LF ignored";
    EXPECT_EQ(sim.send(std::string("\xFF\x01gar\0bageAT\r", 13)), kOk) << "noise before AT";
    EXPECT_EQ(sim.send("hello\r"), "") << "no AT, no answer";
    EXPECT_EQ(sim.send("AT" + std::string(100000, '1') + "\r"), kError);
    EXPECT_EQ(sim.send("AT+CSQ;+BOGUS;+CGMM\r"), "\r\n+CSQ: 20,99\r\n\r\nERROR\r\n");
    std::vector<std::string> lines;
    sim.modem().on_line = [&](int port, std::string_view l) {
        lines.push_back(std::to_string(port) + ":" + std::string(l));
    };
    sim.send(std::string("AT\0+CPIN=1234\r", 14), 2);
    EXPECT_EQ(lines, std::vector<std::string>{"2:AT+CPIN=1234"}) << "the transcript";
}

TEST(DataCall, DialEscapeWithGuardTimesAndHangUps) {
    Sim sim;
    sim.at("ATE0");
    EXPECT_EQ(sim.send("atd*99#\r"), "\r\nCONNECT\r\n");
    EXPECT_EQ(sim.send("AT\r~\x7E\xFF\x03"), "") << "PPP bytes are not commands";
    sim.advance(500);
    EXPECT_EQ(sim.send("+++"), "") << "too soon after data";
    sim.advance(1000);
    EXPECT_EQ(sim.send("+++"), "");
    EXPECT_EQ(sim.advance(999), "");
    EXPECT_EQ(sim.advance(1), kOk);
    EXPECT_EQ(sim.send("ATO\r"), "\r\nCONNECT\r\n");
    EXPECT_EQ(sim.send("ATD*99#\r", 2), "ATD*99#\r\r\nNO CARRIER\r\n") << "one call at a time";
    EXPECT_EQ(sim.send("ATH\r", 2), "ATH\r" + kOk);
    EXPECT_EQ(sim.advance(0), "\r\nNO CARRIER\r\n");
    sim.send("ATD*99#\r");
    sim.modem().port_closed(0);
    EXPECT_EQ(sim.modem().call_port(), -1) << "closing the port hangs up";
    sim.set("reg", "0");
    EXPECT_EQ(sim.send("ATD*99#\r"), "\r\nNO CARRIER\r\n");
}
