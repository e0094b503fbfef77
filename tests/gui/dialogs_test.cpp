// The dialogs on a real X server, asked as worker threads and signal handlers ask them and
// answered through the keyboard and the mouse; the PIN dialog, the SMS box, the splash.
#include "gui_support.h"

#include "../unit/modem_dialogue.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/sim_pin.h"
#include "modemsim_process.h"
#include "ui/input_dialog.h"
#include "ui/message_box.h"
#include "ui/splash.h"

#include <algorithm>
#include <atomic>
#include <sys/stat.h>
#include <tuple>

namespace {

using Dialogs = gui::Case;

// A question, who answers it and how, and what the caller gets; asked on this thread as a
// worker thread asks, or on the main loop as a signal handler asks.
struct Asked {
    const char* name;
    std::function<int()> ask;
    std::string title;
    gui::Check answer; // null: nobody answers
    int result;
    bool on_main_loop = false;
};

// Asked from a handler on the main loop, a dialog runs its own modal loop.
int on_main_loop(const std::function<int()>& ask) {
    using Task = std::packaged_task<int()>;
    auto* task = new Task(ask);
    std::future<int> answer = task->get_future();
    gdk_threads_add_idle(
        [](gpointer t) {
            (*static_cast<Task*>(t))();
            delete static_cast<Task*>(t);
            return FALSE;
        },
        task);
    return answer.wait_for(std::chrono::seconds(60)) == std::future_status::ready ? answer.get()
                                                                                  : -9;
}

// Asks with a main window of its own, which the answer destroys: a dialog freed with it and
// touched afterwards shows up as a critical warning at the least.
std::function<int()> orphan(const std::function<int()>& ask) {
    return [ask] {
        GLogLevelFlags old = g_log_set_always_fatal(
            GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR | G_LOG_LEVEL_WARNING));
        mainwindow = gui::locked([] {
            GtkWidget* m = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_widget_show(m);
            return m;
        });
        int r = ask();
        mainwindow = nullptr;
        g_log_set_always_fatal(old);
        return r;
    };
}

bool destroying_the_main_window(GtkWidget* w) {
    return gui::locked([w] {
        bool child = gtk_window_get_transient_for(GTK_WINDOW(w)) == GTK_WINDOW(mainwindow);
        gtk_widget_destroy(mainwindow);
        return child;
    });
}

gui::Check pressing(const char* what) {
    return [what](GtkWidget* w) { return gui::press(w, what); };
}

// Checks the message box's buttons as the user sees them, left to right, and its kind of
// icon; then presses.
gui::Check box_showing(const char* shown, const char* what) {
    return [=](GtkWidget* w) {
        std::string seen = gui::locked([w] {
            auto left = [](GtkWidget* b) {
                GtkAllocation a;
                gtk_widget_get_allocation(b, &a);
                return a.x;
            };
            std::vector<GtkWidget*> all = gui::widgets(w, GTK_TYPE_BUTTON);
            std::sort(all.begin(), all.end(),
                      [&](GtkWidget* a, GtkWidget* b) { return left(a) < left(b); });
            std::string order;
            for (GtkWidget* b : all)
                order += std::string(gtk_button_get_label(GTK_BUTTON(b))) + " ";
            GtkMessageType t;
            g_object_get(w, "message-type", &t, nullptr);
            auto* types = G_ENUM_CLASS(g_type_class_ref(GTK_TYPE_MESSAGE_TYPE));
            return order + g_enum_get_value(types, t)->value_nick;
        });
        EXPECT_EQ(seen, shown) << what;
        return gui::press(w, what);
    };
}

std::function<int()> box(int icon, int buttons, int mtime = 0) {
    return [=] { return me_messagebox(0, "mavlyn   Test", "Question?", icon, buttons, mtime); };
}

const char* const seven = "|q#Seven test#Pick one|1#One#first|+7#Seven#the default";

class PinDialog : public gui::Case {
  protected:
    void SetUp() override {
        Case::SetUp();
        _silentinstall = false;
        geraet = 0;
        comzeit = 150;
        ruhestatus = 0;
        cm_ini();
    }
    void TearDown() override { cm_postini(); }
    InTempDir dir_;
};

// Whether the splash window comes to show the state text, "" while it is hidden.
bool shows(const std::string& text) {
    auto splash = [](GtkWidget* x) { return !gtk_window_get_decorated(GTK_WINDOW(x)); };
    return gui::eventually(
        [&] { return gui::text(gui::find(gui::window(splash), GTK_TYPE_LABEL, {}, 1)) == text; },
        std::chrono::seconds(10));
}

} // namespace

