// The second half of each pass of the monitoring cycle: traffic figures, the displayed mode,
// a new network, the status lines and the shared record, the acoustic signal strength, the
// battery, the volume/time limits, the homezone, the permission to connect and the turns of
// command files, SMS and prepaid tasks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the cycle knows of the current pass and keeps between passes.
struct mt__cycle_t {
    long pass = 0;         // pass counter; 9999 once connecting is permitted
    int mode = -1;         // this pass's operating mode
    int modealt = -1;      // the previous pass's
    char name[80] = "";    // network name of this pass
    char namealt[80] = ""; // and of the previous pass
    int searchcount = 0;   // unregistered tries in a row
    int servicecount = 8;  // Limited-Service passes until the next notice
    bool searchshown = false;
    long up = -1, down = -1; // B/s from the accounting; negative: no connection
    long volume = 0;         // kB this month
    char speedtext[40] = "";
    char volshort[20] = "";
    char uptext[30] = "";
    char downtext[30] = "";
    char voltext[30] = "";
    char modeletter = ' ';
    const char* modetext = "";
    int homezonelast = 0; // last announced homezone status
    int battery = 0;      // 0..18, the battery is read at 0
};

// The first half (statistics, texts, mode from speed), before the Limited-Service check.
void mt__evaluation1(mt__cycle_t& c);
// The second half (network change, lines, record, limits, homezone, permission, turns).
void mt__evaluation2(mt__cycle_t& c);

// ---- Pure parts ----

// The displayed mode from the modem's mode and the speeds: returns the mode and gives its
// letter and text.
int mt__modefromspeed(int mode, long up, long down, char* letter, const char** text);
// "%3li %03li %03li kB"
void mt__volumetext(long kb, char* out, size_t n);
// "%5li.%01li kB/s", or "offline" for a negative speed.
void mt__speedline(long bps, char* out, size_t n);
// The short speed text of the larger speed with its arrow; "" when below 500 B/s and
// slowtoo is false, or when there is no connection.
void mt__speedshort(long up, long down, bool slowtoo, char* out, size_t n);
// Whether a name counts as a new network against the previous pass.
bool mt__newnetwork(const char* name, const char* namealt, const char* lacnow, const char* lacold);
// Whether the allowed-network list (beginning with ';') admits the name or the code.
bool mt__networkallowed(const char* list, const char* name, const char* code);
// The main status line from name, network code, location area and cell id ("" or a first
// byte 1 for unknown).
void mt__mainline(const char* name, const char* code, const char* area, const char* cell, char* out,
                  size_t n);
// Limit levels: 0 below, 1 pre-warning, 2 warning; third limit separately.
int mt__limitlevel(long kb, long minutes, const long max[3], const long maxt[3]);
bool mt__limitexceeded(long kb, long minutes, const long max[3], const long maxt[3]);
// Marker of the volume or time line: '*' warning, '+' pre-warning, ' ' otherwise.
char mt__limitmarker(long value, const long limits[3]);
// Whether connecting may be permitted in this pass.
bool mt__permitted(long pass, bool signalknown, bool modex, int device, bool simulation);
// The battery charge of a "+CBC:" answer (0 unknown).
int mt__batterycharge(const char* answer);

// One tone or pause of an acoustic signal: fq 0 is silence.
struct mt__tone {
    int fq;
    int ms;
    bool operator==(const mt__tone& o) const { return fq == o.fq && ms == o.ms; }
};
// The frequency at which a percentage is announced.
int mt__morsefrequency(int percent);
// The percent (at most 99) as two abbreviated Morse numerals: the tens at the previous
// percent's frequency, the units at the current one's.
std::vector<mt__tone> mt__morsesignal(int previous, int percent);
