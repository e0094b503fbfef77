#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(LineDiscipline, EchoesAndAnswersPerCommandLine) {
    Sim sim;
    EXPECT_EQ(sim.send("AT\r"), "AT\r" + kOk);
    EXPECT_EQ(sim.send("ATE0\r"), "ATE0\r" + kOk);
    EXPECT_EQ(sim.send("AT\r\n"), kOk); // CR LF endings: the LF is ignored
    EXPECT_EQ(sim.send("ATE1\r"), kOk);
    EXPECT_EQ(sim.send("at+csq\r"), "at+csq\r" + ok("+CSQ: 20,99"));
    EXPECT_EQ(sim.send("ATZ\r"), "ATZ\r" + kOk);
}

TEST(LineDiscipline, PartialLinesWaitForTheirEnd) {
    Sim sim;
    EXPECT_EQ(sim.at("ATE0"), kOk);
    EXPECT_EQ(sim.send("AT+C"), "");
    EXPECT_EQ(sim.send("SQ"), "");
    EXPECT_EQ(sim.send("\r"), ok("+CSQ: 20,99"));
}

TEST(LineDiscipline, ToleratesNulsNoiseAndBackspace) {
    Sim sim;
    sim.at("ATE0");
    EXPECT_EQ(sim.send(std::string("A\0T\0\r", 5)), kOk);
    EXPECT_EQ(sim.send("\xFF\xFE\x01garbageAT\r"), kOk);
    EXPECT_EQ(sim.send("hello\r"), ""); // no AT: a real modem stays silent
    EXPECT_EQ(sim.send("\r\r\n\r"), "");
    EXPECT_EQ(sim.send("AT+CSX\bQ\r"), ok("+CSQ: 20,99"));
    EXPECT_EQ(sim.send("AT\xF0\x9F\r"), kError);
}

TEST(LineDiscipline, OverlongLinesAreRejectedAndTheNextLineWorks) {
    Sim sim;
    sim.at("ATE0");
    EXPECT_EQ(sim.send("AT" + std::string(100000, '1') + "\r"), kError);
    EXPECT_EQ(sim.send("AT\r"), kOk);
}

TEST(LineDiscipline, ChainedCommandsAndRepeat) {
    Sim sim;
    sim.at("ATE0");
    EXPECT_EQ(sim.send("AT+CSQ;+CGMM\r"), ok("+CSQ: 20,99\r\nE220"));
    EXPECT_EQ(sim.send("AT+CSQ;+BOGUS;+CGMM\r"), "\r\n+CSQ: 20,99\r\n\r\nERROR\r\n");
    EXPECT_EQ(sim.send("ATV0\r"), "0\r");
    EXPECT_EQ(sim.send("AT+XYZ\r"), "4\r");
    EXPECT_EQ(sim.send("ATV1\r"), kOk);
    EXPECT_EQ(sim.send("AT+CGMM\r"), ok("E220"));
    EXPECT_EQ(sim.send("A/"), ok("E220"));
}

TEST(LineDiscipline, TranscriptGetsEveryLineWithItsPort) {
    Sim sim;
    std::vector<std::string> lines;
    sim.modem().on_line = [&](int port, std::string_view l) {
        lines.push_back(std::to_string(port) + ":" + std::string(l));
    };
    sim.send("AT+CPIN=1234\r", 0);
    sim.send(std::string("AT\0+CSQ\r", 8), 2);
    sim.send("junk\r", 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"0:AT+CPIN=1234", "2:AT+CSQ", "1:junk"}));
}

TEST(DataCall, DialConnectsAndTheEscapeNeedsGuardTimes) {
    Sim sim;
    sim.at("ATE0");
    EXPECT_EQ(sim.send("atd*99#\r"), "\r\nCONNECT\r\n");
    EXPECT_EQ(sim.modem().call_port(), 0);
    EXPECT_EQ(sim.send("AT\r~\x7E\xFF\x03"), ""); // PPP bytes are not commands
    sim.advance(500);
    EXPECT_EQ(sim.send("+++"), ""); // too soon after data
    sim.advance(1000);
    EXPECT_EQ(sim.send("+++"), "");
    EXPECT_EQ(sim.advance(999), "");
    EXPECT_EQ(sim.advance(1), kOk);
    EXPECT_EQ(sim.send("ATO\r"), "\r\nCONNECT\r\n");
    sim.advance(1000);
    sim.send("+++");
    EXPECT_EQ(sim.advance(1000), kOk);
    EXPECT_EQ(sim.send("ATH\r"), kOk);
    EXPECT_EQ(sim.modem().call_port(), -1);
    EXPECT_EQ(sim.send("ATO\r"), "\r\nNO CARRIER\r\n");
}

TEST(DataCall, HangUpByClosingDroppingOrFromAnotherPort) {
    Sim sim;
    sim.at("ATE0", 0);
    sim.at("ATE0", 2);
    EXPECT_EQ(sim.send("ATD*99***1#\r"), "\r\nCONNECT\r\n");
    EXPECT_EQ(sim.send("ATD*99#\r", 2), "\r\nNO CARRIER\r\n"); // one call at a time
    sim.modem().port_closed(0);
    EXPECT_EQ(sim.modem().call_port(), -1);
    EXPECT_EQ(sim.send("AT\r"), kOk); // the port works again after a reopen

    sim.send("ATD*99#\r");
    sim.modem().end_call(true);
    EXPECT_EQ(sim.advance(0), "\r\nNO CARRIER\r\n");

    sim.send("ATD*99#\r");
    EXPECT_EQ(sim.send("ATH\r", 2), kOk);
    EXPECT_EQ(sim.advance(0), "\r\nNO CARRIER\r\n");
}

TEST(DataCall, DialFailsWithoutNetworkOrByScenario) {
    Sim sim;
    sim.at("ATE0");
    sim.set("reg", "0");
    EXPECT_EQ(sim.send("ATD*99#\r"), "\r\nNO CARRIER\r\n");
    sim.set("reg", "1");
    sim.set("dial", "busy");
    EXPECT_EQ(sim.send("ATD*99#\r"), "\r\nBUSY\r\n");
    EXPECT_EQ(sim.send("ATD0301234567;\r"), kOk);
}

TEST(LineDiscipline, RandomBytesOnEveryPortLeaveTheDeviceUsable) {
    for (const auto& profile : all_profiles()) {
        Sim sim(profile.name);
        std::uint32_t seed = 12345;
        for (std::size_t port = 0; port < sim.modem().port_count(); ++port) {
            for (int chunk = 0; chunk < 200; ++chunk) {
                std::string bytes;
                for (int i = 0; i < 37; ++i) {
                    seed = seed * 1103515245u + 12345u;
                    bytes += static_cast<char>(seed >> 16);
                }
                sim.send(bytes, port);
            }
        }
        if (sim.modem().call_port() >= 0) sim.modem().end_call(false);
        std::string answer = sim.send("\x1B\rAT\r", 0);
        EXPECT_TRUE(answer.ends_with("OK\r\n")) << profile.name << ": " << answer;
    }
}
