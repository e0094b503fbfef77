// Traffic statistics of the connection and the monthly volume and time accounting: byte
// counters from /proc/net/dev (or the router), speeds, online/offline/inactive times, minute
// counting, folding traffic into the month's kilobytes, the rollovers on the reset days,
// the interface error counters with their thresholds, and keep-alive probes.
#pragma once

#include <cstddef>

struct tm;

// 1 the interface is listed (counters through bu/bd, error increments added to err; each
// may be null); 0 not listed, or no interface known yet (offline); -1 /proc/net/dev
// unreadable.
int cn_ifstatistics(long* bu, long* bd, int* err);
// One poll: speeds in B/s (0 below 170, -1 unknown) and the month's volume in kB; true only
// when it has just reconnected a lost connection.
bool cn_statistics(long* bpsu, long* bpsd, long* kbvol);
// Per-connection rounding of volume and time.
void volzeitrunden();
// Bytes counted since the connection began (10,000 times in test mode).
extern long cn__connectionbytes;
// A connection has just begun: the new interface's counters start from 0, the rounding.
void cn__beginconnection();
// Reads the counters once more and counts what came since the last poll.
void cn__countlastbytes();
// The volume bookkeeping at the end of a connection: at least one kilobyte, then rounding.
void cn__endofconnection();

// ---- Pure parts of the accounting ----

// The counters of the accounting and the settings they depend on.
struct cn__acct_t {
    long headerv;       // kB folded this month
    long headervoffset; // bytes not yet folded
    long headert;       // online minutes this month
    long headert_alt;   // headert at the last header write
    int headerday;      // day and month of the last poll
    int headermon;
    int day;   // volume reset day: 1-31, 32 every day, else none
    int dayt;  // the same for time
    int round; // volume unit per connection in kB, 0 off
    int roundt;
    int onlinezeit_vorher; // minute mark in seconds within the hour, -1 restart
};
void cn__acctload(cn__acct_t* a);
void cn__acctstore(const cn__acct_t* a);

void cn__volzeitrunden(cn__acct_t* a);
// A connection that carried fewer bytes than a kilobyte is raised to one; then the rounding.
void cn__endconnection(cn__acct_t* a, long connectionbytes);

// Whether a reset day lies between the last poll (old day and month) and today.
bool cn__rolloverdue(int resetday, int oldday, int oldmon, int today, int tomon);

// What a day change did, for the log lines and the header write.
struct cn__daychange_t {
    bool subtotal; // connected at midnight
    long subtotal_kb;
    long subtotal_min;
    bool volrollover;
    long vol_monthtotal; // kB
    bool timerollover;
    long time_monthtotal; // minutes
    int oldday;
    bool headerwrite;
};
// False (and nothing changed) when today is still the day of the last poll.
bool cn__daychange(cn__acct_t* a, bool connected, const struct tm& now, cn__daychange_t* out);

// Poll interval in 1/100 s for the speeds and times; gaps under 0.5 s or over an hour count
// as 0.
long cn__interval(long now, long last);

// The fastest a link carries in one direction, in B/s (10 Gbit/s): faster speeds are unknown,
// and a counter jump beyond it in the time since the last poll is no traffic.
#define cn__MAXLINKRATE 1250000000L
// Bytes of one direction since the last poll, `elapsed` 1/100 s ago: the counter's growth, or
// all of a counter that started again (its interface was made anew). -1 without a last value
// (-1) or for more than a link carries in that time.
long cn__bytessince(long last, long now, long elapsed);
// Speed of `bytes` (-1 unknown) over dt 1/100 s; -1 when not measurable.
long cn__speed(long bytes, long dt);
// Adds the bytes of both directions (-1 adds nothing) to the volume, 10,000 times in test mode;
// returns what was added.
long cn__addtraffic(cn__acct_t* a, long du, long dd, bool testmode);

// Minutes to count at the local second s (minute * 60 + second): 0 or 1.
int cn__countminute(int* vorher, int s);

// Folding the bytes of one poll (from cn__bytessince) into the volume, and its speeds.
struct cn__traffic_t {
    bool step;        // the 10-MB (or 5-minute) step was taken
    bool headerwrite; // with a reset day the header write folds
    long stepbytes;   // the unfolded bytes when the step was taken
    long bytes;       // added to the volume
    long bpsu, bpsd;  // -1 when not measurable
};
void cn__foldtraffic(cn__acct_t* a, long du, long dd, long dt, bool testmode,
                     unsigned long onlinezeit, unsigned long* steponline, cn__traffic_t* out);

// /proc/net/dev: the line of ifname in text (len bytes). 1 found, 0 not.
int cn__procnetdev(const char* text, size_t len, const char* ifname, long* bu, long* bd, int* err);
// One line of it; true when it is the line of ifname.
bool cn__procnetdevline(const char* line, const char* ifname, long* bu, long* bd, int* err);

// Error evaluation: the highest ratio counter * 1000 / threshold of the counters 1-7 with a
// threshold, and its index (-1 for none).
int cn__errorratio(const int* erro, const int* err, int* which);
// The error line for that ratio ("0", or "+Error CRC 3" / "*Fehler BUF 7").
void cn__errorline(char* out, size_t n, int ratio, int which, int displaylevel, bool de);
// Decay of the counters 2-7 after a poll.
void cn__decay(int* erro, const int* err);

// The probe list cursor: the address at pos (up to ';'), and the position of the next one
// (back to 0 after the last).
void cn__probeaddress(const char* list, size_t pos, char* out, size_t n);
size_t cn__nextprobe(const char* list, size_t pos);

// Keep-alive and "NOC" counting of one poll.
struct cn__keepalive_t {
    bool (*dnsecho)(const char* ip, bool waitforanswer);
    bool (*ipok)(const char* ip);
    const bool* brake; // set by the probe when it was a pause
};
void cn__keepalive(bool router, long bpsu, long bpsd, const char* list, size_t* pos, int* noc,
                   const cn__keepalive_t& probes);
