// The splash window: its texts, suppression and self-hiding.
#include "gui_support.h"

#include "control/session_state.h"
#include "ui/splash.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const bool display_ready = (gui::ensure_display(), true);

class Splash : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        _de = false;
        cs_nosplash = false;
        smsconfigsub = false;
    }
    void TearDown() override {
        cs_show(0);
        cs_nosplash = false;
    }
};

// The splash window if it is shown, with its state text.
GtkWidget* shown(std::string* text) {
    return gui::locked([&]() -> GtkWidget* {
        GtkWidget* w =
            gui::find_toplevel([](GtkWindow* x) { return !gtk_window_get_decorated(x); });
        if (!w || !text) return w;
        GList* labels = nullptr;
        gui::collect(w, GTK_TYPE_LABEL, &labels);
        *text = labels && labels->next ? gtk_label_get_text(GTK_LABEL(labels->next->data)) : "";
        g_list_free(labels);
        return w;
    });
}

} // namespace

TEST_F(Splash, KindsShowTheirTextsOrHide) {
    std::string text;
    cs_show(5);
    ASSERT_TRUE(gui::eventually([&] { return shown(&text) != nullptr; }));
    EXPECT_EQ(text, "Storing configuration data.");
    cs_nosplash = true;
    cs_show(1);
    EXPECT_TRUE(gui::eventually([] { return shown(nullptr) == nullptr; })) << "suppressed start";
    cs_show(5);
    EXPECT_TRUE(gui::eventually(
        [&] { return shown(&text) != nullptr && text == "Storing configuration data."; }));
    cs_show(7);
    EXPECT_TRUE(gui::eventually([] { return shown(nullptr) == nullptr; }))
        << "an unknown kind hides";
    cs_splashtext("Profile \xE4");
    cs_show(9);
    EXPECT_TRUE(
        gui::eventually([&] { return shown(&text) != nullptr && text == "Profile \xC3\xA4"; }));
}

TEST_F(Splash, TimedKindHidesEvenWhatCameAfter) {
    std::string text;
    cs_show(33);
    ASSERT_TRUE(gui::eventually([&] { return shown(&text) != nullptr; }));
    EXPECT_EQ(text, "Send request accepted.");
    cs_show(5);
    EXPECT_TRUE(gui::eventually([] { return shown(nullptr) == nullptr; }, std::chrono::seconds(10)))
        << "the 1.5 s of the first kind hide the window";
}

TEST(SplashKinds, TextsAndTimes) {
    _de = true;
    EXPECT_STREQ(cs__kind(10).text, "Programm wird beendet.");
    EXPECT_EQ(cs__kind(21).hideafter, 4000u);
    _de = false;
    EXPECT_STREQ(cs__kind(10).text, "Terminating the programm.");
    EXPECT_EQ(cs__kind(34).hideafter, 2000u);
    smsconfigsub = true;
    EXPECT_EQ(cs__kind(1).text, nullptr) << "not in the SMS sub-instance";
    EXPECT_NE(cs__kind(2).text, nullptr);
    smsconfigsub = false;
    EXPECT_EQ(cs__kind(0).text, nullptr);
}
