// The control window's title and menu model for the dial-up and CONTROL roles.
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "test_support.h"
#include "ui/control_window.h"

namespace {

class Menu : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record("");
        fefo = fefo_NORMAL;
        geraet = 3;
        inidat.constart = false;
        verbindenverboten = false;
    }
    void TearDown() override {
        mvlior = nullptr;
        mvlior_rw = false;
    }
    // An item as the user sees it: its label, "(grey)" when not to be chosen, "[x]" ticked.
    static std::string item(int code) {
        for (auto& i : cc__menuitems())
            if (i.code == code)
                return i.label + (i.sensitive ? "" : " (grey)") + (i.active ? " [x]" : "");
        return "no item";
    }
};

} // namespace

TEST(ControlWindow, TitleFromIconFormsAndComment) {
    const char* none[5] = {"", "", "", "", ""};
    const char* some[5] = {"-", "$", "c75", "", "batt"};
    EXPECT_EQ(cc__title(none, "", "Vodafone"), "Vodafone - mavlyn 0.4");
    EXPECT_EQ(cc__title(none, "Work", "Vodafone"), "Work - mavlyn 0.4");
    EXPECT_EQ(cc__title(some, "", "x"), "[-][$][c75][batt] x - mavlyn 0.4");
    EXPECT_EQ(cc__title(none, "", std::string(300, 'r').c_str()).size(), 119u + 10);
}

TEST_F(Menu, DialUpRoleItemsAndSensitivity) {
    EXPECT_EQ(item(82), "Disconnect (grey)") << "no disconnect while offline";
    inidat.constart = true;
    EXPECT_EQ(item(81), "Connect (grey)") << "connecting automatically anyway";
    EXPECT_EQ(item(83), "Connect automatically [x]");
    onlinezeit = 100;
    EXPECT_EQ(item(81), "Reconnect");
    EXPECT_EQ(item(82), "Disconnect");
    linksys = true;
    EXPECT_EQ(item(41), "Prepaid-credit? (grey)") << "no prepaid through a router";
    EXPECT_EQ(item(63), "GPRS preferred (grey)");
    linksys = false;
    geraet = 2;
    inidat.funktion = 3;
    EXPECT_EQ(item(62), "UMTS preferred [x]") << "Novatel: GPRS preferred shows as UMTS preferred";
    EXPECT_EQ(item(63), "GPRS preferred (grey)");
    ba_gewuenscht = 2;
    EXPECT_EQ(item(61), "UMTS only (grey)");
    EXPECT_EQ(item(11), "www.mavlyn.org/update? (grey)");
}

TEST_F(Menu, ControlRoleSendsCommandsThroughTheRecord) {
    inidat.funktion = FUNKTION_CONTROL;
    std::string labels;
    for (auto& i : cc__menuitems()) labels += (i.kind == cc__SEPARATOR ? "-" : i.label) + "|";
    EXPECT_EQ(labels, "*  mavlyn 0.4  *|www.mavlyn.org/update?|GPRS only|No opmode selection|-|"
                      "Connect|Disconnect|CONTROL info|-|Mute|Mini window|Exit|")
        << "no prepaid, modes or configuration for a front end";
    EXPECT_EQ(item(83), "Connect (grey)") << "no record";
    EXPECT_EQ(item(11), "www.mavlyn.org/update? (grey)");
    mvlio_t record{};
    mvlior = &record;
    mvlior_rw = true;
    EXPECT_EQ(item(83), "Connect");
    cc__select(83);
    EXPECT_STREQ(record.command, "MAVLYN_CONNECT");
    EXPECT_EQ(item(83), "Connect (grey)") << "a command is pending";
    record.command[0] = 0;
    record.online_time = 5;
    EXPECT_EQ(item(83), "Connect (grey)") << "already connected";
    EXPECT_EQ(item(11), "www.mavlyn.org/update?");
    cc__select(82);
    EXPECT_STREQ(record.command, "MAVLYN_DISCONNECT");
}

TEST_F(Menu, SelectionsRaiseTheirRequests) {
    cc__select(83);
    EXPECT_TRUE(inidat.constart);
    cc__select(83);
    EXPECT_FALSE(inidat.constart);
    cc__select(81);
    EXPECT_TRUE(inidat.constart);
    EXPECT_TRUE(verbindeneinmal) << "connect once";
    onlinezeit = 10;
    cc__select(82);
    EXPECT_FALSE(inidat.constart);
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    cc__select(63);
    EXPECT_EQ(ba_gewuenscht, 3);
    EXPECT_EQ(inidat.funktion, 3);
    cc__select(90);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(unterbrechung_gewuenscht, 0);
}
