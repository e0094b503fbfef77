// The modem answers of the monitoring cycle as the main thread takes them apart: signal,
// network selection, registration and location, cell data, mode, network code and the
// signal refresh of the mini line. Answers are real modem texts, plus broken ones.
#include "control/instance_interface.h"
#include "control/main_thread.h"
#include "control/session_state.h"
#include "modem/device_search.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A text whose terminator is the last byte of a readable page, with an unreadable page
// behind it: a parser that reads past the end of the text faults at once.
class PageEndText {
  public:
    explicit PageEndText(const char* s) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* m =
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) std::abort();
        base_ = static_cast<char*>(m);
        if (mprotect(base_ + page_, page_, PROT_NONE) != 0) std::abort();
        size_t n = strlen(s) + 1;
        text_ = base_ + page_ - n;
        memcpy(text_, s, n);
    }
    ~PageEndText() { munmap(base_, 2 * page_); }
    PageEndText(const PageEndText&) = delete;
    PageEndText& operator=(const PageEndText&) = delete;
    const char* c_str() const { return text_; }

  private:
    size_t page_ = 0;
    char* base_ = nullptr;
    char* text_ = nullptr;
};

class Signal : public ::testing::Test {
  protected:
    void SetUp() override {
        memset(&record_, 0, sizeof record_);
        mvliow = &record_;
        mt__sig = mt__sigalt = -1;
        mt__sigfail = mt__siggelb = 9;
    }
    void TearDown() override { mvliow = nullptr; }
    mvlio_t record_;
};

TEST_F(Signal, RawValuesGivePercentAndDbmInTextAndRecord) {
    mt__sigreading(mt__csqraw("\r\n+CSQ: 31,99\r\n\r\nOK\r\n"), GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 100);
    EXPECT_EQ(mt__sigd, 51);
    EXPECT_STREQ(mt__sigs, "100% = -51dBm");
    EXPECT_STREQ(mt__sigsmini, "100%");
    EXPECT_EQ(record_.signal_raw, 31);
    EXPECT_EQ(record_.signal_percent, 100);
    EXPECT_EQ(record_.signal_dbm, -51);

    mt__sigreading(mt__csqraw("+CSQ: 12,0\r\nOK"), GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 40);
    EXPECT_EQ(mt__sigd, 89);
    EXPECT_STREQ(mt__sigs, "40% = -89dBm");
    EXPECT_STREQ(mt__sigsmini, "40%");
    EXPECT_EQ(record_.signal_dbm, -89);

    // A single digit and a weak signal.
    mt__sigreading(mt__csqraw("+CSQ: 3,99"), GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 10);
    EXPECT_STREQ(mt__sigs, "10% = -107dBm");
    EXPECT_EQ(mt__siggelb, 1);

    // Beyond the scale (some modems answer up to 98): full strength, never a positive dBm.
    mt__sigreading(mt__csqraw("+CSQ: 75,99"), GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 100);
    EXPECT_STREQ(mt__sigs, "100% = -51dBm");
}

