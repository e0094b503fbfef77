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

// After-standby counter (0 = window closed) and the connection-log time stamp.
extern int lo__logafterstandby;
extern char lo__vlogtimestamp[30];

// Pure helpers of the SMS record: the file name of one received SMS in "sms_in", made of
// the time stamp "YYYY-MM-DD hh:mm:ss" and the sender found in s; and the message body.
void lo__smsfilename(char* out, size_t n, const char* stamp, const char* s);
const char* lo__smsbody(const char* s);
