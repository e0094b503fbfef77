// The timer tick driving the panel icons and the shared record's icon states.
#include "gui_support.h"

#include "ui/panel_icons.h"

namespace {

// The tick with a record of its own; the icons are taken down at the end.
class Tick : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        mvliow = &record;
        ti__ticke = 0;
    }
    void TearDown() override {
        ic_wshow(0, "");
        ic_tshow(0, 0, "");
        ic_hshow(0, "");
    }
    // Runs the tick as the main loop does, inside the GUI lock.
    void ticks(int n) {
        for (int i = 0; i < n; i++) gui::locked([] { return ti__tick(nullptr); });
    }
    mvlio_t record{};
};

} // namespace

TEST_F(Tick, ForeignNetworkWarnsAndBlinks) {
    netzfremd = true;
    ticks(1);
    EXPECT_EQ(record.vicon_status, 3);
    EXPECT_STREQ(ic__wtext, "Foreign network!");
    const char* first = ic_wicon;
    ticks(1);
    EXPECT_STRNE(ic_wicon, first) << "the blink step alternates the text form";
    netzfremd = false;
    ticks(1);
    EXPECT_EQ(record.vicon_status, 0);
    EXPECT_STREQ(ic_wicon, "");
}

TEST_F(Tick, CountdownGoesToTheIconAndTheRecordButNotInTheControlRole) {
    inidat.err[ERR_NOC] = 5;
    offlinezeita = 9100;
    ticks(2); // the countdown is looked at on every second tick
    EXPECT_EQ(record.ticon_status, 3);
    EXPECT_EQ(record.ticon_value, 3u);
    EXPECT_STREQ(ic_ticon, "x3");
    ic_tshow(0, 0, "");
    record = mvlio_t{};
    inidat.funktion = FUNKTION_CONTROL;
    ticks(4);
    EXPECT_EQ(record.ticon_status, 0);
    EXPECT_STREQ(ic_ticon, "");
}

TEST_F(Tick, OutsideTheHomezoneRequestsTheDisconnection) {
    strcpy(inidat.homu, "*100#");
    inidat.mod[static_cast<unsigned char>('H')] = 1;
    inidat.constart = true;
    onlinezeit = 500;
    homezonestatus = 2;
    ticks(2);
    EXPECT_EQ(record.hicon_status, 2);
    // The mark blinks: which form shows depends on the blink phase earlier ticks left.
    EXPECT_TRUE(std::string(ic_hicon) == "XH!" || std::string(ic_hicon) == "X!H") << ic_hicon;
    EXPECT_EQ(unterbrechung_gewuenscht, 3);
    EXPECT_FALSE(inidat.constart);
    homezonestatus = 0;
    ticks(2);
    EXPECT_EQ(record.hicon_status, 9) << "unknown";
}

TEST_F(Tick, StopRequestEndsTheTimer) {
    ti__ticke = 1;
    EXPECT_FALSE(gui::locked([] { return ti__tick(nullptr); }));
    EXPECT_EQ(ti__ticke, 2);
}
