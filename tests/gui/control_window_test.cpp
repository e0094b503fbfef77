// The control window on a real display: its forms, colours as drawn on the screen, clicks,
// iconifying and closing. Screenshots are kept in tests/artifacts of the build directory.
#include "gui_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "ui/control_window.h"
#include "ui/status_lines.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

const bool display_ready = (gui::ensure_display(), true);

void line(int i, const char* t) {
    strMcpy(cc_mtext[i], t);
}

// The colour on the screen in the middle of a widget, as "#rrggbb"; the screen is saved.
std::string screen_colour(GtkWidget* w, const char* shot) {
    return gui::locked([&] {
        GdkWindow* win = gtk_widget_get_window(w);
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        int x, y;
        gdk_window_get_origin(win, &x, &y);
        if (!gtk_widget_get_has_window(w)) {
            x += a.x;
            y += a.y;
        }
        x += a.width - 6; // right of any text, inside the field
        y += a.height / 2;
        GdkWindow* root = gdk_get_default_root_window();
        int rw, rh;
        gdk_drawable_get_size(root, &rw, &rh);
        GdkPixbuf* all = gdk_pixbuf_get_from_drawable(nullptr, root, nullptr, 0, 0, 0, 0, rw, rh);
        mkdir("artifacts", 0755);
        gdk_pixbuf_save(all, (std::string("artifacts/") + shot + ".png").c_str(), "png", nullptr,
                        nullptr);
        const guchar* p = gdk_pixbuf_get_pixels(all) + y * gdk_pixbuf_get_rowstride(all) +
                          x * gdk_pixbuf_get_n_channels(all);
        char c[8];
        snprintf(c, sizeof c, "#%02x%02x%02x", p[0], p[1], p[2]);
        g_object_unref(all);
        return std::string(c);
    });
}

GtkWidget* regular_window() {
    return gui::wait_window(
        [](GtkWindow* w) { return GTK_WIDGET(w) == mainwindow && gtk_window_get_decorated(w); });
}

GtkWidget* mini_window() {
    return gui::wait_window(
        [](GtkWindow* w) { return GTK_WIDGET(w) == mainwindow && !gtk_window_get_decorated(w); });
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
        programmende_gewuenscht = false;
        onlinezeit = 0;
        for (int i = 1; i < cc_mtextFELD; i++) line(i, " ");
    }
    void TearDown() override {
        programmende_gewuenscht = false;
        fefo = fefo_OHNE;
        cc_show();
    }
    // Waits until the window's form is the wanted one (handlers run on the main loop).
    bool form_becomes(fefo_t f) {
        return gui::eventually([f] { return fefo == f; });
    }
};

} // namespace

TEST_F(Window, RegularWindowShowsTheLinesWithMarkerColours) {
    fefo = fefo_NORMAL;
    line(1, "*Connection error 29.");
    line(2, " UMTS");
    line(3, "+09% = -95dBm");
    line(4, "    1.5 kB/s");
    inidat.mod[static_cast<unsigned char>('T')] = 0;
    cc_show();
    GtkWidget* w = regular_window();
    ASSERT_NE(w, nullptr);
    GList* entries = nullptr;
    gui::locked([&] {
        gui::collect(w, GTK_TYPE_ENTRY, &entries);
        return 0;
    });
    ASSERT_EQ(g_list_length(entries), 7u);
    GtkWidget* first = GTK_WIDGET(entries->data);
    GtkWidget* third = nullptr;
    // The signal field is the second one of the second row.
    for (GList* l = entries; l; l = l->next)
        if (gui::entry_text(GTK_WIDGET(l->data)) == "09% = -95dBm") third = GTK_WIDGET(l->data);
    g_list_free(entries);
    EXPECT_EQ(gui::entry_text(first), "Connection error 29.");
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(
        gui::eventually([&] { return screen_colour(first, "regular-window") == "#ffaaaa"; }));
    EXPECT_TRUE(
        gui::eventually([&] { return screen_colour(third, "regular-window") == "#ff66ff"; }));
    EXPECT_TRUE(gui::eventually([&] {
        return gui::locked([&] { return std::string(gtk_window_get_title(GTK_WINDOW(w))); }) ==
               "mavlyn 0.4";
    }));
}

