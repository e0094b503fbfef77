// Questions and notices in front of the user: stock message boxes (waited for, or shown by a
// thread of their own) and the free-form button dialog described by one text.
//
// The rule of which thread may ask is in core/user_contact.h.
#pragma once

#include "core/user_contact.h"

#include <cstddef>
#include <glib.h>
#include <gtk/gtk.h>

#define bd__COLUMNS 10

struct bd__column_t {
    int ret;            // the digit, 0 without one
    bool markeddefault; // carried the "+" mark
    const char* label;  // "" = no button
    const char* text;   // "" = no text above the button
};

struct bd__parsed_t {
    char type;           // the type letter, 0 when the text has no head
    const char* title;   // "Message" when absent
    const char* message; // "" when absent
    int buttn;           // columns taken, 0..bd__COLUMNS
    int buttdef;         // the last marked column, -1 for none
    bd__column_t column[bd__COLUMNS];
};

// Parses a dialog text in place (separators are overwritten by NULs); all pointers of the
// result point into buf or at constant texts.
void bd__parse(char* buf, bd__parsed_t* out);
// The stock image of a type letter, or nullptr for none.
const char* bd__stockicon(char type);
// Sleeps of 254 ms a time-out allows before it strikes: one per full 250 ms, so a time-out
// below 250 ms strikes at once.
int bd__timeoutsleeps(int mtime);

// A one-shot answer handed from a GTK handler to the worker thread that waits for a dialog.
// The first answer counts; later ones (a second click before the window is gone) are ignored.
class me__answer {
  public:
    me__answer();
    ~me__answer();
    me__answer(const me__answer&) = delete;
    me__answer& operator=(const me__answer&) = delete;
    // Sets the answer unless one was given; true when this call set it.
    bool give(int value);
    bool given();
    // Waits up to ms for an answer; true when one was given.
    bool wait(unsigned long ms);
    int value();
    void reset();
    // The nested main loop that waits for this answer and is quit by it (null: none); false
    // when the answer is there already.
    bool attach(GMainLoop* loop);

  private:
    GMutex mutex_;
    GCond cond_;
    bool done_ = false;
    int value_ = 0;
    GMainLoop* loop_ = nullptr;
};

// Whether the caller is the thread that runs the GTK main loop.
bool me__ongtkthread();
// Waits for the answer as the rule above says; the caller holds the GUI lock, which is given
// up while waiting. A thread asked to terminate gets onterminate; with timeout (ms, 0 none)
// the answer becomes ontimeout when nobody answered in time.
void me__await(me__answer& a, int onterminate, unsigned long timeout = 0, int ontimeout = -1);
// Takes a mutex that a dialog holds while it is open, without stopping the main loop when
// the caller runs it; the caller holds the GUI lock.
void me__lockdialog(GMutex* m);

// Windows of the dialogs that a worker thread waits for; the caller holds the GUI lock.
// A top-level window, a child of the main window (and destroyed with it) when that exists.
GtkWidget* me__dialogwindow(const char* title);
// Makes *w null as soon as the window is gone, also when the main window took it along.
void me__watch(GtkWidget** w);
// Destroys the watched window unless it is gone already.
void me__destroy(GtkWidget** w);
