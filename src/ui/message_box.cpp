#include "ui/message_box.h"

#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/encodings.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <atomic>
#include <cstring>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <initializer_list>
#include <memory>
#include <string>

// ---------------------------------------------------------------- the one-shot answer

me__answer::me__answer() {
    g_mutex_init(&mutex_);
    g_cond_init(&cond_);
}

me__answer::~me__answer() {
    g_cond_clear(&cond_);
    g_mutex_clear(&mutex_);
}

bool me__answer::give(int value) {
    g_mutex_lock(&mutex_);
    bool first = !done_;
    if (first) {
        done_ = true;
        value_ = value;
        g_cond_broadcast(&cond_);
        if (loop_) g_main_loop_quit(loop_);
    }
    g_mutex_unlock(&mutex_);
    return first;
}

bool me__answer::attach(GMainLoop* loop) {
    g_mutex_lock(&mutex_);
    loop_ = done_ ? nullptr : loop;
    bool waiting = !done_;
    g_mutex_unlock(&mutex_);
    return waiting || !loop;
}

bool me__answer::given() {
    g_mutex_lock(&mutex_);
    bool d = done_;
    g_mutex_unlock(&mutex_);
    return d;
}

bool me__answer::wait(unsigned long ms) {
    gint64 until = g_get_monotonic_time() + static_cast<gint64>(ms) * G_TIME_SPAN_MILLISECOND;
    g_mutex_lock(&mutex_);
    while (!done_)
        if (!g_cond_wait_until(&cond_, &mutex_, until)) break;
    bool d = done_;
    g_mutex_unlock(&mutex_);
    return d;
}

int me__answer::value() {
    g_mutex_lock(&mutex_);
    int v = value_;
    g_mutex_unlock(&mutex_);
    return v;
}

void me__answer::reset() {
    g_mutex_lock(&mutex_);
    done_ = false;
    value_ = 0;
    g_mutex_unlock(&mutex_);
}

// ---------------------------------------------------------------- waiting for an answer

bool me__ongtkthread() {
    // The thread that runs the main loop owns its context for as long as the loop runs.
    return g_main_context_is_owner(g_main_context_default()) != 0;
}

namespace {

struct me__watchdog {
    me__answer* answer;
    int onterminate;
    gint64 until; // 0: no time-out
    int ontimeout;
};

gboolean me__watch_tick(gpointer data) {
    auto* w = static_cast<me__watchdog*>(data);
    if (th_queryterminate())
        w->answer->give(w->onterminate);
    else if (w->until && g_get_monotonic_time() >= w->until)
        w->answer->give(w->ontimeout);
    return TRUE;
}

// A nested main loop on the GTK thread, quit by the answer.
void await_in_loop(me__answer& a, me__watchdog& watch) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    if (a.attach(loop)) {
        guint tick = g_timeout_add(watch.until ? 50 : 250, me__watch_tick, &watch);
        th_leave();
        g_main_loop_run(loop);
        th_enter();
        g_source_remove(tick);
        a.attach(nullptr);
    }
    g_main_loop_unref(loop);
}

void await_on_condition(me__answer& a, me__watchdog& watch) {
    th_leave();
    for (;;) {
        unsigned long slice = 500;
        if (watch.until) {
            gint64 left = (watch.until - g_get_monotonic_time()) / G_TIME_SPAN_MILLISECOND;
            slice = static_cast<unsigned long>(bereichl(static_cast<long>(left), 0, 500));
        }
        if (a.wait(slice)) break;
        me__watch_tick(&watch);
    }
    th_enter();
}

} // namespace

void me__await(me__answer& a, int onterminate, unsigned long timeout, int ontimeout) {
    me__watchdog watch{&a, onterminate,
                       timeout ? g_get_monotonic_time() +
                                     static_cast<gint64>(timeout) * G_TIME_SPAN_MILLISECOND
                               : 0,
                       ontimeout};
    if (me__ongtkthread())
        await_in_loop(a, watch);
    else
        await_on_condition(a, watch);
}

