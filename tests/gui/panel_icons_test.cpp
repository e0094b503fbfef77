// The panel icons' entry points on a real display: states, blink steps, text forms and
// tooltips as the control window and the tray show them.
#include "gui_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "ui/panel_icons.h"
#include "ui/status_lines.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const bool display_ready = (gui::ensure_display(), true);

class PanelIcons : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
    }
};

} // namespace

TEST_F(PanelIcons, WarningBlinksOnlyInTheAlarmState) {
    ic_wshow(1, "+Volume/time pre-warning.");
    EXPECT_STREQ(ic_wicon, "$");
    ic_wshow(-1, nullptr);
    EXPECT_STREQ(ic_wicon, "$") << "a blink step in state 1 does nothing";
    ic_wshow(2, "*Volume/time warning.");
    EXPECT_STREQ(ic_wicon, "$");
    ic_wshow(-1, nullptr);
    EXPECT_STREQ(ic_wicon, "!!");
    ic_wshow(-1, nullptr);
    EXPECT_STREQ(ic_wicon, "$");
    EXPECT_STREQ(ic__wtext, "*Volume/time warning.");
    ic_wshow(7, nullptr);
    EXPECT_STREQ(ic_wicon, "") << "out of range counts as off";
}

TEST_F(PanelIcons, HomezoneStatesTextFormsAndDefaultTooltips) {
    ic_hshow(2, "");
    EXPECT_STREQ(ic_hicon, "H");
    EXPECT_STREQ(ic__htext, "mavlyn\nIn homezone");
    ic_hshow(3, "");
    EXPECT_STREQ(ic_hicon, "XH!");
    ic_hshow(-1, nullptr);
    EXPECT_STREQ(ic_hicon, "X!H");
    ic_hshow(-1, nullptr);
    EXPECT_STREQ(ic_hicon, "XH!");
    _de = true;
    ic_hshow(1, "");
    EXPECT_STREQ(ic__htext, "mavlyn\nHomezone-Status unbekannt");
    ic_hshow(0, nullptr);
    EXPECT_STREQ(ic_hicon, "");
}

TEST_F(PanelIcons, CountdownAndBattery) {
    ic_tshow(1, 75, "");
    EXPECT_STREQ(ic_ticon, "c75");
    EXPECT_STREQ(ic__ttext, "mavlyn\ncountdown");
    ic_tshow(1, 150, nullptr);
    EXPECT_STREQ(ic_ticon, "c2h");
    ic_tshow(0, 0, nullptr);
    EXPECT_STREQ(ic_ticon, "");
    inidat.batt1 = 30;
    inidat.batt2 = 10;
    ic_bshow(30, "");
    EXPECT_STREQ(ic_bicon, "batt");
    EXPECT_STREQ(ic__btext, "mavlyn\nMobile set battery 30%");
    ic_bshow(10, "");
    EXPECT_STREQ(ic_bicon, "BATT!");
    ic_bshow(31, nullptr);
    EXPECT_STREQ(ic_bicon, "");
}

TEST_F(PanelIcons, MainIconFollowsTheWindowFormAndTooltipMarks) {
    fefo = fefo_NORMAL;
    ic_mshow(4, 0, 0, 0, 0, "mavlyn\n\nConnecting.");
    EXPECT_STREQ(ic_micon, "-><-");
    ic_mshow(-1, -1, -1, -1, -1, "+Update_query~x");
    EXPECT_STREQ(ic_micon, "-><-") << "only the tooltip changes";
    EXPECT_STREQ(ic__mtext, "+Update query~x");
    fefo = fefo_ICON;
    ic_mshow(1, 2, 55, 3, 4, nullptr);
    EXPECT_STREQ(ic_micon, "");
    ic_mshow(5, -1, -1, -1, -1, nullptr);
    EXPECT_STREQ(ic_micon, "<-|->");
    ic_mshow(0, -1, -1, -1, -1, nullptr);
    fefo = fefo_NORMAL;
}
