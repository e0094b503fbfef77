// SMS reception: the modem's SMS settings, fetching one stored message per call in PDU mode,
// logging it, obeying SMS commands from permitted senders, deleting it from the modem; and
// the thread that shows received SMS and credit-query answers.
#pragma once

#include <cstddef>
#include <glib.h>

// The message in hand: sender, blank, date, blank, time, blank, [zone], two line feeds, text.
extern char sm__msgnachricht[900];
// 0 idle, 1 shown by the message thread, 2 handled (deleted next), 9 reception stopped.
extern int sm_msgzustand;
// 1: a credit-query answer waits in sm_msgprepaidnachricht for the message thread.
extern int sm_msgprepaidzustand;
extern char sm_msgprepaidnachricht[900];

// One-time SMS set-up of the modem; t is a work buffer of at least antwortLEN bytes.
void sm__ini(char* t);
// State 0: fetch and handle one message; state 2: delete the handled one.
void sm_msgholen();
gpointer sm_msgthread(gpointer par);

// Carries out a built-in command word (0 connect, 1 disconnect, 2 reconnect, 3 end, as in
// kommandos) given by an SMS or by a call, with its connection-log line.
void sm__builtincommand(int word, bool bysms);

// Forgets what the reception keeps for the process (set-up done, message in hand, a program
// end ordered by SMS), as at a fresh start.
void sm__forget();

// Pure parts.
// The storage index of an "AT+CMGL" answer; -1 for an "ERROR" that begins within the first
// 30 bytes, or when no "+CMGL:" with an index is there.
int sm__listindex(const char* answer);
// The PDU line of an "AT+CMGR" answer (the line behind "+CMGR:"); false for an "ERROR"
// within the first 20 bytes, an answer of 800 bytes or more, or no "+CMGR:".
bool sm__readpdu(const char* answer, char* pdu, size_t n);

// A command line with the placeholders of an SMS or a call filled in: "%%" "%", "%0" the
// sender without its "+" (only for a sender beginning with "+"), "%1" the sender, and for
// SMS (arg not null) "%2" the argument and "%3" the argument with everything but letters,
// digits, blank, '_' and '.' replaced by '_'. The sender and "%2" are inserted with the
// characters a shell would interpret replaced by '_', since the text comes from outside.
// "%2" and "%3" stay one word each, inner blanks included (those around the argument go):
// outside quotes of the command line they are put in single quotes, and a leading '-'
// becomes '_', so a sender cannot pass options.
void sm__expand(const char* cmd, const char* sender, const char* arg, char* out, size_t n);

// Whether SMS command i (its permitted sender and keyword) matches a message; arg receives
// the argument (the body behind the keyword, or the whole body).
bool sm__commandmatches(int i, const char* sender, const char* body, char* arg, size_t n);
