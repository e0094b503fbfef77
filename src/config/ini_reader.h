// Reading "mavlyn.ini": the only access to the file, the line rules that fill the configuration
// record and repair what they can, the header line and the role of a program name. The
// start-up sequence around it is control/start_sequence.h.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens inidatei with the given fopen mode, with retries while another program holds it.
bool iv_iniopen(const char* modus);
void iv_iniclose();

// The open file (null when closed); the writer uses it too.
extern FILE* iv__fii;

// The longest line read; the rest of a longer line is skipped.
#define iv__LINEMAX 1179

// ---- Pure parts of the reading, apart from the file ----

// State of one reading: key CONA seen, line INIWRITEEXIT seen.
struct iv__readstate {
    bool cona = false;
    bool exit = false;
};

// Reads one line of the file (or one program parameter) into inidat by the line rules;
// every tolerated deviation sets _inidatneu.
void iv__readline(const char* line, iv__readstate* st);

// Key MAXV (time false, kilobytes) or MAXT (time true, minutes): three numbers with unit
// letters. True when the value must be rewritten.
bool iv__readlimits(const char* v, long out[3], bool time);
// Key ENDC into the two window times (minutes, -1 unset) and the end flag. True when a time
// was out of range.
bool iv__readendc(const char* v, int* start, int* end, bool* endflag);
// Key ERR into err[0..7]. True when the value must be rewritten.
bool iv__readerr(const char* v, int* err);

// The status port next to a command port: the last digit raised by one with carry rules.
void iv__nextport(const char* com1, char* com2, size_t n);
// com1, com2, com1none and secportmanuell from comport (not for "?").
void iv__ports();

// Line 01 into the header fields. rolefromname: the program name already gave a role.
void iv__readheader(const char* line, bool rolefromname);

// Role of a program name (path, case and ".exe" allowed); -1 for a name of no role.
int iv__rolebyname(const char* name);

// The name the program runs under and where its parameters start.
struct iv__invocation {
    char programm[30];
    int funktion;   // -1 unknown name
    int firstparam; // index of the first word read as a line
    int language;   // 0 unchanged, 1 German, 2 English (installer's second step)
    bool installsub;
};
void iv__invocationrole(int argc, char** argv, iv__invocation* out);

// A line of the file as the service log lists it ("--- " is added by the caller), the PIN
// value masked; false for lines that are not listed.
bool iv__servicelogline(const char* line, char* out, size_t n);

// The directory of a "DIR=" line (quotes, blanks and final slashes removed); false for none.
bool iv__dirvalue(const char* line, char* out, size_t n);

// Reads one line of at most iv__LINEMAX characters; the rest of a longer line is dropped,
// so that it cannot be read as a line of its own.
bool iv__readfileline(FILE* f, char* buf, size_t n);
