// Network service codes (USSD): the query with its answer decoded, the prepaid tasks (credit
// query, top-up, SMS to the operator, raw device commands) and the homezone status.
#pragma once

#include <cstddef>

// t holds the code on entry and the answer text on return ("" = none); at least 1000 bytes.
void cm_ussdquery(char* t);
// Sets homezonestatus from one query (USSD code or web page).
void cm_homezonequery();
// Carries out the pending prepaid requests. port: the command port to open (null: the open
// channel); t: a work buffer of at least 1000 bytes.
void prepaid_aufgaben(const char* ppq, const char* ppc, char* port, char* t);

// How codes are sent, learnt once per process: 0 not known, 1 plain, 2 packed 7-bit hex.
extern int cm__ussdmode;

// Pure parts.
// The text between the quotes behind "+CUSD:" (or "+cusd:"); found tells whether the keyword
// was there at all, dcs receives the data coding scheme behind the text (-1 when none).
// False without both quotes.
bool cm__ussdanswer(const char* answer, char* out, size_t n, bool* found, int* dcs);
// An answer text in place: UCS-2 hex (by its coding scheme, or by its look), else packed 7-bit
// hex, else as it is.
void cm__ussddecode(char* t, int dcs);
// The top-up code: the first "<INPUT>", "<input>" or "<Input>" of the template replaced by
// the input; the input alone when both together are too long; the template as it is
// without a placeholder.
void cm__topupcode(const char* templ, const char* input, char* out, size_t n);
// An input "SMS:[+]digits<separator>text" as a queue file name (in "sms_send") and its
// content; false for anything else.
bool cm__operatorsms(const char* input, char* name, size_t nn, char* content, size_t cn);
// A device command ":[wait]:[answer time]:command"; false unless it begins with ':'.
bool cm__devicecommand(const char* cmd, int defaultwait, int* wait, int* answertime, char* at,
                       size_t n);
// 1 when the answer holds the inside text, 2 when it holds the outside text (checked last),
// 0 otherwise; empty texts never match.
int cm__homezone(const char* answer, const char* inside, const char* outside);
// The network's answer as shown: 0x81 and 0x84 as ü and ä, other control characters as '_',
// two blanks behind it.
void cm__creditanswer(const char* answer, char* out, size_t n);
