// The GTK main loop on its own thread, as the program runs it, and a driver that works windows
// through the X server with xdotool. Every wait has a deadline; none is a fixed sleep.
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
#include <future>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <thread>
#include <vector>

// From gdkx.h, whose X11 macros (None, Status ...) would clash with GoogleTest.
extern "C" unsigned long gdk_x11_drawable_get_xid(GdkDrawable* drawable);

namespace gui {

using Clock = std::chrono::steady_clock;
using Check = std::function<bool(GtkWidget*)>; // a test of a widget, under the GUI lock

template <class F> auto locked(F f) {
    struct Lock {
        Lock() { th_enter(); }
        ~Lock() { th_leave(); }
    } lock;
    return f();
}

// Starts GTK once per test process, its main loop on a thread of its own.
inline void start_gtk() {
    static const bool started = [] {
        th_guiinit();
        locked([] { gtk_init(nullptr, nullptr); });
        return th_create([](gpointer) -> gpointer { return locked(gtk_main), nullptr; }, nullptr);
    }();
    (void)started;
}

// The message thread shows received SMS and credit answers; once per process, as in the program.
inline void start_msgthread() {
    static const bool started = th_create(sm_msgthread, nullptr) != nullptr;
    (void)started;
}

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

inline std::vector<GtkWidget*> taken(GList* list) {
    std::vector<GtkWidget*> out;
    for (GList* l = list; l; l = l->next) out.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    return out;
}

// The visible top-level windows; the caller holds the GUI lock.
inline std::vector<GtkWidget*> toplevels() {
    std::vector<GtkWidget*> out;
    for (GtkWidget* w : taken(gtk_window_list_toplevels()))
        if (gtk_widget_get_visible(w)) out.push_back(w);
    return out;
}

inline bool titled(GtkWidget* w, const char* title) {
    const char* t = gtk_window_get_title(GTK_WINDOW(w));
    return t && strcmp(t, title) == 0;
}

inline int count_titled(const char* title) {
    return locked([&] {
        int n = 0;
        for (GtkWidget* w : toplevels()) n += titled(w, title);
        return n;
    });
}

// Delivers a delete event to every visible window through GTK itself, not through X, so a
// dialog whose synthetic input was lost still ends and the test fails instead of hanging.
inline void close_all_visible() {
    locked([] {
        for (GtkWidget* w : toplevels()) {
            if (!gtk_widget_get_window(w)) continue;
            GdkEvent* ev = gdk_event_new(GDK_DELETE);
            ev->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
            ev->any.send_event = TRUE;
            gtk_main_do_event(ev);
            gdk_event_free(ev);
        }
    });
}

inline GtkWidget* window(const Check& match) {
    return locked([&]() -> GtkWidget* {
        for (GtkWidget* w : toplevels())
            if (gtk_widget_get_mapped(w) && match(w)) return w;
        return nullptr;
    });
}

inline GtkWidget* wait_window(const Check& match,
                              Clock::duration within = std::chrono::seconds(15)) {
    GtkWidget* w = nullptr;
    eventually([&] { return (w = window(match)) != nullptr; }, within);
    return w;
}

inline GtkWidget* wait_titled(const char* title,
                              Clock::duration within = std::chrono::seconds(15)) {
    return wait_window([title](GtkWidget* w) { return titled(w, title); }, within);
}

// The widgets of the type at and below w, in tree order; the caller holds the GUI lock.
inline std::vector<GtkWidget*> widgets(GtkWidget* w, GType type) {
    std::vector<GtkWidget*> out;
    if (w && G_TYPE_CHECK_INSTANCE_TYPE(w, type)) out.push_back(w);
    if (!w || !GTK_IS_CONTAINER(w)) return out;
    for (GtkWidget* c : taken(gtk_container_get_children(GTK_CONTAINER(w))))
        for (GtkWidget* x : widgets(c, type)) out.push_back(x);
    return out;
}

inline int count_children(GtkWidget* top, GType type) {
    return locked([&] { return static_cast<int>(widgets(top, type).size()); });
}

inline GtkWidget* find(GtkWidget* top, GType type, const Check& test = {}, int n = 0) {
    return locked([&]() -> GtkWidget* {
        for (GtkWidget* w : widgets(top, type))
            if ((!test || test(w)) && n-- == 0) return w;
        return nullptr;
    });
}

// A text property of the widget; "text" is what a label, an entry or a text view shows. The
// caller holds the GUI lock, which the program's lock does not take twice.
inline std::string text_of(GtkWidget* w, const char* property = "text") {
    gchar* t = nullptr;
    bool shown = strcmp(property, "text") == 0;
    if (shown && GTK_IS_LABEL(w))
        t = g_strdup(gtk_label_get_text(GTK_LABEL(w)));
    else if (shown && GTK_IS_TEXT_VIEW(w))
        g_object_get(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w)), "text", &t, nullptr);
    else if (w)
        g_object_get(w, property, &t, nullptr);
    std::string out = t ? t : "";
    g_free(t);
    return out;
}

