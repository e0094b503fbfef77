// The dialogs on a real X server, called from the test thread as worker threads call them,
// and answered through the keyboard and the mouse.
#include "gui_support.h"

#include "control/instance_interface.h"
#include "control/session_state.h"
#include "ui/input_dialog.h"
#include "ui/message_box.h"
#include "ui/status_lines.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/sem.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const bool display_ready = (gui::ensure_display(), true);

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        gui::start_gtk();
        _de = false;
        programmende_gewuenscht = false;
    }
    void TearDown() override { programmende_gewuenscht = false; }
};

const char* const seven = "|q#Seven test#Pick one|1#One#first|+7#Seven#the default";

} // namespace

// ------------------------------------------------------------------ button dialog

TEST_F(Dialogs, ButtonDialogEscapeReturnsZeroEvenWithDefault) {
    GtkWidget* seen = nullptr;
    gui::Driver d([&] {
        seen = gui::wait_titled("Seven test");
        return seen && gui::keys_closing(seen, "Escape");
    });
    EXPECT_EQ(bd_buttondialog(seven, 0), 0);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(gui::count_titled("Seven test"), 0) << "the window is gone on return";
}

TEST_F(Dialogs, ButtonDialogDefaultButtonTakesReturn) {
    gui::Driver d([] {
        GtkWidget* w = gui::wait_titled("Seven test");
        return w && gui::keys_closing(w, "Return");
    });
    EXPECT_EQ(bd_buttondialog(seven, 0), 7);
    EXPECT_TRUE(d.ok());
}

TEST_F(Dialogs, ButtonDialogClickedButtonReturnsItsDigit) {
    int buttons = -1, labels = -1, separators = -1;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("Click test");
        if (!w) return false;
        buttons = gui::count_children(w, GTK_TYPE_BUTTON);
        labels = gui::locked([w] {
            GList* all = nullptr;
            gui::collect(w, GTK_TYPE_LABEL, &all);
            int n = 0;
            for (GList* l = all; l; l = l->next)
                n += gtk_label_get_text(GTK_LABEL(l->data))[0] != 0;
            g_list_free(all);
            return n;
        });
        separators = gui::count_children(w, GTK_TYPE_HSEPARATOR);
        GtkWidget* b = gui::button(w, "B");
        return b && gui::click_closing(b);
    });
    EXPECT_EQ(bd_buttondialog("|x#Click test#|1#A#|2#B#", 0), 2);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(buttons, 2);
    // Button labels only: no message text, no texts above the buttons, no separator.
    EXPECT_EQ(labels, 2);
    EXPECT_EQ(separators, 0);
}

TEST_F(Dialogs, ButtonDialogShowsAtMostTenButtonsAndNoneForDigitOnlyColumns) {
    int buttons = -1;
    bool five = true;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("Many");
        if (!w) return false;
        buttons = gui::count_children(w, GTK_TYPE_BUTTON);
        five = gui::button(w, "K") != nullptr;
        return gui::keys_closing(w, "Escape");
    });
    EXPECT_EQ(bd_buttondialog("|i#Many#X|1#A#|2#B#|3#C#|4#D#|5|6#F#|7#G#|8#H#|9#I#|0#J#|1#K#", 0),
              0);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(buttons, 9) << "ten columns, one of them digit-only";
    EXPECT_FALSE(five);
}

TEST_F(Dialogs, ButtonDialogEmptyTextIsClosedByWindowManager) {
    int buttons = -1;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("Message");
        if (!w) return false;
        buttons = gui::count_children(w, GTK_TYPE_BUTTON);
        return gui::wm_close(w);
    });
    EXPECT_EQ(bd_buttondialog(nullptr, 0), 0);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(buttons, 0);
}

TEST_F(Dialogs, ButtonDialogUnansweredTimeOutsReturnMinusOne) {
    gui::Driver d([&] { return gui::wait_titled("Seven test") != nullptr; });
    EXPECT_EQ(bd_buttondialog(seven, 1000), -1);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(bd_buttondialog(seven, 100), -1);
    EXPECT_EQ(gui::count_titled("Seven test"), 0);
}

