// The small entry dialog for a PIN or a code, and the language choice at installation.
#pragma once

#include <gtk/gtk.h>

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
// waits outside the GUI lock: the rule of message_box.h.
int ce_inputdialog(int art, const char* ueberschrift, const char* prompt, char* text);

// The open dialog's state, for its handlers (and the tests that look at the buttons).
extern int ce__inputart;
extern int ce__ret;
extern GtkWidget* ce__buttonapply;
extern GtkWidget* ce__buttonsave;

// Length of the entry as the buttons see it: 0 when flag ce_SHORT and fewer than 4
// characters; with ce_DIGITS, clear is set when the text holds anything but digits.
int ce__effectivelength(int art, const char* entry, bool* clear);