void me__lockdialog(GMutex* m) {
    if (!me__ongtkthread()) {
        th_leave();
        g_mutex_lock(m);
        th_enter();
        return;
    }
    // Another thread's dialog is open: keep it answerable while waiting for it to go.
    while (!g_mutex_trylock(m)) {
        th_leave();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(20000);
        th_enter();
    }
}

// ---------------------------------------------------------------- dialog windows

GtkWidget* me__dialogwindow(const char* title) {
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (mainwindow) {
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(mainwindow));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(w), TRUE);
    }
    gtk_window_set_title(GTK_WINDOW(w), title);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(w), TRUE);
    gtk_container_set_border_width(GTK_CONTAINER(w), 4);
    return w;
}

void me__watch(GtkWidget** w) {
    g_object_add_weak_pointer(G_OBJECT(*w), reinterpret_cast<gpointer*>(w));
}

void me__destroy(GtkWidget** w) {
    if (!*w) return;
    // Unhooked first: the window may outlive the caller's pointer by a pending reference.
    GtkWidget* x = *w;
    g_object_remove_weak_pointer(G_OBJECT(x), reinterpret_cast<gpointer*>(w));
    *w = nullptr;
    gtk_widget_destroy(x);
}

// ---------------------------------------------------------------- button-dialog language

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Cuts the next segment at sep; *p becomes null when the text ends.
char* next_segment(char** p, char sep) {
    char* start = *p;
    char* end = strchr(start, sep);
    if (end) {
        *end = 0;
        *p = end + 1;
    } else {
        *p = nullptr;
    }
    return start;
}

// Splits "first<sep>rest" in place; rest is "" without a second separator.
void split_field(char* s, char sep, const char** first, const char** rest) {
    *first = s;
    char* q = strchr(s, sep);
    if (q) {
        *q = 0;
        *rest = q + 1;
    } else {
        *rest = "";
    }
}

void parse_head(char* seg, bd__parsed_t* out) {
    if (!seg[0]) return;
    out->type = seg[0];
    if (!seg[1]) return;
    const char* title;
    split_field(seg + 2, seg[1], &title, &out->message);
    if (title[0]) out->title = title;
}

void parse_column(char* seg, bd__column_t* col) {
    char* p = seg;
    if (p[0] == '+' && is_digit(p[1])) {
        col->markeddefault = true;
        col->ret = p[1] - '0';
        p += 2;
    } else if (is_digit(p[0])) {
        col->ret = p[0] - '0';
        p++;
    }
    if (!p[0]) return;
    split_field(p + 1, p[0], &col->label, &col->text);
}

} // namespace

void bd__parse(char* buf, bd__parsed_t* out) {
    *out = bd__parsed_t{};
    out->title = "Message";
    out->message = "";
    out->buttdef = -1;
    for (auto& c : out->column) c.label = c.text = "";
    if (!buf || !buf[0]) return;
    const char sep = buf[0];
    char* p = buf + 1;
    parse_head(next_segment(&p, sep), out);
    while (p && *p && out->buttn < bd__COLUMNS) {
        int i = out->buttn++;
        parse_column(next_segment(&p, sep), &out->column[i]);
        if (out->column[i].markeddefault) out->buttdef = i;
    }
}

const char* bd__stockicon(char type) {
    switch (type) {
    case 'i':
        return GTK_STOCK_INFO;
    case 'w':
        return GTK_STOCK_DIALOG_WARNING;
    case 'e':
        return GTK_STOCK_DIALOG_ERROR;
    case 'q':
        return GTK_STOCK_DIALOG_QUESTION;
    default:
        return nullptr;
    }
}

int bd__timeoutsleeps(int mtime) {
    return mtime > 0 ? mtime / 250 : 0;
}

// ---------------------------------------------------------------- button dialog

