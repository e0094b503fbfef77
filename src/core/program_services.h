// Services of the upper layers that the lower ones call: user programs, process flags and
// the instances behind them (control), the HTTP client and the dial-up's start state
// (connection), the hand-overs to SMS sending and reception (sms). Declared here, defined
// there, so that config, modem, connection and sms include no header above their own layer.
#pragma once

#include <cstddef>

// ---- User programs (control/command_files.cpp) ----
// The marks in front of a configured command line: hidden, at program start, at program end,
// at every connection.
bool sp_ishidden(const char* cm);
bool sp_atstart(const char* cm);
bool sp_atend(const char* cm);
bool sp_ateveryconnect(const char* cm);
// The command behind the leading marks.
const char* sp_cstart(const char* cm);
// Starts the slot's command through the shell; a '.at' file goes to the modem instead.
void sp_start(int idx, const char* cm);
// Ends the slot's program (SIGTERM, SIGKILL after a short grace) when its line has a stop mark
// ('!' or ','), else lets it run on detached; never waits longer than the grace. True when
// the slot had a program.
bool sp_stop(int idx);

// ---- Program end (control/program_end.cpp) ----
// Ends the program, whatever else is pending: a pause that was asked for gives way to the end.
[[noreturn]] void programmende_endgueltig();

// ---- Process flags and instances (control/instance_interface.cpp) ----
// Process flags. The keys are the globals aktivsignal, endesignal, konfigaktivsignal and
// smssignal of the session state.
void fl_set(unsigned long key);
void fl_clear(unsigned long key);
bool fl_query(unsigned long key);
// The pid of the live process that raised the flag, 0 when it is clear.
long fl_holder(unsigned long key);

bool ia_instance_isactive();
bool ia_configinstance_isactive();

// ---- Connection (connection/) ----
// The response (headers included) as a NUL-terminated text the caller frees with free(), or
// null when nothing arrived. timeout: negative no request, 1 = 2000 ms, 2 = 8000 ms, else ms;
// 0 sends the request (waiting up to a second for the connection) and receives nothing.
// The host may carry a ":port" (default 80).
char* iz_httpget(const char* url, const char* user, const char* pass, int timeout, int frame,
                 bool meld);
// Whether a connection was up already when the program started.
bool cn_wasactiveatstart();

// ---- SMS (sms/) ----
// 1: a credit-query answer waits in sm_msgprepaidnachricht for the message thread.
extern int sm_msgprepaidzustand;
extern char sm_msgprepaidnachricht[900];
// Sends the next message waiting in "sms_send".
void sm_msgsenden();
// Carries out a built-in command word (0 connect, 1 disconnect, 2 reconnect, 3 end, as in
// kommandos) given by an SMS or by a call, with its connection-log line.
void sm__builtincommand(int word, bool bysms);
// A command line with the placeholders of an SMS or a call filled in: "%%" "%", "%0" the
// sender without its "+" (only for a sender beginning with "+"), "%1" the sender, and for
// SMS (arg not null) "%2" the argument and "%3" the argument with everything but letters,
// digits, blank, '_' and '.' replaced by '_'. The sender and "%2" are inserted with the
// characters a shell would interpret replaced by '_', since the text comes from outside.
// "%2" and "%3" stay one word each, inner blanks included (those around the argument go):
// outside quotes of the command line they are put in single quotes, and a leading '-'
// becomes '_', so a sender cannot pass options.
void sm__expand(const char* cmd, const char* sender, const char* arg, char* out, size_t n);
