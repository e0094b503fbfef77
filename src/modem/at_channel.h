// The one channel through which the program talks to the modem's command port: open the
// serial device, write AT commands, read answers, log the dialogue. Substitutes for a real
// port: simulation ("NONE"), single-port mode (the command port is the dial-up port and is
// closed while online) and the secondary port that wraps commands in diagnostic packets.
//
// Calling pattern (cm_exchange in one step): cm_puts(command), wait comzeit, cm_gets(buffer),
// wait comzeit, then look for "OK", "ERROR" or the expected keyword. The answer buffer must
// hold at least 1000 bytes (antwortLEN).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define antwortLEN 5000
#define ANTWORTZEIT2 (cm_secport ? 400 : comzeit)

void cm_ini();
void cm_postini();
bool cm_open(const char* port, int timeo);
void cm_change();
bool cm_puts(const char* t);
bool cm_putm(const char* t, int tlen);
void cm_gets(char* t, int wartezeit);
// The calling pattern in one step: send cmd, wait before ms, read the answer into t, wait
// after ms. A negative time stands for comzeit.
void cm_exchange(const char* cmd, char* t, long before = -1, long after = -1);
void cm_userat(const char* dp);
void cm_close();
void cm_preend();
void cm_end();
bool cm_isopen();
bool cm_issim();
bool cm_singleport();
// Single-port mode on or off (start-up sets it for device type 6 or a second port "NONE").
void cm_setsingleport(bool on);

extern bool cm_secport;
extern char cm_secporttext0[700];

// Diagnostic packets of the secondary port.
#define cm__PACKETLEN 651
#define cm__PACKETTEXT 20
uint16_t cm__fcs16(const unsigned char* p, size_t n);
// Command packet (fetch false, text at most 20 bytes) or fetch-answer packet (fetch true).
void cm__buildpacket(unsigned char* pkt, const char* text, bool fetch, bool u740);

// Pure parts of the channel, apart from the port.
// The canned answer for a simulated command (empty when there is none).
void cm__simanswer(const char* cmd, const char* conname, char* out, size_t n);
// Whether a command is answered from canned text on a device of type 6 (no real query).
bool cm__simulatedcommand(const char* cmd, int device);
// The log line of a sent command, with the PIN masked.
void cm__commandlog(const char* cmd, bool secondary, char* format, size_t n);
// A copy of an answer in which the digits behind "IMEI" are replaced by 'x'.
void cm__maskimei(const char* in, char* out, size_t n);
// Replaces the digits of a PIN or PUK that the modem echoed ("AT+CPIN=1234") by 'x', in place.
void cm__maskpinecho(char* t);

// Corrects the text length of a secondary-port answer (bytes 0-3 already blanks, text from 4)
// by its syntax; returns the log text to write, or null.
const char* cm__correctlength(char* t, int lenbyte);

// Whether the n bytes read so far end with a final result code ("OK", "ERROR", "+CME ERROR:
// …", "NO CARRIER", …) on a line of its own, or with the SMS text prompt.
bool cm__answercomplete(const char* t, size_t n);

// The read-error score after one read: n bytes (-1 failed). alarm is set when the failure
// must be shown first; the result above 9 asks for a pause.
int cm__nextscore(int score, long n, bool console, bool* alarm);

// One piece of a user command string and what follows it.
enum cm__sep { cm__SEP_END, cm__SEP_CR, cm__SEP_CR_READ, cm__SEP_PAUSE, cm__SEP_LONGPAUSE };
struct cm__piece {
    std::string bytes;
    cm__sep sep;
};
std::vector<cm__piece> cm__splituserstring(const char* s);