namespace {

struct bd__data_t {
    me__answer answer; // given by the handlers; its value is the result
    int buttn = 0;
    int buttdef = -1;
    GtkWidget* wbutt[bd__COLUMNS] = {};
    int buttret[bd__COLUMNS] = {};
};

void bd__button(GtkWidget* w, gpointer data) {
    auto* d = static_cast<bd__data_t*>(data);
    for (int i = 0; i < d->buttn; i++)
        if (d->wbutt[i] == w) d->answer.give(d->buttret[i]);
}

gboolean bd__key(GtkWidget*, GdkEventKey* ev, gpointer data) {
    if (ev->keyval == GDK_Escape) static_cast<bd__data_t*>(data)->answer.give(0);
    return FALSE;
}

gboolean bd__closewindow(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<bd__data_t*>(data)->answer.give(0);
    return TRUE;
}

// The window went with the main window: nobody can answer any more.
void bd__destroyed(GtkWidget*, gpointer data) {
    static_cast<bd__data_t*>(data)->answer.give(0);
}

GtkWidget* build_head(const bd__parsed_t& p) {
    GtkWidget* align = gtk_alignment_new(0, 0, 0, 0);
    GtkWidget* hbox = gtk_hbox_new(FALSE, 5);
    gtk_container_add(GTK_CONTAINER(align), hbox);
    if (const char* stock = bd__stockicon(p.type))
        gtk_box_pack_start(GTK_BOX(hbox), gtk_image_new_from_stock(stock, GTK_ICON_SIZE_DIALOG),
                           FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(hbox), gtk_label_new(p.message), FALSE, FALSE, 0);
    return align;
}

GtkWidget* build_columns(const bd__parsed_t& p, bd__data_t* d) {
    GtkWidget* align = gtk_alignment_new(1, 0, 0, 0);
    GtkWidget* table = gtk_table_new(2, static_cast<guint>(max(p.buttn, 1)), FALSE);
    gtk_table_set_row_spacings(GTK_TABLE(table), 8);
    gtk_table_set_col_spacings(GTK_TABLE(table), 16);
    gtk_container_add(GTK_CONTAINER(align), table);
    d->buttn = p.buttn;
    for (int i = 0; i < p.buttn; i++) {
        const bd__column_t& c = p.column[i];
        guint l = static_cast<guint>(i);
        d->buttret[i] = c.ret;
        if (c.text[0])
            gtk_table_attach_defaults(GTK_TABLE(table), gtk_label_new(c.text), l, l + 1, 0, 1);
        if (!c.label[0]) continue;
        d->wbutt[i] = gtk_button_new_with_label(c.label);
        g_signal_connect(d->wbutt[i], "clicked", G_CALLBACK(bd__button), d);
        gtk_table_attach_defaults(GTK_TABLE(table), d->wbutt[i], l, l + 1, 1, 2);
    }
    return align;
}

// Builds and shows the window; the caller holds the GUI lock.
GtkWidget* bd__build(const bd__parsed_t& p, bd__data_t* d) {
    GtkWidget* w = me__dialogwindow(p.title);
    GtkWidget* vbox = gtk_vbox_new(FALSE, 5);
    gtk_container_add(GTK_CONTAINER(w), vbox);
    gtk_box_pack_start(GTK_BOX(vbox), build_head(p), FALSE, FALSE, 0);
    if (p.message[0]) gtk_box_pack_start(GTK_BOX(vbox), gtk_hseparator_new(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(vbox), build_columns(p, d), FALSE, FALSE, 0);
    g_signal_connect(w, "key-release-event", G_CALLBACK(bd__key), d);
    // A marked column without a label has no button to take the default.
    if (p.buttdef >= 0 && d->wbutt[p.buttdef]) {
        d->buttdef = p.buttdef;
        GtkWidget* b = d->wbutt[p.buttdef];
        gtk_widget_set_can_default(b, TRUE);
        gtk_widget_grab_default(b);
        gtk_widget_grab_focus(b);
    }
    gtk_widget_show_all(w);
    gtk_window_present(GTK_WINDOW(w));
    return w;
}

} // namespace

int bd_buttondialog(const char* content, int mtime) {
    if (!content) content = "";
    const size_t n = strlen(content) + 201;
    std::unique_ptr<char[]> buf(new char[n]);
    strmtoutf8(buf.get(), content, n);
    bd__parsed_t parsed;
    bd__parse(buf.get(), &parsed);

    bd__data_t d;
    const bool onloop = me__ongtkthread();
    if (!onloop) th_enter();
    GtkWidget* w = bd__build(parsed, &d);
    // Asked from the main loop, the other windows wait for the answer.
    if (onloop) gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gulong del = g_signal_connect(w, "delete-event", G_CALLBACK(bd__closewindow), &d);
    gulong gone = g_signal_connect(w, "destroy", G_CALLBACK(bd__destroyed), &d);
    me__watch(&w);

    // A thread asked to terminate stops with the initial 0; each full 250 ms of a time-out
    // allow one more sleep of 254 ms.
    const int sleeps = bd__timeoutsleeps(mtime);
    if (mtime > 0 && sleeps == 0) d.answer.give(-1);
    me__await(d.answer, 0, static_cast<unsigned long>(sleeps) * 254, -1);

    // A window destroyed with the main window has lost its handlers already.
    for (gulong h : {del, gone})
        if (w && g_signal_handler_is_connected(w, h)) g_signal_handler_disconnect(w, h);
    me__destroy(&w);
    if (!onloop) th_leave();
    return d.answer.value();
}

// ---------------------------------------------------------------- message boxes

namespace {

// Shared by me_messagebox and its time-out thread; the last of the two frees it. The dialog
// is held by a reference until the word is cleared under the GUI lock, so the thread never
// sends its response to a freed dialog.
struct me__timeoutblock {
    std::atomic<int> refs{2};
    std::atomic<int> word; // time-out in ms, -1 none, 0 answered
    GtkWidget* dialog;
};

void me__release(me__timeoutblock* b) {
    if (b->refs.fetch_sub(1) == 1) delete b;
}

gpointer me__messagetimeout(gpointer data) {
    auto* b = static_cast<me__timeoutblock*>(data);
    int t = b->word.load();
    if (t == -1) {
        while (!th_queryterminate() && !programmende_gewuenscht && b->word.load() != 0) msleep(303);
    } else {
        th_msleepx(static_cast<unsigned long>(t));
    }
    th_enter();
    if (b->word.load() != 0) gtk_dialog_response(GTK_DIALOG(b->dialog), -1);
    th_leave();
    me__release(b);
    return nullptr;
}

GtkMessageType message_type(int icon) {
    return icon == 2 ? GTK_MESSAGE_WARNING : icon == 3 ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO;
}

GtkWidget* message_dialog(GtkMessageType type, GtkButtonsType buttons, const char* title,
                          const char* content) {
    GtkWidget* dlg =
        gtk_message_dialog_new(mainwindow ? GTK_WINDOW(mainwindow) : nullptr,
                               GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                               type, buttons, "%s", title);
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dlg), "%s", content);
    // The title also names the window, so that window lists, panels and tools find it.
    gtk_window_set_title(GTK_WINDOW(dlg), title);
    return dlg;
}

