// The control window and its panel icons on a real display: colours as drawn on the screen,
// clicks, iconifying and closing; the icons' forms, the timer tick driving them, the tray.
// The menu is worked by test_update_query.sh.
#include "gui_support.h"

#include "foundation/utilities.h"
#include "ui/control_window.h"
#include "ui/panel_icons.h"

namespace {

void line(int i, const char* t) {
    strMcpy(cc_mtext[i], t);
}

// The pixels of the screen's rectangle as "#rrggbb", row by row; saved as SHOT.png (beside
// the scenario's screenshots) when named. The caller holds the GUI lock.
std::string screen(int x, int y, int w, int h, const char* shot = nullptr) {
    GdkPixbuf* all = gdk_pixbuf_get_from_drawable(nullptr, gdk_get_default_root_window(), nullptr,
                                                  x, y, 0, 0, w, h);
    if (shot) gdk_pixbuf_save(all, (std::string(shot) + ".png").c_str(), "png", nullptr, nullptr);
    std::string out;
    for (int i = 0; i < w * h; i++) {
        const guchar* p = gdk_pixbuf_get_pixels(all) + i / w * gdk_pixbuf_get_rowstride(all) +
                          i % w * gdk_pixbuf_get_n_channels(all);
        char c[8];
        snprintf(c, sizeof c, "#%02x%02x%02x", p[0], p[1], p[2]);
        out += c;
    }
    g_object_unref(all);
    return out;
}

// Whether the screen comes to show the colour inside the widget, right of any text.
bool shows(GtkWidget* w, const char* colour) {
    return gui::eventually([&] {
        return gui::locked([&] {
            GtkWidget* top = gtk_widget_get_toplevel(w);
            GtkAllocation a;
            gtk_widget_get_allocation(w, &a);
            int x, y, cx, cy;
            gtk_widget_translate_coordinates(w, top, a.width - 6, a.height / 2, &cx, &cy);
            gdk_window_get_origin(gtk_widget_get_window(top), &x, &y);
            return screen(x + cx, y + cy, 1, 1) == colour;
        });
    });
}

GtkWidget* window(bool decorated) {
    return gui::wait_window([decorated](GtkWidget* w) {
        return w == mainwindow && gtk_window_get_decorated(GTK_WINDOW(w)) == decorated;
    });
}

// The control window taken down and the icons off before and after each case; the icons with
// a record of their own.
class Window : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        onlinezeit = 0;
        for (int i = 1; i < cc_mtextFELD; i++) line(i, " ");
        show(fefo_OHNE);
        inidat.batt1 = 30;
        inidat.batt2 = 10;
        mvliow = &record;
        ti__ticke = 0;
    }
    void TearDown() override {
        ic_wshow(0, "");
        ic_tshow(0, 0, "");
        ic_hshow(0, "");
        show(fefo_OHNE);
        mvliow = nullptr;
        ti__ticke = 0;
    }
    void show(fefo_t form) {
        fefo = form;
        cc_show();
    }
    void ticks(int n) {
        for (int i = 0; i < n; i++) gui::locked([] { return ti__tick(nullptr); });
    }
    mvlio_t record{};
};
using PanelIcons = Window;

// The text forms (m, w, h, t, b) or tooltips (M, W, H, T, B) of the icons named, joined by "|".
std::string shown(const std::string& icons) {
    const char* const all[] = {ic_micon,  ic_wicon,  ic_hicon,  ic_ticon,  ic_bicon,
                               ic__mtext, ic__wtext, ic__htext, ic__ttext, ic__btext};
    std::string out;
    for (size_t i = 0; i < icons.size(); i++)
        out += (i ? "|" : "") + std::string(all[strchr("mwhtbMWHTB", icons[i]) - "mwhtbMWHTB"]);
    return out;
}

void raise_all() {
    ic_mshow(1, 2, 55, 0, 0, "mavlyn\nUMTS");
    ic_wshow(2, "*Volume/time warning.");
    ic_hshow(3, "");
    ic_tshow(1, 75, "");
    ic_bshow(10, "");
}

// Whether the top rows of the screen, where the sandbox's tray sits, show the colour.
bool tray_shows(const char* colour) {
    return gui::locked([&] {
        int w, h;
        gdk_drawable_get_size(gdk_get_default_root_window(), &w, &h);
        return screen(0, 0, w, 40, "tray").find(colour) != std::string::npos;
    });
}

} // namespace

// Where the regular window opens: test_control_window.sh.
TEST_F(Window, ColoursOfTheMiniAndTheRegularWindowAndClicksBetweenThem) {
    line(cc_mtextMINI, "*Not in_homezone.");
    show(fefo_MINI);
    GtkWidget* w = window(false);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(shows(w, "#ff0000"));
    line(cc_mtextMINI, "+Update_query.");
    cc_show();
    EXPECT_TRUE(shows(w, "#bf00bf"));
    line(cc_mtextMINI, " G1 -71dBm");
    inidat.mod[static_cast<unsigned char>('O')] = 1;
    onlinezeit = 100;
    cc_show();
    EXPECT_TRUE(shows(w, "#007f00")) << "GPRS online with option O";
    onlinezeit = 0;
    cc_show();
    EXPECT_TRUE(shows(w, "#000000")) << "offline";

    line(1, "*Connection error 29.");
    line(3, "+09% = -95dBm");
    ASSERT_TRUE(gui::click_until(w, [&] { return fefo == fefo_NORMAL; }));
    ASSERT_NE(w = window(true), nullptr);
    EXPECT_EQ(gui::count_children(w, GTK_TYPE_ENTRY), 7);
    GtkWidget* first = gui::find(w, GTK_TYPE_ENTRY);
    EXPECT_EQ(gui::text(first), "Connection error 29.");
    EXPECT_TRUE(shows(first, "#ffaaaa"));
    EXPECT_TRUE(shows(gui::find(w, GTK_TYPE_ENTRY, {}, 2), "#ff66ff")) << "the signal line";
    EXPECT_TRUE(gui::click_until(first, [] { return fefo == fefo_MINI; }))
        << "a click returns to the mini window";
}