TEST_F(Dialogs, ButtonDialogLayoutOfTheInstallationQuestion) {
    std::string icon;
    int separators = -1, buttons = -1;
    bool texts = false, focused = false;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   Installation/Update");
        if (!w) return false;
        gui::locked([&] {
            if (GtkWidget* img = gui::find_child(w, GTK_TYPE_IMAGE)) {
                gchar* stock = nullptr;
                g_object_get(img, "stock", &stock, nullptr);
                if (stock) icon = stock;
                g_free(stock);
            }
            auto label = [w](const char* t) {
                return gui::find_child(w, GTK_TYPE_LABEL, [t](GtkWidget* l) {
                           return strcmp(gtk_label_get_text(GTK_LABEL(l)), t) == 0;
                       }) != nullptr;
            };
            texts = label("Please choose the mode.") &&
                    label("Directory \"~/mavlyn\"\nshall be used.") &&
                    label("Cancel installation\nresp. update.");
            return 0;
        });
        separators = gui::count_children(w, GTK_TYPE_HSEPARATOR);
        buttons = gui::count_children(w, GTK_TYPE_BUTTON);
        GtkWidget* standard = gui::button(w, "Standard");
        focused = standard && gui::locked([standard] {
                      return gtk_widget_is_focus(standard) && gtk_widget_has_default(standard);
                  });
        GtkWidget* cancel = gui::button(w, "Cancel");
        return cancel && gui::click_closing(cancel);
    });
    EXPECT_EQ(bd_buttondialog("|q#mavlyn   Installation/Update#Please choose the mode.|+1#Standard#"
                              "Directory \"~/mavlyn\"\nshall be used.|2#Manuell#Installation "
                              "directory\nshall be chosen manually.|0#Cancel#Cancel installation\n"
                              "resp. update.",
                              0),
              0);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(icon, "gtk-dialog-question");
    EXPECT_EQ(separators, 1);
    EXPECT_EQ(buttons, 3);
    EXPECT_TRUE(texts);
    EXPECT_TRUE(focused) << "the marked button has the focus and the default";
}

TEST_F(Dialogs, ButtonDialogOversizedLatin1TextIsCutNotOverflowed) {
    // Every Latin-1 umlaut doubles in UTF-8: the text cannot fit its buffer.
    // The window is far wider than the screen, so it ends by its time-out, not by keys.
    std::string text = "|i#Big#" + std::string(3000, '\xE4') + "|+3#Ok#";
    gui::Driver d([] { return gui::wait_titled("Big") != nullptr; });
    EXPECT_EQ(bd_buttondialog(text.c_str(), 1000), -1);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(gui::count_titled("Big"), 0);
}

// ------------------------------------------------------------------ message boxes

