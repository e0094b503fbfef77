// The splash window: its texts, suppression and self-hiding.
#include "gui_support.h"

#include "ui/splash.h"

namespace {

// The state text of the splash window, "" while it is hidden.
std::string shown() {
    GtkWidget* w =
        gui::window([](GtkWidget* x) { return !gtk_window_get_decorated(GTK_WINDOW(x)); });
    return gui::text(gui::nth_child(w, GTK_TYPE_LABEL, 1));
}

bool shows(const std::string& text) {
    return gui::eventually([&] { return shown() == text; }, std::chrono::seconds(10));
}

} // namespace

using Splash = gui::Case;

TEST_F(Splash, KindsShowTheirTextsHideOrAreSuppressed) {
    cs_show(5);
    EXPECT_TRUE(shows("Storing configuration data."));
    cs_nosplash = true;
    cs_show(1);
    EXPECT_TRUE(shows("")) << "the start is suppressed";
    cs_show(7);
    EXPECT_TRUE(shows("")) << "an unknown kind hides";
    cs_nosplash = false;
    cs_splashtext("Profile \xE4");
    cs_show(9);
    EXPECT_TRUE(shows("Profile \xC3\xA4"));
    // A timed kind hides the window after its time, even what came after it.
    cs_show(33);
    EXPECT_TRUE(shows("Send request accepted."));
    cs_show(5);
    EXPECT_TRUE(shows("")) << "the 1.5 s of the first kind hide the window";
    cs_show(0);
}