TEST_F(Window, IconifyingAndClosingTheRegularWindow) {
    show(fefo_NORMAL);
    GtkWidget* w = window(true);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(gui::with_retries([&] { return gui::sh("xdotool windowminimize " + gui::xid(w)); },
                                  [] { return fefo == fefo_ICON; }));
    EXPECT_TRUE(gui::eventually([] { return mainwindow == nullptr; }));
    // "Minimize instead of termination".
    inidat.endm = 2;
    show(fefo_NORMAL);
    ASSERT_NE(window(true), nullptr);
    gui::close_all_visible();
    EXPECT_TRUE(gui::eventually([] { return fefo == fefo_ICON; }));
    EXPECT_FALSE(programmende_gewuenscht);
    // "Terminate program without query" ends at once; the window stays until the end.
    inidat.endm = 1;
    show(fefo_NORMAL);
    ASSERT_NE(window(true), nullptr);
    gui::close_all_visible();
    EXPECT_TRUE(gui::eventually([] { return programmende_gewuenscht; }));
    EXPECT_STREQ(cc_mtext[1], " Ending.");
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " Ending.");
    EXPECT_NE(mainwindow, nullptr);
}

// Each step calls an entry point and reads the text forms or tooltips it leaves; -1 blinks.
TEST_F(PanelIcons, StatesBlinkStepsTextFormsTooltipsAndTheEnd) {
    const struct {
        std::function<void()> call;
        const char* icons;
        const char* shown;
    } steps[] = {
        {[] { ic_wshow(1, "+Volume/time pre-warning."); }, "w", "$"},
        {[] { ic_wshow(-1, nullptr); }, "w", "$"}, // no blink in state 1
        {[] { ic_wshow(2, "*Volume/time warning."); }, "w", "$"},
        {[] { ic_wshow(-1, nullptr); }, "w", "!!"},
        {[] { ic_wshow(-1, nullptr); }, "w", "$"},
        {[] { ic_wshow(7, nullptr); }, "w", ""}, // out of range counts as off
        {[] { ic_hshow(2, ""); }, "hH", "H|mavlyn\nIn homezone"},
        {[] { ic_hshow(3, ""); }, "h", "XH!"},
        {[] { ic_hshow(-1, nullptr); }, "h", "X!H"},
        {[] { ic_hshow(0, nullptr); }, "h", ""},
        {[] { ic_tshow(1, 75, ""); }, "tT", "c75|mavlyn\ncountdown"},
        {[] { ic_tshow(0, 0, nullptr); }, "t", ""},
        {[] { ic_bshow(30, ""); }, "bB", "batt|mavlyn\nMobile set battery 30%"},
        {[] { ic_bshow(10, ""); }, "b", "BATT!"},
        {[] { ic_bshow(31, nullptr); }, "b", ""},
        {[] { ic_mshow(4, 0, 0, 0, 0, "mavlyn\n\nConnecting."); }, "m", "-><-"},
        {[] { ic_mshow(-1, -1, -1, -1, -1, "+Update_query~x"); }, "mM", "-><-|+Update query~x"},
        {[] { fefo = fefo_ICON, ic_mshow(5, -1, -1, -1, -1, nullptr); }, "m", "<-|->"},
        {[] { ic_mshow(0, -1, -1, -1, -1, nullptr); }, "m", ""},
        {[] { _de = true, ic_hshow(1, ""); }, "H", "mavlyn\nHomezone-Status unbekannt"},
        {[] { raise_all(); }, "w", "$"},
        {[] { ic_end(), raise_all(), ic_wshow(-1, nullptr); }, "mwhtb", "||||"},
        {[] { ic_ini(), ic_wshow(2, "*Volume/time warning."); }, "w", "$"}, // a new start
    };
    for (const auto& step : steps) {
        step.call();
        EXPECT_EQ(shown(step.icons), step.shown) << &step - steps;
    }
}

// The icon states go into the record, which the CONTROL role shows.
TEST_F(PanelIcons, TimerTickWarnsDisconnectsCountsDownAndStops) {
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

    strcpy(inidat.homu, "*100#");
    inidat.mod[static_cast<unsigned char>('H')] = 1;
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

    onlinezeit = 0;
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

    ti__ticke = 1;
    EXPECT_FALSE(gui::locked([] { return ti__tick(nullptr); }));
    EXPECT_EQ(ti__ticke, 2);
}

// Needs a notification area: run inside the scenario sandbox, which starts trayer.
TEST_F(PanelIcons, IconsInTheTrayShowTheirPictures) {
    if (!getenv("SB")) GTEST_SKIP() << "needs the sandbox's tray";
    fefo = fefo_ICON;
    raise_all();
    EXPECT_TRUE(gui::eventually([] { return tray_shows("#8080ff"); }))
        << "the UMTS-blue main icon is in the tray (see tray.png)";
    EXPECT_TRUE(gui::eventually([] { return tray_shows("#9f9f00"); }))
        << "the dark yellow warning sign";
    ic_mshow(0, -1, -1, -1, -1, nullptr);
}
