// The modem tools of the configuration dialog against the simulated modem: the service
// console, the netlock test, the network analysis and choosing a network from its result.
#include "config_dialog_support.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modemsim_process.h"
#include "ui/config_dialog.h"
#include "ui/network_analysis.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const bool display_ready = (gui::ensure_display(), true);

using gui::by_tooltip;
using gui::DialogRun;

std::string text_of(GtkWidget* v) {
    return gui::locked([v] {
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(v));
        GtkTextIter from, to;
        gtk_text_buffer_get_bounds(b, &from, &to);
        gchar* t = gtk_text_buffer_get_text(b, &from, &to, FALSE);
        std::string out = t ? t : "";
        g_free(t);
        return out;
    });
}

// The n-th text view of the page shown by the notebook.
GtkWidget* page_view(GtkWidget* notebook, int page, int n) {
    return gui::locked([&] {
        GtkWidget* p = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), page);
        int i = 0;
        return gui::find_child(p, GTK_TYPE_TEXT_VIEW, [&](GtkWidget*) { return i++ == n; });
    });
}

bool holds(GtkWidget* v, const char* what) {
    return text_of(v).find(what) != std::string::npos;
}

void show_page(GtkWidget* notebook, int page) {
    gui::locked([&] {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
        return 0;
    });
}

class DialogTools : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        iv_inidefaults();
        _de = false;
        inidat.funktion = FUNKTION_CONFIG;
        configtab = 0;
        comzeit = 50;
        geraet = 3;
        cf__netzzeitprozent = 1;
    }
    void TearDown() override {
        cf__netzzeitprozent = 100;
        comzeit = 150;
        geraet = 0;
        iv_inidefaults();
    }
};

// Gives the console's input line the focus, which starts the console. A focus change made
// while the window has not yet got the X focus brings no focus-in event: the focus is taken
// away and given again until the console says it started.
bool focus_console(GtkWidget* w, GtkWidget* input, GtkWidget* console) {
    return gui::with_retries(
        [&] {
            if (!gui::activate(w)) return false;
            gui::locked([w, input] {
                GtkWidget* cancel = gui::button(w, "Cancel");
                if (cancel) gtk_widget_grab_focus(cancel);
                gtk_widget_grab_focus(input);
                return 0;
            });
            return true;
        },
        [&] { return holds(console, "- Console started.\r\n"); });
}

} // namespace

