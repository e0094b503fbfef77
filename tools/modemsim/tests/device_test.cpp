// The device as a host sees it: identification and vendor commands per maker, SIM, network.
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(Maker, IdentificationAndVendorCommandsOnlyOnTheirOwnDevice) {
    Sim huawei("huawei");
    huawei.state().imei = "351234567890123";
    EXPECT_EQ(huawei.at("ATI"), ok("Manufacturer: huawei\r\nModel: E220\r\nRevision: "
                                   "11.117.09.04.00\r\nIMEI: 351234567890123\r\n+GCAP: "
                                   "+CGSM,+DS,+ES"));
    EXPECT_EQ(huawei.at("AT+CGMM"), ok("E220"));
    EXPECT_EQ(huawei.at("AT+CIMI"), ok("262021234567890"));
    EXPECT_NE(Sim("novatel-u630").at("ATI").find("Merlin U630"), std::string::npos);

    const std::pair<const char*, const char*> commands[] = {
        {"AT_OPSYS=3,2", "option"},  {"AT_OERCN?", "option"},
        {"AT$NWRAT=1,2", "novatel"}, {"AT^SYSCFG=2,2,3FFFFFFF,1,2", "huawei"},
        {"AT^CPIN?", "huawei"},      {"AT+ZSNT=1,0,0", "zte"},
        {"AT!SELRAT=02", "sierra"},  {"AT!CPINC?", "sierra"},
        {"AT+CFUN=5", "ericsson"}};
    for (const auto& [command, owner] : commands)
        for (const auto& p : all_profiles()) {
            bool own = p.name.starts_with(owner);
            std::string answer = Sim(p.name).at(command);
            EXPECT_EQ(answer.ends_with(kOk), own) << command << " on " << p.name << ": " << answer;
        }
    EXPECT_EQ(huawei.at("AT+XYZZY"), kError);
    EXPECT_EQ(huawei.at("AT+CSQ?"), kError);
}

TEST(Sim, WrongPinsLockTheSimUntilThePukSetsANewPinAndAttemptsShowPerMaker) {
    Sim sim;
    sim.set("sim", "pin");
    sim.set("cmee", "1");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PIN"));
    EXPECT_EQ(sim.at("AT+CPIN=0000"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=1111"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT^CPIN?"), ok("^CPIN: SIM PIN,1,10,1,10,3"));
    EXPECT_EQ(sim.at("AT+CPIN=12345678,1234"), "\r\n+CME ERROR: 16\r\n"); // PUK form too early
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PUK"));
    EXPECT_EQ(sim.at("AT+CPIN=1234"), "\r\n+CME ERROR: 12\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=87654321,4321"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPINR"), ok("+CPINR: SIM PIN,0,3\r\n+CPINR: SIM PUK,9,10"));
    EXPECT_EQ(sim.at("AT+CPIN=\"12345678\",\"4321\""), kOk);
    EXPECT_EQ(sim.at("AT+CFUN=1,1"), kOk); // a reset asks for the new PIN
    sim.at("ATE0");
    EXPECT_EQ(sim.at("AT+CPIN=1234"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=4321"), kOk);
    sim.set("sim", "puk");
    for (int i = 0; i < 10; ++i) sim.at("AT+CPIN=00000000,1234");
    sim.set("cmee", "2");
    EXPECT_EQ(sim.at("AT+CPIN?"), "\r\n+CME ERROR: SIM failure\r\n") << "blocked for good";

    Sim option("option"), sierra("sierra");
    option.set("pin_attempts", "2");
    sierra.set("pin_attempts", "2");
    EXPECT_EQ(option.at("AT_OERCN?"), ok("_OERCN: 2, 10"));
    EXPECT_EQ(sierra.at("AT!CPINC?"), ok("!CPINC: 2,3,10,10"));
}

TEST(Network, RegistrationFormsPerMakerAndAnnouncements) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+CGREG?"), ok("+CGREG: 0,1"));
    sim.at("AT+CGREG=2");
    EXPECT_EQ(sim.at("AT+CGREG?"), ok(R"(+CGREG: 2,1,"1A2B","00C3D4E5")"));
    sim.set("cgreg", "2");
    EXPECT_EQ(sim.advance(0), "\r\n+CGREG: 2\r\n");
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 0,1")) << "circuit domain still registered";
    EXPECT_EQ(sim.at("AT+CFUN=4"), kOk + "\r\n+CGREG: 0\r\n");

    Sim zte("zte"), qualcomm("qualcomm");
    zte.at("AT+CREG=2");
    EXPECT_EQ(zte.at("AT+CREG?"), ok("+CREG: 2,1,1a2b,c3d4e5"));
    qualcomm.at("AT+CGREG=2");
    EXPECT_EQ(qualcomm.at("AT+CGREG?"), ok(R"(+CGREG: 2, 1, "1A2B", "00C3D4E5")"));
}

TEST(Network, OperatorsScanAndTheRadioLimitsOfTheVendorCommands) {
    Sim sim;
    EXPECT_EQ(
        sim.at("AT+COPS=?"),
        ok(R"(+COPS: (2,"Vodafone.de","Vodafone","26202",2),(1,"T-Mobile D","TMO D","26201",0),)"
           R"((1,"E-Plus","E-Plus","26203",2),(3,"o2 - de","o2 - de","26207",2),,(0,1,2,3,4),(0,1,2))"));
    EXPECT_EQ(sim.at("AT+COPS=1,2,\"26201\""), kOk);
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 0,5")) << "a foreign network means roaming";
    EXPECT_EQ(sim.at("AT+COPS=3,2"), kOk);
    EXPECT_EQ(sim.at("AT+COPS?"), ok(R"(+COPS: 1,2,"26201",0)"));
    EXPECT_EQ(sim.at("AT+COPS=1,0,\"o2 - de\""), kError) << "forbidden";
    sim.set("reg", "0");
    EXPECT_EQ(sim.at("AT+COPS?"), ok("+COPS: 1"));

    const std::pair<const char*, const char*> gsm_only[] = {
        {"huawei", "AT^SYSCFG=13,1,3FFFFFFF,1,2"},
        {"option", "AT_OPSYS=0,2"},
        {"sierra", "AT!SELRAT=02"},
        {"ericsson", "AT+CFUN=5"},
        {"zte", "AT+ZSNT=1,0,0"}};
    for (const auto& [maker, command] : gsm_only) {
        Sim s(maker);
        s.at(command);
        EXPECT_EQ(s.at("AT+COPS?"), ok(R"(+COPS: 0,0,"Vodafone.de",0)")) << maker;
    }
    Sim zte("zte"), novatel("novatel");
    EXPECT_EQ(zte.at("AT+ZPAS?"), ok(R"(+ZPAS: "UMTS","CS_PS")"));
    novatel.at("AT$NWRAT=1,2");
    EXPECT_EQ(novatel.at("AT$NWRAT?"), ok("$NWRAT: 1,2,4"));
}
