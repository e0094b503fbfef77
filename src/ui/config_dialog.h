// The configuration dialog: a window of ten pages that edits the configuration record. One
// event-driven function: event 1 builds and runs it, every signal of the dialog comes back
// with a two-letter event identifier.
#pragma once

#include <gtk/gtk.h>
#include <string>

// Event 1: build, run until OK (1) or Cancel (0). Other events: handle, return the current
// result (-1 while the dialog runs).
int cf_dialog(int eid, GtkWidget* widget);
// Presses a button of the dialog from code (the timer tick does so for the SMS page).
void cf_buttonclicked(GtkWidget* button);

// Two letters packed into one event identifier.
constexpr int cf__eid(char a, char b) {
    return static_cast<unsigned char>(a) * 256 + static_cast<unsigned char>(b);
}

// Text views: set (at most 1003 bytes), append and scroll; sensitivity of a widget that exists.
void cf__DTS(GtkWidget* view, const char* text);
void cf__DTA(GtkWidget* view, const char* text, bool home);
void cf__DSS(GtkWidget* widget, bool on);

// Generic signal handlers; the event identifier is their user data.
void cf__button(GtkWidget* w, gpointer eid);
void cf__selected(GtkWidget* w, gpointer eid);
gboolean cf__focus(GtkWidget* w, GdkEvent* ev, gpointer eid);
void cf__page(GtkNotebook* nb, gpointer page, guint num, gpointer eid);
gboolean cf__closewindow(GtkWidget* w, GdkEvent* ev, gpointer eid);
gboolean cf__key(GtkWidget* w, GdkEventKey* ev, gpointer eid);

// ---- Conversions between the fields and the record, apart from the widgets ----

// "HH:MM" (also "H:MM", "HH.MM", "HHMM", "HH") as minutes of the day, at most 1439;
// -1 for an empty or unreadable text.
int cf__timeminutes(const char* text);
// Minutes of the day as "HH:MM"; "" for -1.
std::string cf__timetext(int minutes);
// Battery limits: each clamped to 0..100, the display limit raised to the warning limit.
void cf__battery(int* display, int* warn);
// Network selection: item 0 only this network, 1 automatic with warning, 2 all networks.
std::string cf__network(int item, const char* entry);
// The item and the entry text for a stored network.
int cf__networkitem(const char* net, std::string* entry);
// Connection monitoring: mode 0 passive, 1 DNS soft, 2 DNS frequently, 3 ICMP ping.
std::string cf__ping(int mode, const char* ip1, const char* ip2, const char* ip3);
int cf__pingmode(const char* ping, std::string ips[3]);
// An IP entry rewritten as "%03i.%03i.%03i.%03i", each number clamped to 0..255; "" stays "".
std::string cf__iptext(const char* text);

// One user command block. Triggers: 0 never, 1 program start, 2 program end, 3 first
// connection, 4 every connection, 5 SMS reception, 6 incoming call.
struct cf__command {
    int trigger = 0;
    bool hidden = false;
    std::string command, sender, keyword;
};
struct cf__commandrecord {
    char cmd[300];
    int sms;
    char smsnr[30];
    char smskey[300];
};
cf__commandrecord cf__commandstore(const cf__command& c);
cf__command cf__commandload(const char* cmd, int sms, const char* smsnr, const char* smskey);

// Limits: number and unit item (volume kB/MB/GB, time minutes/hours/days) to the stored
// value, and back with the largest unit that divides it.
long cf__limit(long number, int unit, bool time);
void cf__limitsplit(long value, bool time, long* number, int* unit);
// Field clamps applied when the focus leaves.
long cf__clamplimit(long v, int unit);
long cf__clampround(long v);
long cf__clamperr(long v);
// Reset-day combo: 33 items, days 1..31, every day (32), never (99); -1 no item.
int cf__dayitem(int day);
int cf__day(int item);
// Panel icon combo.
int cf__iconitem(int icon);
int cf__icon(int item);
// Countdown radio (0 none, 1 connection by time, 2 connection if idle, 3 program by time,
// 4 program if idle) from and to the end fields.
int cf__endradio(unsigned long end, bool endforce, bool endverb);
void cf__endfields(int radio, unsigned long minutes, unsigned long* end, bool* endforce,
                   bool* endverb);
// Actual values of the counters.
std::string cf__volumecounter(long kb);
std::string cf__timecounter(long minutes);
// A number typed into an entry (leading blanks allowed, other characters end it); 0 for none.
long cf__number(const char* text);
// The hint shown above the pages for a hint code, null for none.
const char* cf__hinttext(char code);
