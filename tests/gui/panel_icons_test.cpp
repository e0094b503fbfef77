// The panel icons' entry points on a real display: states, blink steps, text forms and
// tooltips as the control window and the tray show them.
#include "gui_support.h"

#include "core/status_lines.h"
#include "ui/panel_icons.h"

#include <sys/stat.h>

namespace {

class PanelIcons : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
        inidat.batt1 = 30;
        inidat.batt2 = 10;
    }
    void TearDown() override { fefo = fefo_OHNE; } // as before the control window is built
};

} // namespace

// Each step calls an entry point and reads the text form (or tooltip) it leaves; -1 is a
// blink step.
TEST_F(PanelIcons, StatesBlinkStepsTextFormsAndTooltips) {
    const struct {
        std::function<void()> call;
        const char* const* form;
        const char* shown;
    } steps[] = {
        {[] { ic_wshow(1, "+Volume/time pre-warning."); }, &ic_wicon, "$"},
        {[] { ic_wshow(-1, nullptr); }, &ic_wicon, "$"}, // no blink in state 1
        {[] { ic_wshow(2, "*Volume/time warning."); }, &ic_wicon, "$"},
        {[] { ic_wshow(-1, nullptr); }, &ic_wicon, "!!"},
        {[] { ic_wshow(-1, nullptr); }, &ic_wicon, "$"},
        {[] { ic_wshow(7, nullptr); }, &ic_wicon, ""}, // out of range counts as off
        {[] { ic_hshow(2, ""); }, &ic_hicon, "H"},
        {[] { ic_hshow(3, ""); }, &ic_hicon, "XH!"},
        {[] { ic_hshow(-1, nullptr); }, &ic_hicon, "X!H"},
        {[] { ic_hshow(0, nullptr); }, &ic_hicon, ""},
        {[] { ic_tshow(1, 75, ""); }, &ic_ticon, "c75"},
        {[] { ic_tshow(1, 150, nullptr); }, &ic_ticon, "c2h"},
        {[] { ic_tshow(0, 0, nullptr); }, &ic_ticon, ""},
        {[] { ic_bshow(30, ""); }, &ic_bicon, "batt"},
        {[] { ic_bshow(10, ""); }, &ic_bicon, "BATT!"},
        {[] { ic_bshow(31, nullptr); }, &ic_bicon, ""},
        {[] { ic_mshow(4, 0, 0, 0, 0, "mavlyn\n\nConnecting."); }, &ic_micon, "-><-"},
        {[] { ic_mshow(-1, -1, -1, -1, -1, "+Update_query~x"); }, &ic_micon, "-><-"},
        {[] { fefo = fefo_ICON, ic_mshow(5, -1, -1, -1, -1, nullptr); }, &ic_micon, "<-|->"},
        {[] { ic_mshow(0, -1, -1, -1, -1, nullptr); }, &ic_micon, ""},
    };
    for (const auto& step : steps) {
        step.call();
        EXPECT_STREQ(*step.form, step.shown) << &step - steps;
    }
    EXPECT_STREQ(ic__mtext, "+Update query~x") << "the marks of the last tooltip";
    ic_hshow(2, "");
    EXPECT_STREQ(ic__htext, "mavlyn\nIn homezone");
    ic_tshow(1, 75, "");
    EXPECT_STREQ(ic__ttext, "mavlyn\ncountdown");
    ic_bshow(30, "");
    EXPECT_STREQ(ic__btext, "mavlyn\nMobile set battery 30%");
    _de = true;
    ic_hshow(1, "");
    EXPECT_STREQ(ic__htext, "mavlyn\nHomezone-Status unbekannt");
    ic_hshow(0, nullptr);
    ic_tshow(0, 0, nullptr);
    ic_bshow(31, nullptr);
}

// The end hook takes every icon away, and the timer tick cannot bring one back.
TEST_F(PanelIcons, NothingStandsAfterTheEnd) {
    fefo = fefo_ICON;
    auto raise = [] {
        ic_mshow(1, 2, 55, 0, 0, "mavlyn\nUMTS");
        ic_wshow(2, "*Volume/time warning.");
        ic_hshow(3, "");
        ic_tshow(1, 75, "");
        ic_bshow(10, "");
    };
    raise();
    EXPECT_STREQ(ic_wicon, "$");
    ic_end();
    raise();
    ic_wshow(-1, nullptr);
    for (const char* form : {ic_micon, ic_wicon, ic_hicon, ic_ticon, ic_bicon})
        EXPECT_STREQ(form, "");
    ic_ini();
    ic_wshow(2, "*Volume/time warning.");
    EXPECT_STREQ(ic_wicon, "$") << "a new start shows them again";
    ic_wshow(0, nullptr);
}

namespace {

// Whether the top rows of the screen (where the sandbox's tray sits) show the colour; the
// screen is saved as a test artefact.
bool tray_shows(guchar r, guchar g, guchar b, const char* shot) {
    return gui::locked([&] {
        GdkWindow* root = gdk_get_default_root_window();
        int w, h;
        gdk_drawable_get_size(root, &w, &h);
        GdkPixbuf* all = gdk_pixbuf_get_from_drawable(nullptr, root, nullptr, 0, 0, 0, 0, w, h);
        mkdir("artifacts", 0755);
        gdk_pixbuf_save(all, (std::string("artifacts/") + shot + ".png").c_str(), "png", nullptr,
                        nullptr);
        const guchar* px = gdk_pixbuf_get_pixels(all);
        int stride = gdk_pixbuf_get_rowstride(all), n = gdk_pixbuf_get_n_channels(all);
        bool found = false;
        for (int y = 0; y < 40 && y < h && !found; y++)
            for (int x = 0; x < w && !found; x++) {
                const guchar* p = px + y * stride + x * n;
                found = p[0] == r && p[1] == g && p[2] == b;
            }
        g_object_unref(all);
        return found;
    });
}

} // namespace

// Needs a notification area: run inside the scenario sandbox, which starts trayer.
TEST_F(PanelIcons, IconsInTheTrayShowTheirPictures) {
    if (!getenv("SB")) GTEST_SKIP() << "needs the sandbox's tray";
    fefo = fefo_ICON;
    ic_mshow(1, 2, 55, 0, 0, "mavlyn\nUMTS");
    ic_wshow(2, "*Volume/time warning.");
    ic_hshow(2, "");
    ic_tshow(1, 75, "");
    ic_bshow(10, "");
    EXPECT_TRUE(gui::eventually([] { return tray_shows(0x80, 0x80, 0xff, "tray"); }))
        << "the UMTS-blue main icon is in the tray (see artifacts/tray.png)";
    EXPECT_TRUE(gui::eventually([] { return tray_shows(0x9f, 0x9f, 0x00, "tray"); }))
        << "the dark yellow warning sign";
    ic_mshow(0, -1, -1, -1, -1, nullptr);
}