void add_buttons(GtkWidget* dlg, int buttons) {
    GtkDialog* d = GTK_DIALOG(dlg);
    if (buttons == 1 || buttons == 3)
        gtk_dialog_add_button(d, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL);
    if (buttons == 0 || buttons == 1) gtk_dialog_add_button(d, GTK_STOCK_OK, GTK_RESPONSE_OK);
    if (buttons >= 2) {
        gtk_dialog_add_button(d, GTK_STOCK_NO, GTK_RESPONSE_NO);
        gtk_dialog_add_button(d, GTK_STOCK_YES, GTK_RESPONSE_YES);
    }
}

int message_result(int response) {
    switch (response) {
    case GTK_RESPONSE_OK:
    case GTK_RESPONSE_YES:
        return 1;
    case GTK_RESPONSE_NO:
        return 2;
    case -1:
        return -1;
    default:
        return 0;
    }
}

// The dialog's answer, given by its response (or by its end) and waited for by me__await.
struct me__run_t {
    me__answer answer;
    bool destroyed = false;
};

void me__response(GtkDialog*, gint response, gpointer data) {
    static_cast<me__run_t*>(data)->answer.give(response);
}

void me__destroyed(GtkWidget*, gpointer data) {
    auto* r = static_cast<me__run_t*>(data);
    r->destroyed = true;
    r->answer.give(GTK_RESPONSE_NONE);
}