TEST_F(DialogTools, ConsoleNetlockAnalysisAndChoosingANetwork) {
    ModemSim sim({"--profile", "huawei", "--set", "lock=PU", "--set", "network=clear", "--set",
                  "network=1|26201|T-Mobile D|TMO|2", "--set", "network=2|26202|Vodafone.de|VF|2",
                  "--set", "signal=20"});
    ASSERT_TRUE(sim.ready());
    strMcpy(inidat.comport, sim.port(0).c_str());
    DialogRun run;
    run.start();
    GtkWidget* w = gui::wait_titled("mavlyn   Configuration");
    ASSERT_NE(w, nullptr);
    GtkWidget* notebook = gui::locked([w] { return gui::find_child(w, GTK_TYPE_NOTEBOOK); });
    ASSERT_NE(notebook, nullptr);

    // The console starts when its input line gets the focus.
    show_page(notebook, 2);
    ASSERT_TRUE(gui::eventually([] { return configtab == 2; }));
    GtkWidget* console = page_view(notebook, 2, 0);
    GtkWidget* input = by_tooltip(w, GTK_TYPE_ENTRY, "AT");
    ASSERT_NE(console, nullptr);
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(focus_console(w, input, console));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "has been opened"); }))
        << text_of(console);
    EXPECT_TRUE(holds(console, "- Console started.\r\n"));
    EXPECT_EQ(gui::entry_text(input), "");
    EXPECT_TRUE(konsoleaktiv);

    // A line typed with Return is sent; the answer appears.
    gui::locked([input] {
        gtk_entry_set_text(GTK_ENTRY(input), "AT+CGMI");
        return 0;
    });
    EXPECT_TRUE(gui::with_retries([&] { return gui::keys(w, "Return"); },
                                  [&] { return holds(console, "Command:  AT+CGMI\r\n"); }));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "huawei"); })) << text_of(console);
    EXPECT_NE(sim.transcript().find("AT+CGMI"), std::string::npos);

    // The netlock test on the open console.
    GtkWidget* netlock = gui::button(w, "Test the device for netlocks");
    ASSERT_NE(netlock, nullptr);
    EXPECT_TRUE(gui::with_retries([&] { return gui::click(netlock); },
                                  [&] { return holds(console, "* Test for netlock"); }));
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "Network subset lock detected."); }))
        << text_of(console);
    EXPECT_FALSE(holds(console, "Network lock detected.")) << "only the configured lock";

    // A UMTS-only analysis; the console gives up the port first.
    show_page(notebook, 3);
    ASSERT_TRUE(gui::eventually([] { return configtab == 3; }));
    GtkWidget* start = gui::button(w, "Start");
    GtkWidget* gprs = gui::button(w, "GPRS");
    GtkWidget* view = page_view(notebook, 3, 0);
    ASSERT_NE(start, nullptr);
    ASSERT_NE(gprs, nullptr);
    ASSERT_NE(view, nullptr);
    gui::locked([gprs] {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(gprs), FALSE);
        return 0;
    });
    EXPECT_TRUE(gui::with_retries([&] { return gui::click(start); },
                                  [&] { return !gui::sensitive(start); }));
    EXPECT_TRUE(holds(view, "-----   Network analysis has been started.   -----"));
    EXPECT_TRUE(gui::eventually([&] { return gui::sensitive(start); }, std::chrono::seconds(60)))
        << text_of(view);
    EXPECT_TRUE(holds(console, "- Console terminated.\r\n"));
    EXPECT_FALSE(konsoleaktiv);
    const std::string result = text_of(view);
    EXPECT_EQ(result, "UMTS\t66%\t[26201]\tT-Mobile D\r\nUMTS\t66%\t[26202]\tVodafone.de\r\n")
        << "one pass, one line per network";
    EXPECT_EQ(sim.transcript().find("AT^SYSCFG=13"), std::string::npos) << "no GPRS pass";

    // A click on the second line puts that network into the selection.
    GtkWidget* net = by_tooltip(w, GTK_TYPE_ENTRY, "NET=");
    GtkWidget* netsel = by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=");
    ASSERT_NE(net, nullptr);
    ASSERT_NE(netsel, nullptr);
    EXPECT_EQ(gui::locked([netsel] { return gtk_combo_box_get_active(GTK_COMBO_BOX(netsel)); }), 2);
    int line_y = gui::locked([view] {
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
        GtkTextIter it;
        gtk_text_buffer_get_iter_at_line(b, &it, 1);
        GdkRectangle r;
        gtk_text_view_get_iter_location(GTK_TEXT_VIEW(view), &it, &r);
        return r.y + r.height / 2;
    });
    GtkWidget* viewwin = view;
    auto click_line = [&] {
        int x = 0, y = 0;
        gui::locked([&] {
            gdk_window_get_origin(
                gtk_text_view_get_window(GTK_TEXT_VIEW(viewwin), GTK_TEXT_WINDOW_TEXT), &x, &y);
            return 0;
        });
        return gui::sh("xdotool mousemove " + std::to_string(x + 21) + " " +
                       std::to_string(y + line_y) + " mousemove --sync " + std::to_string(x + 20) +
                       " " + std::to_string(y + line_y) + " click 1");
    };
    EXPECT_TRUE(gui::with_retries(click_line, [&] {
        return gui::entry_text(net) == "Vodafone.de";
    })) << gui::entry_text(net);
    EXPECT_EQ(gui::locked([netsel] { return gtk_combo_box_get_active(GTK_COMBO_BOX(netsel)); }), 0)
        << "automatic becomes only this network";
    EXPECT_TRUE(gui::sensitive(net));

    EXPECT_TRUE(gui::keys_closing(w, "Escape"));
    EXPECT_EQ(run.join(), 0);
    EXPECT_FALSE(cf__netsearchrunning()) << "the search thread ends with the dialog";
}

TEST_F(DialogTools, ChangingTheCommandPortEndsTheConsole) {
    ModemSim sim({"--profile", "huawei"});
    ASSERT_TRUE(sim.ready());
    strMcpy(inidat.comport, sim.port(0).c_str());
    DialogRun run;
    run.start();
    GtkWidget* w = gui::wait_titled("mavlyn   Configuration");
    ASSERT_NE(w, nullptr);
    GtkWidget* notebook = gui::locked([w] { return gui::find_child(w, GTK_TYPE_NOTEBOOK); });
    show_page(notebook, 2);
    ASSERT_TRUE(gui::eventually([] { return configtab == 2; }));
    GtkWidget* console = page_view(notebook, 2, 0);
    GtkWidget* input = by_tooltip(w, GTK_TYPE_ENTRY, "AT");
    GtkWidget* com = by_tooltip(w, GTK_TYPE_ENTRY, "COM=");
    ASSERT_NE(input, nullptr);
    ASSERT_NE(com, nullptr);
    ASSERT_TRUE(focus_console(w, input, console));
    ASSERT_TRUE(gui::eventually([] { return konsoleaktiv; })) << text_of(console);
    gui::locked([com] {
        gtk_entry_set_text(GTK_ENTRY(com), "/dev/null/none");
        return 0;
    });
    EXPECT_TRUE(gui::eventually([&] { return holds(console, "- Console terminated.\r\n"); }))
        << text_of(console);
    EXPECT_FALSE(konsoleaktiv);
    EXPECT_EQ(gui::entry_text(input), "Click here for console inputs.");
    EXPECT_TRUE(gui::keys_closing(w, "Escape"));
    EXPECT_EQ(run.join(), 0);
}
