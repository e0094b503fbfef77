// SMS sending: one queued file of "sms_send" per call sent as a PDU-mode SMS, then moved to
// "sms_out"; an identical repeat of the last message is dropped. A message the modem refuses
// waits 1, 5 and 30 minutes between tries and is then moved to "sms_failed"; one the modem
// took without confirming it in time counts as sent, so that it never goes twice.
#pragma once

#include "core/program_services.h"

#include <cstddef>

// Forgets the last message taken for sending and the refused tries, as at a fresh start.
void sm__forgetsent();

// Pure parts.
// The recipient of a queue file name "sms_...__[-]digits[._...]" (at least two digits, at
// most 39 characters); international is false for a leading "-". False for any other name.
bool sm__queuerecipient(const char* name, char* recipient, size_t n, bool* international);
// The text of a queue file as sent: a trailing Ctrl-Z dropped.
void sm__queuetext(char* text);
