#include "scenario.h"
#include "sim_fixture.h"

using namespace modemsim;
using namespace modemsim::test;

TEST(Scenario, ParsesSettingsAndReportsBrokenLines) {
    std::vector<std::string> errors;
    auto s = parse_scenario("# comment\n\nprofile = zte\r\nsignal=12\nbroken line\nussd=*1#|a=b\n",
                            errors);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].key, "profile");
    EXPECT_EQ(s[0].value, "zte");
    EXPECT_EQ(s[2].value, "*1#|a=b");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("line 5"), std::string::npos);
}

TEST(Scenario, ListsReplaceTheDefaultsAndBadValuesAreRefused) {
    ModemState st;
    ApplyContext ctx{true, false};
    EXPECT_EQ(apply_setting(st, {1, "network", "1|23415|Vodafone UK|voda UK|2"}, ctx), "");
    EXPECT_EQ(apply_setting(st, {2, "network", "3|23410|O2 - UK|O2|0"}, ctx), "");
    ASSERT_EQ(st.scan.size(), 2u);
    EXPECT_EQ(st.scan[1].status, 3);
    EXPECT_EQ(apply_setting(st, {3, "operator", "23415|Vodafone UK|voda UK|6"}, ctx), "");
    EXPECT_EQ(st.current.act, 6);
    EXPECT_NE(apply_setting(st, {4, "signal", "abc"}, ctx), "");
    EXPECT_NE(apply_setting(st, {5, "sim", "maybe"}, ctx), "");
    EXPECT_NE(apply_setting(st, {6, "colour", "red"}, ctx), "");
    EXPECT_NE(apply_setting(st, {7, "sms", "0,XYZ"}, ctx), "");
    EXPECT_NE(apply_setting(st, {8, "profile", "nokia"}, ctx), "");
    EXPECT_EQ(st.rssi, 20);
}

TEST(Scenario, AddsTheOptionModeCommandToAnotherMaker) {
    Sim sim("samsung");
    EXPECT_EQ(sim.at("AT_OPSYS=3,2"), kError);
    sim.set("opsys", "yes");
    EXPECT_EQ(sim.at("AT_OPSYS=3,2"), kOk);
}

TEST(Control, ChangesStateAndRaisesUnsolicitedText) {
    Sim sim;
    sim.set("urc_port", "0");
    sim.at("AT+CGREG=1");
    EXPECT_EQ(run_control(sim.modem(), "set cgreg=5", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0), "\r\n+CGREG: 5\r\n");
    EXPECT_EQ(run_control(sim.modem(), "set signal 7", sim.now()).reply, "OK");
    EXPECT_EQ(sim.at("AT+CSQ"), ok("+CSQ: 7,99"));
    EXPECT_EQ(run_control(sim.modem(), "ring +4930123 2 100", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0), "\r\nRING\r\n");
    EXPECT_EQ(run_control(sim.modem(), "urc \\r\\n+CSQ: 1,99\\r\\n", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0), "\r\n+CSQ: 1,99\r\n");
    EXPECT_EQ(sim.advance(100), "\r\nRING\r\n");
    EXPECT_EQ(run_control(sim.modem(), "send 1 raw\\x00", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0, 1), std::string("raw\0", 4));
}

TEST(Control, SmsDropStatusQuitAndErrors) {
    Sim sim;
    sim.at("AT+CNMI=2,1");
    EXPECT_EQ(run_control(sim.modem(), "sms 0791947106004034040D91947126", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0), "\r\n+CMTI: \"ME\",1\r\n");
    EXPECT_EQ(run_control(sim.modem(), "drop", sim.now()).reply, "ERROR no call");
    sim.at("ATD*99#");
    EXPECT_EQ(run_control(sim.modem(), "drop", sim.now()).reply, "OK");
    EXPECT_EQ(sim.advance(0), "\r\nNO CARRIER\r\n");
    std::string status = run_control(sim.modem(), "status", sim.now()).reply;
    EXPECT_NE(status.find("sms_stored=1"), std::string::npos);
    EXPECT_NE(status.find("call_port=-1"), std::string::npos);
    EXPECT_TRUE(run_control(sim.modem(), "quit", sim.now()).quit);
    EXPECT_EQ(run_control(sim.modem(), "fly", sim.now()).reply.substr(0, 5), "ERROR");
    EXPECT_EQ(run_control(sim.modem(), "set profile=zte", sim.now()).reply.substr(0, 5), "ERROR");
    EXPECT_EQ(run_control(sim.modem(), "ring +49 x", sim.now()).reply, "ERROR bad count");
}