TEST_F(Signal, EricssonUnknownCsqFallsBackToTheIndicator) {
    EXPECT_EQ(mt__csqraw("+CSQ: 99,99\r\nOK"), 99);
    int raw = mt__cindraw("\r\n+CIND: 5,3,1,0,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(raw, 15);
    mt__sigreading(raw, GERAET_ERICSSON);
    EXPECT_EQ(mt__sig, 50);
    EXPECT_EQ(mt__sigd, 83);
    EXPECT_EQ(mt__cindraw("+CIND: 5,0"), 0);
    EXPECT_EQ(mt__cindraw("+CIND: 5,5"), 27);
    EXPECT_EQ(mt__cindraw("+CIND: 5,7"), -1);
    EXPECT_EQ(mt__cindraw("+CIND: 5"), -1);
    EXPECT_EQ(mt__cindraw(""), -1);
}

TEST_F(Signal, BrokenAnswersAreNoReading) {
    for (const char* a :
         {"", "+CSQ:", "+CSQ: ", "+CSQ: x", "ERROR", "\x7e\x03\xff\xfe", "CSQ 20,99"})
        EXPECT_EQ(mt__csqraw(a), -1) << a;
    std::string big(4000, '9');
    EXPECT_EQ(mt__csqraw(big.c_str()), -1);
    EXPECT_EQ(mt__csqraw(("+CSQ: " + big).c_str()), 99); // only two digits are read
}

TEST_F(Signal, UnknownOnlyAfterMoreThanThreeFailures) {
    mt__sigreading(20, GERAET_HUAWEI);
    ASSERT_EQ(mt__sig, 66);
    for (int i = 0; i < 4; i++) {
        mt__sigreading(-1, GERAET_HUAWEI);
        EXPECT_EQ(mt__sig, 66) << i;
    }
    mt__sigreading(99, GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, -1);
    EXPECT_STREQ(mt__sigs, "  ");
    EXPECT_STREQ(mt__sigsmini, "  ");
    EXPECT_EQ(record_.signal_raw, 0);
    EXPECT_EQ(record_.signal_percent, 0);
    EXPECT_EQ(record_.signal_dbm, 0);
}

TEST_F(Signal, NovatelLowValuesAreDoubtedAtFirst) {
    mt__sigreading(20, GERAET_NOVATEL);
    ASSERT_EQ(mt__sigfail, 0);
    mt__sigreading(2, GERAET_NOVATEL); // doubted: counted as a failure
    EXPECT_EQ(mt__sig, 66);
    EXPECT_EQ(mt__sigfail, 1);
    mt__sigreading(2, GERAET_NOVATEL);
    mt__sigreading(2, GERAET_NOVATEL);
    EXPECT_EQ(mt__sigfail, 3);
    mt__sigreading(2, GERAET_NOVATEL); // believed after three failures
    EXPECT_EQ(mt__sig, 6);
    // Other devices take low values at once.
    mt__sigreading(20, GERAET_HUAWEI);
    mt__sigreading(1, GERAET_HUAWEI);
    EXPECT_EQ(mt__sig, 3);
}

TEST_F(Signal, WeakReadingsCountUpToNine) {
    mt__siggelb = 0;
    for (int i = 1; i <= 12; i++) {
        mt__sigreading(3, GERAET_HUAWEI); // 10 %
        EXPECT_EQ(mt__siggelb, i < 9 ? i : 9);
    }
    mt__sigreading(4, GERAET_HUAWEI); // 13 %
    EXPECT_EQ(mt__siggelb, 0);
}

TEST(NetworkSelection, CodesNamesAndAutomatic) {
    char cmd[600];
    EXPECT_TRUE(mt__selectioncommand("26201", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,2,\"26201\"\r");
    EXPECT_TRUE(mt__selectioncommand("310260", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,2,\"310260\"\r");
    EXPECT_TRUE(mt__selectioncommand("2620123", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,0,\"2620123\"\r");
    EXPECT_TRUE(mt__selectioncommand("Vodafone.de", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,0,\"Vodafone.de\"\r");
    EXPECT_TRUE(mt__selectioncommand("26201x", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,0,\"26201x\"\r");
    EXPECT_TRUE(mt__selectioncommand("2620", cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,0,\"2620\"\r");
    for (const char* automatic : {"", ";26201;26202;", "?", "?x"}) {
        EXPECT_FALSE(mt__selectioncommand(automatic, cmd, sizeof cmd)) << automatic;
        EXPECT_STREQ(cmd, "AT+COPS=0\r");
    }
}

TEST(NetworkSelection, NamesShorterThanACodeAreNotReadPastTheirEnd) {
    char cmd[600];
    for (const char* name : {"O2", "E", "262", "2620"}) {
        PageEndText net(name);
        EXPECT_TRUE(mt__selectioncommand(net.c_str(), cmd, sizeof cmd)) << name;
        EXPECT_EQ(std::string(cmd), std::string("AT+COPS=1,0,\"") + name + "\"\r");
    }
    PageEndText code("26203");
    EXPECT_TRUE(mt__selectioncommand(code.c_str(), cmd, sizeof cmd));
    EXPECT_STREQ(cmd, "AT+COPS=1,2,\"26203\"\r");
}

TEST(NetworkSelection, OptionAlreadySelectedNeedsTheExactName) {
    const char* a = "\r\n+COPS: 1,0,\"T-Mobile D\",2\r\n\r\nOK\r\n";
    EXPECT_TRUE(mt__alreadyselected(a, "T-Mobile D"));
    EXPECT_FALSE(mt__alreadyselected(a, "T-Mobile"));
    EXPECT_FALSE(mt__alreadyselected("+COPS: 0,0,\"T-Mobile D\",2", "T-Mobile D"));
    EXPECT_FALSE(mt__alreadyselected("+COPS: 1,0,\"T-Mob", "T-Mobile D"));
    EXPECT_FALSE(mt__alreadyselected("", "T-Mobile D"));
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override { lac_[0] = cid_[0] = 0; }
    char lac_[20];
    char cid_[20];
};

TEST_F(Registration, QuotedLocationOfTheRegistrationAnswer) {
    const char* a = "\r\n+CGREG: 2,1,\"1A2B\",\"00C3D4E5\"\r\n\r\nOK\r\n";
    const char* t = mt__regtext(a, "CGREG: ");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(mt__regstatus(t), '1');
    mt__reglocation(t, lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_STREQ(lac_, "1A2B");
    EXPECT_STREQ(cid_, "00C3D4E5");
    char kurz[5], r[5];
    mt__splitcell(cid_, kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "D4E5");
    EXPECT_STREQ(r, "00C3");
    // The blank after the comma some modems write.
    mt__reglocation("2,5, \"0FA0\", \"1234\"", lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_STREQ(lac_, "0FA0");
    EXPECT_STREQ(cid_, "1234");
}

TEST_F(Registration, StatusOnlyHomeAndRoaming) {
    EXPECT_EQ(mt__regstatus("0,1"), '1');
    EXPECT_EQ(mt__regstatus("2,5,\"1A2B\""), '5');
    for (const char* t : {"0,2", "0,0", "0,3", "1", "", ",1", "x,1", "0;1"})
        EXPECT_EQ(mt__regstatus(t), 0) << t;
    EXPECT_EQ(mt__regstatus(nullptr), 0);
    EXPECT_EQ(mt__regtext("+CREG: 0,1", "CGREG: "), nullptr);
    EXPECT_STREQ(mt__regtext("+CREG: 0,1", "CREG: "), "0,1");
}

TEST_F(Registration, UnsupportedFieldsAreLeftAlone) {
    lac_[0] = 1;
    lac_[1] = 0;
    mt__reglocation("2,1,\"00C3D4E5\"", lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_EQ(lac_[0], 1);
    EXPECT_STREQ(cid_, "00C3D4E5");
    strcpy(lac_, "");
    cid_[0] = 1;
    cid_[1] = 0;
    mt__reglocation("2,1,\"1A2B\",\"00C3D4E5\"", lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_STREQ(lac_, "1A2B");
    EXPECT_EQ(cid_[0], 1);
}

TEST_F(Registration, OversizedAndCutLocationsStayBounded) {
    std::string longhex = "2,1,\"" + std::string(300, 'A') + "\",\"" + std::string(300, 'B');
    mt__reglocation(longhex.c_str(), lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_EQ(strlen(lac_), 19u);
    mt__reglocation("2,1,\"1A", lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_STREQ(lac_, "1A");
    EXPECT_STREQ(cid_, "");
    mt__reglocation("0,1", lac_, sizeof lac_, cid_, sizeof cid_);
    EXPECT_STREQ(lac_, "");
}

TEST_F(Registration, CellDataQuotedAndUnquoted) {
    EXPECT_TRUE(mt__celldata("+CGREG: 2,1,\"1A2B\",\"D4E5\"\r\nOK", "CGREG: ", lac_, sizeof lac_,
                             cid_, sizeof cid_));
    EXPECT_STREQ(lac_, "1A2B");
    EXPECT_STREQ(cid_, "D4E5");
    // The long cell ids of UMTS cells are kept, so cidkurz and rnc can be split off.
    EXPECT_TRUE(mt__celldata("\r\n+CGREG: 2,1, \"1A2B\",\"00C3D4E5\"\r\n", "CGREG: ", lac_,
                             sizeof lac_, cid_, sizeof cid_));
    EXPECT_STREQ(cid_, "00C3D4E5");
    // ZTE and LG write unquoted lower-case hex.
    EXPECT_TRUE(mt__celldata("+CREG: 2,1,1a2b,c3d4e5\r\nOK", "CREG: ", lac_, sizeof lac_, cid_,
                             sizeof cid_));
    EXPECT_STREQ(lac_, "1A2B");
    EXPECT_STREQ(cid_, "C3D4E5");
    char kurz[5], r[5];
    mt__splitcell(cid_, kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "D4E5");
    EXPECT_STREQ(r, "C3");
    EXPECT_TRUE(mt__celldata("+CREG: 2,1,a,5", "CREG: ", lac_, sizeof lac_, cid_, sizeof cid_));
    EXPECT_STREQ(lac_, "000A");
    EXPECT_STREQ(cid_, "0005");
}

TEST_F(Registration, CellDataRejectsOtherForms) {
    for (const char* a :
         {"+CGREG: 2,1", "+CGREG: 0,1\r\nOK", "+CGREG: 2,1,\"1A2\",\"D4E5\"",
          "+CGREG: 2,1,\"1A2B\",\"D4\"", "+CGREG: 2,1,\"1A2B\",\"00C3D4E5F6\"", "+CGREG: 2", "",
          "ERROR", "+CGREG: 2,1,\"1A2B\"", "+CGREG: 2,1,zz,12", "+CGREG: 2,1,\"1A2B\",\"D4E5"})
        EXPECT_FALSE(mt__celldata(a, "CGREG: ", lac_, sizeof lac_, cid_, sizeof cid_)) << a;
}

TEST_F(Registration, CellDataCutInsideTheQuotedAreaIsNotReadPastItsEnd) {
    // Answers that stop within the area or its closing quote, as a read cut short leaves them.
    for (const char* a : {"\r\n+CGREG: 2,1,\"", "\r\n+CGREG: 2,1,\"1A", "+CGREG: 2,1, \"1A2",
                          "+CGREG: 2,1,\"1A2B"}) {
        PageEndText t(a);
        strcpy(lac_, "0FA0");
        EXPECT_FALSE(mt__celldata(t.c_str(), "CGREG: ", lac_, sizeof lac_, cid_, sizeof cid_)) << a;
        EXPECT_STREQ(lac_, "0FA0") << a;
    }
    PageEndText whole("+CREG: 2,1,\"1A2B\",\"D4E5\"");
    EXPECT_TRUE(mt__celldata(whole.c_str(), "CREG: ", lac_, sizeof lac_, cid_, sizeof cid_));
    EXPECT_STREQ(lac_, "1A2B");
    EXPECT_STREQ(cid_, "D4E5");
}

TEST(CellSplit, ShortAndLongCellIds) {
    char kurz[5], r[5];
    mt__splitcell("D4E5", kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "D4E5");
    EXPECT_STREQ(r, "");
    mt__splitcell("12", kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "12");
    mt__splitcell("ABCDEF0123456789", kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "6789");
    EXPECT_STREQ(r, "2345");
    mt__splitcell("", kurz, sizeof kurz, r, sizeof r);
    EXPECT_STREQ(kurz, "");
    EXPECT_STREQ(r, "");
}

TEST(NetworkName, CopsAnswers) {
    char name[80];
    const char* after = nullptr;
    EXPECT_EQ(
        mt__copsname("\r\n+COPS: 0,0,\"Vodafone.de\",2\r\n\r\nOK\r\n", name, sizeof name, &after),
        1);
    EXPECT_STREQ(name, "Vodafone.de");
    EXPECT_EQ(mt__modecops(after), 2);
    EXPECT_EQ(mt__copsname("+COPS: 0,0,\"E-Plus\",0", name, sizeof name, &after), 1);
    EXPECT_EQ(mt__modecops(after), 1);
    mt__copsname("+COPS: 0,0,\"o2\",5", name, sizeof name, &after);
    EXPECT_EQ(mt__modecops(after), 5);
    mt__copsname("+COPS: 0,0,\"o2\",6", name, sizeof name, &after);
    EXPECT_EQ(mt__modecops(after), 6);
    mt__copsname("+COPS: 0,0,\"o2\",9", name, sizeof name, &after);
    EXPECT_EQ(mt__modecops(after), 0);
    mt__copsname("+COPS: 0,0,\"o2\"", name, sizeof name, &after);
    EXPECT_EQ(mt__modecops(after), 1);
    EXPECT_EQ(mt__copsname("+COPS: 0,0,\"T\xfc\x01\"", name, sizeof name, &after), 2);
    for (const char* a : {"+COPS: 0", "+COPS: 0,0,\"\",2", "+COPS: 0,0,\"cut", "", "OK",
                          "\"name\" without keyword"})
        EXPECT_EQ(mt__copsname(a, name, sizeof name, &after), 0) << a;
    std::string huge = "+COPS: 0,0,\"" + std::string(3000, 'N') + "\",2";
    EXPECT_EQ(mt__copsname(huge.c_str(), name, sizeof name, &after), 0);
    EXPECT_STREQ(name, "");
}

TEST(NetworkName, KeptNames) {
    char name[80];
    strcpy(name, "fffff12345");
    mt__cleanname(name);
    EXPECT_STREQ(name, "FFFFF");
    strcpy(name, "Vodafone.de");
    mt__cleanname(name);
    EXPECT_STREQ(name, "Vodafone.de");
    std::string n79(79, 'x');
    strcpy(name, n79.c_str());
    mt__cleanname(name);
    EXPECT_STREQ(name, "");
    std::string n78(78, 'x');
    strcpy(name, n78.c_str());
    mt__cleanname(name);
    EXPECT_EQ(strlen(name), 78u);
}

TEST(OperatingMode, DeviceAnswers) {
    EXPECT_EQ(mt__modezpas("+ZPAS: \"GPRS\",\"CS_PS\""), 1);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"UMTS\""), 2);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"EDGE\""), 5);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"HSDPA\""), 6);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"HSUPA\""), 6);
    EXPECT_EQ(mt__modezpas("+ZPAS: \"NO SERVICE\""), 0);
    EXPECT_EQ(mt__modezpas(""), 0);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,0\r\nOK"), 0);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,4"), 1);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,5"), 1);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,6"), 1);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,1"), 2);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2,3"), 2);
    EXPECT_EQ(mt__modenwrat("$NWRAT: 2,2"), 0);
    EXPECT_EQ(mt__modenwrat("ERROR"), 0);
}