TEST_F(Dialogs, MessageBoxInvalidArgumentsReturnZeroAndShowNothing) {
    int before = gui::count_visible();
    EXPECT_EQ(me_messagebox(1, "t", "c", 1, 0, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", "c", 4, 0, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", "c", -1, 0, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", "c", 1, 4, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", "c", 1, -1, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", "c", 1, 0, -5), 0);
    EXPECT_EQ(me_messagebox(0, nullptr, "c", 1, 0, 0), 0);
    EXPECT_EQ(me_messagebox(0, "t", nullptr, 1, 0, 0), 0);
    EXPECT_EQ(gui::count_visible(), before);
}

TEST_F(Dialogs, MessageBoxButtonsGiveTheirResults) {
    struct Case {
        int buttons;
        const char* press;
        int result;
    };
    const char* const order[] = {"gtk-ok", "gtk-cancel gtk-ok", "gtk-no gtk-yes",
                                 "gtk-cancel gtk-no gtk-yes"};
    const GtkMessageType type[] = {GTK_MESSAGE_INFO, GTK_MESSAGE_INFO, GTK_MESSAGE_WARNING,
                                   GTK_MESSAGE_QUESTION};
    int icon = 0;
    for (Case c : {Case{0, "gtk-ok", 1}, Case{1, "gtk-cancel", 0}, Case{1, "gtk-ok", 1},
                   Case{2, "gtk-no", 2}, Case{2, "gtk-yes", 1}, Case{3, "gtk-cancel", 0},
                   Case{3, "gtk-no", 2}}) {
        std::string shown, title;
        int shown_type = -1;
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_messagedialog();
            if (!w) return false;
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
                shown_type = t;
                const char* wt = gtk_window_get_title(GTK_WINDOW(w));
                title = wt ? wt : "";
                return 0;
            });
            GtkWidget* b = gui::button(w, c.press);
            return b && gui::click_closing(b);
        });
        EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Question?", icon, c.buttons, 0), c.result)
            << c.press;
        EXPECT_TRUE(d.ok()) << c.press;
        EXPECT_EQ(shown, order[c.buttons]) << "left to right";
        EXPECT_EQ(shown_type, type[icon]) << "icon " << icon;
        EXPECT_EQ(title, "mavlyn   Test") << "the window is named by the title";
        icon = (icon + 1) % 4;
    }
}

TEST_F(Dialogs, MessageBoxEscapeReturnsZero) {
    gui::Driver d([] {
        GtkWidget* w = gui::wait_messagedialog();
        return w && gui::keys_closing(w, "Escape");
    });
    EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Escape me", 2, 2, 0), 0);
    EXPECT_TRUE(d.ok());
}

TEST_F(Dialogs, MessageBoxTimeOutReturnsMinusOne) {
    gui::Driver d([] { return gui::wait_messagedialog() != nullptr; });
    EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Nobody answers", 1, 1, 1500), -1);
    EXPECT_TRUE(d.ok());
}

TEST_F(Dialogs, MessageBoxClosesOnProgramEndWithAndWithoutTimeOut) {
    // A box with a long time-out must not hold up the end for its 90 seconds.
    for (int mtime : {0, 90000}) {
        programmende_gewuenscht = false;
        gui::Driver d([] {
            if (!gui::wait_messagedialog()) return false;
            programmende_gewuenscht = true;
            return true;
        });
        EXPECT_EQ(me_messagebox(0, "mavlyn   Test", "Waiting", 1, 0, mtime), -1) << mtime;
        EXPECT_TRUE(d.ok());
    }
}

TEST_F(Dialogs, OversizedMessageBoxTitleAndContentAreCut) {
    std::string big(5000, 'y');
    std::string primary, secondary;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_messagedialog();
        if (!w) return false;
        gchar* p = nullptr;
        gchar* s = nullptr;
        gui::locked([&] {
            g_object_get(w, "text", &p, "secondary-text", &s, nullptr);
            return 0;
        });
        if (p) primary = p;
        if (s) secondary = s;
        g_free(p);
        g_free(s);
        return gui::keys_closing(w, "Escape");
    });
    EXPECT_EQ(me_messagebox(0, big.c_str(), big.c_str(), 1, 0, 0), 0);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(primary, std::string(99, 'y'));
    EXPECT_EQ(secondary, std::string(799, 'y'));
}

TEST_F(Dialogs, AsyncEndQuestionYesRequestsProgramEnd) {
    me_messageboxa(1, "mavlyn   End", "Terminate mavlyn?  ", 0);
    GtkWidget* w = gui::wait_messagedialog();
    ASSERT_NE(w, nullptr) << "the caller did not wait for the box";
    GtkWidget* yes = gui::button(w, "gtk-yes");
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(gui::button(w, "gtk-ok"), nullptr);
    ASSERT_TRUE(gui::click_closing(yes));
    EXPECT_TRUE(gui::eventually([] { return programmende_gewuenscht; }));
    EXPECT_STREQ(cc_mtext[1], " Ending.");
    EXPECT_STREQ(cc_mtext[cc_mtextMINI], " Ending.");
}

