// The dialogs on a real X server, asked as worker threads and signal handlers ask them, and
// answered through the keyboard and the mouse.
#include "gui_support.h"

#include "core/status_lines.h"
#include "ui/input_dialog.h"
#include "ui/message_box.h"

#include <atomic>
#include <vector>

namespace {

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        _de = false;
        programmende_gewuenscht = false;
    }
};

// A question, who answers it and how, and what the caller gets.
struct Asked {
    const char* name;
    std::function<int()> ask;
    const char* title;
    std::function<bool(GtkWidget*)> answer; // null: nobody answers
    int result;
};

std::function<bool(GtkWidget*)> pressing(const char* label) {
    return [label](GtkWidget* w) { return gui::click_closing(gui::button(w, label)); };
}

std::function<bool(GtkWidget*)> keying(const char* keys) {
    return [keys](GtkWidget* w) { return gui::keys_closing(w, keys); };
}

int labels_with_text(GtkWidget* w) {
    return gui::locked([w] {
        GList* all = nullptr;
        gui::collect(w, GTK_TYPE_LABEL, &all);
        int n = 0;
        for (GList* l = all; l; l = l->next) n += gtk_label_get_text(GTK_LABEL(l->data))[0] != 0;
        g_list_free(all);
        return n;
    });
}

const char* const seven = "|q#Seven test#Pick one|1#One#first|+7#Seven#the default";

} // namespace

TEST_F(Dialogs, AnsweredByKeysButtonsTheWindowManagerOrTheClock) {
    const std::string latin1 = "|i#Seven test#" + std::string(3000, '\xE4') + "|+3#Ok#";
    const std::string sixty(60, 'x');
    char text[ce_TEXTMAX + 20];
    auto code = [&](const char* start) {
        strcpy(text, start);
        return ce_inputdialog(4, "mavlyn   Code", "Code:", text);
    };
    auto language = [&] {
        strcpy(text, "junk");
        int r = ce_inputdialog(1, "mavlyn   Installation", nullptr, text);
        EXPECT_STREQ(text, "");
        return r;
    };
    auto no_entry_and = [](const char* label) {
        return [label](GtkWidget* w) {
            return !gui::nth_child(w, GTK_TYPE_ENTRY) &&
                   (label ? pressing(label)(w) : gui::keys_closing(w, "alt+F4"));
        };
    };
    const Asked cases[] = {
        {"Escape", [] { return bd_buttondialog(seven, 0); }, "Seven test", keying("Escape"), 0},
        {"Return", [] { return bd_buttondialog(seven, 0); }, "Seven test", keying("Return"), 7},
        {"closed", [] { return bd_buttondialog(seven, 0); }, "Seven test", keying("alt+F4"), 0},
        {"time-out", [] { return bd_buttondialog(seven, 1000); }, "Seven test", nullptr, -1},
        // Empty and digit-only columns have no button; no text, no separator.
        {"columns", [] { return bd_buttondialog("|x#Seven test#|1#A#||5|2#B#", 0); }, "Seven test",
         [](GtkWidget* w) {
             return gui::count_children(w, GTK_TYPE_BUTTON) == 2 && labels_with_text(w) == 2 &&
                    gui::count_children(w, GTK_TYPE_HSEPARATOR) == 0 && pressing("B")(w);
         },
         2},
        // More Latin-1 text than its buffer holds is cut, not overflowed.
        {"latin-1", [&] { return bd_buttondialog(latin1.c_str(), 1000); }, "Seven test", nullptr,
         -1},
        // A typed code is cut to its field; Escape gives nothing.
        {"code typed",
         [&] {
             int r = code("old");
             EXPECT_EQ(std::string(text), sixty.substr(0, 49));
             return r;
         },
         "mavlyn   Code",
         [&](GtkWidget* w) {
             return !gui::button(w, "gtk-save") && gui::type_text(w, sixty) &&
                    gui::keys_closing(w, "Return");
         },
         1},
        {"code escaped",
         [&] {
             int r = code("old");
             EXPECT_STREQ(text, "");
             return r;
         },
         "mavlyn   Code",
         [&](GtkWidget* w) { return gui::type_text(w, "1") && keying("Escape")(w); }, 0},
        {"English", language, "mavlyn   Installation", no_entry_and("English"), 2},
        {"Deutsch", language, "mavlyn   Installation", no_entry_and("Deutsch"), 1},
        {"language closed", language, "mavlyn   Installation", no_entry_and(nullptr), 0},
    };
    for (const Asked& a : cases) {
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_titled(a.title);
            return w && (!a.answer || a.answer(w));
        });
        EXPECT_EQ(a.ask(), a.result) << a.name;
        EXPECT_TRUE(d.ok()) << a.name;
        EXPECT_EQ(gui::count_titled(a.title), 0) << a.name << ": the window is gone on return";
    }
    EXPECT_EQ(bd_buttondialog(seven, 100), -1) << "below 250 ms the time-out strikes at once";
}