TEST(NetworkCode, FiveOrSixDigits) {
    char code[20];
    mt__plmn("+COPS: 0,2,\"26202\",2\r\nOK", code, sizeof code);
    EXPECT_STREQ(code, "26202");
    mt__plmn("+COPS: 0,2,\"310260\",2", code, sizeof code);
    EXPECT_STREQ(code, "310260");
    mt__plmn("+COPS: 0,0,\"Vodafone.de\",2", code, sizeof code);
    EXPECT_STREQ(code, "");
    mt__plmn("+COPS: 0,2,\"262", code, sizeof code);
    EXPECT_STREQ(code, "");
    mt__plmn("+COPS: 0", code, sizeof code);
    EXPECT_STREQ(code, "");
}

TEST(MiniLine, PercentageReplacedInPlace) {
    char line[150];
    strcpy(line, " U47% 0012_Vodafone.de");
    EXPECT_TRUE(mt__minireplace(line, sizeof line, "52%"));
    EXPECT_STREQ(line, " U52% 0012_Vodafone.de");
    EXPECT_TRUE(mt__minireplace(line, sizeof line, "100%"));
    EXPECT_STREQ(line, " U100% 0012_Vodafone.de");
    EXPECT_TRUE(mt__minireplace(line, sizeof line, "09%"));
    EXPECT_STREQ(line, " U09% 0012_Vodafone.de");
    strcpy(line, "+ 33% x");
    EXPECT_TRUE(mt__minireplace(line, sizeof line, "34%"));
    EXPECT_STREQ(line, "+ 34% x");
    for (const char* other : {"*Modem_mute.", " Initialization.", "", " U4", " Uab% x"}) {
        strcpy(line, other);
        EXPECT_FALSE(mt__minireplace(line, sizeof line, "50%")) << other;
        EXPECT_STREQ(line, other);
    }
}

} // namespace