TEST_F(Dialogs, AnsweredByKeysButtonsTheWindowManagerOrTheClock) {
    const std::string latin1 = "|i#Seven test#" + std::string(3000, '\xE4') + "|+3#Ok#";
    const std::string sixty(60, 'x'), big(5000, 'y');
    char text[ce_TEXTMAX + 20];
    // A code asked (kind 4), or the language (kind 1), which leaves no text.
    auto input = [&](int kind, std::string want) {
        return [&text, kind, want] {
            strcpy(text, "old");
            int r = kind == 4 ? ce_inputdialog(4, "mavlyn   Code", "Code:", text)
                              : ce_inputdialog(1, "mavlyn   Installation", nullptr, text);
            EXPECT_EQ(text, want);
            return r;
        };
    };
    auto requesting_end = [](GtkWidget*) { return th_requestend(), true; };
    const Asked cases[] = {
        {"Escape", [] { return bd_buttondialog(seven, 0); }, "Seven test", pressing("Escape"), 0},
        {"Return", [] { return bd_buttondialog(seven, 0); }, "Seven test", pressing("Return"), 7,
         true},
        {"closed", [] { return bd_buttondialog(seven, 0); }, "Seven test", pressing("alt+F4"), 0},
        {"time-out", [] { return bd_buttondialog(seven, 1000); }, "Seven test", nullptr, -1, true},
        // Empty and digit-only columns have no button and no separator.
        {"columns", [] { return bd_buttondialog("|x#Seven test#|1#A#||5|2#B#", 0); }, "Seven test",
         [](GtkWidget* w) {
             return gui::count_children(w, GTK_TYPE_BUTTON) == 2 &&
                    gui::count_children(w, GTK_TYPE_HSEPARATOR) == 0 && gui::press(w, "B");
         },
         2},
        // More Latin-1 text than its buffer holds is cut, not overflowed.
        {"latin-1", [&] { return bd_buttondialog(latin1.c_str(), 1000); }, "Seven test", nullptr,
         -1},
        // A typed code is cut to its field; Escape gives nothing.
        {"code typed", input(4, sixty.substr(0, 49)), "mavlyn   Code",
         [&](GtkWidget* w) {
             return !gui::button(w, "gtk-save") && gui::fill(gui::find(w, GTK_TYPE_ENTRY), sixty) &&
                    gui::press(w, "Return");
         },
         1, true},
        {"code escaped", input(4, ""), "mavlyn   Code",
         [](GtkWidget* w) {
             return gui::fill(gui::find(w, GTK_TYPE_ENTRY), "1") && gui::press(w, "Escape");
         },
         0},
        {"Deutsch", input(1, ""), "mavlyn   Installation", pressing("Deutsch"), 1},
        {"language closed", input(1, ""), "mavlyn   Installation", pressing("alt+F4"), 0},
        {"ok", box(0, 0), "mavlyn   Test", box_showing("gtk-ok info", "gtk-ok"), 1},
        {"cancel", box(1, 1), "mavlyn   Test", box_showing("gtk-cancel gtk-ok info", "gtk-cancel"),
         0},
        {"no", box(3, 2), "mavlyn   Test", box_showing("gtk-no gtk-yes question", "gtk-no"), 2},
        {"yes", box(0, 2), "mavlyn   Test", box_showing("gtk-no gtk-yes info", "gtk-yes"), 1, true},
        {"no of three", box(2, 3), "mavlyn   Test",
         box_showing("gtk-cancel gtk-no gtk-yes warning", "gtk-no"), 2},
        // A box with a long time-out must not hold up the end for its 90 seconds.
        {"end", box(1, 0), "mavlyn   Test", requesting_end, -1},
        {"end before time-out", box(1, 0, 90000), "mavlyn   Test", requesting_end, -1},
        {"long texts", [&] { return me_messagebox(0, big.c_str(), big.c_str(), 1, 0, 0); },
         std::string(99, 'y'),
         [](GtkWidget* w) {
             EXPECT_EQ(gui::text(w), std::string(99, 'y'));
             EXPECT_EQ(gui::text(w, "secondary-text"), std::string(799, 'y'));
             return gui::press(w, "Escape");
         },
         0},
        // Destroyed with the main window, each dialog ends its wait.
        {"orphan button dialog", orphan([] { return bd_buttondialog(seven, 0); }), "Seven test",
         destroying_the_main_window, 0},
        {"orphan input dialog", orphan(input(4, "")), "mavlyn   Code", destroying_the_main_window,
         0},
        {"orphan message box", orphan(box(1, 0)), "mavlyn   Test", destroying_the_main_window, -1},
        {"instance running", [] { return fl_set(aktivsignal), ia_instance_message(); },
         "mavlyn   Configuration", pressing("gtk-ok"), 1},
    };
    aktivsignal = 0x3B000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul);
    std::atomic<int> ticks{0};
    guint timer = gdk_threads_add_timeout(
        50, [](gpointer t) -> gboolean { return ++*static_cast<std::atomic<int>*>(t), TRUE; },
        &ticks);
    for (const Asked& a : cases) {
        programmende_gewuenscht = false;
        auto d = gui::beside([&] {
            GtkWidget* w = gui::wait_titled(a.title.c_str());
            // While the dialog waits, the main loop goes on and other threads take the GUI lock.
            int before = ticks;
            bool alive = gui::eventually([&] { return ticks > before + 3; });
            gui::locked([] {});
            return w && alive && (!a.answer || a.answer(w));
        });
        EXPECT_EQ(a.on_main_loop ? on_main_loop(a.ask) : a.ask(), a.result) << a.name;
        EXPECT_TRUE(d.get()) << a.name;
        EXPECT_EQ(gui::count_titled(a.title.c_str()), 0)
            << a.name << ": the window is gone on return";
    }
    gui::locked([timer] { g_source_remove(timer); });
    fl_clear(aktivsignal);
    EXPECT_EQ(ia_instance_message(), 0) << "no main instance, no message";
    EXPECT_EQ(bd_buttondialog(seven, 100), -1) << "below 250 ms the time-out strikes at once";
}