TEST_F(Dialogs, AsyncNoticeLeavesTheProgramRunning) {
    me_messageboxa(0, "mavlyn   Notice", "Sent.", 0);
    GtkWidget* w = gui::wait_messagedialog();
    ASSERT_NE(w, nullptr);
    GtkWidget* ok = gui::button(w, "gtk-ok");
    ASSERT_NE(ok, nullptr);
    ASSERT_TRUE(gui::click_closing(ok));
    EXPECT_TRUE(gui::wait_gone(w));
    EXPECT_FALSE(programmende_gewuenscht);
}

TEST_F(Dialogs, InstanceMessageOnlyWhileMainInstanceRuns) {
    aktivsignal = 0x3B000000ul + (static_cast<unsigned long>(getpid()) & 0xFFFFFul);
    EXPECT_EQ(ia_instance_message(), 0);
    fl_set(aktivsignal);
    std::string primary;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_messagedialog();
        if (!w) return false;
        gchar* text = nullptr;
        gui::locked([&] {
            g_object_get(w, "text", &text, nullptr);
            return 0;
        });
        if (text) primary = text;
        g_free(text);
        GtkWidget* ok = gui::button(w, "gtk-ok");
        return ok && gui::click_closing(ok);
    });
    EXPECT_EQ(ia_instance_message(), 1);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(primary, _de ? "mavlyn   Konfiguration" : "mavlyn   Configuration");
    fl_clear(aktivsignal);
}

// ------------------------------------------------------------------ input dialog

TEST_F(Dialogs, PinEntrySensitivityFollowsTheDigits) {
    char text[ce_TEXTMAX] = "junk";
    bool twoinsensitive = false, fourisensitive = false, letterclears = false;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   PIN");
        GtkWidget* e = w ? gui::entry(w) : nullptr;
        if (!e || !gui::type_text(w, "12")) return false;
        gui::eventually([&] { return gui::entry_text(e) == "12"; });
        twoinsensitive = !gui::sensitive(ce__buttonapply) && !gui::sensitive(ce__buttonsave);
        // Return with an insensitive apply button does nothing: typing goes on.
        if (!gui::keys(w, "Return") || !gui::type_text(w, "34")) return false;
        fourisensitive = gui::eventually([&] {
            return gui::entry_text(e) == "1234" && gui::sensitive(ce__buttonapply) &&
                   gui::sensitive(ce__buttonsave);
        });
        const std::string cleared;
        if (!gui::type_text(w, "a", &cleared)) return false;
        letterclears = gui::eventually([&] {
            return gui::entry_text(e).empty() && !gui::sensitive(ce__buttonapply) &&
                   !gui::sensitive(ce__buttonsave);
        });
        if (!gui::type_text(w, "5678")) return false;
        gui::eventually([&] { return gui::sensitive(ce__buttonapply); });
        return gui::keys_closing(w, "Return");
    });
    EXPECT_EQ(ce_inputdialog(120, "mavlyn   PIN", "PIN:", text), 1);
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(twoinsensitive);
    EXPECT_TRUE(fourisensitive);
    EXPECT_TRUE(letterclears);
    EXPECT_STREQ(text, "5678");
}

TEST_F(Dialogs, PinSaveButtonReturnsTwo) {
    char text[ce_TEXTMAX] = "";
    bool hidden = false;
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   PIN");
        GtkWidget* e = w ? gui::entry(w) : nullptr;
        if (!e) return false;
        hidden = !gui::locked([e] { return gtk_entry_get_visibility(GTK_ENTRY(e)); });
        if (!gui::type_text(w, "4711")) return false;
        gui::eventually([&] { return gui::sensitive(ce__buttonsave); });
        return gui::click_closing(ce__buttonsave);
    });
    EXPECT_EQ(ce_inputdialog(120, "mavlyn   PIN", "PIN:", text), 2);
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(hidden);
    EXPECT_STREQ(text, "4711");
}