TEST_F(Dialogs, MessageBoxButtonsStandInTheirOrderAndGiveTheirResults) {
    const char* const order[] = {"gtk-ok", "gtk-cancel gtk-ok", "gtk-no gtk-yes",
                                 "gtk-cancel gtk-no gtk-yes"};
    const GtkMessageType type[] = {GTK_MESSAGE_INFO, GTK_MESSAGE_INFO, GTK_MESSAGE_WARNING,
                                   GTK_MESSAGE_QUESTION};
    const struct {
        int buttons;
        const char* press; // a button, or a key
        int result;
    } cases[] = {{0, "gtk-ok", 1},  {1, "gtk-cancel", 0}, {1, "gtk-ok", 1}, {2, "gtk-no", 2},
                 {2, "gtk-yes", 1}, {3, "gtk-cancel", 0}, {3, "gtk-no", 2}, {2, "Escape", 0}};
    int icon = 0;
    for (const auto& c : cases) {
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_messagedialog();
            if (!w) return false;
            std::string shown;
            gui::locked([&] {
                GList* all = nullptr;
                gui::collect(w, GTK_TYPE_BUTTON, &all);
                // As the user sees them: ordered by their place on the screen.
                all = g_list_sort(all, [](gconstpointer a, gconstpointer b) {
                    GtkAllocation x, y;
                    gtk_widget_get_allocation(GTK_WIDGET(a), &x);
                    gtk_widget_get_allocation(GTK_WIDGET(b), &y);
                    return x.x - y.x;
                });
                for (GList* l = all; l; l = l->next)
                    shown += std::string(shown.empty() ? "" : " ") +
                             gtk_button_get_label(GTK_BUTTON(l->data));
                g_list_free(all);
                GtkMessageType t;
                g_object_get(w, "message-type", &t, nullptr);
                EXPECT_EQ(t, type[icon]) << "icon " << icon;
                EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w)), "mavlyn   Test");
                return 0;
            });
            EXPECT_EQ(shown, order[c.buttons]) << "left to right";
            GtkWidget* b = gui::button(w, c.press);
            return b ? gui::click_closing(b) : gui::keys_closing(w, c.press);
        });
        EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Question?", icon, c.buttons, 0), c.result)
            << c.press;
        EXPECT_TRUE(d.ok()) << c.press;
        icon = (icon + 1) % 4;
    }
}

TEST_F(Dialogs, MessageBoxEndsByTimeOutOrProgramEndAndCutsLongTexts) {
    gui::Driver timeout([] { return gui::wait_messagedialog() != nullptr; });
    EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Nobody answers", 1, 1, 1500), -1);
    EXPECT_TRUE(timeout.ok());
    // A box with a long time-out must not hold up the end for its 90 seconds.
    for (int mtime : {0, 90000}) {
        programmende_gewuenscht = false;
        gui::Driver d([] {
            if (!gui::wait_messagedialog()) return false;
            th_requestend();
            return true;
        });
        EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Waiting", 1, 0, mtime), -1) << mtime;
        EXPECT_TRUE(d.ok());
    }
    programmende_gewuenscht = false;
    std::string big(5000, 'y');
    gui::Driver cut([&] {
        GtkWidget* w = gui::wait_messagedialog();
        if (!w) return false;
        EXPECT_EQ(gui::property(w, "text"), std::string(99, 'y'));
        EXPECT_EQ(gui::property(w, "secondary-text"), std::string(799, 'y'));
        return gui::keys_closing(w, "Escape");
    });
    EXPECT_EQ(me_messagebox(0, big.c_str(), big.c_str(), 1, 0, 0), 0);
    EXPECT_TRUE(cut.ok());
}

TEST_F(Dialogs, AsyncBoxesDoNotWaitAndOnlyTheEndQuestionEnds) {
    me_messageboxa(0, "mavlyn   Notice", "Sent.", 0);
    EXPECT_TRUE(gui::answer("mavlyn   Notice", "gtk-ok")) << "the caller did not wait for it";
    EXPECT_FALSE(programmende_gewuenscht);
    me_messageboxa(1, "mavlyn   End", "Terminate mavlyn?  ", 0);
    EXPECT_TRUE(gui::answer("mavlyn   End", "gtk-yes"));
    EXPECT_TRUE(gui::eventually([] { return programmende_gewuenscht; }));
    EXPECT_STREQ(cc_mtext[1], " Ending.");
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " Ending.");
}