TEST_F(Window, MiniWindowColoursAndClickToTheRegularWindowAndBack) {
    fefo = fefo_MINI;
    line(cc_mtextMINI, "*Not in_homezone.");
    cc_show();
    GtkWidget* w = mini_window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(gui::eventually([&] { return screen_colour(w, "mini-alarm") == "#ff0000"; }));
    line(cc_mtextMINI, "+Update_query.");
    cc_show();
    EXPECT_TRUE(gui::eventually([&] { return screen_colour(w, "mini-notice") == "#bf00bf"; }));
    line(cc_mtextMINI, " G1 -71dBm");
    inidat.mod[static_cast<unsigned char>('O')] = 1;
    onlinezeit = 100;
    cc_show();
    EXPECT_TRUE(gui::eventually([&] { return screen_colour(w, "mini-gprs") == "#007f00"; }));
    onlinezeit = 0;
    cc_show();
    EXPECT_TRUE(gui::eventually([&] { return screen_colour(w, "mini-offline") == "#000000"; }));

    ASSERT_TRUE(
        gui::with_retries([&] { return gui::click(w); }, [&] { return fefo == fefo_NORMAL; }));
    GtkWidget* r = regular_window();
    ASSERT_NE(r, nullptr);
    GtkWidget* field = gui::locked(
        [&] { return gui::find_child(r, GTK_TYPE_ENTRY, [](GtkWidget*) { return true; }); });
    ASSERT_TRUE(
        gui::with_retries([&] { return gui::click(field); }, [&] { return fefo == fefo_MINI; }))
        << "a second click returns to the mini window";
}

TEST_F(Window, IconifyingTheRegularWindowGivesTheIconForm) {
    fefo = fefo_NORMAL;
    cc_show();
    GtkWidget* w = regular_window();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(gui::with_retries([&] { return gui::sh("xdotool windowminimize " + gui::xid(w)); },
                                  [] { return fefo == fefo_ICON; }));
    EXPECT_TRUE(gui::eventually([] { return mainwindow == nullptr; }));
}

TEST_F(Window, CloseWithEndmOneEndsAtOnce) {
    inidat.endm = 1;
    fefo = fefo_NORMAL;
    cc_show();
    ASSERT_NE(regular_window(), nullptr);
    gui::close_all_visible();
    EXPECT_TRUE(gui::eventually([] { return programmende_gewuenscht; }));
    EXPECT_STREQ(cc_mtext[1], " Ending.");
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " Ending.");
    EXPECT_NE(mainwindow, nullptr) << "the window stays until the end";
}

TEST_F(Window, CloseWithEndmTwoMinimisesInstead) {
    inidat.endm = 2;
    fefo = fefo_NORMAL;
    cc_show();
    ASSERT_NE(regular_window(), nullptr);
    gui::close_all_visible();
    EXPECT_TRUE(form_becomes(fefo_ICON));
    EXPECT_FALSE(programmende_gewuenscht);
}

// GTK deactivates a menu before it activates the chosen item, as on a click or Return.
TEST_F(Window, ChosenMenuItemRunsAndTheMenuGoes) {
    bool was_mute = tonlos;
    GtkWidget* menu = gui::locked([] {
        cc_menu();
        GtkWidget* found = nullptr;
        GList* all = gtk_window_list_toplevels();
        for (GList* l = all; l && !found; l = l->next)
            found = gui::find_child(GTK_WIDGET(l->data), GTK_TYPE_MENU,
                                    [](GtkWidget* m) { return gtk_widget_get_visible(m) != 0; });
        g_list_free(all);
        return found;
    });
    ASSERT_NE(menu, nullptr);
    GtkWidget* mute = gui::locked([menu] {
        return gui::find_child(menu, GTK_TYPE_MENU_ITEM, [](GtkWidget* item) {
            const char* t = gtk_menu_item_get_label(GTK_MENU_ITEM(item));
            return t && strcmp(t, "Mute") == 0;
        });
    });
    ASSERT_NE(mute, nullptr);
    g_object_add_weak_pointer(G_OBJECT(menu), reinterpret_cast<gpointer*>(&menu));
    gui::locked([menu, mute] {
        gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), mute, TRUE);
        return 0;
    });
    EXPECT_TRUE(gui::eventually([was_mute] { return tonlos != was_mute; }));
    EXPECT_TRUE(gui::eventually([&menu] {
        return gui::locked([&menu] { return menu == nullptr; });
    })) << "the menu is destroyed after the item ran";
    tonlos = was_mute;
}