TEST_F(Dialogs, AsyncBoxesDoNotWaitAndOnlyTheEndQuestionEnds) {
    me_messageboxa(0, "mavlyn   Notice", "Sent.", 0);
    EXPECT_TRUE(gui::answer("mavlyn   Notice", "gtk-ok")) << "the caller did not wait for it";
    EXPECT_FALSE(programmende_gewuenscht);
    me_messageboxa(1, "mavlyn   End", "Terminate mavlyn?  ", 0);
    EXPECT_TRUE(gui::answer("mavlyn   End", "gtk-yes"));
    EXPECT_TRUE(gui::eventually([] { return programmende_gewuenscht; }));
    EXPECT_STREQ(cc_mtext[1], " Ending.");
}

TEST_F(Dialogs, InputDialogCallersAreServedOneAtATime) {
    int other = -1;
    std::thread second([&] { other = ce_inputdialog(4, "mavlyn   Serial", "A:", nullptr); });
    int most = 0;
    auto d = gui::beside([&] {
        for (int round = 0; round < 2; round++) {
            GtkWidget* w = gui::wait_titled("mavlyn   Serial");
            most = std::max(most, gui::count_titled("mavlyn   Serial"));
            if (!gui::press(w, "Escape")) return false;
        }
        return true;
    });
    EXPECT_EQ(ce_inputdialog(4, "mavlyn   Serial", "B:", nullptr), 0);
    EXPECT_TRUE(d.get());
    second.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(most, 1);
}

