// What the lower layers show or ask the user beyond the status lines (status_lines.h): message
// boxes, the button dialog, the input dialog, the splash window, the main panel icon and the
// control window's place. Declared here, defined by the ui, so that config, modem, connection
// and sms include no ui header.
//
// Which thread may ask, for every dialog that returns an answer (me_messagebox,
// bd_buttondialog, ce_inputdialog):
// - On the GTK main thread (a signal handler or a timeout of the main loop, which run inside
//   the GUI lock) the dialog runs a modal loop of its own and returns the answer. The GUI lock
//   is given up while that loop waits, so the other windows go on being drawn and worker
//   threads go on with their work.
// - On a worker thread, called outside the GUI lock, the dialog takes the lock to build its
//   window and waits for the answer outside it.
// Nobody waits for an answer in a way that stops the main loop: a handler that asks a
// question simply calls the function, inside the lock as it runs.
// me_messageboxa never waits and may be called from any thread.
#pragma once

// ---- Message boxes and the button dialog (ui/message_box.cpp) ----
// mode must be 0; icon 0/1 information, 2 warning, 3 question; buttons 0 OK, 1 Cancel+OK,
// 2 No+Yes, 3 Cancel+No+Yes; mtime a time-out in ms (0 none).
// Returns 1 OK/Yes, 2 No, 0 Cancel/closed/invalid arguments, -1 time-out or program end.
int me_messagebox(int mode, const char* title, const char* content, int icon, int buttons,
                  int mtime);
// Shown by a thread of its own; modus 1 asks No/Yes and a Yes requests the program end.
void me_messageboxa(int modus, const char* kopf, const char* inhalt, int icon);

// The button-dialog language, e.g. "|q#Title#Text|+1#Label#Text above|2#Other#..."
// Returns the pressed button's digit, 0 for Escape or closing, -1 on time-out (mtime > 0).
int bd_buttondialog(const char* content, int mtime);

// ---- Input dialog (ui/input_dialog.cpp) ----
// Kinds in the low four bits of art, and the flags above them.
#define ce_LANGUAGE 1
#define ce_PIN 8
#define ce_DIGITS 16
#define ce_HIDDEN 32
#define ce_SHORT 64
#define ce_TEXTMAX 50

// Text kinds: 1 apply (button or Return), 2 save (PIN kind), 0 cancel/Escape/closed.
// Language kind: 2 English, 1 Deutsch, 0 closed. text (if not null, ce_TEXTMAX bytes)
// receives the entry when the result is not 0, else "". Callers are served one at a time.
// Asked from the GTK main thread it runs a modal loop of its own, from a worker thread it
// waits outside the GUI lock: the rule above.
int ce_inputdialog(int art, const char* ueberschrift, const char* prompt, char* text);

// ---- Splash window (ui/splash.cpp) ----
// Shows the text of the given kind, or hides the window (kind 0, an unknown or a suppressed
// kind). Takes the GUI lock itself: call it outside.
void cs_show(int kind);
// The text of kind 9 (at most 59 characters, Latin-1).
void cs_splashtext(const char* t);

// ---- Panel icons and control window ----
// The main panel icon: state art (0..5), mode ba, signal sig in percent, rates up and down,
// tooltip text; -1 keeps a value as it was. Takes the GUI lock itself.
void ic_mshow(int art, int ba, int sig, int up, int down, const char* text);
// The control window's place on the screen.
void cc_getposition(int* x, int* y);
