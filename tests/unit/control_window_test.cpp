// The control window's title and menu model for the dial-up and CONTROL roles. The unit
// binary puts the session globals back after each test; the record pointers are put back here.
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "ui/control_window.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class Menu : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        _de = false;
        fefo = fefo_NORMAL;
        geraet = 3;
        inidat.constart = false;
        verbindenverboten = false;
    }
    void TearDown() override {
        mvlior = nullptr;
        mvlior_rw = false;
    }
    cc__item item(int code) {
        for (auto& i : cc__menuitems())
            if (i.code == code) return i;
        ADD_FAILURE() << "no item " << code;
        return {};
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
    EXPECT_FALSE(item(82).sensitive) << "no disconnect while offline";
    inidat.constart = true;
    EXPECT_FALSE(item(81).sensitive) << "connecting automatically anyway";
    EXPECT_TRUE(item(83).active);
    onlinezeit = 100;
    EXPECT_EQ(item(81).label, "Reconnect");
    EXPECT_TRUE(item(82).sensitive);
    linksys = true;
    EXPECT_FALSE(item(41).sensitive) << "no prepaid through a router";
    EXPECT_FALSE(item(63).sensitive);
    linksys = false;
    geraet = 2;
    inidat.funktion = 3;
    EXPECT_TRUE(item(62).active) << "Novatel: GPRS preferred shows as UMTS preferred";
    EXPECT_FALSE(item(63).active);
    EXPECT_FALSE(item(63).sensitive);
    ba_gewuenscht = 2;
    EXPECT_FALSE(item(61).sensitive);
    EXPECT_FALSE(item(11).sensitive);
}

TEST_F(Menu, ControlRoleSendsCommandsThroughTheRecord) {
    inidat.funktion = FUNKTION_CONTROL;
    std::string labels;
    for (auto& i : cc__menuitems()) labels += (i.kind == cc__SEPARATOR ? "-" : i.label) + "|";
    EXPECT_EQ(labels, "*  mavlyn 0.4  *|www.mavlyn.org/update?|GPRS only|No opmode selection|-|"
                      "Connect|Disconnect|CONTROL info|-|Mute|Mini window|Exit|")
        << "no prepaid, modes or configuration for a front end";
    EXPECT_FALSE(item(83).sensitive) << "no record";
    EXPECT_FALSE(item(11).sensitive);
    mvlio_t record{};
    mvlior = &record;
    mvlior_rw = true;
    EXPECT_TRUE(item(83).sensitive);
    cc__select(83);
    EXPECT_STREQ(record.command, "MAVLYN_CONNECT");
    EXPECT_FALSE(item(83).sensitive) << "a command is pending";
    record.command[0] = 0;
    record.online_time = 5;
    EXPECT_FALSE(item(83).sensitive) << "already connected";
    EXPECT_TRUE(item(11).sensitive);
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
    strcpy(prepaids, "old");
    cc__select(41);
    EXPECT_TRUE(prepaid_gewuenscht);
    EXPECT_STREQ(prepaids, "") << "the configured code is asked";
    cc__select(90);
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_EQ(unterbrechung_gewuenscht, 0);
}
