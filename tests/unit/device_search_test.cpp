// Finding the modem: by-id names, "ATI" answers and the port search of "COM=?".
#include "config/ini_reader.h"
#include "control/start_sequence.h"
#include "core/status_lines.h"
#include "modem/device_search.h"
#include "modem_dialogue.h"

const std::string huawei = "usb-HUAWEI_Technology_HUAWEI_Mobile";

// The Huawei's three interfaces are the port search's below.
TEST(DeviceClassify, ByIdNamesOfTheSticks) {
    struct {
        std::string name;
        de__use use;
        int device, priority;
    } cases[] = {
        {huawei + "-if03-port0", de__USE_NONE, 0, 0},
        {"usb-OPTION_N.V._GlobeTrotter_HSDPA_Modem-if02-port0", de__USE_COMMAND, 1, 25},
        // As older files of the program spelt ZTE.
        {"usb-ZTE_Incorportated_ZTE_CDMA_Technologies_MSM-if03-port0", de__USE_COMMAND, 8, 41},
        {"usb-Huawei_lower_case-if02-port0", de__USE_NONE, 0, 0},
        {"usb-OPTION_N.V._HUAWEI-if00-if02", de__USE_DATA, 1, 25}, // the first row wins
    };
    for (const auto& c : cases) {
        de__byid_t r = de__classifybyid(c.name.c_str());
        EXPECT_EQ(std::vector<int>({r.use, r.device, r.priority}),
                  std::vector<int>({c.use, c.device, c.priority}))
            << c.name;
    }
}

TEST(DeviceClassify, AtiAnswersOfTheMakersDevicesAndThePortSearch) {
    // The device, and whether the "COM=?" search takes the modem.
    for (auto [answer, device, searched] :
         {std::tuple{"Manufacturer: huawei\r\nModel: E220\r\nRevision: 11.117.09.04.00", 3, true},
          {"Vodafone Mobile Connect Fusion card", 1, true},
          {"Manufacturer: Novatel Wireless Incorporated\r\nModel: Merlin U740", 2, true},
          {"Dell Wireless 5520 Novatel Module", 2, true}, // "DELL" comes before "D5530"
          {"Manufacturer: Sierra Wireless, Incorporated\r\nModel: MC8775", 4, false},
          {"Sierra Wireless AirCard APP3 firmware", 4, true},
          {"Ericsson\r\nF3507g Mobile Broadband Minicard Composite Device", 5, true},
          {"Dell D5530 HSDPA Minicard", 2, false},
          {"Manufacturer: QUALCOMM INCORPORATED\r\nModel: QSC6270", 6, false},
          {"Manufacturer: ZTE INCORPORATED\r\nModel: MF622", 8, false},
          {"Sony Ericsson\r\nK800i", 11, false}, // not the Ericsson card
          {"HUAWEI E172 built by OPTION", 3, true},
          {"GSM Modem\r\n\r\nOK", 0, false},
          {"\xff\xfe\x80\x01huawei\x9f\xe4", 3, true}}) {
        EXPECT_EQ(de__classifyati(answer), device) << answer;
        EXPECT_EQ(iv__knownmodem(answer), searched) << answer;
    }
    EXPECT_TRUE(de__novatelnewer("Model: Merlin U740"));
    EXPECT_FALSE(de__novatelnewer("model: merlin u630"));
}

namespace {

class PortSearch : public ModemTest {
  protected:
    void SetUp() override {
        ModemTest::SetUp();
        de__setsearchdirs(byid.c_str(), (tmp.path() + "/x/by-id").c_str());
    }
    void TearDown() override {
        de__setsearchdirs(nullptr, nullptr);
        ModemTest::TearDown();
    }
    // A by-id entry: a symlink to a device, as udev makes them.
    static std::string link(const std::string& dir, const std::string& name) {
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink("/dev/null", dir + "/" + name);
        return dir + "/" + name;
    }
    std::string byid = tmp.path() + "/serial/by-id";
};

} // namespace

TEST_F(PortSearch, HuaweiFoundOrGivenByHandAndZteInTheSecondDirectory) {
    std::string if00 = link(byid, huawei + "-if00-port0");
    std::string if01 = link(byid, huawei + "-if01-port0");
    std::string if02 = link(byid, huawei + "-if02-port0");
    char name[de_MODEMNAMELEN];
    de_getcomport(name);
    EXPECT_EQ(inidat.com1, if02) << "priority 23 beats 22";
    EXPECT_EQ(inidat.con, if00);
    EXPECT_EQ(geraet, 3);
    EXPECT_STREQ(cc_mtext[1], " Modem type: Huawei");

    strMcpy(inidat.comport, "/dev/ttyUSB7");
    strMcpy(inidat.com1, "/dev/ttyUSB7");
    inidat.con[0] = 0;
    de_getcomport(nullptr);
    EXPECT_STREQ(inidat.com1, "/dev/ttyUSB7");
    EXPECT_EQ(inidat.con, if00) << "the data port is still found";
    // A manual port that is one of the entries is recognised, and sets the device.
    strMcpy(inidat.comport, if01.c_str());
    strMcpy(inidat.com1, if01.c_str());
    geraet = 0;
    de_getcomport(nullptr);
    EXPECT_EQ(inidat.com1, if01);
    EXPECT_EQ(geraet, 3);
    EXPECT_NE(log().find("  Device selection: as primary, manually"), std::string::npos);
    inidat.mangeraet = 5;
    de_getcomport(nullptr);
    EXPECT_EQ(geraet, 5);
    EXPECT_STREQ(cc_mtext[1], " Modem type: manually 5");

    std::string zte = "usb-ZTE_Incorporated_ZTE_WCDMA_Technologies_MSM_P671A2-if";
    std::string cmd = link(tmp.path() + "/x/by-id", zte + "03-port0");
    std::string data = link(tmp.path() + "/x/by-id", zte + "01-port0");
    inidat.mangeraet = 0;
    inidat.comport[0] = inidat.com1[0] = inidat.con[0] = 0;
    de_getcomport(name);
    EXPECT_EQ(inidat.com1, cmd);
    EXPECT_EQ(inidat.con, data);
    EXPECT_EQ(geraet, 8);
    EXPECT_STREQ(name, "ZTE");
}

TEST_F(PortSearch, PathLongerThanThePortFieldIsNotTaken) {
    std::string deep = byid;
    while (deep.size() < 200) deep += "/deeper_directory_level";
    de__setsearchdirs(deep.c_str(), nullptr);
    std::string toolong = link(deep, huawei + std::string(120, '_') + "-if02-port0");
    std::string fits = link(deep, huawei + "-if01-port0");
    ASSERT_GE(toolong.size(), sizeof inidat.com1);
    de_getcomport(nullptr);
    EXPECT_EQ(inidat.com1, fits);
}
