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

TEST(DiagPacket, LayoutAndCheckBytes) {
    std::string p = build_diag_packet('2', kDiagCommand, "AT+CSQ\r");
    ASSERT_EQ(p.size(), kDiagPacketSize);
    EXPECT_EQ(p.substr(0, 4), std::string("K2\x03\x00", 4));
    EXPECT_EQ(p.substr(4, 8), std::string("AT+CSQ\r\0", 8));
    EXPECT_EQ(p[644], 7);
    EXPECT_EQ(p[650], '~');
    std::uint16_t fcs = fcs16(std::string_view(p).substr(0, 648));
    EXPECT_EQ(static_cast<unsigned char>(p[648]), fcs & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(p[649]), fcs >> 8);
    auto parsed = parse_diag_packet(p);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text, "AT+CSQ\r");
    p[10] ^= 0x20;
    EXPECT_FALSE(parse_diag_packet(p));
}

TEST(DiagPort, CommandIsAcknowledgedAndTheAnswerFetched) {
    Sim sim("novatel");
    std::string ack = sim.send(command_packet("AT+CSQ\r"), kDiag);
    auto a = parse_diag_packet(ack);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->variant, '\xFA');
    EXPECT_EQ(a->length, 0);

    std::string answer = sim.send(fetch_packet(), kDiag);
    ASSERT_EQ(answer.size(), kDiagPacketSize);
    auto p = parse_diag_packet(answer);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->type, kDiagFetch);
    EXPECT_EQ(p->text, "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    EXPECT_EQ(answer.substr(6, 5), "+CSQ:"); // the host looks for the keyword at offset 6
    EXPECT_EQ(p->length, static_cast<int>(p->text.size()));

    // Nothing pending any more: an empty answer.
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet(), kDiag))->length, 0);
}

TEST(DiagPort, SlowDevicesAnswerLaterFetches) {
    Sim sim("novatel-u630");
    sim.set("diag_empty_fetches", "2");
    sim.send(command_packet("AT$NWRAT?\r", '2'), kDiag);
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet('2'), kDiag))->length, 0);
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet('2'), kDiag))->length, 0);
    auto p = parse_diag_packet(sim.send(fetch_packet('2'), kDiag));
    EXPECT_EQ(p->variant, '2');
    EXPECT_EQ(p->text, "\r\n$NWRAT: 0,2,1\r\n\r\nOK\r\n");
}

TEST(DiagPort, BrokenPacketsAreIgnoredAndTheStreamResynchronises) {
    Sim sim("novatel");
    std::string bad = command_packet("AT+CSQ\r");
    bad[20] = 'X';
    EXPECT_EQ(sim.send(bad.substr(0, 300), kDiag), ""); // half a packet: wait
    EXPECT_EQ(sim.send(bad.substr(300), kDiag), "");
    std::string good = command_packet("AT+CREG?\r");
    EXPECT_EQ(sim.send(good.substr(0, 100), kDiag), "");
    EXPECT_EQ(parse_diag_packet(sim.send(good.substr(100), kDiag))->length, 0);
    EXPECT_EQ(parse_diag_packet(sim.send(fetch_packet(), kDiag))->text, ok("+CREG: 0,1"));
}

TEST(DiagPort, OnlyOlderModelsAnswerTheBinaryProbe) {
    const std::string probe("\x30\x00\x01\xEB\x51\x7E", 6);
    Sim old_model("novatel-u630"), new_model("novatel");
    EXPECT_EQ(old_model.send(probe, kDiag), probe);
    EXPECT_EQ(new_model.send(probe, kDiag), "");
    EXPECT_EQ(new_model.send("AT\r", 0), "AT\r" + kOk); // the command port is plain AT
}
