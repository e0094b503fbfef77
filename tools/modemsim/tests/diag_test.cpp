// The Novatel diagnostic port and the byte-level helpers of the simulated device.
#include "codec.h"
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

namespace {

constexpr std::size_t kDiag = 1; // the Novatel profiles publish it as their second port

std::string command_packet(std::string_view text, char variant = '\xFA') {
    return build_diag_packet(variant, kDiagCommand, text);
}

std::string fetch_packet(char variant = '\xFA') {
    return build_diag_packet(variant, kDiagFetch, "");
}

} // namespace

TEST(DiagPort, BrokenPacketsAreDroppedAndOnlyOlderModelsEchoTheProbe) {
    Sim sim("novatel");
    std::string bad = command_packet("AT+CSQ\r");
    bad[20] = 'X';
    EXPECT_EQ(sim.send(bad.substr(0, 300), kDiag), "");
    EXPECT_EQ(sim.send(bad.substr(300), kDiag), "");
    std::string good = command_packet("AT+CREG?\r");
    EXPECT_EQ(sim.send(good.substr(0, 100), kDiag), "");
    EXPECT_EQ(parse_diag_packet(sim.send(good.substr(100), kDiag))->length, 0);
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet(), kDiag))->text, ok("+CREG: 0,1"));

    const std::string probe("\x30\x00\x01\xEB\x51\x7E", 6);
    EXPECT_EQ(Sim("novatel-u630").send(probe, kDiag), probe);
    EXPECT_EQ(sim.send(probe, kDiag), "");
}
