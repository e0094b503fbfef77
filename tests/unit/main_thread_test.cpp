// The monitoring cycle: modem answers as the main thread reads them, and each pass's evaluation.
#include "control/instance_interface.h"
#include "control/main_thread.h"
#include "control/monitoring_evaluation.h"
#include "core/session_state.h"
#include "modem/device_search.h"
#include "test_support.h"

struct SignalReadings {
    SavedValues keep{mt__sig,      mt__sigalt,  mt__sigd,    mt__sigs,
                     mt__sigsmini, mt__sigfail, mt__siggelb, mvliow};
    mvlio_t record{};
    SignalReadings() { mvliow = &record; }
};

TEST(Signal, AnswersGivePercentAndDbmInTextAndRecord) {
    SignalReadings readings;
    for (auto [answer, text] : {std::pair{"\r\n+CSQ: 31,99\r\n\r\nOK\r\n", "100% = -51dBm"},
                                {"+CSQ: 12,0\r\nOK", "40% = -89dBm"},
                                {"+CSQ: 3,99", "10% = -107dBm"},
                                // Beyond the scale (up to 98): full, never a positive dBm.
                                {"+CSQ: 75,99", "100% = -51dBm"}}) {
        mt__sigreading(mt__csqraw(answer), GERAET_HUAWEI);
        EXPECT_STREQ(mt__sigs, text) << answer;
        EXPECT_EQ(std::to_string(readings.record.signal_percent) +
                      "% = " + std::to_string(readings.record.signal_dbm) + "dBm",
                  text)
            << "in the record";
    }
    for (const char* a : {"", "+CSQ:", "+CSQ: x", "ERROR", "\x7e\x03\xff\xfe", "CSQ 20,99"})
        EXPECT_EQ(mt__csqraw(a), -1) << a;
    EXPECT_EQ(mt__csqraw(("+CSQ: " + std::string(4000, '9')).c_str()), 99) << "two digits";
    // Ericsson: an unknown CSQ falls back to the indicator, digits 0..5.
    EXPECT_EQ(mt__cindraw("\r\n+CIND: 5,3,1,0,0,0,0\r\n\r\nOK\r\n"), 15);
    for (const char* a : {"+CIND: 5,7", "+CIND: 5", ""}) EXPECT_EQ(mt__cindraw(a), -1) << a;
}

TEST(Signal, FailuresWeakReadingsAndDoubtedNovatelValues) {
    SignalReadings readings;
    mt__sigreading(20, GERAET_HUAWEI);
    ASSERT_EQ(mt__sig, 66);
    for (int i = 0; i < 4; i++) mt__sigreading(-1, GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 66) << "unknown only after more than three failures";
    mt__sigreading(99, GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, -1);
    EXPECT_STREQ(mt__sigsmini, "  ");
    EXPECT_EQ(readings.record.signal_raw | readings.record.signal_percent |
                  readings.record.signal_dbm,
              0);

    mt__sigreading(20, GERAET_NOVATEL);
    for (int i = 1; i <= 3; i++) {
        mt__sigreading(2, GERAET_NOVATEL); // doubted: counted as a failure
        EXPECT_EQ(mt__sig, 66);
    }
    mt__sigreading(2, GERAET_NOVATEL); // believed after three failures
    EXPECT_EQ(mt__sig, 6);

    mt__siggelb = 0;
    for (int i = 1; i <= 12; i++) mt__sigreading(3, GERAET_HUAWEI); // 10 %
    EXPECT_EQ(mt__siggelb, 9) << "weak readings count up to nine";
    mt__sigreading(4, GERAET_HUAWEI); // 13 %
    EXPECT_EQ(mt__siggelb, 0);
}

