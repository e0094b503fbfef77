#include "ui/connlog_statistics.h"

#include "foundation/handles.h"

#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/replacing_file.h"
#include "foundation/utilities.h"
#include "ui/message_box.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* VOLUMEBAR = "kkkkkkkkkkkkkkkkkkMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGGGGGGGTTTTTT";
constexpr int VOLUMEBARLEN = 60;
constexpr const char* TIMEBAR = "mmmmmmmmmmmm"
                                "hhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhh";
constexpr const char* GAPLINE = ".                .";
constexpr const char* CRLF = "\r\n";

bool digits(const char* s, int n, int* value) {
    int v = 0;
    for (int i = 0; i < n; i++) {
        if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

bool midnight(int hour, int minute) {
    return hour == 0 && minute < 2;
}

void nextday(int* y, int* m, int* d) {
    if (++*d > cf__daysinmonth(*m, *y)) {
        *d = 1;
        if (++*m > 12) {
            *m = 1;
            ++*y;
        }
    }
}

void previousday(int* y, int* m, int* d) {
    if (--*d < 1) {
        if (--*m < 1) {
            *m = 12;
            --*y;
        }
        *d = cf__daysinmonth(*m, *y);
    }
}

long saturated(long a, long b) {
    return a > cf__VALUEMAX - b ? cf__VALUEMAX : a + b;
}

std::string format(const char* fmt, auto... args) {
    char buf[200];
    snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

} // namespace

// ======================================================================= pure parts

bool cf__parselogline(const char* line, cf__logline* out) {
    if (!line || !out) return false;
    cf__logline l{};
    if (strnlen(line, 20) < 20) return false;
    if (!digits(line, 4, &l.year) || line[4] != '-' || !digits(line + 5, 2, &l.month) ||
        line[7] != '-' || !digits(line + 8, 2, &l.day) || line[10] != ' ' ||
        !digits(line + 11, 2, &l.hour) || line[13] != ':' || !digits(line + 14, 2, &l.minute) ||
        line[16] != ':' || !digits(line + 17, 2, &l.second))
        return false;
    // The calendar steps between days need a real month and day.
    if (l.month < 1 || l.month > 12 || l.day < 1 || l.day > 31) return false;

    const char* p = line + 19;
    int marker;
    if (*p == ' ')
        p++;
    else if (*p == '\'' && digits(p + 1, 2, &marker) && p[3] == ' ')
        p += 4;
    else
        return false;

    static constexpr struct {
        const char* word;
        int keyword;
    } words[] = {{"Subtotal:", cf__SUBTOTAL},      {"Zwischensumme:", cf__SUBTOTAL},
                 {"Data volume:", cf__DATAVOLUME}, {"Datenvolumen:", cf__DATAVOLUME},
                 {"Online time:", cf__ONLINETIME}, {"Onlinezeit:", cf__ONLINETIME}};
    l.keyword = 0;
    for (const auto& w : words) {
        size_t n = strlen(w.word);
        if (strncmp(p, w.word, n) == 0) {
            l.keyword = w.keyword;
            p += n;
            break;
        }
    }
    if (!l.keyword) return false;

    long v = 0;
    bool any = false;
    for (; *p == ' ' || isdigit(static_cast<unsigned char>(*p)); p++) {
        if (*p == ' ') continue;
        any = true;
        int d = *p - '0';
        v = v > (cf__VALUEMAX - d) / 10 ? cf__VALUEMAX : v * 10 + d;
    }
    if (!any) return false;

    int mm;
    if (p[0] == 'k' && p[1] == 'B') {
        l.minutes = false;
        l.value = v;
    } else if (p[0] == ':' && digits(p + 1, 2, &mm)) {
        l.minutes = true;
        l.value = v > (cf__VALUEMAX - mm) / 60 ? cf__VALUEMAX : v * 60 + mm;
    } else {
        return false;
    }
    *out = l;
    return true;
}

bool cf__countsfor(const cf__logline& l, int art) {
    if (art == 1) return !l.minutes && (l.keyword == cf__SUBTOTAL || l.keyword == cf__DATAVOLUME);
    if (art == 2) return l.minutes && (l.keyword == cf__SUBTOTAL || l.keyword == cf__ONLINETIME);
    return false;
}

int cf__volumebar(long v) {
    if (v < 0) v = 0;
    int base;
    long x;
    if (v < 1000) {
        base = 0;
        x = v * 10;
    } else if (v < 1000000) {
        base = 18;
        x = v / 100;
    } else if (v < 1000000000) {
        base = 36;
        x = v / 100000;
    } else {
        base = 54;
        x = v / 100000000;
    }
    if (x >= 1000) {
        base += 12;
        x /= 100;
    } else if (x >= 100) {
        base += 6;
        x /= 10;
    }
    if (x >= 68)
        base += 5;
    else if (x >= 47)
        base += 4;
    else if (x >= 33)
        base += 3;
    else if (x >= 22)
        base += 2;
    else if (x >= 15)
        base += 1;
    // From 10 TB a day on the bar would be longer than its characters.
    return base < VOLUMEBARLEN ? base : VOLUMEBARLEN - 1;
}

int cf__timebar(long t) {
    if (t < 0) t = 0;
    if (t > 1439) t = 1439;
    return static_cast<int>(t < 60 ? t / 5 : t / 30 + 10);
}

int cf__daysinmonth(int month, int year) {
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return year % 4 ? 28 : 29;
    default:
        return 31;
    }
}

std::string cf__dayline(int art, int day, int month, long value) {
    std::string s = format("%02i.%02i.", day, month);
    if (art == 1) {
        s += format("%10.06li ", value);
        s.append(VOLUMEBAR, cf__volumebar(value) + 1);
    } else {
        long t = value > 1440 ? 1440 : value;
        s += format(" %02li:%02li ", t / 60, t % 60);
        s.append(TIMEBAR, cf__timebar(value) + 1);
    }
    return s;
}

std::string cf__emptyday(int art, int day, int month) {
    return art == 1 ? format("%02i.%02i.%10.06i .", day, month, 0)
                    : format("%02i.%02i. 00:00 .", day, month);
}

std::string cf__csvline(int day, int month, int year, long value) {
    return format("\"%02i.%02i.%04i\";\"%lu\"", day, month, year,
                  static_cast<unsigned long>(value));
}

const char* cf__scalelabels(int art) {
    return art == 1 ? "                 1k    10k   100k  1M    10M   100M  1G"
                    : "             1min  30min 1h2h  4h  6h  8h  10h 12h 14h 16h 18h 20h 22h";
}

const char* cf__scaleticks(int art) {
    return art == 1 ? "                 |     |     |     |     |     |     |"
                    : "             |     |     | |   |   |   |   |   |   |   |   |   |   |";
}

// ======================================================================= summing

cf__connlogstatistics::cf__connlogstatistics(int art, bool german, const char* info)
    : art_(art == 1 ? 1 : 2) {
    std::string all = info && *info ? info : "";
    if (all.empty()) {
        all = format("mavlyn    Version %s    Datum %s~mavlyn    Version %s    Date %s (d.m.y)",
                     "0.4", "11.10.2010", "0.4", "11.10.2010");
    }
    size_t tilde = all.find('~');
    if (tilde != std::string::npos) all = german ? all.substr(0, tilde) : all.substr(tilde + 1);
    put(all);
    const char* title = art_ == 1 ? (german ? "Datenvolumen" : "Data volume")
                                  : (german ? "Onlinezeit" : "Online time");
    put(format("%s: %s", german ? "Statistik" : "Statistics", title));
    put(format("- %s -", german ? "Ergebnisse ohne Gewähr" : "results without warranty"));
    put("");
    put(cf__scalelabels(art_));
    put(cf__scaleticks(art_));
}

void cf__connlogstatistics::put(const std::string& line) {
    text += line;
    text += CRLF;
}

void cf__connlogstatistics::closeday() {
    put(cf__dayline(art_, day_, month_, total_));
    csv += cf__csvline(day_, month_, year_, total_);
    csv += CRLF;
    total_ = 0;
}

// The lines between the day just written and the next day with data.
void cf__connlogstatistics::gap(int ny, int nm, int nd) {
    int d = (nm - month_) * 31 + nd - day_;
    if (d < 0) d += 372;
    if (d >= 1 && d <= 31) {
        // Step through the calendar; a log out of order or a skipped year never reaches the
        // new day and gets the gap mark instead.
        std::string lines;
        int y = year_, m = month_, dd = day_;
        for (int i = 0; i < d; i++) {
            int before = m;
            nextday(&y, &m, &dd);
            if (y == ny && m == nm && dd == nd) {
                text += lines;
                if (m != before) {
                    put(cf__scaleticks(art_));
                    put(cf__scalelabels(art_));
                }
                return;
            }
            if (dd == 1) {
                for (const char* s :
                     {cf__scaleticks(art_), cf__scalelabels(art_), cf__scaleticks(art_)}) {
                    lines += s;
                    lines += CRLF;
                }
            }
            lines += cf__emptyday(art_, dd, m);
            lines += CRLF;
        }
    }
    for (int i = 0; i < 3; i++) put(GAPLINE);
}

void cf__connlogstatistics::feed(const char* line) {
    cf__logline l;
    if (finished_ || !cf__parselogline(line, &l) || !cf__countsfor(l, art_)) return;
    bool mid = midnight(l.hour, l.minute);
    bool sameday = l.year == year_ && l.month == month_ && l.day == day_;
    if (haveday_ && !sameday && !mid) {
        closeday();
        gap(l.year, l.month, l.day);
    }
    if (l.keyword != cf__SUBTOTAL) {
        total_ = saturated(total_, l.value);
        previous_ = 0; // the next connection starts from nothing
    } else {
        total_ = saturated(total_, l.value >= previous_ ? l.value - previous_ : l.value);
        previous_ = l.value;
    }
    if (!mid) {
        year_ = l.year, month_ = l.month, day_ = l.day;
        haveday_ = true;
    } else if (!haveday_) {
        // Midnight lines belong to the day before, also when the log starts with one.
        year_ = l.year, month_ = l.month, day_ = l.day;
        previousday(&year_, &month_, &day_);
        haveday_ = true;
    }
}

void cf__connlogstatistics::finish() {
    if (finished_) return;
    finished_ = true;
    if (haveday_) closeday();
    put(cf__scaleticks(art_));
    put(cf__scalelabels(art_));
}

// ======================================================================= files and dialogs

namespace {

bool writeout(FILE* f, std::string* s) {
    bool ok = s->empty() || fwrite(s->data(), 1, s->size(), f) == s->size();
    s->clear();
    return ok;
}

// Feeds one log file to the statistics, writing out what has piled up on the way.
bool feedlog(FILE* in, cf__connlogstatistics* st, FILE* txt, FILE* csv) {
    bool ok = true;
    char line[280];
    while (fgets(line, sizeof line, in)) {
        size_t n = strlen(line);
        if (n == sizeof line - 1 && line[n - 1] != '\n') {
            // Longer than a log line can be: its rest is no line of its own.
            int c;
            while ((c = fgetc(in)) != EOF && c != '\n') {
            }
        }
        st->feed(line);
        if (st->text.size() > 60000) ok = writeout(txt, &st->text) && ok;
        if (st->csv.size() > 60000) ok = writeout(csv, &st->csv) && ok;
    }
    return ok;
}

} // namespace

bool cf__connloggrafik(int art) {
    if (art != 1 && art != 2) return false;
    // The log's old generation holds the days before the current file began.
    char oldname[80];
    lo_oldlog(connlogdatei, oldname, sizeof oldname);
    File old(fopen(oldname, "rb"));
    File in(fopen(connlogdatei, "rb"));
    if (!in && !old) return false;
    const char* txtname = art == 1 ? "connlog_vol.txt" : "connlog_tim.txt";
    const char* csvname = art == 1 ? "connlog_vol.csv" : "connlog_tim.csv";
    if (file_exists(txtname) || file_exists(csvname)) {
        char question[400];
        snprintf(question, sizeof question,
                 T("Die Statistik-Datei \"%s\" bzw. \"%s\"  \nexistiert bereits.  \nSie wird "
                   "durch die neue Statistik überschrieben.  ",
                   "The statistics file \"%s\" resp. \"%s\"  \nalready exists. It will be "
                   "rewritten.  "),
                 txtname, csvname);
        if (me_messagebox(0, T("mavlyn   Statistik", "mavlyn   Statistics"), question, 1, 1, 0) !=
            1)
            return false;
    }
    ReplacingFile txt(txtname), csv(csvname);
    if (!txt.get() || !csv.get()) return false;

    cf__connlogstatistics st(art, _de, configinfo);
    bool ok = true;
    for (FILE* log : {old.get(), in.get()})
        if (log) ok = feedlog(log, &st, txt.get(), csv.get()) && ok;
    st.finish();
    ok = writeout(txt.get(), &st.text) && ok;
    ok = writeout(csv.get(), &st.csv) && ok;
    // A file that cannot be written completely stays as it was.
    return ok && txt.commit() && csv.commit();
}

bool cf__svcschreiben(const char* datei) {
    char question[400];
    if (datei && *datei)
        snprintf(question, sizeof question,
                 T("Soll  \"%s\"  \nbei jedem Hochfahren des PC gestartet werden?  ",
                   "Shall  \"%s\"  \nbe started at every PC start?  "),
                 datei);
    else
        strMcpy(question,
                T("Beim Hochfahren des PC nichts starten?  ", "Start nothing at PC start?  "));
    if (me_messagebox(0, "mavlyn   Bootstart", question, 3, 2, 0) == 1)
        me_messagebox(0, "mavlyn   Bootstart",
                      T("Diese Funktion wurde noch nicht implementiert.  \nSie ist für eine "
                        "spätere Version vorgesehen.  \n\nWir bitten um Entschuldigung.  ",
                        "This function has not been implemented yet.  \nIt has been scheduled "
                        "for a later version.  \n\nWe apologize.  "),
                      2, 0, 0);
    return false;
}
