// Messages and network service codes.
#include "codec.h"
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

namespace {

// SMS-DELIVER "hellohello" from +27838890001, behind an 8-octet service-centre part.
const std::string kDeliver =
    "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
// SMS-SUBMIT of "hello" to +4975841623 45, no service centre: 19 octets.
const std::string kSubmit = "0011000C914957486132540000FF05E8329BFD06";

} // namespace

TEST(Sms, StoreListReadDeleteAndAnnounce) {
    Sim sim;
    sim.set("sms", "0," + kDeliver);
    EXPECT_EQ(sim.at("AT+CMGL=0"), ok("+CMGL: 1,0,,28\r\n" + kDeliver));
    EXPECT_EQ(sim.at("AT+CMGL=0"), kOk) << "listed means read";
    EXPECT_EQ(sim.at("AT+CMGR=1"), ok("+CMGR: 1,,28\r\n" + kDeliver));
    EXPECT_EQ(sim.at("AT+CMGD=1"), kOk);
    EXPECT_EQ(sim.at("AT+CMGR=1"), "\r\n+CMS ERROR: 321\r\n");
    std::string err;
    sim.at("AT+CNMI=2,1,0,0,0");
    ASSERT_TRUE(sim.modem().inject_sms(0, kDeliver, err));
    EXPECT_EQ(sim.advance(0), "\r\n+CMTI: \"ME\",1\r\n");
    sim.at("AT+CMGF=1");
    EXPECT_EQ(sim.at("AT+CMGL=4"), "\r\n+CMS ERROR: 302\r\n") << "PDU mode only";
}

TEST(Sms, SendingChecksTheLengthAndTheKindOfPdu) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+CMGS=19"), "\r\n> ");
    EXPECT_EQ(sim.send(kSubmit + "\x1A"), ok("+CMGS: 1"));
    EXPECT_EQ(sim.state().sent_pdus, std::vector<std::string>{kSubmit});
    sim.at("AT+CMGS=18");
    EXPECT_EQ(sim.send(kSubmit + "\x1A"), "\r\n+CMS ERROR: 304\r\n");
    sim.at("AT+CMGS=28");
    EXPECT_EQ(sim.send(kDeliver.substr(16) + "\x1A"), "\r\n+CMS ERROR: 304\r\n") << "no SUBMIT";
    sim.at("AT+CMGS=19");
    EXPECT_EQ(sim.send("0011\x1B"), kOk) << "ESC cancels";
}

TEST(Ussd, FormsPackedOnlyDevicesAndDelay) {
    Sim sim;
    sim.set("ussd", "*100#|Guthaben: 5,00 EUR");
    sim.set("ussd_answer", "ucs2");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"),
              kOk + "\r\n+CUSD: 0,\"" + text_to_ucs2_hex("Guthaben: 5,00 EUR") + "\",72\r\n");
    sim.set("ussd_answer", "gsm7");
    std::string answer = sim.at("AT+CUSD=1,\"*100#\",15");
    auto q1 = answer.find('"'), q2 = answer.rfind('"');
    EXPECT_EQ(decode_packed_hex_text(answer.substr(q1 + 1, q2 - q1 - 1)), "Guthaben: 5,00 EUR");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*999#\",15"), kOk + "\r\n+CUSD: 4\r\n");
    sim.set("ussd_input", "packed");
    sim.set("ussd_delay_ms", "2000");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"), kError);
    EXPECT_EQ(sim.at("AT+CUSD=1,\"" + to_hex(pack_septets(text_to_gsm("*100#"))) + "\",15"), kOk);
    EXPECT_NE(sim.advance(2000).find("+CUSD: 0,\""), std::string::npos);
}
