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

TEST(Codec, CheckValuesAndPacking) {
    EXPECT_EQ(fcs16("123456789"), 0x906E) << "CRC-16/X-25 check value";
    EXPECT_EQ(to_hex(pack_septets(text_to_gsm("hello"))), "E8329BFD06");
    EXPECT_EQ(decode_packed_hex_text(to_hex(pack_septets(text_to_gsm("*100#ABC")))), "*100#ABC");
    EXPECT_FALSE(decode_packed_hex_text("*100#"));
    EXPECT_EQ(text_to_ucs2_hex("\xC3\xA4\xE2\x82\xAC"), "00E420AC");
    EXPECT_EQ(escape_bytes(std::string("AT\0\xFF\\", 5)), "AT\\x00\\xFF\\x5C");
}

TEST(DiagPort, CommandAcknowledgedAnswerFetchedLateOnOlderModels) {
    Sim sim("novatel");
    auto ack = parse_diag_packet(sim.send(command_packet("AT+CSQ\r"), kDiag));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->length, 0);
    std::string answer = sim.send(fetch_packet(), kDiag);
    auto p = parse_diag_packet(answer);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->text, "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    EXPECT_EQ(answer.substr(6, 5), "+CSQ:") << "the host looks for the keyword at offset 6";
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet(), kDiag))->length, 0) << "nothing pending";

    Sim old_model("novatel-u630");
    old_model.set("diag_empty_fetches", "1");
    old_model.send(command_packet("AT$NWRAT?\r", '2'), kDiag);
    EXPECT_EQ(parse_diag_packet(old_model.send(fetch_packet('2'), kDiag))->length, 0);
    EXPECT_EQ(parse_diag_packet(old_model.send(fetch_packet('2'), kDiag))->text,
              ok("$NWRAT: 0,2,1"));
}

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
