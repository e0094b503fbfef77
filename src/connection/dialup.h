// Starting and ending the Internet connection: pppd as a child process whose output decides
// whether the link came up, the pid file under /var/run to end it, the router's connect and
// disconnect requests instead behind a WWAN router, and around both the connection-log lines,
// status texts, user programs, the single-port re-open and the stand-by (time gap) check.
#pragma once

#include "core/program_services.h"

#include <cstddef>
#include <ctime>

// Interface name reported by pppd for the running connection; empty = none known.
extern char cn__linuxconnectionname[100];
// 0 no connection; 1 a time gap was detected; otherwise the time of the last activity check.
extern time_t cn__active;
// 99 not yet determined; else whether a connection was up when the program started.
extern int cn__activeatstart;
// Interface counters and time (1/100 s) of the last statistics poll; counters of -1 are not
// known yet (an interface found already up is counted from its first poll on).
extern long cn__statistiksbytes;
extern long cn__statistikrbytes;
extern long cn__statistikzeit;
// Connection error counters by the names of errname (ERR_NOC .. ERR_L).
extern int cn__erro[8];

// 21 start pppd and wait for the link (0 or an error number); 22 end it (0); else -1.
int cn_linuxconnect(int func);
void cn_start();
// endemodus: 0 ordinary end or lost, 1 ordered by the program, 2 user, 3 outside the
// homezone, 4 unwanted network, 5 end time of day.
void cn_stop(int endemodus);
bool cn_isactive();
// tim 0 = now.
bool cn_timegap(time_t tim);
bool cn_wastimegap();
bool cn_endprocesses();
void cn_ini();
void cn_createdialup(int constart_alt);

long cn__readlong(const char** tpp);
long cn__readlongmax(const char** tpp);

// ---- Pure parts of the dial-up, apart from processes and files ----

// Placeholder password used when none is configured.
#define cn__NOPASSWORD "x"
#define cn__COMMANDLEN 800
// pppd reads the login from this options file in the working directory, readable by the
// user only: on its command line the password would be in every user's process list.
#define cn__LOGINFILE ".pppd_login"

// The pppd command line for one device path, with the login options read from optionsfile.
// Values that the shell would interpret are quoted. Returns false (and an empty out) when the
// whole line does not fit into n.
bool cn__buildcommand(char* out, size_t n, const char* path, const char* optionsfile, bool mandriva,
                      bool dump);
// The text of the login options file: "user" and "password" as words of pppd's options
// syntax. Returns false (and an empty out) when user and password together have 500
// characters or more, or when the text does not fit into n.
bool cn__loginoptions(char* out, size_t n, const char* user, const char* pass);
// Whether the process that holds the device lock may be ended: a pppd (its comm) whose real
// user is ours (first "Uid:" field of its status); pppd is often set-user-id root.
bool cn__ownpppd(const char* comm, const char* status, unsigned uid);

// Cuts the first path off a comma-separated device list; *list moves behind the comma, or
// becomes null when the list is exhausted.
void cn__nextpath(const char** list, char* path, size_t n);

// What one line of pppd output asks for.
enum cn__lineaction {
    cn__LINE_NONE,     // nothing; look for interface and address
    cn__LINE_MANDRIVA, // rebuild without "replacedefaultroute" and start again
    cn__LINE_KILLLOCK, // end the process holding the lock (pid) and start again
    cn__LINE_NEXTPATH, // try the next device path
    cn__LINE_ERROR     // give up with the error number
};
struct cn__linestate {
    bool mandriva; // "replacedefaultroute" already left out
    bool lockseen; // a lock was already reported in this call
    bool pathleft; // a further device path remains
};
// First matching rule wins. error gets the number for cn__LINE_ERROR, pid the locking
// process for cn__LINE_KILLLOCK (0 when no usable pid was given).
cn__lineaction cn__classify(const char* line, const cn__linestate& st, int* error, long* pid);

// The interface name of a "Connect: ppp0 <--> /dev/..." line; false for other lines and for
// names that could not be a network interface (they end up in a file path).
bool cn__interfacename(const char* line, char* name, size_t n);
// Whether a text can be a network interface name (it ends up in a file path).
bool cn__ifnameok(const char* name);
// Whether pppd reports an address of the link: our local IP address or a DNS server.
bool cn__addressline(const char* line);
// One line of pppd output during a start: takes the interface name into ifname (n bytes) and
// notes an address. True once both are known: the link is up, whether or not the network
// asked for PAP/CHAP.
bool cn__established(const char* line, char* ifname, size_t n, bool* addressed);
// The pid in the first line of a pid file; 0 when there is none usable.
long cn__pidfromtext(const char* text);

// Splits bytes arriving from a non-blocking pipe into lines of at most antwortLEN bytes.
class cn__linesplitter {
  public:
    // Appends at most room() bytes; returns how many were taken.
    size_t feed(const char* data, size_t len);
    size_t room() const { return sizeof buf_ - len_; }
    // The next complete line (with its line end) into out; at end of input (eof) also the
    // unterminated rest. A line longer than the buffer is returned in pieces.
    bool next(char* out, size_t n, bool eof);
    void clear() { len_ = 0; }
    size_t pending() const { return len_; }

  private:
    char buf_[5000 * 2];
    size_t len_ = 0;
};

// The time-gap rule on an activity check at time now.
bool cn__timegapstep(time_t* active, time_t now);

// User-program slots (bit i for slot i) stopped at every disconnection, and started at a
// connection (configunchanged: this configuration has connected before).
unsigned cn__stopslots();
unsigned cn__startslots(bool configunchanged);
