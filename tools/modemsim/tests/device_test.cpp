// The device as a host sees it: identification and vendor commands per maker, SIM, network,
// messages; it refuses what a real one would.
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(Maker, VendorCommandsOnlyOnTheirOwnDevice) {
    const std::pair<const char*, const char*> commands[] = {
        {"AT_OPSYS=3,2", "option"},  {"AT_OERCN?", "option"},
        {"AT$NWRAT=1,2", "novatel"}, {"AT^SYSCFG=2,2,3FFFFFFF,1,2", "huawei"},
        {"AT^CPIN?", "huawei"},      {"AT+ZSNT=1,0,0", "zte"},
        {"AT!SELRAT=02", "sierra"},  {"AT!CPINC?", "sierra"},
        {"AT+CFUN=5", "ericsson"},   {"AT+XYZZY", "none"}};
    for (const auto& [command, owner] : commands)
        for (const auto& p : all_profiles()) {
            std::string answer = Sim(p.name).at(command);
            EXPECT_EQ(answer.ends_with(kOk), p.name.starts_with(owner)) << command << p.name;
        }
}

TEST(Sim, WrongPinsLockTheSimUntilThePukSetsANewPin) {
    Sim sim;
    sim.set("sim", "pin");
    sim.set("cmee", "1");
    for (const char* wrong : {"AT+CPIN=0000", "AT+CPIN=1111", "AT+CPIN=12345678,1234"})
        EXPECT_EQ(sim.at(wrong), "\r\n+CME ERROR: 16\r\n") << wrong;
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PUK"));
    EXPECT_EQ(sim.at("AT+CPIN=87654321,4321"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPINR"), ok("+CPINR: SIM PIN,0,3\r\n+CPINR: SIM PUK,9,10"));
    EXPECT_EQ(sim.at("AT^CPIN?"), ok("^CPIN: SIM PUK,9,9,0,10,3"));
    EXPECT_EQ(sim.at("AT+CPIN=\"12345678\",\"4321\""), kOk);
    EXPECT_EQ(sim.at("AT+CFUN=1,1"), kOk); // a reset asks for the new PIN
    sim.at("ATE0");
    EXPECT_EQ(sim.at("AT+CPIN=1234"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=4321"), kOk);
}

TEST(Network, RegistrationFormsOperatorsAndTheVendorsRadioLimits) {
    struct Case {
        const char* profile;
        const char* before; // a command given first
        const char* query;
        std::string answer;
    } cases[] = {
        {"huawei", "AT+CGREG=2", "AT+CGREG?", ok(R"(+CGREG: 2,1,"1A2B","00C3D4E5")")},
        {"zte", "AT+CREG=2", "AT+CREG?", ok("+CREG: 2,1,1a2b,c3d4e5")},
        {"qualcomm", "AT+CGREG=2", "AT+CGREG?", ok(R"(+CGREG: 2, 1, "1A2B", "00C3D4E5")")},
        {"huawei", "AT+COPS=1,2,\"26201\"", "AT+CREG?", ok("+CREG: 0,5")}, // roaming
        {"huawei", "AT", "AT+COPS=1,0,\"o2 - de\"", kError},               // forbidden
        // Each vendor's GSM-only mode.
        {"huawei", "AT^SYSCFG=13,1,3FFFFFFF,1,2", "AT+COPS?", ok(R"(+COPS: 0,0,"Vodafone.de",0)")},
        {"option", "AT_OPSYS=0,2", "AT+COPS?", ok(R"(+COPS: 0,0,"Vodafone.de",0)")},
        {"sierra", "AT!SELRAT=02", "AT+COPS?", ok(R"(+COPS: 0,0,"Vodafone.de",0)")},
        {"ericsson", "AT+CFUN=5", "AT+COPS?", ok(R"(+COPS: 0,0,"Vodafone.de",0)")},
        {"zte", "AT+ZSNT=1,0,0", "AT+COPS?", ok(R"(+COPS: 0,0,"Vodafone.de",0)")}};
    for (const auto& c : cases) {
        Sim sim(c.profile);
        EXPECT_EQ(sim.at(c.before), kOk) << c.profile << " " << c.before;
        EXPECT_EQ(sim.at(c.query), c.answer) << c.profile << " " << c.before;
    }
    Sim sim;
    sim.at("AT+CGREG=2");
    sim.set("cgreg", "2");
    EXPECT_EQ(sim.advance(0), "\r\n+CGREG: 2\r\n");
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 0,1")) << "circuit domain still registered";
}

namespace {

// SMS-DELIVER "hellohello" from +27838890001, behind an 8-octet service-centre part.
const std::string kDeliver =
    "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
// SMS-SUBMIT of "hello" to +4975841623 45, no service centre: 19 octets.
const std::string kSubmit = "0011000C914957486132540000FF05E8329BFD06";

} // namespace

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
