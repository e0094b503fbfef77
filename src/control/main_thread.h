// The main worker thread: configuration, modem preparation and the monitoring cycle.
// The modem answers are taken apart by the small functions below, which neither wait nor
// talk to the port; mt_mainthread glues them to the channel, the globals and the sleeps.
#pragma once

#include <cstddef>
#include <glib.h>

gpointer mt_mainthread(gpointer par);

// Takes the commands of the shared record, and of the command files every two seconds.
void mt__pollcommands();
// A wait of the main thread: commands are taken at least every second meanwhile; ends early
// when the program is to end or to pause.
void mt__wait(unsigned long ms);

// Signal state: percent 0..100 (-1 unknown), the previous percent, -dBm as a positive
// number, the display texts, failed readings in a row and weak readings in a row (0..9).
extern int mt__sig;
extern int mt__sigalt;
extern int mt__sigd;
extern char mt__sigs[20];
extern char mt__sigsmini[20];
extern int mt__sigfail;
extern int mt__siggelb;

// Reads the signal strength; altwert keeps the current percent as the previous one first.
void mt__sigauslesen(bool altwert);

// ---- Pure parts of the cycle ----

// The raw value (0..99) behind "CSQ: ", -1 when there is none.
int mt__csqraw(const char* answer);
// The raw value of the "+CIND:" signal indicator (0..5 as 0, 3, 9, 15, 21, 27), -1 for none.
int mt__cindraw(const char* answer);
// One reading (raw -1 = none) applied to the signal state and the shared record's fields.
void mt__sigreading(int raw, int device);

// The network selection command for the configured network; false when it is automatic
// (then out holds "AT+COPS=0\r").
bool mt__selectioncommand(const char* net, char* out, size_t n);
// Whether an Option "AT+COPS?" answer shows the configured name already selected by hand.
bool mt__alreadyselected(const char* answer, const char* net);

// Registration: the text behind the keyword ("CGREG: " or "CREG: "), null when missing.
const char* mt__regtext(const char* answer, const char* key);
// The status digit of a registration text "n,s..." ('1' home, '5' roaming), 0 when the
// text has no such form.
char mt__regstatus(const char* t);
// Location area and cell id behind the status of a registered text; a field whose first
// byte is 1 (not supported by this modem) is skipped and left alone.
void mt__reglocation(const char* t, char* lacout, size_t nl, char* cidout, size_t nc);
// The network name of an "AT+COPS?" answer, without its quotes; 0 no quoted name, 1 a name
// of printable characters, 2 a name with other characters (still copied). *after points
// behind the closing quote (for the access technology).
int mt__copsname(const char* answer, char* name, size_t n, const char** after);
// The cell-data answer of step "AT+CGREG=2 / AT+CGREG?" (or CREG for ZTE): location area and
// cell id, quoted or as unquoted hex; false (ucid emptied by the caller) when neither form.
bool mt__celldata(const char* answer, const char* key, char* lacout, size_t nl, char* cidout,
                  size_t nc);
// cidkurz and rnc from a cell id.
void mt__splitcell(const char* cid, char* kurz, size_t nk, char* r, size_t nr);
// Operating modes from the device answers: 0 none, 1 GPRS, 2 UMTS, 5 EDGE, 6 HSPA.
int mt__modezpas(const char* answer);
int mt__modenwrat(const char* answer);
int mt__modecops(const char* afterquote);
// The network code of an "AT+COPS?" answer in numeric format ("" when none).
void mt__plmn(const char* answer, char* out, size_t n);
// The name as the cycle keeps it: between its quotes, dropped at 79 characters or more,
// "FFFFF..." shortened to "FFFFF".
void mt__cleanname(char* name);
// The mini line with its percentage replaced by sigmini (step between full passes); false
// when the line has no percentage in the expected place.
bool mt__minireplace(char* line, size_t n, const char* sigmini);
