#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(Pin, ThreeWrongPinsLockTheSimUntilThePukSetsANewPin) {
    Sim sim;
    sim.set("sim", "pin");
    sim.set("cmee", "1");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PIN"));
    EXPECT_EQ(sim.at("AT+CPIN=0000"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=1111"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT^CPIN?"), ok("^CPIN: SIM PIN,1,10,1,10,3"));
    EXPECT_EQ(sim.at("AT+CPIN=12345678,1234"), "\r\n+CME ERROR: 16\r\n"); // PUK form too early
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PUK"));
    EXPECT_EQ(sim.at("AT+CPIN=1234"), "\r\n+CME ERROR: 12\r\n"); // a PIN alone does nothing now
    EXPECT_EQ(sim.at("AT+CPIN=87654321,4321"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPINR"), ok("+CPINR: SIM PIN,0,3\r\n+CPINR: SIM PUK,9,10"));
    EXPECT_EQ(sim.at("AT+CPIN=\"12345678\",\"4321\""), kOk);
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: READY"));
    // After a reset the SIM asks for the new PIN again.
    EXPECT_EQ(sim.at("AT+CFUN=1,1"), kOk);
    sim.at("ATE0");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PIN"));
    EXPECT_EQ(sim.at("AT+CPIN=1234"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(sim.at("AT+CPIN=4321"), kOk);
}

TEST(Pin, TenWrongPuksBlockTheSimForGood) {
    Sim sim;
    sim.set("sim", "puk");
    for (int i = 0; i < 10; ++i) sim.at("AT+CPIN=00000000,1234");
    EXPECT_EQ(sim.at("AT+CPIN=12345678,1234"), kError);
    sim.set("cmee", "2");
    EXPECT_EQ(sim.at("AT+CPIN?"), "\r\n+CME ERROR: SIM failure\r\n");
}

TEST(Pin, MissingAndBusySimsInEachErrorForm) {
    Sim sim;
    sim.set("sim", "absent");
    EXPECT_EQ(sim.at("AT+CPIN?"), kError);
    sim.set("cmee", "1");
    EXPECT_EQ(sim.at("AT+CPIN?"), "\r\n+CME ERROR: 10\r\n");
    sim.set("sim", "ready");
    sim.set("sim_busy", "2");
    sim.set("cmee", "2");
    EXPECT_EQ(sim.at("AT+CPIN?"), "\r\n+CME ERROR: SIM busy\r\n");
    sim.set("cmee", "1");
    EXPECT_EQ(sim.at("AT+CPIN?"), "\r\n+CME ERROR: 14\r\n");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: READY"));
}

TEST(Pin, NetlockAndPin2StatesAsTheHostSeesThem) {
    Sim sim;
    sim.set("sim", "phnet");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: PH-NET PIN"));
    sim.set("sim", "pin2");
    EXPECT_EQ(sim.at("AT+CPIN?"), ok("+CPIN: SIM PIN2"));
    sim.set("lock", "PN");
    EXPECT_EQ(sim.at("AT+CLCK=\"PN\",2"), ok("+CLCK: 1"));
    EXPECT_EQ(sim.at("AT+CLCK=\"PC\",2"), ok("+CLCK: 0"));
}

TEST(Registration, ReportsLocationOnlyWithN2AndWhileRegistered) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+CGREG?"), ok("+CGREG: 0,1"));
    EXPECT_EQ(sim.at("AT+CGREG=2"), kOk);
    EXPECT_EQ(sim.at("AT+CGREG?"), ok(R"(+CGREG: 2,1,"1A2B","00C3D4E5")"));
    sim.set("reg_format", "spaced");
    EXPECT_EQ(sim.at("AT+CGREG?"), ok(R"(+CGREG: 2,1, "1A2B", "00C3D4E5")"));
    sim.set("cgreg", "2");
    EXPECT_EQ(sim.advance(0), "\r\n+CGREG: 2\r\n");
    EXPECT_EQ(sim.at("AT+CGREG?"), ok("+CGREG: 2,2"));
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 0,1"));
}

TEST(Registration, ZteReportsUnquotedLowerCaseHex) {
    Sim sim("zte");
    sim.at("AT+CREG=2");
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 2,1,1a2b,c3d4e5"));
}

TEST(Registration, ChangesAreAnnouncedWhereSwitchedOn) {
    Sim sim;
    sim.at("AT+CREG=2");
    sim.set("creg", "5");
    EXPECT_EQ(sim.advance(0), "\r\n+CREG: 5,\"1A2B\",\"00C3D4E5\"\r\n");
    sim.set("cgreg", "0"); // +CGREG reports are off
    EXPECT_EQ(sim.advance(0), "");
    EXPECT_EQ(sim.at("AT+CFUN=4"), kOk + "\r\n+CREG: 0\r\n");
    EXPECT_EQ(sim.at("AT+CGATT=1"), kError);
    EXPECT_EQ(sim.at("AT+CSQ"), ok("+CSQ: 99,99"));
}

TEST(Operators, ScanListNamesEveryNetworkWithItsAccessTechnology) {
    Sim sim;
    EXPECT_EQ(
        sim.at("AT+COPS=?"),
        ok(R"(+COPS: (2,"Vodafone.de","Vodafone","26202",2),(1,"T-Mobile D","TMO D","26201",0),)"
           R"((1,"E-Plus","E-Plus","26203",2),(3,"o2 - de","o2 - de","26207",2),,(0,1,2,3,4),(0,1,2))"));
    sim.set("scan_delay_ms", "3000");
    EXPECT_EQ(sim.at("AT+COPS=?"), "");
    EXPECT_EQ(sim.advance(2999), "");
    EXPECT_NE(sim.advance(1).find("(2,\"Vodafone.de\""), std::string::npos);
}

TEST(Operators, ManualSelectionByCodeOrNameAndTheNameFormat) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+COPS=1,2,\"26201\""), kOk);
    EXPECT_EQ(sim.at("AT+COPS?"), ok(R"(+COPS: 1,0,"T-Mobile D",0)"));
    EXPECT_EQ(sim.at("AT+CREG?"), ok("+CREG: 0,5")); // a foreign network means roaming
    EXPECT_EQ(sim.at("AT+COPS=3,2"), kOk);
    EXPECT_EQ(sim.at("AT+COPS?"), ok(R"(+COPS: 1,2,"26201",0)"));
    EXPECT_EQ(sim.at("AT+COPS=1,0,\"E-Plus\""), kOk);
    EXPECT_EQ(sim.at("AT+COPS?"), ok(R"(+COPS: 1,2,"26203",2)"));
    EXPECT_EQ(sim.at("AT+COPS=1,0,\"o2 - de\""), kError); // forbidden
    EXPECT_EQ(sim.at("AT+COPS=1,2,\"99999\""), kError);
    EXPECT_EQ(sim.at("AT+COPS=0"), kOk);
    EXPECT_EQ(sim.at("AT+COPS?"), ok(R"(+COPS: 0,2,"26203",2)"));
    sim.set("reg", "0");
    EXPECT_EQ(sim.at("AT+COPS?"), ok("+COPS: 0"));
}

