// The modem tools of the configuration dialog against the simulated modem: the service
// console, the netlock test, the network analysis with the choice of a network from its
// result, and the prepaid buttons.
#include "gui_support.h"

#include "foundation/utilities.h"
#include "modemsim_process.h"
#include "ui/network_analysis.h"

namespace {

using gui::by_tooltip;
using gui::holds;

class DialogTools : public gui::DialogCase {
  protected:
    void SetUp() override {
        DialogCase::SetUp();
        comzeit = 50;
        geraet = 3;
        cf__netzzeitprozent = 1;
    }
    void TearDown() override {
        DialogCase::TearDown();
        cf__netzzeitprozent = 100;
    }
    // Opens the dialog on the device page and starts the console on the modem.
    GtkWidget* open_with_console(const ModemSim& sim) {
        strMcpy(inidat.comport, sim.port(0).c_str());
        GtkWidget* w = open(2);
        GtkWidget *input = by_tooltip(w, GTK_TYPE_ENTRY, "AT"), *cancel = gui::button(w, "Cancel");
        console_ = gui::nth_child(w, GTK_TYPE_TEXT_VIEW);
        // Focusing the input line starts the console; a focus given before the window had the
        // X focus brings no focus-in event, so it is given again until the console starts.
        auto refocus = [&] {
            gui::locked([&] {
                gtk_widget_grab_focus(cancel);
                gtk_widget_grab_focus(input);
            });
            return true;
        };
        bool started =
            w && gui::with_retries([&] { return gui::activate(w) && refocus(); },
                                   [&] { return holds(console_, "- Console started.\r\n"); });
        EXPECT_TRUE(started);
        EXPECT_TRUE(gui::eventually([&] { return holds(console_, "has been opened"); }))
            << gui::text(console_);
        return started ? w : nullptr;
    }
    GtkWidget* console_ = nullptr;
};

} // namespace