// A SIM that asks for 1234; saving the PIN is left to day_first_start in tests/e2e/day_lib.sh.
TEST_F(PinDialog, TypedPinUnlocksWarnsWhenWrongAndIsNotKept) {
    // Option K, the attempts the SIM reports, the PIN typed: the result, the prompt, a warning.
    const std::tuple<bool, const char*, const char*, int, const char*, const char*> cases[] = {
        {false, "2", "1234", PIN_READY, "Please enter PIN:\n(2 attempts left)", nullptr},
        {true, "3", "1234", PIN_READY, "Please enter PIN:", nullptr}, // nothing offered to save
        {false, "3", "9999", PIN_REJECTED,
         "Please enter PIN:", "mavlyn   PIN|The PIN you have entered is not valid."},
    };
    for (const auto& [optionk, attempts, typed, result, prompt, warning] : cases) {
        ModemSim sim({"--profile", "huawei", "--set", "sim=pin", "--set", "pin=1234", "--set",
                      std::string("pin_attempts=") + attempts});
        ASSERT_TRUE(sim.ready());
        strMcpy(inidat.com1, sim.port(0).c_str());
        MODUS('K') = optionk;
        inidat.pin[0] = 0;
        std::string asked, warned;
        auto d = gui::beside([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   PIN");
            EXPECT_EQ(gui::button(w, "gtk-save") == nullptr, optionk);
            asked = gui::text(gui::find(w, GTK_TYPE_LABEL, [](GtkWidget* x) {
                return strstr(gtk_label_get_text(GTK_LABEL(x)), "PIN") != nullptr;
            }));
            auto taken = [] { return ce__buttonapply && gui::sensitive(ce__buttonapply); };
            bool sent = gui::fill(gui::find(w, GTK_TYPE_ENTRY), typed) && gui::eventually(taken) &&
                        gui::press(w, "Return");
            if (!sent || !warning) return sent;
            GtkWidget* box =
                gui::wait_window([](GtkWidget* x) { return GTK_IS_MESSAGE_DIALOG(x) != 0; });
            warned = gui::text(box) + "|" + gui::text(box, "secondary-text");
            return gui::press(box, "Return");
        });
        EXPECT_EQ(de_inipin(1), result) << typed;
        EXPECT_TRUE(d.get());
        EXPECT_NE(asked.find(prompt), std::string::npos) << asked;
        EXPECT_STREQ(inidat.pin, "");
        EXPECT_EQ(count_command(sim.transcript(), std::string("AT+CPIN=") + typed), 1);
        cm_close();
        if (!warning) continue;
        EXPECT_EQ(warned.rfind(warning, 0), 0u) << warned;
        EXPECT_NE(warned.find("three  \ntimes, your SIM card will be locked."), std::string::npos);
    }
}

TEST_F(Dialogs, SmsReceptionNoStopsItYesStartsTheSmsManager) {
    InTempDir dir;
    gui::start_msgthread();
    konfigaktivsignal = 0x4B560000u + static_cast<unsigned long>(getpid() & 0xFFF); // not running
    // The program's own path, which starts the SMS manager: a stand-in noting its arguments.
    std::string self = dir.path() + "/mavlyn self";
    std::ofstream(self) << "#!/bin/sh\necho \"$@\" > '" << dir.path() << "/started'\n";
    chmod(self.c_str(), 0755);
    char* argv[2] = {self.data(), nullptr};
    _argv = argv;
    _argc = 1;
    // A long message with letters that take two bytes in UTF-8: the legend of the answers
    // must still be there.
    std::string text = "+491701234567 2010-12-13 14:15:16 [04]\n\nGr\xFC\xDF"
                       "e";
    for (int i = 0; i < 200; i++) text += " \xE4\xE4\xE4";
    // The message as the reception shows it, the answer, the state it leads to.
    const std::tuple<std::string, const char*, int> answers[] = {
        {text, "gtk-no", 9}, {"+491701234567 2010-12-13 14:15:16 [04]\n\nHallo", "gtk-yes", 2}};
    std::string shown;
    for (const auto& [message, button, state] : answers) {
        sm__forget();
        strMcpy(sm__msgnachricht, message.c_str());
        auto d = gui::beside([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   SMS Reception");
            if (shown.empty()) shown = gui::text(w, "secondary-text");
            return gui::press(w, button);
        });
        sm_msgzustand = 1;
        th_wakeall();
        EXPECT_TRUE(d.get()) << button;
        EXPECT_TRUE(gui::eventually([&] { return sm_msgzustand == state; })) << button;
    }
    EXPECT_NE(shown.find("Gr\xC3\xBC\xC3\x9F"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[Yes]   Start SMS manager now  \n[No]   Stop SMS reception  \n"
                         "[Cancel]   Do not start SMS manager  "),
              std::string::npos)
        << shown;
    EXPECT_TRUE(gui::eventually([] { return exists("started"); }));
    EXPECT_EQ(read_file("started"), "SMSCONFIGSUB\n");
    sm__forget();
}

TEST_F(Dialogs, SplashKindsShowTheirTextsHideOrAreSuppressed) {
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[] { cs_show(5); }, "Storing configuration data."},
        {[] { cs_nosplash = true, cs_show(1); }, ""}, // the start suppressed
        {[] { cs_show(7); }, ""},                     // an unknown kind hides
        {[] { cs_nosplash = false, cs_splashtext("Profile \xE4"), cs_show(9); },
         "Profile \xC3\xA4"},
        // A timed kind hides the window after its time, even what came after it.
        {[] { cs_show(33); }, "Send request accepted."},
        {[] { cs_show(5); }, ""},
    };
    for (const auto& step : steps) {
        step.first();
        EXPECT_TRUE(shows(step.second)) << "step " << &step - steps;
    }
    cs_show(0);
}