inline std::string text(GtkWidget* w, const char* property = "text") {
    return locked([&] { return text_of(w, property); });
}

inline GtkWidget* button(GtkWidget* top, const char* label) {
    return find(top, GTK_TYPE_BUTTON,
                [label](GtkWidget* b) { return text_of(b, "label") == label; });
}

inline GtkWidget* by_tooltip(GtkWidget* top, GType type, const char* tip, int n = 0) {
    return find(
        top, type, [tip](GtkWidget* e) { return text_of(e, "tooltip-text") == tip; }, n);
}

inline bool holds(GtkWidget* w, const std::string& part) {
    return text(w).find(part) != std::string::npos;
}

inline int active(GtkWidget* w) {
    return locked([w] {
        return GTK_IS_COMBO_BOX(w) ? gtk_combo_box_get_active(GTK_COMBO_BOX(w))
                                   : gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w));
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

// Gives the window the keyboard focus and waits until GTK has seen it, so that the keys reach
// it; told to take the focus too, where the window manager's idea of the active window lags.
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

// Clicks the middle of a widget once it has its place in the window and the window its
// place on the screen: a click computed while the window manager still moves the window
// lands on its frame, and two of them shade the window. The pointer steps beside the point
// first: a synced move to where it already is waits for a motion that never comes.
inline bool click(GtkWidget* w) {
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
           sh("xdotool mousemove " + std::to_string(x + 1) + " " + std::to_string(y) +
              " mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

inline bool click_until(GtkWidget* w, const std::function<bool()>& done) {
    return with_retries([&] { return click(w); }, done);
}

// Clicks the button with the label, or else types the keys, until the window is gone. A weak
// pointer tells when it is: the next window may be given the address of the old one.
inline bool press(GtkWidget* top, const char* what) {
    if (!top) return false;
    GtkWidget *b = button(top, what), *alive = top;
    auto weak = reinterpret_cast<gpointer*>(&alive);
    locked([&] { g_object_add_weak_pointer(G_OBJECT(alive), weak); });
    auto gone = [&] { return locked([&] { return !alive || !gtk_widget_get_mapped(alive); }); };
    bool ok = with_retries(
        [&] { return gone() || (activate(top) && (b ? click(b) : keys(top, what))); }, gone);
    locked([&] {
        if (alive) g_object_remove_weak_pointer(G_OBJECT(alive), weak);
    });
    return ok;
}

inline bool answer(const char* title, const char* what) {
    return press(wait_titled(title), what);
}

inline bool show_page(GtkWidget* top, int page) {
    GtkWidget* nb = find(top, GTK_TYPE_NOTEBOOK);
    GtkWidget* tab = locked([&] {
        return gtk_notebook_get_tab_label(GTK_NOTEBOOK(nb),
                                          gtk_notebook_get_nth_page(GTK_NOTEBOOK(nb), page));
    });
    auto shown = [&] {
        return locked([nb] { return gtk_notebook_get_current_page(GTK_NOTEBOOK(nb)); }) == page;
    };
    return with_retries([&] { return activate(top) && click(tab); }, shown);
}

inline bool fill(GtkWidget* e, const std::string& text) {
    GtkWidget* top = e ? locked([e] { return gtk_widget_get_toplevel(e); }) : nullptr;
    return top && with_retries(
                      [&] {
                          return activate(top) && click(e) && sh("xdotool key ctrl+a BackSpace") &&
                                 (text.empty() || sh("xdotool type --delay 30 '" + text + "'"));
                      },
                      [&] { return gui::text(e) == text; });
}

// Runs the driver beside the dialog call; a driver that does not get through closes every
// window, so that the call returns and the case fails instead of hanging.
inline std::future<bool> beside(const std::function<bool()>& drive) {
    return std::async(std::launch::async, [drive] {
        bool ok = drive();
        if (!ok) close_all_visible();
        return ok;
    });
}

// A case on the display: the record at its defaults, English, no end requested. The session
// globals are put back after it (test_support.cpp), so that the binary passes shuffled.
class Case : public ::testing::Test {
  protected:
    void SetUp() override {
        start_gtk();
        fresh_record("");
    }
};

} // namespace gui
