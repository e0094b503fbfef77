// Bilingual labels: every text of the configuration dialog is kept as "German~English"
// (combo-box items "|"-separated within each language) in one table, so the whole dialog
// can change its language while it is open.
#pragma once

#include <cstddef>
#include <gtk/gtk.h>
#include <string>
#include <vector>

// The table: records of one class byte, the widget handle and the NUL-terminated UTF-8
// text; a class byte 0 ends it. Classes: 'B' button, 'C' combo box, 'E' entry (no text),
// 'G' frame, 'L' label, 'R' radio button, 'W' window, 'X' check button, 'T' tooltip.
#define ls__STORAGESIZE 60000
#define ls__TEXTMAX 2000
extern unsigned char ls__storage[ls__STORAGESIZE];
// End of the table (the class byte 0) in the block being filled.
extern unsigned char* ls__storagep;

// Creates a widget of the class ('r' is a further radio button of the last group) with the
// text in the current language, registers it and, when given, its tooltip.
GtkWidget* ls_new(char klasse, const char* text, const char* tooltip);
// Registers an existing widget and gives it the text in the current language.
void ls_element(char klasse, GtkWidget* widget, const char* text);
// Gives every registered widget its German (true) or English text.
void ls_switch(bool deutsch);
// Empties the table, before the widgets it names are built anew.
void ls_reset();

// Pure parts.
// The part of a stored text for a language: before the first '~' German, after it English;
// a text without '~' is the same in both.
std::string ls__language(const char* text, bool deutsch);
// The items of a combo-box list of one language.
std::vector<std::string> ls__items(const std::string& list);
// Number of records in the table (all blocks).
int ls__count();
// Visits every record: class, widget, text.
void ls__walk(void (*f)(char klasse, GtkWidget* w, const char* text, void* data), void* data);