TEST(NetworkSelection, CodesNamesAndAutomatic) {
    char cmd[600];
    for (const char* code : {"26201", "310260"}) { // network codes
        EXPECT_TRUE(mt__selectioncommand(code, cmd, sizeof cmd)) << code;
        EXPECT_EQ(std::string(cmd), std::string("AT+COPS=1,2,\"") + code + "\"\r");
    }
    for (const char* name : {"2620123", "26201x", "O2", "2620"}) { // names
        EXPECT_TRUE(mt__selectioncommand(name, cmd, sizeof cmd)) << name;
        EXPECT_EQ(std::string(cmd), std::string("AT+COPS=1,0,\"") + name + "\"\r");
    }
    for (const char* automatic : {"", ";26201;26202;", "?"}) {
        EXPECT_FALSE(mt__selectioncommand(automatic, cmd, sizeof cmd)) << automatic;
        EXPECT_STREQ(cmd, "AT+COPS=0\r");
    }
    const char* a = "\r\n+COPS: 1,0,\"T-Mobile D\",2\r\n\r\nOK\r\n";
    EXPECT_TRUE(mt__alreadyselected(a, "T-Mobile D"));
    EXPECT_FALSE(mt__alreadyselected(a, "T-Mobile"));
    EXPECT_FALSE(mt__alreadyselected("+COPS: 0,0,\"T-Mobile D\",2", "T-Mobile D"));
    EXPECT_FALSE(mt__alreadyselected("+COPS: 1,0,\"T-Mob", "T-Mobile D"));
}

TEST(Registration, StatusLocationAndCellData) {
    EXPECT_EQ(mt__regstatus("2,5,\"1A2B\""), '5');
    for (const char* s : {"0,2", "0,0", "0,3", "1", "", ",1", "x,1", "0;1"})
        EXPECT_EQ(mt__regstatus(s), 0) << s;
    EXPECT_EQ(mt__regtext("+CREG: 0,1", "CGREG: "), nullptr);
    char area[20] = "\1", cid[20] = "", kurz[5], r[5]; // "\1": not supported by this modem
    mt__reglocation("2,1,\"00C3D4E5\"", area, sizeof area, cid, sizeof cid);
    EXPECT_EQ(std::string(area) + " " + cid, "\1 00C3D4E5") << "left alone";
    area[0] = 0;
    std::string longhex = "2,1,\"" + std::string(300, 'A') + "\",\"" + std::string(300, 'B');
    mt__reglocation(longhex.c_str(), area, sizeof area, cid, sizeof cid);
    EXPECT_EQ(strlen(area), 19u) << "bounded";
    mt__splitcell("ABCDEF0123456789", kurz, sizeof kurz, r, sizeof r);
    EXPECT_EQ(std::string(kurz) + " " + r, "6789 2345");
    for (auto [answer, cell] : {std::pair{"+CGREG: 2,1,\"1A2B\",\"D4E5\"\r\nOK", "1A2B D4E5"},
                                {"\r\n+CGREG: 2,1, \"1A2B\",\"00C3D4E5\"\r\n", "1A2B 00C3D4E5"},
                                {"+CGREG: 2,1,a,5", "000A 0005"}}) {
        EXPECT_TRUE(mt__celldata(answer, "CGREG: ", area, sizeof area, cid, sizeof cid)) << answer;
        EXPECT_EQ(std::string(area) + " " + cid, cell);
    }
    // Other forms, and answers cut inside the area as a short read leaves them.
    for (const char* a : {"+CGREG: 2,1", "+CGREG: 0,1\r\nOK", "+CGREG: 2,1,\"1A2\",\"D4E5\"",
                          "+CGREG: 2,1,\"1A2B\",\"D4\"", "+CGREG: 2,1,\"1A2B\",\"00C3D4E5F6\"",
                          "ERROR", "+CGREG: 2,1,zz,12", "+CGREG: 2,1,\"1A2B\",\"D4E5",
                          "\r\n+CGREG: 2,1,\"", "+CGREG: 2,1, \"1A2", "+CGREG: 2,1,\"1A2B"}) {
        strcpy(area, "0FA0");
        EXPECT_FALSE(mt__celldata(a, "CGREG: ", area, sizeof area, cid, sizeof cid)) << a;
        EXPECT_STREQ(area, "0FA0") << a;
    }
}

