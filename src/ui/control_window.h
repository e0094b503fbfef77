// The control window: the status display in its forms (regular window with seven fields,
// mini window with one coloured line, panel icon, none) and the control menu, whose entries
// only raise request flags that their owners carry out.
#pragma once

#include "core/user_contact.h"

#include <gtk/gtk.h>
#include <string>
#include <vector>

// Builds and pops up the control menu at the pointer.
void cc_menu();
// The window's share of the timer tick, every two seconds.
void cc_tick();
// In the icon form: takes the main panel icon away.
void cc_quit();
bool cc_maximized();
void cc_seticon();
void setcolor(GtkWidget* w, const char* c);
bool svclesen(char* datei);

// Pure parts.
// Background of a regular-window field by the line's marker.
const char* cc__fieldcolour(char marker);
// Background of the mini window.
const char* cc__minicolour(char marker, bool online, bool greengprs, const char* minitext);
// The window title from the icons' text forms, the start title or the configuration comment.
std::string cc__title(const char* const icons[5], const char* inititel, const char* rem);

enum cc__itemkind { cc__PLAIN, cc__CHECK, cc__SEPARATOR };
struct cc__item {
    cc__itemkind kind;
    std::string label;
    int code;
    bool sensitive;
    bool active;
};
// The menu's items for the current state and role.
std::vector<cc__item> cc__menuitems();
// What a menu entry does (the selection handler without its GTK context).
void cc__select(int code);
