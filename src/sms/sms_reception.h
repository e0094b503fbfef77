// SMS reception: the modem's SMS settings, fetching one stored message per call in PDU mode,
// logging it, obeying SMS commands from permitted senders, deleting it from the modem; and
// the thread that shows received SMS and credit-query answers.
#pragma once

#include "core/program_services.h"

#include <cstddef>
#include <glib.h>

// The message in hand: sender, blank, date, blank, time, blank, [zone], two line feeds, text.
extern char sm__msgnachricht[900];
// 0 idle, 1 shown by the message thread, 2 handled (deleted next), 9 reception stopped.
extern int sm_msgzustand;

// One-time SMS set-up of the modem; t is a work buffer of at least antwortLEN bytes.
void sm__ini(char* t);
// State 0: fetch and handle one message; state 2: delete the handled one.
void sm_msgholen();
gpointer sm_msgthread(gpointer par);

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

// Whether SMS command i (its permitted sender and keyword) matches a message; arg receives
// the argument (the body behind the keyword, or the whole body).
bool sm__commandmatches(int i, const char* sender, const char* body, char* arg, size_t n);
