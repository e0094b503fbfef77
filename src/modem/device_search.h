// Finding the modem: its command and data ports among the stable device names under
// "/dev/serial/by-id", its maker from the "ATI" answer, and a port for the service console.
#pragma once

#include <cstddef>

// Device numbers (geraet, and the values of key DEV).
#define GERAET_OPTION 1
#define GERAET_NOVATEL 2
#define GERAET_HUAWEI 3
#define GERAET_SIERRA 4
#define GERAET_ERICSSON 5
#define GERAET_QUALCOMM 6
#define GERAET_SAMSUNG 7
#define GERAET_ZTE 8
#define GERAET_SONY 11
#define GERAET_LG 12
#define GERAET_MANUAL 20

// Room a caller gives de_getcomport for the maker name.
#define de_MODEMNAMELEN 20

// Searches the by-id directories and sets com1, con, geraet and linksys; shows the modem
// type. modemname (null, or de_MODEMNAMELEN bytes) receives the maker name shown.
void de_getcomport(char* modemname);
// Asks the open command port for "ATI"; sets geraet, novatelu740 and comzeit.
void de_identify();
// Opens a port for the service console (null port: nothing to do); 1 success, 0 failure.
int de_portini(char* port);

// One entry of a by-id directory, as the table of known makers sees it.
enum de__use { de__USE_NONE = 0, de__USE_COMMAND = 1, de__USE_DATA = 2 };
struct de__byid_t {
    de__use use;
    const char* maker; // the maker name shown, "" for no match
    int device;
    int priority;
};
// Classifies a by-id name (or a whole path) by the maker and interface texts in it.
de__byid_t de__classifybyid(const char* name);

// The device number an "ATI" answer names (case does not matter), 0 for none.
int de__classifyati(const char* answer);
// Whether a Novatel's "ATI" answer shows a U730 or newer (neither a U530 nor a U630).
bool de__novatelnewer(const char* answer);
// The answer wait of a device: short for the quick makers.
int de__comzeit(int device);

// Searched directories; a test points the search at its own directories (null: the system's).
void de__setsearchdirs(const char* first, const char* second);