TEST(NetworkName, CopsAnswersModesAndCodes) {
    char name[80], code[20];
    const char* after = nullptr;
    for (auto [act, mode] :
         {std::pair{",0", 1}, {",2", 2}, {",5", 5}, {",6", 6}, {",9", 0}, {"", 1}}) {
        std::string answer = std::string("+COPS: 0,0,\"o2\"") + act; // outlives `after`
        mt__copsname(answer.c_str(), name, sizeof name, &after);
        EXPECT_EQ(mt__modecops(after), mode) << act;
    }
    EXPECT_EQ(mt__copsname("+COPS: 0,0,\"T\xfc\x01\"", name, sizeof name, &after), 2);
    for (const char* a : {"+COPS: 0", "+COPS: 0,0,\"\",2", "+COPS: 0,0,\"cut", "OK"})
        EXPECT_EQ(mt__copsname(a, name, sizeof name, &after), 0) << a;
    std::string huge = "+COPS: 0,0,\"" + std::string(3000, 'N') + "\",2";
    EXPECT_EQ(mt__copsname(huge.c_str(), name, sizeof name, &after), 0);
    strcpy(name, "fffff12345");
    mt__cleanname(name);
    EXPECT_STREQ(name, "FFFFF");

    for (auto [answer, digits] : {std::pair{"+COPS: 0,2,\"26202\",2\r\nOK", "26202"},
                                  {"+COPS: 0,2,\"310260\",2", "310260"},
                                  {"+COPS: 0,0,\"Vodafone.de\",2", ""},
                                  {"+COPS: 0,2,\"262", ""}}) {
        mt__plmn(answer, code, sizeof code);
        EXPECT_STREQ(code, digits) << answer;
    }
    EXPECT_EQ(mt__modezpas("+ZPAS: \"GPRS\",\"CS_PS\""), 1);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"HSUPA\""), 6);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"NO SERVICE\""), 0);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,0\r\nOK"), 0);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,5"), 1);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,3"), 2);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2"), 0);
}

TEST(MiniLine, PercentageReplacedInPlace) {
    char line[150];
    strcpy(line, " U47% 0012_Vodafone.de");
    for (const char* p : {"52%", "100%", "09%"}) {
        EXPECT_TRUE(mt__minireplace(line, sizeof line, p));
        EXPECT_EQ(std::string(line), std::string(" U") + p + " 0012_Vodafone.de");
    }
    for (const char* other : {"*Modem_mute.", " Initialization.", "", " U4", " Uab% x"}) {
        strcpy(line, other);
        EXPECT_FALSE(mt__minireplace(line, sizeof line, "50%")) << other;
        EXPECT_STREQ(line, other);
    }
}

TEST(ModeFromSpeed, FastConnectionsShowTheHigherMode) {
    struct {
        int mode;
        long up, down;
        int shown;
        char letter;
    } cases[] = {{2, 10000, 50000, 6, 'H'}, {2, 1000, 55000, 2, 'U'}, {2, 1000, 55001, 6, 'H'},
                 {6, 0, 0, 6, 'H'},         {1, 451, 9000, 5, 'E'},   {1, 450, 9000, 1, 'G'},
                 {2, -1, -1, 2, 'U'}, // no connection counts as no traffic
                 {0, 99999, 99999, 0, ' '}, {-1, 0, 0, -1, ' '}};
    for (const auto& c : cases) {
        char letter = 0;
        const char* text = nullptr;
        EXPECT_EQ(mt__modefromspeed(c.mode, c.up, c.down, &letter, &text), c.shown) << c.down;
        EXPECT_EQ(letter, c.letter) << c.down;
    }
}

