// The small entry dialog for a PIN or a code, and the language choice at installation.
#pragma once

#include "core/user_contact.h"

#include <gtk/gtk.h>

// The open dialog's state, for its handlers (and the tests that look at the buttons).
extern int ce__inputart;
extern int ce__ret;
extern GtkWidget* ce__buttonapply;
extern GtkWidget* ce__buttonsave;

// Length of the entry as the buttons see it: 0 when flag ce_SHORT and fewer than 4
// characters; with ce_DIGITS, clear is set when the text holds anything but digits.
int ce__effectivelength(int art, const char* entry, bool* clear);
