// Provider settings from the Wilvar wiki, kept in "mavlynS.ini" and offered in the
// configuration dialog, and the update query against the program's home page.
#pragma once

#include <cstddef>
#include <glib.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

// Downloads the newest revision of the settings list made by a trusted editor and writes the
// settings file; true on success. Any failure leaves an existing file as it was.
bool se_settingsupdate();
// True exactly once after a download: turns the file's state mark from "A" into "L".
bool se_settingsupdated();
// Loads the settings file and puts its entries behind the combo box's first two items.
void se_loadcombobox(GtkWidget* w);
// Makes entry number zeile (provider and further-entry lines counted from 0) the current one.
void se_setrow(int zeile);
// Whether the current entry is a provider line (the only kind with fields).
bool se__rowisprovider();
// Copies field ele (3 PLMN ... 12 HOMO) of the current entry into the entry widget w;
// true when the value is not empty.
bool se_loadfield(int ele, GtkWidget* w);
// Frees the loaded file.
void se_end();
// Runs se_settingsupdate, keeps its result in cf__settingsupdatethread_ok and then presses
// endbutton inside the GUI lock.
gpointer cf__settingsupdatethread(gpointer endbutton);
extern volatile bool cf__settingsupdatethread_ok;
// Starts cf__settingsupdatethread unless one runs; the thread holds a reference to the button
// until it is done.
bool se__updatestart(GtkWidget* endbutton);
bool se__updaterunning();
// True while the update thread itself presses its end button.
bool se__pressedbythread();
// Asks the home page for the published version and opens the matching page in the browser.
void se_updatequery();

// The hosts (with an optional ":port") of the sibling program's wiki and of our home page.
extern const char* se__wikihost;
extern const char* se__homehost;
#define se__VERSIONNR 400
#define se__MARKOFFSET 27
#define se__TEXTMAX 100

// ---- pure parts

// Whether a wiki user name is one of the trusted editors (case ignored, whole name only).
bool se__trusted(const std::string& user);
// The path of the newest revision by a trusted editor in a history page, with "&amp;"
// decoded and "&action=edit" appended; "" when there is none.
std::string se__revisionaddress(const char* page);
// The content of the edit box "wpTextbox1" of an edit page; false without one.
bool se__editboxtext(const char* page, std::string* text);
// The whole settings file for a page source: head with the state mark "A", the body with CR
// LF line ends, single-byte letters and decoded entities, and the closing "*****".
std::string se__settingsfile(const std::string& source);
// The body of an HTTP answer, a chunked one decoded; an answer without a head is all body.
std::string se__httpbody(const char* answer);
// The published version number of a version-file answer, or -1 without a version text.
long se__publishedversion(const char* answer);
// The home-page path the update query opens for a version answer (-1: none).
const char* se__updatepage(long published, bool deutsch);

enum se__kind { se__PROVIDER, se__FURTHER };
struct se__entry {
    se__kind kind;
    size_t line;      // offset of the entry's line in the file
    std::string text; // the list text, single-byte letters as in the file
};
// The list entries of a settings file, in file order.
std::vector<se__entry> se__entries(const char* mem, size_t n);
// The value of "|NAME=" on the line at line (up to the line end); false when absent.
bool se__field(const char* mem, size_t n, size_t line, const char* name, std::string* value);
// The field name of se_loadfield's number, or nullptr.
const char* se__fieldname(int ele);