TEST(StatusTexts, VolumeSpeedsAndMainLine) {
    char t[150]; // the volume text is shown by the front end's table
    mt__speedline(12345, t, sizeof t);
    EXPECT_STREQ(t, "   12.3 kB/s");
    mt__speedline(-1, t, sizeof t);
    EXPECT_STREQ(t, "offline");
    for (auto [up, down, slow, text] : {std::tuple{100L, 8450L, false, "8.5\xe2\x86\x93"},
                                        {60000L, 1000L, false, "60\xe2\x86\x91"},
                                        {700L, 700L, false, "0.7  "},
                                        {100L, 300L, false, ""},
                                        {100L, 300L, true, "0.3\xe2\x86\x93"}}) {
        mt__speedshort(up, down, slow, t, sizeof t);
        EXPECT_STREQ(t, text) << up << " " << down;
    }
    const char none[2] = {1, 0};
    mt__mainline("Vodafone.de", none, none, none, t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de");
    mt__mainline("Vodafone.de", "26202", "", "", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202]");
    mt__mainline("Vodafone.de", "26202", "1A2B", "00C3D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [26202.1A2B.00C3D4E5]");
    mt__mainline("Vodafone.de", none, "1A2B", "D4E5", t, sizeof t);
    EXPECT_STREQ(t, " Vodafone.de [1A2B.D4E5]");
}

TEST(Networks, NewNamesAndTheAllowedList) {
    EXPECT_TRUE(mt__newnetwork("o2 - de", "Vodafone.de", "1A2B", "1A2B"));
    for (const char* same : {"Vodafone.de", "", " No Service", "Limited Service", ",1\r"})
        EXPECT_FALSE(mt__newnetwork(same, "Vodafone.de", "", "")) << same;
    EXPECT_FALSE(mt__newnetwork("1A2B", "Vodafone.de", "1A2B", "")) << "a location, not a name";
    EXPECT_TRUE(mt__networkallowed(";26201", "T-Mobile D", "26201")); // ';' appended
    EXPECT_TRUE(mt__networkallowed(";Vodafone.de;26201;", "Vodafone.de", "999999"));
    EXPECT_FALSE(mt__networkallowed(";Vodafone.de;", "Vodafone", "26202"));
    EXPECT_FALSE(mt__networkallowed(";262011;", "x", "26201"));
}

TEST(Limits, LevelsMarkersThirdLimitAndPermission) {
    const long max[3] = {1000, 2000, 3000};
    const long maxt[3] = {0, 60, 0}; // 0: off
    EXPECT_EQ(mt__limitlevel(999, 59, max, maxt), 0);
    EXPECT_EQ(mt__limitlevel(1000, 0, max, maxt), 1);
    EXPECT_EQ(mt__limitlevel(2000, 0, max, maxt), 2);
    EXPECT_EQ(mt__limitlevel(0, 60, max, maxt), 2);
    EXPECT_FALSE(mt__limitexceeded(2999, 100000, max, maxt));
    EXPECT_TRUE(mt__limitexceeded(3000, 0, max, maxt));
    const long off[3] = {0, 0, 0};
    EXPECT_FALSE(mt__limitexceeded(1L << 40, 1L << 40, off, off));

    EXPECT_FALSE(mt__permitted(0, true, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(1, false, false, GERAET_HUAWEI, false));
    EXPECT_FALSE(mt__permitted(4, true, true, GERAET_HUAWEI, false)) << "option X: pass 5";
    EXPECT_TRUE(mt__permitted(5, true, true, GERAET_HUAWEI, false));
    EXPECT_TRUE(mt__permitted(4, false, false, GERAET_SONY, false));
    EXPECT_TRUE(mt__permitted(3, false, false, GERAET_ERICSSON, false));
    EXPECT_FALSE(mt__permitted(9999, true, false, GERAET_HUAWEI, true)) << "once only";
}

TEST(Battery, ChargeOfTheCbcAnswer) {
    for (auto [answer, charge] : {std::pair{"\r\n+CBC: 0,80\r\n\r\nOK\r\n", 80},
                                  {"+CBC:  0, 45", 45},
                                  {"+CBC: 0,0", 1},
                                  {"+CBC: 1,80", 0}, // on the charger
                                  {"+CBC: 0", 0},
                                  {"+CBC: 0,99999999999999999999", 100}})
        EXPECT_EQ(mt__batterycharge(answer), charge) << answer;
}

TEST(AcousticSignal, DigitsAndFrequencies) {
    auto morse = [](const std::vector<mt__tone>& t, size_t from, size_t to) {
        std::string s;
        for (size_t i = from; i < to; i++)
            if (t[i].fq) s += t[i].ms == 300 ? '-' : t[i].ms == 100 ? '.' : '?';
        return s;
    };
    // 47: four dots and a dash, then a dash and three dots; each symbol followed by 100 ms of
    // silence, each digit by 200 ms more; the tens at the previous reading's frequency.
    std::vector<mt__tone> t = mt__morsesignal(30, 47);
    ASSERT_EQ(t.size(), 5u * 2 + 1 + 4u * 2 + 1);
    EXPECT_EQ(morse(t, 0, 11) + " " + morse(t, 11, t.size()), "....- -...");
    EXPECT_EQ(t[0].fq, mt__morsefrequency(30));
    EXPECT_TRUE(t[1] == (mt__tone{0, 100}) && t[10] == (mt__tone{0, 200}));
    EXPECT_EQ(t[11], (mt__tone{mt__morsefrequency(47), 300}));
    t = mt__morsesignal(5, 5); // "05": dash, five dots
    EXPECT_EQ(morse(t, 0, t.size()), "-.....");
    t = mt__morsesignal(100, 100); // at most 99
    EXPECT_EQ(morse(t, 0, t.size()), "-.-.");
}
