// Daily statistics of data volume or online time made from the connection log, as a text
// file with a bar chart and as a CSV file; and the start-up service entry of the dialog.
#pragma once

#include <string>

// art 1: data volume into "connlog_vol.txt"/".csv"; art 2: online time into
// "connlog_tim.txt"/".csv". Asks before existing files are rewritten (the question follows the
// rule of message_box.h: the dialog's handlers call it as they run). True when both files
// were written.
bool cf__connloggrafik(int art);

// Registers a program to start with the PC: asks, then tells that this is not available.
// Nothing is registered; always false. Asks as cf__connloggrafik does.
bool cf__svcschreiben(const char* datei);

// ---- The statistics apart from files and dialogs ----

enum cf__keyword { cf__SUBTOTAL = 1, cf__DATAVOLUME = 2, cf__ONLINETIME = 3 };

// One line of the connection log that carries a volume or a time.
struct cf__logline {
    int year, month, day, hour, minute, second;
    int keyword;  // cf__keyword
    bool minutes; // the value is a time "h:mm" (in minutes), else a volume in kB
    long value;   // kB or minutes, at most cf__VALUEMAX
};
constexpr long cf__VALUEMAX = 999999999999L;

// "YYYY-MM-DD hh:mm:ss", a blank or "'NN ", a keyword in German or English, a number (blanks
// anywhere in it are ignored) and "kB" or ":mm". False for every other line.
bool cf__parselogline(const char* line, cf__logline* out);
// Whether a parsed line counts for art 1 (volume) or 2 (time).
bool cf__countsfor(const cf__logline& l, int art);

// Bar lengths n: the bar shows n + 1 characters. Volume: six steps per factor 10, 18 per
// unit k, M, G (cut at the end of the bar); time: 5 minutes a step below one hour, then 30.
int cf__volumebar(long kb);
int cf__timebar(long minutes);

int cf__daysinmonth(int month, int year);

// Lines without their CR LF.
std::string cf__dayline(int art, int day, int month, long value);
std::string cf__emptyday(int art, int day, int month);
std::string cf__csvline(int day, int month, int year, long value);
const char* cf__scalelabels(int art);
const char* cf__scaleticks(int art);

// Builds both files' contents from the log lines. The finished parts of text and csv may be
// written out and cleared at any time.
class cf__connlogstatistics {
  public:
    // info: the dialog's version line "German~English".
    cf__connlogstatistics(int art, bool german, const char* info);
    void feed(const char* line);
    // Closes the last day and writes the closing scale.
    void finish();

    std::string text, csv;

  private:
    void put(const std::string& line);
    void closeday();
    void gap(int y, int m, int d);

    int art_;
    bool haveday_ = false;
    int year_ = 0, month_ = 0, day_ = 0;
    long total_ = 0;
    long previous_ = 0;
    bool finished_ = false;
};