TEST(OperatingMode, VendorCommandsLimitTheRadioAsTheHostReadsIt) {
    Sim huawei("huawei");
    huawei.at("AT^SYSCFG=13,1,3FFFFFFF,1,2");
    EXPECT_EQ(huawei.at("AT+COPS?"), ok(R"(+COPS: 0,0,"Vodafone.de",0)"));
    EXPECT_EQ(huawei.at("AT^SYSCFG?"), ok("^SYSCFG: 13,1,3FFFFFFF,1,2"));
    EXPECT_EQ(huawei.at("AT^SYSCFG=13,1"), kError);

    Sim novatel("novatel");
    EXPECT_EQ(novatel.at("AT$NWRAT?"), ok("$NWRAT: 0,2,1"));
    novatel.at("AT$NWRAT=1,2");
    EXPECT_EQ(novatel.at("AT$NWRAT?"), ok("$NWRAT: 1,2,4"));

    Sim zte("zte");
    EXPECT_EQ(zte.at("AT+ZPAS?"), ok(R"(+ZPAS: "UMTS","CS_PS")"));
    zte.at("AT+ZSNT=1,0,0");
    EXPECT_EQ(zte.at("AT+ZPAS?"), ok(R"(+ZPAS: "GPRS","CS_PS")"));

    Sim option("option");
    option.at("AT_OPSYS=0,2");
    EXPECT_EQ(option.at("AT_OPSYS?"), ok("_OPSYS: 0,2"));
    EXPECT_EQ(option.at("AT+COPS?"), ok(R"(+COPS: 0,0,"Vodafone.de",0)"));

    Sim sierra("sierra");
    sierra.at("AT!SELRAT=02");
    EXPECT_EQ(sierra.at("AT!SELRAT?"), ok("!SELRAT: 02, GSM 2G Only"));

    Sim ericsson("ericsson");
    ericsson.at("AT+CFUN=5");
    EXPECT_EQ(ericsson.at("AT+COPS?"), ok(R"(+COPS: 0,0,"Vodafone.de",0)"));
    ericsson.at("AT+CFUN=1");
    EXPECT_EQ(ericsson.at("AT+COPS?"), ok(R"(+COPS: 0,0,"Vodafone.de",2)"));
}

TEST(Signal, IndicatorsAndBatteryWhereTheMakerHasThem) {
    Sim ericsson("ericsson");
    ericsson.set("csq_unknown", "yes");
    ericsson.set("signal", "15");
    EXPECT_EQ(ericsson.at("AT+CSQ"), ok("+CSQ: 99,99"));
    EXPECT_EQ(ericsson.at("AT+CIND?"), ok("+CIND: 5,3,0,0,1,0,0,0,0,0,0,0"));

    Sim phone("sony");
    phone.set("battery", "0,45");
    EXPECT_EQ(phone.at("AT+CBC"), ok("+CBC: 0,45"));
    Sim stick("huawei");
    EXPECT_EQ(stick.at("AT+CBC"), kError);
}

TEST(Contexts, ApnAndAttach) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+CGDCONT=1,\"IP\",\"web.vodafone.de\""), kOk);
    EXPECT_EQ(sim.at("AT+CGDCONT=1,\"IP\",\"\""), kOk);
    EXPECT_EQ(sim.at("AT+CGDCONT?"), ok(R"(+CGDCONT: 1,"IP","","0.0.0.0",0,0)"));
    EXPECT_EQ(sim.at("AT+CGDCONT=1,\"X25\",\"a\""), kError);
    EXPECT_EQ(sim.at("AT+CGATT=1"), kOk);
    EXPECT_EQ(sim.at("AT+CGATT?"), ok("+CGATT: 1"));
}
