#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem_dialogue.h"
#include "modemsim_process.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <string>
#include <sys/wait.h>

namespace {

const std::string huawei = "usb-HUAWEI_Technology_HUAWEI_Mobile";
const std::string zte = "usb-ZTE_Incorportated_ZTE_CDMA_Technologies_MSM";

} // namespace

TEST(DeviceClassify, ByIdNames) {
    struct {
        std::string name;
        de__use use;
        int device, priority;
    } cases[] = {
        {huawei + "-if00-port0", de__USE_DATA, 3, 23},
        {huawei + "-if01-port0", de__USE_COMMAND, 3, 22},
        {huawei + "-if02-port0", de__USE_COMMAND, 3, 23},
        {huawei + "-if03-port0", de__USE_NONE, 0, 0},
        {"usb-OPTION_N.V._GlobeTrotter-if02-port0", de__USE_COMMAND, 1, 25},
        {zte + "-if01-port0", de__USE_DATA, 8, 41},
        {zte + "-if03-port0", de__USE_COMMAND, 8, 41},
        {"usb-ZTE_Incorporated_MSM-if03-port0", de__USE_NONE, 0, 0}, // the table's spelling only
        {"usb-Ericsson_F3507g_Mobile_Broadband-if09", de__USE_COMMAND, 5, 21},
        {"usb-Ericsson_F3507g_Mobile_Broadband-if03", de__USE_DATA, 5, 21},
        {"usb-Huawei_lower_case-if02-port0", de__USE_NONE, 0, 0},
        {"usb-OPTION_N.V._HUAWEI-if00-if02", de__USE_DATA, 1, 25}, // the first row wins
    };
    for (const auto& c : cases) {
        de__byid_t r = de__classifybyid(c.name.c_str());
        EXPECT_EQ(r.use, c.use) << c.name;
        EXPECT_EQ(r.device, c.device) << c.name;
        EXPECT_EQ(r.priority, c.priority) << c.name;
    }
}

TEST(DeviceClassify, AtiAnswers) {
    struct {
        const char* answer;
        int device;
    } cases[] = {
        {"HUAWEI E172 built by OPTION", 3},
        {"Manufacturer: Novatel Wireless Incorporated", 2},
        {"Dell D5530 HSDPA", 2}, // "DELL" comes before "D5530"
        {"D5530 HSDPA Minicard", 5},
        {"Vodafone GLOBETROTTER fusion", 1},
        {"Sony Ericsson\r\nK800i", 11}, // not the Ericsson card
        {"LG Electronics Inc.", 12},
        {"APP3 FW", 4},
        {"Qualcomm", 0}, // only the full name counts
        {"GSM Modem\r\n\r\nOK", 0},
        {"\xff\xfe\x80\x01huawei\x9f\xe4", 3},
        {"\xc3\xa4\xff\xfe\x80\x81", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(de__classifyati(c.answer), c.device) << c.answer;
    EXPECT_TRUE(de__novatelnewer("Model: Merlin U740"));
    EXPECT_FALSE(de__novatelnewer("model: merlin u630"));
    EXPECT_FALSE(de__novatelnewer("Model: Merlin U530"));
}

namespace {

class PortSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        geraet = 0;
        linksys = false;
        MODUS('P') = 1;
        byid = tmp.path() + "/serial/by-id";
        de__setsearchdirs(byid.c_str(), (tmp.path() + "/x/by-id").c_str());
    }
    void TearDown() override {
        de__setsearchdirs(nullptr, nullptr);
        iv_inidefaults();
        geraet = 0;
    }
    // A by-id entry: a symlink to a device, as udev makes them.
    std::string link(const std::string& dir, const std::string& name) {
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink("/dev/null", dir + "/" + name);
        return dir + "/" + name;
    }
    bool logged(const std::string& line) {
        return read_file("servilog.txt").find(line) != std::string::npos;
    }
    InTempDir tmp;
    std::string byid;
};

} // namespace

TEST_F(PortSearch, HuaweiWithThreeInterfacesAndZteInTheSecondDirectory) {
    std::string if00 = link(byid, huawei + "-if00-port0");
    link(byid, huawei + "-if01-port0");
    std::string if02 = link(byid, huawei + "-if02-port0");
    char name[de_MODEMNAMELEN];
    de_getcomport(name);
    EXPECT_EQ(inidat.com1, if02) << "priority 23 beats 22";
    EXPECT_EQ(inidat.con, if00);
    EXPECT_EQ(geraet, 3);
    EXPECT_STREQ(name, "Huawei");
    EXPECT_STREQ(cc_mtext[1], " Modem type: Huawei");
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " Modem type:_Huawei");
    EXPECT_TRUE(logged("  Device selection: as primary, prio 23"));

    std::string cmd = link(tmp.path() + "/x/by-id", zte + "-if03-port0");
    inidat.com1[0] = inidat.con[0] = 0; // a port found before would count as given by hand
    de_getcomport(name);
    EXPECT_EQ(inidat.com1, cmd);
    EXPECT_EQ(geraet, 8);
}