TEST_F(Dialogs, TextEntryIsCutTo49Characters) {
    char text[ce_TEXTMAX + 20];
    const std::string sixty = "abcdefghij0123456789abcdefghij0123456789abcdefghij0123456789";
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   Code");
        GtkWidget* e = w ? gui::entry(w) : nullptr;
        if (!e || gui::button(w, "gtk-save")) return false;
        if (!gui::type_text(w, sixty)) return false;
        gui::eventually([&] { return gui::entry_text(e) == sixty; });
        return gui::keys_closing(w, "Return");
    });
    EXPECT_EQ(ce_inputdialog(4, "mavlyn   Code", "Code:", text), 1);
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(std::string(text), sixty.substr(0, 49));
}

TEST_F(Dialogs, TextEntryEscapeReturnsZeroAndEmptyText) {
    char text[ce_TEXTMAX] = "old";
    gui::Driver d([&] {
        GtkWidget* w = gui::wait_titled("mavlyn   Code");
        GtkWidget* e = w ? gui::entry(w) : nullptr;
        if (!e || !gui::type_text(w, "*100#")) return false;
        gui::eventually([&] { return gui::entry_text(e) == "*100#"; });
        return gui::keys_closing(w, "Escape");
    });
    EXPECT_EQ(ce_inputdialog(4, "mavlyn   Code", "Code:", text), 0);
    EXPECT_TRUE(d.ok());
    EXPECT_STREQ(text, "");
}

TEST_F(Dialogs, LanguageChoiceResults) {
    struct Case {
        const char* press; // nullptr: close the window
        int result;
    };
    for (Case c : {Case{"English", 2}, Case{"Deutsch", 1}, Case{nullptr, 0}}) {
        char text[ce_TEXTMAX] = "junk";
        gui::Driver d([&] {
            GtkWidget* w = gui::wait_titled("mavlyn   Installation");
            if (!w || gui::entry(w)) return false;
            if (!c.press) return gui::wm_close(w);
            GtkWidget* b = gui::button(w, c.press);
            return b && gui::click_closing(b);
        });
        EXPECT_EQ(ce_inputdialog(1, "mavlyn   Installation", nullptr, text), c.result)
            << (c.press ? c.press : "close");
        EXPECT_TRUE(d.ok());
        EXPECT_STREQ(text, "");
    }
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

// ------------------------------------------------------------------ main window goes first

TEST_F(Dialogs, DialogsDestroyedWithTheMainWindowEndTheirWait) {
    // A freed dialog touched afterwards shows up as a critical warning at the least.
    GLogLevelFlags old = g_log_set_always_fatal(
        GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR | G_LOG_LEVEL_WARNING));
    struct Case {
        const char* name;
        std::function<int()> open;
        int result;
    };
    const std::vector<Case> cases = {
        {"button dialog", [] { return bd_buttondialog("|q#Orphan#Text|+1#A#", 0); }, 0},
        {"input dialog",
         [] {
             char text[ce_TEXTMAX] = "junk";
             int r = ce_inputdialog(4, "Orphan", "Code:", text);
             return text[0] ? 99 : r;
         },
         0},
        {"message box", [] { return me_messagebox(0, "Orphan", "Text", 1, 0, 0); }, -1},
    };
    for (const Case& c : cases) {
        mainwindow = gui::locked([] {
            GtkWidget* m = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_window_set_title(GTK_WINDOW(m), "main");
            gtk_widget_show(m);
            return m;
        });
        gui::Driver d([] {
            GtkWidget* w = gui::wait_window([](GtkWindow* x) {
                return gtk_window_get_transient_for(x) == GTK_WINDOW(mainwindow);
            });
            if (!w) return false;
            gui::locked([] {
                gtk_widget_destroy(mainwindow);
                return 0;
            });
            return true;
        });
        EXPECT_EQ(c.open(), c.result) << c.name;
        EXPECT_TRUE(d.ok()) << c.name;
        mainwindow = nullptr;
    }
    g_log_set_always_fatal(old);
}
