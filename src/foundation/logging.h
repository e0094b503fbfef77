// The program's log files, all in the working directory, opened for each line and closed
// again so that they can be read, copied or deleted while the program runs.
//
// Every writer takes a printf format, one text s and one number li; the format holds the
// conversions for s and then, optionally, li. A negative li means "no number".
#pragma once

#include <cstddef>

void lo_slog(const char* format, const char* s, long int li);
void lo_slogx(const char* format, const char* s, long int li);
void lo_vlog(const char* format, const char* s, long int li);
void lo_vlogtime();
void lo_dlog(const char* format, const char* s, long int li);
void lo_mlog(const char* format, const char* s, long int li, bool sms1);
bool lo_logafterstandby();

// Every log file is kept below a bound: a line that finds its file at the bound first turns
// it into the old generation ("connlog.txt" becomes "connlog.1.txt", replacing the one before)
// and begins a new file. The bound is 250000 bytes for the service log (2500000 with option
// Q), 2000000 for the connection log and 1000000 for the others; the environment variable
// MAVLYN_LOGLIMIT (bytes) sets one bound for all of them.
long lo__logbound(const char* file);
// The name of the old generation of a log file.
void lo_oldlog(const char* file, char* out, size_t n);

// After-standby counter (0 = window closed) and the connection-log time stamp.
extern int lo__logafterstandby;
extern char lo__vlogtimestamp[30];

// Pure helpers of the SMS record: the file name of one received SMS in "sms_in", made of
// the time stamp "YYYY-MM-DD hh:mm:ss" and the sender found in s; and the message body.
void lo__smsfilename(char* out, size_t n, const char* stamp, const char* s);
const char* lo__smsbody(const char* s);