// Shows the dialog and returns its first response, GTK_RESPONSE_NONE when it went without one
// or the thread is asked to terminate; the dialog is destroyed then. The caller holds the GUI
// lock (given up while waiting) and a reference on the dialog.
int me__run(GtkWidget* dlg) {
    me__run_t r;
    gulong h[] = {g_signal_connect(dlg, "response", G_CALLBACK(me__response), &r),
                  g_signal_connect(dlg, "destroy", G_CALLBACK(me__destroyed), &r)};
    gtk_window_present(GTK_WINDOW(dlg));
    me__await(r.answer, GTK_RESPONSE_NONE);
    if (!r.destroyed) {
        for (gulong x : h) g_signal_handler_disconnect(dlg, x);
        gtk_widget_destroy(dlg);
    }
    return r.answer.value();
}

struct me__asyncblock {
    int modus;
    int icon;
    std::string content;
    std::string title;
};

std::string to_utf8(const char* s, size_t extra) {
    if (!s) s = "";
    // Latin-1 at most doubles in UTF-8, so nothing is cut.
    std::string out(2 * strlen(s) + extra, '\0');
    strmtoutf8(out.data(), s, out.size());
    out.resize(strlen(out.c_str()));
    return out;
}

gpointer me__messageathread(gpointer data) {
    std::unique_ptr<me__asyncblock> b(static_cast<me__asyncblock*>(data));
    th_enter();
    GtkWidget* dlg = message_dialog(b->icon ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO,
                                    b->modus ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK,
                                    b->title.c_str(), b->content.c_str());
    g_object_ref(dlg);
    int response = me__run(dlg);
    g_object_unref(dlg);
    th_leave();
    if (b->modus == 1 && response == GTK_RESPONSE_YES) {
        const char* ending = _de ? " Beenden." : " Ending.";
        cc_show2(ending, ending);
        th_requestend();
    }
    return nullptr;
}

} // namespace

int me_messagebox(int mode, const char* title, const char* content, int icon, int buttons,
                  int mtime) {
    if (mode != 0 || !title || !content || icon < 0 || icon > 3 || buttons < 0 || buttons > 3 ||
        mtime < 0)
        return 0;
    char t[100];
    char c[800];
    strMtoutf8(t, title);
    strMtoutf8(c, content);

    auto* block = new me__timeoutblock;
    block->word = mtime > 0 ? mtime : -1;
    const bool onloop = me__ongtkthread();
    if (!onloop) th_enter();
    GtkWidget* dlg = message_dialog(message_type(icon), GTK_BUTTONS_NONE, t, c);
    add_buttons(dlg, buttons);
    // Kept alive until the time-out thread can no longer send its response.
    g_object_ref(dlg);
    block->dialog = dlg;
    if (!th_create(me__messagetimeout, block)) me__release(block);
    int response = me__run(dlg);
    block->word = 0;
    g_object_unref(dlg);
    if (!onloop) th_leave();
    me__release(block);
    return message_result(response);
}

void me_messageboxa(int modus, const char* kopf, const char* inhalt, int icon) {
    auto* b = new me__asyncblock{modus, icon, to_utf8(inhalt, 50), to_utf8(kopf, 10)};
    if (!th_create(me__messageathread, b)) delete b;
}
