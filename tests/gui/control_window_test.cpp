// The control window on a real display: its forms, colours as drawn on the screen, clicks,
// iconifying and closing. Its menu is worked by test_update_query.sh.
#include "gui_support.h"

#include "core/status_lines.h"
#include "foundation/utilities.h"
#include "ui/control_window.h"

namespace {

void line(int i, const char* t) {
    strMcpy(cc_mtext[i], t);
}

// The colour on the screen inside a widget, right of any text, as "#rrggbb".
std::string screen_colour(GtkWidget* w) {
    return gui::locked([&] {
        GtkWidget* top = gtk_widget_get_toplevel(w);
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        int x, y, cx, cy;
        gtk_widget_translate_coordinates(w, top, a.width - 6, a.height / 2, &cx, &cy);
        gdk_window_get_origin(gtk_widget_get_window(top), &x, &y);
        GdkPixbuf* px = gdk_pixbuf_get_from_drawable(nullptr, gdk_get_default_root_window(),
                                                     nullptr, x + cx, y + cy, 0, 0, 1, 1);
        const guchar* p = gdk_pixbuf_get_pixels(px);
        char c[8];
        snprintf(c, sizeof c, "#%02x%02x%02x", p[0], p[1], p[2]);
        g_object_unref(px);
        return std::string(c);
    });
}

bool shows(GtkWidget* w, const char* colour) {
    return gui::eventually([&] { return screen_colour(w) == colour; });
}

GtkWidget* window(bool decorated) {
    return gui::wait_window([decorated](GtkWidget* w) {
        return w == mainwindow && gtk_window_get_decorated(GTK_WINDOW(w)) == decorated;
    });
}

class Window : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        onlinezeit = 0;
        for (int i = 1; i < cc_mtextFELD; i++) line(i, " ");
        show(fefo_OHNE); // whatever form an earlier case left is taken down
    }
    void TearDown() override {
        fefo = fefo_OHNE;
        cc_show();
    }
    void show(fefo_t form) {
        fefo = form;
        cc_show();
    }
};

} // namespace

TEST_F(Window, RegularWindowShowsTheLinesWithMarkerColours) {
    line(1, "*Connection error 29.");
    line(3, "+09% = -95dBm");
    show(fefo_NORMAL);
    GtkWidget* w = window(true);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(gui::count_children(w, GTK_TYPE_ENTRY), 7);
    GtkWidget* first = gui::nth_child(w, GTK_TYPE_ENTRY);
    GtkWidget* signal = gui::find(w, GTK_TYPE_ENTRY, [](GtkWidget* e) {
        return strcmp(gtk_entry_get_text(GTK_ENTRY(e)), "09% = -95dBm") == 0;
    });
    EXPECT_EQ(gui::text(first), "Connection error 29.");
    EXPECT_TRUE(shows(first, "#ffaaaa"));
    EXPECT_TRUE(shows(signal, "#ff66ff"));
}

TEST_F(Window, MiniWindowColoursAndClickToTheRegularWindowAndBack) {
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

    ASSERT_TRUE(gui::click_until(w, [&] { return fefo == fefo_NORMAL; }));
    EXPECT_TRUE(gui::click_until(gui::nth_child(window(true), GTK_TYPE_ENTRY), [] {
        return fefo == fefo_MINI;
    })) << "a second click returns to the mini window";
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
