// Helpers of the window tests: a GTK main loop on its own thread, as the program runs it, and
// a driver that finds windows and widgets and works them through the X server with xdotool.
// Every wait has a deadline; none is a fixed sleep.
#pragma once

#include "../unit/test_support.h"
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/threads.h"
#include "sms/sms_reception.h"
#include "ui/config_dialog.h"
#include "ui/timer_tick.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <memory>
#include <string>
#include <thread>

// From gdkx.h, whose X11 macros (None, Status ...) would clash with GoogleTest.
extern "C" unsigned long gdk_x11_drawable_get_xid(GdkDrawable* drawable);

namespace gui {

using Clock = std::chrono::steady_clock;

// Every case ends with the program state as it found it, so that the whole binary also
// passes in one process, in any order.
class RestoreGlobals : public ::testing::EmptyTestEventListener {
    struct Saved : SavedValues {
        Saved() {
            keep(inidat), keep(_de), keep(configtab), keep(configaktiv), keep(inidatgueltig);
            keep(aktivsignal), keep(konfigaktivsignal), keep(_argc), keep(_argv);
            keep(programmende_gewuenscht), keep(unterbrechung_gewuenscht), keep(onlinezeit);
            keep(offlinezeita), keep(inaktivzeit), keep(netzfremd), keep(maxgrenze);
            keep(homezonestatus), keep(geraet), keep(comzeit), keep(cs_nosplash);
            keep(_silentinstall), keep(ruhestatus), keep(tonlos), keep(cc_mtext), keep(mvliow);
            keep(ti__ticke);
        }
    };
    void OnTestStart(const ::testing::TestInfo&) override { saved_ = std::make_unique<Saved>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { saved_.reset(); }
    std::unique_ptr<Saved> saved_;
};

inline const bool restore_registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RestoreGlobals);
    return true;
}();

// Starts GTK once per test process, its main loop on a thread of its own.
inline void start_gtk() {
    static bool started = false;
    if (started) return;
    started = true;
    th_guiinit();
    th_enter();
    gtk_init(nullptr, nullptr);
    th_leave();
    th_create(
        [](gpointer) -> gpointer {
            th_enter();
            gtk_main();
            th_leave();
            return nullptr;
        },
        nullptr);
}

// The message thread shows received SMS and credit answers; once per process, as in the
// program.
inline void start_msgthread() {
    static bool started = th_create(sm_msgthread, nullptr) != nullptr;
    (void)started;
}

// Runs f under the GUI lock and returns its result.
template <class F> auto locked(F f) {
    th_enter();
    auto r = f();
    th_leave();
    return r;
}

// Polls cond until it holds or the time is up.
inline bool eventually(const std::function<bool()>& cond,
                       Clock::duration within = std::chrono::seconds(15)) {
    auto end = Clock::now() + within;
    while (Clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return cond();
}

// Repeats an X action until its effect is seen: a synthetic event can be lost while the
// window manager is still busy with a window that has just been mapped.
inline bool with_retries(const std::function<bool()>& act, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 4; attempt++)
        if (act() && eventually(done, std::chrono::seconds(3))) return true;
    return false;
}

inline void each_toplevel(const std::function<void(GtkWindow*)>& f) {
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) f(GTK_WINDOW(l->data));
    g_list_free(all);
}

// The visible top-level window that satisfies match; the caller holds the GUI lock.
inline GtkWidget* find_toplevel(const std::function<bool(GtkWindow*)>& match) {
    GtkWidget* found = nullptr;
    each_toplevel([&](GtkWindow* w) {
        if (!found && gtk_widget_get_visible(GTK_WIDGET(w)) &&
            gtk_widget_get_mapped(GTK_WIDGET(w)) && match(w))
            found = GTK_WIDGET(w);
    });
    return found;
}

inline bool titled(GtkWindow* w, const char* title) {
    const char* t = gtk_window_get_title(w);
    return t && strcmp(t, title) == 0;
}

inline int count_titled(const char* title) {
    return locked([&] {
        int n = 0;
        each_toplevel(
            [&](GtkWindow* w) { n += gtk_widget_get_visible(GTK_WIDGET(w)) && titled(w, title); });
        return n;
    });
}

// Delivers a delete event to every visible window through GTK itself, not through X, so a
// dialog whose synthetic input was lost still ends and the test fails instead of hanging.
inline void close_all_visible() {
    locked([] {
        each_toplevel([](GtkWindow* w) {
            GdkWindow* win = gtk_widget_get_window(GTK_WIDGET(w));
            if (!gtk_widget_get_visible(GTK_WIDGET(w)) || !win) return;
            GdkEvent* ev = gdk_event_new(GDK_DELETE);
            ev->any.window = GDK_WINDOW(g_object_ref(win));
            ev->any.send_event = TRUE;
            gtk_main_do_event(ev);
            gdk_event_free(ev);
        });
        return 0;
    });
}

// Waits for a mapped window and returns it, or nullptr at the deadline.
inline GtkWidget* wait_window(const std::function<bool(GtkWindow*)>& match,
                              Clock::duration within = std::chrono::seconds(15)) {
    GtkWidget* w = nullptr;
    eventually([&] { return (w = locked([&] { return find_toplevel(match); })) != nullptr; },
               within);
    return w;
}