TEST_F(Dialogs, InstanceMessageOnlyWhileMainInstanceRuns) {
    aktivsignal = 0x3B000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul);
    EXPECT_EQ(ia_instance_message(), 0);
    fl_set(aktivsignal);
    gui::Driver d([] { return gui::answer("mavlyn   Configuration", "gtk-ok"); });
    EXPECT_EQ(ia_instance_message(), 1);
    EXPECT_TRUE(d.ok());
    fl_clear(aktivsignal);
}

TEST_F(Dialogs, InputDialogCallersAreServedOneAtATime) {
    int other = -1;
    std::thread second([&] { other = ce_inputdialog(4, "mavlyn   Serial", "A:", nullptr); });
    int most = 0;
    gui::Driver d([&] {
        for (int round = 0; round < 2; round++) {
            GtkWidget* w = gui::wait_titled("mavlyn   Serial");
            if (!w) return false;
            most = std::max(most, gui::count_titled("mavlyn   Serial"));
            if (!gui::keys_closing(w, "Escape")) return false;
        }
        return true;
    });
    EXPECT_EQ(ce_inputdialog(4, "mavlyn   Serial", "B:", nullptr), 0);
    EXPECT_TRUE(d.ok());
    second.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(most, 1);
}

// Asked from a handler on the main loop, each dialog runs its own modal loop: it is drawn,
// answered and returns its answer, while the main loop goes on and other threads take the
// GUI lock.
TEST_F(Dialogs, AskedFromTheMainLoopTheyAreAnsweredAndNothingFreezes) {
    const Asked questions[] = {
        {"message box", [] { return me_messagebox(0, "mavlyn   Ask", "Sure?", 3, 2, 0); },
         "mavlyn   Ask", pressing("gtk-yes"), 1},
        {"button dialog", [] { return bd_buttondialog("|q#mavlyn   Ask#Which?|3#Three#", 0); },
         "mavlyn   Ask", pressing("Three"), 3},
        {"input dialog", [] { return ce_inputdialog(4, "mavlyn   Ask", "Code:", nullptr); },
         "mavlyn   Ask",
         [](GtkWidget* w) { return gui::type_text(w, "*1#") && gui::keys_closing(w, "Return"); },
         1},
    };
    for (const Asked& q : questions) {
        struct Ask {
            const Asked* q;
            std::atomic<int> result{-9};
        } ask{&q};
        std::atomic<int> ticks{0};
        guint timer = gdk_threads_add_timeout(
            50,
            [](gpointer t) -> gboolean {
                ++*static_cast<std::atomic<int>*>(t);
                return TRUE;
            },
            &ticks);
        gdk_threads_add_idle(
            [](gpointer a) {
                auto* x = static_cast<Ask*>(a);
                x->result = x->q->ask();
                return FALSE;
            },
            &ask);
        GtkWidget* w = gui::wait_titled(q.title);
        ASSERT_NE(w, nullptr) << q.name;
        int before = ticks;
        EXPECT_TRUE(gui::eventually([&] { return ticks > before + 3; })) << q.name;
        gui::locked([] { return 0; }); // the GUI lock is free for a worker thread
        EXPECT_EQ(ask.result, -9) << q.name << ": not answered yet";
        EXPECT_TRUE(q.answer(w)) << q.name;
        EXPECT_TRUE(gui::eventually([&] { return ask.result == q.result; })) << q.name;
        gui::locked([timer] { return g_source_remove(timer); });
    }
}

TEST_F(Dialogs, DialogsDestroyedWithTheMainWindowEndTheirWait) {
    // A freed dialog touched afterwards shows up as a critical warning at the least.
    GLogLevelFlags old = g_log_set_always_fatal(
        GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR | G_LOG_LEVEL_WARNING));
    const std::vector<std::pair<std::function<int()>, int>> cases = {
        {[] { return bd_buttondialog("|q#Orphan#Text|+1#A#", 0); }, 0},
        {[] {
             char text[ce_TEXTMAX] = "junk";
             int r = ce_inputdialog(4, "Orphan", "Code:", text);
             return text[0] ? 99 : r;
         },
         0},
        {[] { return me_messagebox(0, "Orphan", "Text", 1, 0, 0); }, -1},
    };
    for (const auto& [open, result] : cases) {
        mainwindow = gui::locked([] {
            GtkWidget* m = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_widget_show(m);
            return m;
        });
        gui::Driver d([] {
            GtkWidget* w = gui::wait_window([](GtkWindow* x) {
                return gtk_window_get_transient_for(x) == GTK_WINDOW(mainwindow);
            });
            return w && gui::locked([] {
                       gtk_widget_destroy(mainwindow);
                       return true;
                   });
        });
        EXPECT_EQ(open(), result);
        EXPECT_TRUE(d.ok());
        mainwindow = nullptr;
    }
    g_log_set_always_fatal(old);
}