TEST_F(PortSearch, ManualPortsAreKept) {
    std::string if01 = link(byid, huawei + "-if01-port0");
    link(byid, huawei + "-if02-port0");
    std::string if00 = link(byid, huawei + "-if00-port0");
    strMcpy(inidat.comport, "/dev/ttyUSB7");
    strMcpy(inidat.com1, "/dev/ttyUSB7");
    de_getcomport(nullptr);
    EXPECT_STREQ(inidat.com1, "/dev/ttyUSB7");
    EXPECT_EQ(inidat.con, if00) << "the data port is still found";
    EXPECT_TRUE(logged("not selected because of prio 23"));

    // A manual port that is one of the entries is recognised, and sets the device.
    strMcpy(inidat.comport, if01.c_str());
    strMcpy(inidat.com1, if01.c_str());
    strMcpy(inidat.con, "/dev/ttyUSB9");
    geraet = 0;
    de_getcomport(nullptr);
    EXPECT_EQ(inidat.com1, if01);
    EXPECT_STREQ(inidat.con, "/dev/ttyUSB9");
    EXPECT_EQ(geraet, 3);
    EXPECT_TRUE(logged("  Device selection: as primary, manually"));
}

TEST_F(PortSearch, ManualDeviceNumber) {
    link(byid, huawei + "-if02-port0");
    inidat.mangeraet = 5;
    de_getcomport(nullptr);
    EXPECT_EQ(geraet, 5);
    EXPECT_STREQ(cc_mtext[1], " Modem type: manually 5");
    EXPECT_TRUE(logged("Device type overwritten manually with: 5"));

    strMcpy(inidat.comport, "NONE");
    strMcpy(inidat.com1, "NONE");
    inidat.com1none = true;
    de_getcomport(nullptr);
    EXPECT_STREQ(cc_mtext[1], " Modem type: dial-up");
}

TEST_F(PortSearch, PathLongerThanThePortFieldIsNotTaken) {
    // The directory nearly fills the field: a cut path would name another file, or none.
    std::string deep = byid;
    while (deep.size() < 200) deep += "/deeper_directory_level";
    de__setsearchdirs(deep.c_str(), nullptr);
    std::string toolong = link(deep, huawei + std::string(120, '_') + "-if02-port0");
    std::string fits = link(deep, huawei + "-if01-port0");
    ASSERT_GE(toolong.size(), sizeof inidat.com1);
    de_getcomport(nullptr);
    EXPECT_EQ(inidat.com1, fits);
}

// The router search asks the router's default address. A test reaches no network but its
// own: the search runs in a child with a network namespace of its own, where the address is
// unreachable, and reports what it saw through a pipe.
std::string in_private_network(const std::function<std::string()>& f) {
    int p[2];
    if (pipe(p) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        std::string out = unshare(CLONE_NEWNET) == 0 ? f() : "SKIP";
        _exit(write(p[1], out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 1);
    }
    close(p[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    close(p[0]);
    waitpid(pid, nullptr, 0);
    return out;
}

TEST_F(PortSearch, NoCommandPortSearchesTheRouter) {
    std::string seen = in_private_network([&] {
        auto search = [&] {
            std::filesystem::remove("servilog.txt");
            char name[de_MODEMNAMELEN];
            de_getcomport(name);
            return std::string(name) + "|" + (linksys ? "router" : "-") +
                   (logged("Suche Linksys-Router.") ? "|searched; " : "|-; ");
        };
        _de = true;
        std::string r = search() + cc_mtext[1] + "; ";
        link(byid, huawei + "-if00-port0"); // a data port alone is no command port
        r += search();
        strMcpy(inidat.comport, "NOLINKSYS");
        return r + search();
    });
    if (seen == "SKIP") GTEST_SKIP() << "no network namespace of its own (needs root)";
    EXPECT_EQ(seen, "Linux-Ger\xC3\xA4t|-|searched;  Modemtyp: Linux-Ger\xC3\xA4t; "
                    "Huawei|-|searched; Huawei|-|-; ");
}

TEST(DeviceIdentify, EachSimulatedMaker) {
    InTempDir tmp;
    iv_inidefaults();
    struct {
        const char* profile;
        int device;
        bool u740;
        int wait;
    } cases[] = {
        {"option", 1, false, 150},  {"novatel", 2, true, 150}, {"novatel-u630", 2, false, 150},
        {"huawei", 3, false, 50},   {"sierra", 4, false, 50},  {"ericsson", 5, false, 50},
        {"qualcomm", 6, false, 50}, {"samsung", 7, false, 50}, {"zte", 8, false, 50},
        {"sony", 11, false, 150},   {"lg", 12, false, 150},    {"generic", 7, false, 50},
    };
    for (const auto& c : cases) {
        ModemSim sim({"--profile", c.profile});
        cm_ini();
        ASSERT_TRUE(sim.ready() && cm_open(sim.port(0).c_str(), 3)) << c.profile;
        geraet = 7; // "GSM Modem" names no maker: the number stays
        comzeit = 150;
        de_identify();
        EXPECT_EQ(geraet, c.device) << c.profile;
        EXPECT_EQ(novatelu740, c.u740) << c.profile;
        EXPECT_EQ(comzeit, c.wait) << c.profile;
        cm_postini();
    }
    geraet = 0;
    novatelu740 = false;
    comzeit = 150;
}
