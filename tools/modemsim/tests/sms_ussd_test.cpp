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

TEST(SmsStorage, ListReadAndDeleteInPduMode) {
    Sim sim;
    sim.set("sms", "0," + kDeliver);
    sim.set("sms", "1," + kDeliver);
    EXPECT_EQ(sim.at("AT+CMGF=0"), kOk);
    EXPECT_EQ(sim.at("AT+CMGL=0"), ok("+CMGL: 1,0,,28\r\n" + kDeliver));
    // Listing marks unread messages as read.
    EXPECT_EQ(sim.at("AT+CMGL=0"), kOk);
    EXPECT_EQ(sim.at("AT+CMGL=1"),
              ok("+CMGL: 1,1,,28\r\n" + kDeliver + "\r\n+CMGL: 2,1,,28\r\n" + kDeliver));
    EXPECT_EQ(sim.at("AT+CMGR=2"), ok("+CMGR: 1,,28\r\n" + kDeliver));
    EXPECT_EQ(sim.at("AT+CMGD=2"), kOk);
    EXPECT_EQ(sim.at("AT+CMGR=2"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(sim.at("AT+CMGD=99"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(sim.at("AT+CPMS?"), ok(R"(+CPMS: "ME",1,20,"ME",1,20,"ME",1,20)"));
    EXPECT_EQ(sim.at("AT+CMGD=1,4"), kOk);
    EXPECT_EQ(sim.at("AT+CMGL=4"), kOk);
}

TEST(SmsStorage, ZeroBasedIndexesAndTextModeRefusal) {
    Sim sim;
    sim.set("sms_index_base", "0");
    sim.set("sms", "0," + kDeliver);
    EXPECT_EQ(sim.at("AT+CMGR=0"), ok("+CMGR: 0,,28\r\n" + kDeliver));
    sim.at("AT+CMGF=1");
    EXPECT_EQ(sim.at("AT+CMGL=4"), "\r\n+CMS ERROR: 302\r\n");
}

TEST(SmsStorage, PreferredStorageRetriesAndFallbacks) {
    Sim sim;
    sim.set("cpms_busy", "2");
    sim.set("cpms_supported", "SM,ME");
    EXPECT_EQ(sim.at(R"(AT+CPMS="MT","ME","ME")"), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(sim.at(R"(AT+CPMS="MT","ME","ME")"), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(sim.at(R"(AT+CPMS="MT","ME","ME")"), "\r\n+CMS ERROR: 302\r\n");
    EXPECT_EQ(sim.at(R"(AT+CPMS="SM","SM","SM")"), ok("+CPMS: 0,20,0,20,0,20"));
}

TEST(SmsStorage, NewMessagesAreAnnouncedOrDeliveredDirectly) {
    Sim sim;
    std::string err;
    sim.at("AT+CNMI=2,1,0,0,0");
    ASSERT_TRUE(sim.modem().inject_sms(0, kDeliver, err));
    EXPECT_EQ(sim.advance(0), "\r\n+CMTI: \"ME\",1\r\n");
    sim.at("AT+CNMI=2,2,0,0,0");
    ASSERT_TRUE(sim.modem().inject_sms(0, kDeliver, err));
    EXPECT_EQ(sim.advance(0), "\r\n+CMT: ,28\r\n" + kDeliver + "\r\n");
    EXPECT_FALSE(sim.modem().inject_sms(0, "0791ZZ", err));
}

TEST(SmsSending, PromptThenPduThenCtrlZ) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+CMGS=19"), "\r\n> ");
    EXPECT_EQ(sim.send(kSubmit + "\x1A"), ok("+CMGS: 1"));
    ASSERT_EQ(sim.state().sent_pdus.size(), 1u);
    EXPECT_EQ(sim.state().sent_pdus[0], kSubmit);
    // With echo the PDU comes back, and a line end inside gets another prompt.
    sim.send("ATE1\r");
    EXPECT_EQ(sim.send("AT+CMGS=19\r"), "AT+CMGS=19\r\r\n> ");
    EXPECT_EQ(sim.send(kSubmit.substr(0, 10) + "\r"), kSubmit.substr(0, 10) + "\r\n> ");
    EXPECT_EQ(sim.send(kSubmit.substr(10) + "\x1A"), kSubmit.substr(10) + ok("+CMGS: 2"));
}

TEST(SmsSending, WrongLengthEscapeAndRefusals) {
    Sim sim;
    sim.at("AT+CMGS=18");
    EXPECT_EQ(sim.send(kSubmit + "\x1A"), "\r\n+CMS ERROR: 304\r\n");
    sim.at("AT+CMGS=19");
    EXPECT_EQ(sim.send("0011\x1B"), kOk);
    EXPECT_EQ(sim.at("AT"), kOk); // back in command mode
    sim.set("cmgs", "error");
    EXPECT_EQ(sim.at("AT+CMGS=19"), "\r\n+CMS ERROR: 500\r\n");
    sim.set("cmgs", "reject");
    sim.at("AT+CMGS=19");
    EXPECT_EQ(sim.send(kSubmit + "\x1A"), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_TRUE(sim.state().sent_pdus.empty());
}

TEST(Ussd, AnswersInEachForm) {
    Sim sim;
    sim.set("ussd", "*100#|Guthaben: 5,00 EUR");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"), kOk + "\r\n+CUSD: 0,\"Guthaben: 5,00 EUR\",15\r\n");
    sim.set("ussd_answer", "ucs2");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"),
              kOk + "\r\n+CUSD: 0,\"" + text_to_ucs2_hex("Guthaben: 5,00 EUR") + "\",72\r\n");
    sim.set("ussd_answer", "gsm7");
    std::string answer = sim.at("AT+CUSD=1,\"*100#\",15");
    auto q1 = answer.find('"'), q2 = answer.rfind('"');
    EXPECT_EQ(decode_packed_hex_text(answer.substr(q1 + 1, q2 - q1 - 1)), "Guthaben: 5,00 EUR");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*999#\",15"), kOk + "\r\n+CUSD: 4\r\n");
}

TEST(Ussd, PackedOnlyModemsRefusePlainCodes) {
    Sim sim;
    sim.set("ussd", "*100#|ok");
    sim.set("ussd_input", "packed");
    sim.set("ussd_delay_ms", "2000");
    EXPECT_EQ(sim.at("AT+CUSD=1,\"*100#\",15"), kError);
    std::string packed = to_hex(pack_septets(text_to_gsm("*100#")));
    EXPECT_EQ(sim.at("AT+CUSD=1,\"" + packed + "\",15"), kOk);
    EXPECT_EQ(sim.advance(2000), "\r\n+CUSD: 0,\"ok\",15\r\n");
}

TEST(Ring, RingsWithCallerNumberOncePerInterval) {
    Sim sim;
    sim.at("AT+CLIP=1");
    sim.modem().ring("+491701234567", 2, 5000, sim.now());
    EXPECT_EQ(sim.advance(0), "\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n");
    EXPECT_EQ(sim.advance(4999), "");
    EXPECT_EQ(sim.advance(1), "\r\nRING\r\n\r\n+CLIP: \"+491701234567\",145,,,,0\r\n");
    sim.modem().ring("", 1, 0, sim.now());
    EXPECT_EQ(sim.advance(0), "\r\nRING\r\n\r\n+CLIP: \"\",128,,,,1\r\n");
    sim.at("AT+CLIP=0");
    sim.modem().ring("01701234567", 1, 0, sim.now());
    EXPECT_EQ(sim.advance(0), "\r\nRING\r\n");
}