inline GtkWidget* wait_titled(const char* title,
                              Clock::duration within = std::chrono::seconds(15)) {
    return wait_window([title](GtkWindow* w) { return titled(w, title); }, within);
}

inline GtkWidget* wait_messagedialog() {
    return wait_window([](GtkWindow* w) { return GTK_IS_MESSAGE_DIALOG(w) != 0; });
}

inline bool gone(GtkWidget* w) {
    return locked([w] {
               return find_toplevel([w](GtkWindow* x) { return GTK_WIDGET(x) == w; });
           }) == nullptr;
}

inline void collect(GtkWidget* w, GType type, GList** out) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(w, type)) *out = g_list_append(*out, w);
    if (!GTK_IS_CONTAINER(w)) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* l = children; l; l = l->next) collect(GTK_WIDGET(l->data), type, out);
    g_list_free(children);
}

// The first descendant of the given type whose test holds; the caller holds the GUI lock.
inline GtkWidget* find_child(GtkWidget* top, GType type,
                             const std::function<bool(GtkWidget*)>& test = {}) {
    GList* all = nullptr;
    collect(top, type, &all);
    GtkWidget* found = nullptr;
    for (GList* l = all; l && !found; l = l->next)
        if (!test || test(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

// The n-th descendant of the type below top (with the GUI lock taken here).
inline GtkWidget* nth_child(GtkWidget* top, GType type, int n = 0) {
    return locked([&] {
        int i = 0;
        return find_child(top, type, [&](GtkWidget*) { return i++ == n; });
    });
}

inline int count_children(GtkWidget* top, GType type) {
    return locked([&] {
        GList* all = nullptr;
        collect(top, type, &all);
        int n = static_cast<int>(g_list_length(all));
        g_list_free(all);
        return n;
    });
}

inline GtkWidget* button(GtkWidget* top, const char* label) {
    return locked([&] {
        return find_child(top, GTK_TYPE_BUTTON, [label](GtkWidget* b) {
            const char* l = gtk_button_get_label(GTK_BUTTON(b));
            return l && strcmp(l, label) == 0;
        });
    });
}

// The first widget of the type below top whose tooltip is tip (the n-th one with n).
inline GtkWidget* by_tooltip(GtkWidget* top, GType type, const char* tip, int n = 0) {
    return locked([&] {
        int seen = 0;
        return find_child(top, type, [&](GtkWidget* e) {
            gchar* t = gtk_widget_get_tooltip_text(e);
            bool m = t && strcmp(t, tip) == 0 && seen++ == n;
            g_free(t);
            return m;
        });
    });
}

inline std::string entry_text(GtkWidget* e) {
    return locked([e] { return std::string(gtk_entry_get_text(GTK_ENTRY(e))); });
}

inline std::string view_text(GtkWidget* v) {
    return locked([v] {
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(v));
        GtkTextIter from, to;
        gtk_text_buffer_get_bounds(b, &from, &to);
        gchar* t = gtk_text_buffer_get_text(b, &from, &to, FALSE);
        std::string out = t ? t : "";
        g_free(t);
        return out;
    });
}

// A text property of an object ("text", "secondary-text" of a message box, ...).
inline std::string property(GtkWidget* w, const char* name) {
    return locked([w, name] {
        gchar* t = nullptr;
        g_object_get(w, name, &t, nullptr);
        std::string s = t ? t : "";
        g_free(t);
        return s;
    });
}

inline bool sensitive(GtkWidget* w) {
    return locked([w] { return gtk_widget_is_sensitive(w) != 0; });
}

inline bool sh(const std::string& cmd) {
    return system(("timeout 20 " + cmd + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string xid(GtkWidget* top) {
    return std::to_string(
        locked([top] { return gdk_x11_drawable_get_xid(gtk_widget_get_window(top)); }));
}

// Gives the window the keyboard focus and waits until GTK has seen it, so that the keys
// that follow reach the window and not the one that had the focus before. Told to take the
// focus too, which holds also where the window manager's idea of the active window lags.
inline bool activate(GtkWidget* top) {
    auto active = [top] { return locked([top] { return gtk_window_is_active(GTK_WINDOW(top)); }); };
    return active() ||
           with_retries(
               [top] {
                   return sh("xdotool windowactivate " + xid(top) + " windowfocus " + xid(top));
               },
               active);
}

// Types keys (xdotool key names) into the window. A window that goes between the press and
// the release of a modifier would leave it held for every later click: it is let go.
inline bool keys(GtkWidget* top, const std::string& names) {
    bool ok = activate(top) && sh("xdotool key --delay 30 " + names);
    sh("xdotool keyup Alt_L Control_L Shift_L");
    return ok;
}

// Keys that close the window, repeated until it is gone.
inline bool keys_closing(GtkWidget* top, const std::string& names) {
    return with_retries([&] { return keys(top, names); }, [top] { return gone(top); });
}

// Types text into the window's entry, expecting it appended to what is there. A try whose
// keys got lost is undone and repeated.
inline bool type_text(GtkWidget* top, const std::string& text) {
    GtkWidget* e = nth_child(top, GTK_TYPE_ENTRY);
    if (!e) return false;
    const std::string before = entry_text(e);
    return with_retries(
        [&] {
            locked([&] {
                gtk_entry_set_text(GTK_ENTRY(e), before.c_str());
                gtk_editable_set_position(GTK_EDITABLE(e), -1);
                return 0;
            });
            return activate(top) && sh("xdotool type --delay 30 '" + text + "'");
        },
        [&] { return entry_text(e) == before + text; });
}

// Clicks the screen point, stepping beside it first: a synced move to where the pointer
// already is waits for a motion that never comes.
inline bool click_at(int x, int y, int button = 1) {
    return sh("xdotool mousemove " + std::to_string(x + 1) + " " + std::to_string(y) +
              " mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click " +
              std::to_string(button));
}

// Clicks the middle of a widget once it has its place in the window and the window its
// place on the screen: a click computed while the window manager still moves the window
// lands on its frame, and two of them shade the window.
inline bool click(GtkWidget* w, int button = 1) {
    auto where = [w](int* x, int* y) {
        return locked([&] {
            GtkWidget* top = gtk_widget_get_toplevel(w);
            GtkAllocation a;
            gtk_widget_get_allocation(w, &a);
            int cx, cy;
            if (!gtk_widget_get_mapped(w) || a.width <= 1 || a.height <= 1 ||
                !gtk_widget_translate_coordinates(w, top, a.width / 2, a.height / 2, &cx, &cy))
                return false;
            // Measured from the top-level window: entries and views have windows of their own.
            gdk_window_get_origin(gtk_widget_get_window(top), x, y);
            *x += cx;
            *y += cy;
            return true;
        });
    };
    int x = 0, y = 0;
    return w && eventually([&] {
               int x0, y0;
               if (!where(&x0, &y0)) return false;
               std::this_thread::sleep_for(std::chrono::milliseconds(100));
               return where(&x, &y) && x == x0 && y == y0;
           }) &&
           click_at(x, y, button);
}

// Clicks a button until its effect is seen.
inline bool click_until(GtkWidget* w, const std::function<bool()>& done) {
    return with_retries([&] { return click(w); }, done);
}

// Clicks a button that closes its window, again until the window is gone.
inline bool click_closing(GtkWidget* w) {
    GtkWidget* top = w ? locked([w] { return gtk_widget_get_toplevel(w); }) : nullptr;
    return top && with_retries([&] { return gone(top) || (activate(top) && click(w)); },
                               [top] { return gone(top); });
}

// Opens a page of the window's first notebook by clicking its tab.
inline bool show_page(GtkWidget* top, int page) {
    GtkWidget* nb = nth_child(top, GTK_TYPE_NOTEBOOK);
    GtkWidget* tab = locked([&] {
        return gtk_notebook_get_tab_label(GTK_NOTEBOOK(nb),
                                          gtk_notebook_get_nth_page(GTK_NOTEBOOK(nb), page));
    });
    auto shown = [&] {
        return locked([nb] { return gtk_notebook_get_current_page(GTK_NOTEBOOK(nb)); }) == page;
    };
    return with_retries([&] { return activate(top) && click(tab); }, shown);
}

// Clicks into an entry and types text over what it holds.
inline bool fill(GtkWidget* e, const std::string& text) {
    GtkWidget* top = e ? locked([e] { return gtk_widget_get_toplevel(e); }) : nullptr;
    return top && with_retries(
                      [&] {
                          return activate(top) && click(e) && sh("xdotool key ctrl+a BackSpace") &&
                                 (text.empty() || sh("xdotool type --delay 30 '" + text + "'"));
                      },
                      [&] { return entry_text(e) == text; });
}

// Clicks a button of the window named title (a question or a notice) and waits until it is
// gone; false when it did not come or did not go.
inline bool answer(const char* title, const char* label) {
    GtkWidget* w = wait_titled(title);
    return w && click_closing(button(w, label));
}

// Runs the driver beside the dialog call and reports whether it got through.
class Driver {
  public:
    explicit Driver(std::function<bool()> f)
        : t_([this, f] {
              ok_ = f();
              if (!ok_) close_all_visible();
          }) {}
    ~Driver() {
        if (t_.joinable()) t_.join();
    }
    bool ok() {
        if (t_.joinable()) t_.join();
        return ok_;
    }

  private:
    bool ok_ = false;
    std::thread t_;
};

// The configuration dialog runs its own loop until OK or Cancel, on a worker thread as in
// the program; the test drives it from outside. The window, or nullptr.
struct DialogRun {
    int result = -2;
    GThread* t = nullptr;
    GtkWidget* start() {
        t = g_thread_new(
            "cfdialog",
            [](gpointer p) -> gpointer {
                static_cast<DialogRun*>(p)->result = cf_dialog(1, nullptr);
                return nullptr;
            },
            this);
        return wait_titled(_de ? "mavlyn   Konfiguration" : "mavlyn   Configuration");
    }
    int join() {
        g_thread_join(t);
        return result;
    }
};

} // namespace gui
