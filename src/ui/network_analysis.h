// The modem tools of the configuration dialog: the network analysis (every GPRS and UMTS
// network of the scan list with its signal quality), the netlock test and the line handling
// of the service console. The pure parts take text and return text; the search thread glues
// them to the AT channel.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#define cf__NETZMAX 40

struct cf__netz_t {
    int ba;        // 1 found in the GPRS pass, 2 in the UMTS pass
    int sig;       // signal quality in percent, -1 not measured
    char plmn[7];  // network code (5 or 6 digits)
    char name[31]; // the operator's long name
    int status;    // 1 available, 2 current, 3 forbidden (0 not given)
};

extern cf__netz_t cf__netz[cf__NETZMAX];
extern int cf__netzn;
// 0 idle; 1, 2, 3 requested (GPRS, UMTS, both); while running pass * 1000 + progress.
extern std::atomic<int> cf__netzsuche;
// The port to use, empty for the device search.
extern char cf__netzport[300];
// The result view is being rewritten: its cursor moves are not clicks.
extern bool cf__netzsucheblockmark;
// Percent of the thread's waits actually waited (100; tests shorten them).
extern std::atomic<int> cf__netzzeitprozent;

// ---- pure parts

// Adds the networks of an "AT+COPS=?" answer found in pass ba to table[*n ...]; at most max
// entries in all. Returns the number added.
int cf__netzparse(const char* answer, int ba, cf__netz_t* table, int* n, int max);

// The value behind "+CSQ:" (0-32), -1 for none or an unknown value.
int cf__csqvalue(const char* answer);
// A CSQ value in percent (at most 100).
int cf__csqpercent(int value);
// The stopping rule of the signal measurement: feed every measured percent value; true when
// the measurement may stop.
struct cf__csqmess_t {
    int last = -1; // previous value
    int same = 0;  // identical non-zero values in a row
    int near = 0;  // values within 4 points of the one before
};
bool cf__csqstep(cf__csqmess_t* m, int percent);

// Sorts descending by ba * 1000 + sig (UMTS before GPRS, strongest first), stable.
void cf__netzsort(cf__netz_t* table, int n);

// One line of the result view (no line end).
std::string cf__netzzeile(const cf__netz_t& e, bool de);
// The clipboard text (at most 3800 bytes).
#define cf__CLIPMAX 3800
std::string cf__netzclip(const cf__netz_t* table, int n, bool running, bool de,
                         const char* datetime);
// The progress display of the result view for a running search's value.
std::string cf__netzfortschritt(int suche, bool de);

// Choosing a network from the result line: the combo item (0 only this network, 1 automatic
// with warning, 2 automatic) and the field are updated; false when the field would reach
// 295 characters (nothing changes).
bool cf__netzwahl(int* item, std::string* field, const char* name);

// The console's line: at most 287 characters of input, trailing CR/LF dropped, a trailing
// "\Z" ("\z"), "\E" or "\R" selects Ctrl-Z, ESC or CR as the line end (CR otherwise).
// send receives the bytes to send, shown the line as typed.
#define cf__KONSOLELEN 287
void cf__konsolezeile(const char* input, char* send, size_t sendsize, char* shown,
                      size_t shownsize);

// Whether a "+CLCK:" answer reports the lock as set.
bool cf__netlockan(const char* answer);

// The netlock test, one poll at a time. Start with cf__netlockstart, send *send; then feed
// every poll's read to cf__netlockpoll, append *show to the view and send *send when it is
// not empty. It returns false when the test has ended.
struct cf__netlock_t {
    int step = -1; // command awaiting its answer; -1 idle
    int polls = 0;
    std::string answer;
};
void cf__netlockstart(cf__netlock_t* s, std::string* send);
bool cf__netlockpoll(cf__netlock_t* s, const char* got, bool de, std::string* show,
                     std::string* send);

// ---- the search thread

// One search as the thread runs it (mode 1, 2, 3); sets cf__netzsuche to 0 at its end.
void cf__netsearch(int mode);
// The thread: one instance, started with the dialog; it serves cf__netzsuche until
// cf__netsearchend or the program end.
void* cf__netsearchthread(void*);
// Starts the thread unless it runs; true when it runs.
bool cf__netsearchstart();
// Asks the thread to end and waits for it (a running search is broken off).
void cf__netsearchend();
bool cf__netsearchrunning();