TEST_F(DialogTools, ConsoleNetlockAnalysisAndChoosingANetwork) {
    ModemSim sim({"--profile", "huawei", "--set", "lock=PU", "--set", "lock=PC", "--set",
                  "network=clear", "--set", "network=1|26201|T-Mobile D|TMO|2", "--set",
                  "network=3|26207|o2 - de|o2|2", "--set", "network=2|26202|Vodafone.de|VF|2",
                  "--set", "signal=20"});
    ASSERT_TRUE(sim.ready());
    GtkWidget* w = open_with_console(sim);
    ASSERT_NE(w, nullptr);
    // A line typed with Return is sent; the answer appears.
    GtkWidget* input = by_tooltip(w, GTK_TYPE_ENTRY, "AT");
    gui::locked([input] { gtk_entry_set_text(GTK_ENTRY(input), "AT+CGMI"); });
    EXPECT_TRUE(gui::with_retries([&] { return gui::keys(w, "Return"); },
                                  [&] { return holds(console_, "Command:  AT+CGMI\r\n"); }));
    EXPECT_TRUE(gui::eventually([&] { return holds(console_, "huawei"); }));
    // The netlock test on the open console asks for every lock and finds the configured ones.
    EXPECT_TRUE(gui::click(gui::button(w, "Test the device for netlocks")));
    EXPECT_TRUE(gui::eventually([&] { return holds(console_, "Corporate lock detected."); }))
        << gui::text(console_);
    EXPECT_TRUE(holds(console_, "Network subset lock detected."));
    EXPECT_FALSE(holds(console_, "Network lock detected."));
    EXPECT_FALSE(holds(console_, "Service provider lock detected."));

    // Leaving the page ends the console and frees the port.
    ASSERT_TRUE(gui::show_page(w, 3));
    EXPECT_TRUE(gui::eventually([&] { return holds(console_, "- Console terminated.\r\n"); }));
    EXPECT_FALSE(konsoleaktiv);

    // A UMTS-only analysis: one pass, one line per network.
    GtkWidget* start = gui::button(w, "Start");
    GtkWidget* view = gui::nth_child(w, GTK_TYPE_TEXT_VIEW, 1);
    EXPECT_TRUE(gui::click(gui::button(w, "GPRS")));
    EXPECT_TRUE(gui::click_until(start, [&] { return !gui::sensitive(start); }));
    EXPECT_TRUE(holds(view, "-----   Network analysis has been started.   -----"));
    EXPECT_TRUE(gui::eventually([&] { return gui::sensitive(start); }, std::chrono::seconds(60)));
    // A forbidden network, whose selection fails, is listed unmeasured at the end.
    EXPECT_EQ(gui::text(view), "UMTS\t66%\t[26201]\tT-Mobile D\r\nUMTS\t66%\t[26202]\t"
                               "Vodafone.de\r\nUMTS\t?%\t[26207]\to2 - de  (forbidden)\r\n");
    EXPECT_EQ(sim.transcript().find("AT^SYSCFG=13"), std::string::npos) << "no GPRS pass";

    // A click on the second line puts that network into the selection.
    GtkWidget* net = by_tooltip(w, GTK_TYPE_ENTRY, "NET=");
    GtkWidget* netsel = by_tooltip(w, GTK_TYPE_COMBO_BOX, "NET=");
    auto click_line = [&] {
        int x = 0, y = 0;
        gui::locked([&] {
            GtkTextIter it;
            gtk_text_buffer_get_iter_at_line(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), &it, 1);
            GdkRectangle r;
            gtk_text_view_get_iter_location(GTK_TEXT_VIEW(view), &it, &r);
            int wx, wy; // the view may be scrolled
            gtk_text_view_buffer_to_window_coords(GTK_TEXT_VIEW(view), GTK_TEXT_WINDOW_TEXT, r.x,
                                                  r.y + r.height / 2, &wx, &wy);
            gdk_window_get_origin(
                gtk_text_view_get_window(GTK_TEXT_VIEW(view), GTK_TEXT_WINDOW_TEXT), &x, &y);
            y += wy;
        });
        return gui::click_at(x + 20, y);
    };
    EXPECT_TRUE(gui::with_retries(click_line, [&] { return gui::text(net) == "Vodafone.de"; }));
    EXPECT_EQ(gui::locked([netsel] { return gtk_combo_box_get_active(GTK_COMBO_BOX(netsel)); }), 0)
        << "automatic becomes only this network";

    EXPECT_EQ(close(w, "Escape"), 0);
    EXPECT_FALSE(cf__netsearchrunning()) << "the search thread ends with the dialog";
}

TEST_F(DialogTools, PrepaidQueryAsksTheModemAndTheButtonsAreUsableAgain) {
    ModemSim sim({"--profile", "huawei", "--set", "ussd=*100#|Guthaben: 5,00 EUR"});
    ASSERT_TRUE(sim.ready());
    strMcpy(inidat.ppq, "*100#");
    GtkWidget* w = open_with_console(sim);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(gui::show_page(w, 3));
    GtkWidget* query = gui::button(w, "Query now");
    GtkWidget* send = gui::button(w, "Send now...");

    // The query goes out through the modem (the console gave the port up) and is answered.
    EXPECT_TRUE(gui::click_until(query, [&] { return !gui::sensitive(query); }));
    EXPECT_FALSE(gui::sensitive(send)) << "one task at a time";
    // The message thread shows the answer; the network may take a quarter of a minute.
    gui::start_msgthread();
    GtkWidget* box = gui::wait_titled("mavlyn   Credit Query", std::chrono::seconds(60));
    EXPECT_NE(gui::text(box, "secondary-text").find("Guthaben: 5,00 EUR"), std::string::npos);
    EXPECT_TRUE(gui::press(box, "gtk-ok"));
    EXPECT_NE(sim.transcript().find("AT+CUSD=1,\"*100#\",15"), std::string::npos);
    EXPECT_TRUE(gui::eventually([&] { return gui::sensitive(query) && gui::sensitive(send); }));

    EXPECT_EQ(close(w, "Escape"), 0);
}
