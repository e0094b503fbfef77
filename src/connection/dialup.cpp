#include "connection/dialup.h"

#include "connection/accounting.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/router_link.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

char cn__linuxconnectionname[100] = "";
time_t cn__active = 0;
int cn__activeatstart = 99;
long cn__statistiksbytes = -1;
long cn__statistikrbytes = -1;
long cn__statistikzeit = 0;
int cn__erro[8] = {};

namespace {

// ---- The running pppd ----
int pipefd = -1;                      // read end of the output of the running pppd
char* answer = nullptr;               // one line of its output, antwortLEN bytes
cn__linesplitter* splitter = nullptr; // allocated with the answer buffer
bool mandriva = false;                // "replacedefaultroute" is not understood here
int configatconnect = INT_MIN;        // inicounterglobal at the last successful connect
int failedstarts = 0;                 // consecutive failed starts

// Starts "sh -c command" with its standard output into a pipe whose read end is returned
// (non-blocking), or -1. The shell is a grandchild: it is reparented at once, so the pipe can
// be given up at any time without waiting for the child and without leaving a zombie.
int spawn_reader(const char* command) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return -1;
    pid_t child = fork();
    if (child < 0) {
        close(p[0]);
        close(p[1]);
        return -1;
    }
    if (child == 0) {
        pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
        if (dup2(p[1], 1) < 0) _exit(127);
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(p[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        close(p[0]);
        return -1;
    }
    fcntl(p[0], F_SETFL, fcntl(p[0], F_GETFL) | O_NONBLOCK);
    return p[0];
}

// Reads what the pipe has; true at end of input.
bool fill_splitter() {
    if (pipefd < 0) return true;
    char chunk[2048];
    while (splitter->room() > 0) {
        ssize_t r = read(pipefd, chunk, min(sizeof chunk, splitter->room()));
        if (r > 0) {
            splitter->feed(chunk, static_cast<size_t>(r));
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        return r == 0;
    }
    return false;
}

// One line of pppd output into answer; false when none is there yet.
bool read_line() {
    bool eof = fill_splitter();
    return splitter->next(answer, antwortLEN, eof);
}

bool blank_line(const char* t) {
    for (; *t; t++)
        if (*t != '\r' && *t != '\n' && *t != ' ' && *t != '\t') return false;
    return true;
}

void end_connection() {
    if (cn__linuxconnectionname[0]) {
        char path[160];
        snprintf(path, sizeof path, "/var/run/%s.pid", cn__linuxconnectionname);
        if (FILE* f = fopen(path, "r")) {
            char line[51] = "";
            if (!fgets(line, sizeof line, f)) line[0] = 0;
            fclose(f);
            long pid = cn__pidfromtext(line);
            if (pid > 0) {
                kill(static_cast<pid_t>(pid), SIGHUP);
                msleep(300);
                kill(static_cast<pid_t>(pid), SIGTERM);
                msleep(100);
            }
        }
    }
    cn__linuxconnectionname[0] = 0;
    // pppd has read the login when it started; the file must not outlive the attempt.
    unlink(cn__LOGINFILE);
    FREE(answer);
    delete splitter;
    splitter = nullptr;
    if (pipefd >= 0) close(pipefd);
    pipefd = -1;
}

int give_up(int error) {
    lo_slog("Linux connect error %s%i.\n", "", error);
    if (MODUS('1')) lo_dlog("Linux connect error %s%i.\n", "", error);
    end_connection();
    msleepx(300);
    return error;
}

// The login options for pppd in a file of the user's alone, created anew; its absolute path,
// or "" when it could not be written.
std::string write_login_file() {
    char text[1100];
    char dir[PATH_MAX];
    if (!cn__loginoptions(text, sizeof text, inidat.conname, inidat.conpass) ||
        !getcwd(dir, sizeof dir))
        return "";
    unlink(cn__LOGINFILE);
    int fd = open(cn__LOGINFILE, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        lo_slog("Could not write the login file %s.\n", cn__LOGINFILE, -1);
        return "";
    }
    size_t len = strlen(text);
    bool ok = write(fd, text, len) == static_cast<ssize_t>(len);
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(cn__LOGINFILE);
        return "";
    }
    return std::string(dir) + "/" + cn__LOGINFILE;
}

bool own_pppd(long pid) {
    auto proc = [pid](const char* what) {
        char path[64];
        snprintf(path, sizeof path, "/proc/%ld/%s", pid, what);
        std::string text;
        if (FILE* f = fopen(path, "r")) {
            char buf[2048];
            size_t n = fread(buf, 1, sizeof buf - 1, f);
            text.assign(buf, n);
            fclose(f);
        }
        return text;
    };
    return cn__ownpppd(proc("comm").c_str(), proc("status").c_str(), getuid());
}

void connect_log(const char* de, const char* en) {
    if (MODUS('1')) lo_dlog(en, "", -1);
    lo_slog(T(de, en), "", -1);
}

void reopen_single_port() {
    if (!cm_singleport()) return;
    msleepx(1500);
    lo_slogx("Reopening command port.\n", "", -1);
    cm_open(nullptr, 0);
}

bool router_connected() {
    return cm_linkcom(9, nullptr) > 0;
}

} // namespace

// ---- Pure parts ----

long cn__readlong(const char** tpp) {
    const char* t = *tpp;
    while (*t == ' ' || *t == '\t') t++;
    long v = 0;
    while (*t >= '0' && *t <= '9') {
        int d = *t - '0';
        v = v > (LONG_MAX - d) / 10 ? LONG_MAX : v * 10 + d;
        t++;
    }
    *tpp = t;
    return v;
}

long cn__readlongmax(const char** tpp) {
    return min(cn__readlong(tpp), 10L);
}

bool cn__buildcommand(char* out, size_t n, const char* path, const char* optionsfile, bool mdv,
                      bool dump) {
    if (n) out[0] = 0;
    std::string p = ut_shellquoted(*path ? path : "/dev/ttyUSB0");
    std::string f = ut_shellquoted(optionsfile);
    int len =
        snprintf(out, n,
                 "pppd %s file %s crtscts lock usepeerdns noipdefault "
                 "defaultroute %snodetach child-timeout 5 %sconnect 'chat \"\" atd*99#' 2>&1",
                 p.c_str(), f.c_str(), mdv ? "" : "replacedefaultroute ", dump ? "dump " : "");
    if (len < 0 || static_cast<size_t>(len) >= n) {
        // A cut command line could end inside a quote; better none at all.
        if (n) out[0] = 0;
        return false;
    }
    return true;
}

namespace {
// One word of pppd's options syntax: in double quotes, with a backslash before '\\' and '"'
// and control characters as three octal digits, so no value can end the word early.
std::string pppd_word(const char* v) {
    std::string w = "\"";
    for (; *v; v++) {
        unsigned char c = static_cast<unsigned char>(*v);
        if (c == '\\' || c == '"') {
            w += '\\';
            w += *v;
        } else if (c < 0x20 || c == 0x7F) {
            char oct[5];
            snprintf(oct, sizeof oct, "\\%03o", c);
            w += oct;
        } else {
            w += *v;
        }
    }
    return w + "\"";
}
} // namespace

bool cn__loginoptions(char* out, size_t n, const char* user, const char* pass) {
    if (n) out[0] = 0;
    if (strlen(user) + strlen(pass) >= 500) return false;
    std::string text = "user " + pppd_word(*user ? user : "a") + "\npassword " +
                       pppd_word(*pass ? pass : cn__NOPASSWORD) + "\n";
    if (text.size() >= n) return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

bool cn__ownpppd(const char* comm, const char* status, unsigned uid) {
    if (strcmp(comm, "pppd") != 0 && strcmp(comm, "pppd\n") != 0) return false;
    const char* u = strstr(status, "\nUid:");
    if (!u) return false;
    u += 6;
    while (*u == ' ' || *u == '\t') u++;
    if (!isdigit(static_cast<unsigned char>(*u))) return false;
    char* end = nullptr;
    unsigned long real = strtoul(u, &end, 10);
    return (*end == ' ' || *end == '\t') && real == uid;
}

void cn__nextpath(const char** list, char* path, size_t n) {
    if (!*list) {
        if (n) path[0] = 0;
        return;
    }
    const char* comma = strchr(*list, ',');
    size_t len = comma ? static_cast<size_t>(comma - *list) : strlen(*list);
    if (n) {
        size_t k = min(len, n - 1);
        memcpy(path, *list, k);
        path[k] = 0;
    }
    *list = comma ? comma + 1 : nullptr;
}

namespace {
bool begins(const char* t, const char* p) {
    return strncmp(t, p, strlen(p)) == 0;
}
} // namespace

cn__lineaction cn__classify(const char* line, const cn__linestate& st, int* error, long* pid) {
    *error = 0;
    *pid = 0;
    auto fail = [&](int e) {
        *error = e;
        return cn__LINE_ERROR;
    };
    const bool unrec = begins(line, "pppd: unrecognized option ");
    if (strstr(line, "pppd: unrecognized option 'replacedefaultroute'")) {
        if (!st.mandriva) return cn__LINE_MANDRIVA;
        if (!unrec) return fail(33);
    }
    if (const char* l = strstr(line, " is locked by pid ")) {
        if (st.lockseen) return fail(34);
        const char* t = l + strlen(" is locked by pid ");
        long v = cn__readlong(&t);
        // Never signal ourselves, init, or (with 0 or -1) a whole process group.
        *pid = (v > 1 && v <= INT_MAX && v != getpid()) ? v : 0;
        return cn__LINE_KILLLOCK;
    }
    if (unrec) return st.pathleft ? cn__LINE_NEXTPATH : fail(30);
    if (begins(line, "Usage: pppd ")) return fail(29);
    if (begins(line, "Cannot read ")) return fail(31);
    if (strstr(line, "No such file or directory")) return fail(32);
    if (strstr(line, "Permission denied")) return fail(35);
    if (strstr(line, "option requires root privilege")) return fail(36);
    if (strstr(line, "Connect script failed")) return fail(37);
    if (begins(line, "Hangup")) return fail(38);
    if (strstr(line, "LCP: timeout sending Config-Requests")) return fail(41);
    return cn__LINE_NONE;
}

bool cn__interfacename(const char* line, char* name, size_t n) {
    const char* t = nullptr;
    if (begins(line, "Connect: "))
        t = line + 9;
    else if (const char* p = strstr(line, "\nConnect: "))
        t = p + 10;
    if (!t) return false;
    size_t len = strcspn(t, " \t\r\n");
    if (len == 0 || len >= n || len > 15) return false;
    char candidate[16];
    memcpy(candidate, t, len);
    candidate[len] = 0;
    if (!cn__ifnameok(candidate)) return false;
    memcpy(name, candidate, len + 1);
    return true;
}

bool cn__ifnameok(const char* name) {
    // The name becomes part of "/var/run/NAME.pid": no path separators, no dot names, and no
    // longer than the kernel allows.
    size_t len = strlen(name);
    if (len == 0 || len > 15 || name[0] == '.') return false;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!isalnum(c) && c != '_' && c != '-' && c != '.') return false;
    }
    return true;
}

namespace {
// "KEY" followed by a digit somewhere in the line.
bool number_behind(const char* line, const char* key) {
    const size_t n = strlen(key);
    for (const char* p = strstr(line, key); p; p = strstr(p + 1, key))
        if (isdigit(static_cast<unsigned char>(p[n]))) return true;
    return false;
}
} // namespace

bool cn__addressline(const char* line) {
    // pppd: "local  IP address 10.0.0.2", "primary   DNS address 10.0.0.1".
    const char* local = strstr(line, "local ");
    return (local && number_behind(local, "IP address ")) || number_behind(line, "DNS address ");
}

bool cn__established(const char* line, char* ifname, size_t n, bool* addressed) {
    char name[100];
    if (cn__interfacename(line, name, sizeof name)) strmcpy(ifname, name, n);
    *addressed = *addressed || cn__addressline(line);
    return ifname[0] && *addressed;
}

long cn__pidfromtext(const char* text) {
    if (!isdigit(static_cast<unsigned char>(text[0]))) return 0;
    long v = cn__readlong(&text);
    return (v > 1 && v <= INT_MAX && v != getpid()) ? v : 0;
}

size_t cn__linesplitter::feed(const char* data, size_t len) {
    size_t k = min(len, room());
    memcpy(buf_ + len_, data, k);
    len_ += k;
    return k;
}

bool cn__linesplitter::next(char* out, size_t n, bool eof) {
    if (n == 0) return false;
    size_t limit = n - 1;
    void* nl = memchr(buf_, '\n', len_);
    size_t take;
    if (nl && static_cast<size_t>(static_cast<char*>(nl) - buf_) < limit)
        take = static_cast<size_t>(static_cast<char*>(nl) - buf_) + 1;
    else if (len_ >= limit)
        take = limit;
    else if (eof && len_ > 0)
        take = len_;
    else
        return false;
    memcpy(out, buf_, take);
    out[take] = 0;
    // A NUL inside the output would hide the rest of the line; show it as a blank.
    for (size_t i = 0; i < take; i++)
        if (out[i] == 0) out[i] = ' ';
    memmove(buf_, buf_ + take, len_ - take);
    len_ -= take;
    return true;
}

bool cn__timegapstep(time_t* active, time_t now) {
    if (*active == 1) return true;
    if (*active == 0) return false;
    if (now - *active < 5) {
        *active = now;
        return false;
    }
    *active = 1;
    return true;
}

unsigned cn__stopslots() {
    unsigned m = 0;
    for (int i = 0; i < 3; i++)
        if (inidat.cmd[i][0] && inidat.sms[i] == 0 && sp_ateveryconnect(inidat.cmd[i]))
            m |= 1u << i;
    return m;
}

unsigned cn__startslots(bool configunchanged) {
    unsigned m = 0;
    for (int i = 0; i < 3; i++) {
        const char* c = inidat.cmd[i];
        if (!c[0] || inidat.sms[i] != 0 || sp_atstart(c) || sp_atend(c)) continue;
        if (configunchanged && !sp_ateveryconnect(c)) continue;
        m |= 1u << i;
    }
    return m;
}

// ---- pppd ----

int cn_linuxconnect(int func) {
    if (func == 22) {
        end_connection();
        return 0;
    }
    if (func != 21) return -1;

    char devices[sizeof inidat.con];
    strMcpy(devices, inidat.con);
    bool lockseen = false;
    for (;;) { // one attempt per pass
        const char* rest = devices;
        cn_linuxconnect(22);
        answer = static_cast<char*>(malloc(antwortLEN));
        splitter = new cn__linesplitter;
        if (!answer) {
            end_connection();
            return 21;
        }
        answer[0] = 0;

        char path[sizeof inidat.con];
        cn__nextpath(&rest, path, sizeof path);
        // Without a data port of its own (none named, none found by the search) the stick's
        // first port carries the connection.
        if (!path[0] || stricmp(path, "Internet") == 0) strMcpy(path, "/dev/ttyUSB0");
        char command[cn__COMMANDLEN] = "";
        std::string login = write_login_file();
        if (!login.empty())
            cn__buildcommand(command, sizeof command, path, login.c_str(), mandriva, MODUS('1'));
        if (MODUS('1')) lo_dlog("Connect: %s\n", command, -1);
        lo_slog("Connecting via %s\n", path, -1);
        // Move the list on: the next attempt of this kind takes the following path.
        char remaining[sizeof inidat.con] = "";
        if (rest) strMcpy(remaining, rest);

        if (command[0]) {
            pipefd = spawn_reader(command);
            if (pipefd < 0) {
                lo_slog("Linux connect error 21.\n", "", -1);
                end_connection();
                return 21;
            }
        }

        enum { GO_ON, RESTART_ALL, RESTART_NEXT } next = GO_ON;
        long countdown = 22;
        bool addressed = false;
        while (next == GO_ON) {
            if (countdown < 0) {
                connect_log("Linux connect timeout.\n", "Linux connect timeout.\n");
                end_connection();
                return 49;
            }
            if (programmende_gewuenscht) {
                lo_slog(T("Linux connect abgebrochen, da Programmende.\n",
                          "Linux connect terminated because of program end.\n"),
                        "", -1);
                if (MODUS('1')) lo_dlog("Connect aborted because of program end.\n", "", -1);
                end_connection();
                return 26;
            }
            if (!read_line() || blank_line(answer)) {
                countdown--;
                msleepx(990);
                if (countdown % 2 == 0) {
                    lo_slog("Connect countdown: %s%li\n", "", countdown);
                    if (MODUS('1')) lo_dlog("Connect countdown: %s%li\n", "", countdown);
                }
                continue;
            }
            lo_slog("Connect answer: %s", answer, -1);
            if (MODUS('1')) lo_dlog("Connect answer: %s", answer, -1);

            cn__linestate st{mandriva, lockseen, rest != nullptr && *rest != 0};
            int error = 0;
            long pid = 0;
            switch (cn__classify(answer, st, &error, &pid)) {
            case cn__LINE_MANDRIVA:
                mandriva = true;
                connect_log("Assumed Mandriva as operating system.\n",
                            "Assumed Mandriva as operating system.\n");
                msleepx(100);
                next = RESTART_ALL;
                continue;
            case cn__LINE_KILLLOCK:
                lockseen = true;
                msleepx(50);
                // The lock folder is open to everybody: the pid named there is ended only when
                // it is a pppd of this user.
                if (pid > 0 && !own_pppd(pid)) {
                    lo_slog("Linux connect: pid %s%li is no pppd of this user.\n", "", pid);
                    return give_up(34);
                }
                lo_slog("Linux connect: killing pid %s%li\n", "", pid);
                if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
                msleepx(2000);
                next = RESTART_ALL;
                continue;
            case cn__LINE_NEXTPATH:
                next = RESTART_NEXT;
                continue;
            case cn__LINE_ERROR:
                return give_up(error);
            case cn__LINE_NONE:
                break;
            }
            if (cn__established(answer, cn__linuxconnectionname, sizeof cn__linuxconnectionname,
                                &addressed)) {
                unlink(cn__LOGINFILE);
                if (!programmende_gewuenscht) msleep(750);
                if (!programmende_gewuenscht) msleep(750);
                return 0;
            }
        }
        if (next == RESTART_NEXT) strMcpy(devices, remaining);
        if (next == RESTART_ALL) strMcpy(devices, inidat.con);
    }
}

// ---- Start and stop ----

void cn_ini() {
    // Left over when the program was ended during a connection start.
    unlink(cn__LOGINFILE);
}
void cn_createdialup(int) {}

bool cn_timegap(time_t tim) {
    return cn__timegapstep(&cn__active, tim ? tim : time(nullptr));
}

bool cn_wastimegap() {
    return cn__active == 1;
}

namespace {
// Once connected nobody reads pppd's output any more; what it still writes is thrown away, so
// that a full pipe can never stop it.
void drain_pppd_output() {
    if (pipefd < 0) return;
    char chunk[4096];
    while (read(pipefd, chunk, sizeof chunk) > 0) {
    }
}
} // namespace

bool cn_isactive() {
    drain_pppd_output();
    bool up = linksys ? router_connected() : cn_ifstatistics(nullptr, nullptr, nullptr) == 1;
    if (up) cn_timegap(0);
    return up;
}

bool cn_wasactiveatstart() {
    if (cn__activeatstart == 99) {
        // The first look may only adopt the interface name from the configuration.
        bool up = cn_isactive() || cn_isactive();
        cn__activeatstart = up ? 1 : 0;
        if (up) cn__active = time(nullptr);
    }
    return cn__activeatstart == 1;
}

bool cn_endprocesses() {
    for (int i = 2; i >= 0; i--)
        if (sp_stop(i)) return true;
    return false;
}

namespace {
void stop_slots(unsigned m) {
    for (int i = 0; i < 3; i++)
        if (m & (1u << i)) sp_stop(i);
}
} // namespace

void cn_start() {
    homezonestatus = 0;
    if (programmende_gewuenscht) return;
    const bool unchanged = configatconnect == inicounterglobal;
    if (unchanged && !(linksys && router_connected())) stop_slots(cn__stopslots());
    if (ruhestatus != 1) {
        mtextup = -3;
        ic_mshow(4, -1, -1, -1, -1, T("mavlyn\n\nVerbindungsaufbau.", "mavlyn\n\nConnecting."));
    }
    lo_vlogtime();

    int error = 0;
    if (linksys) {
        if (!router_connected()) {
            cm_linksyswait();
            cm_linkcom(21, nullptr);
            msleepx(4000);
            bool up = false;
            for (int i = 0; i < 10 && !up && !programmende_gewuenscht; i++) {
                up = router_connected();
                if (!up) msleepx(3000);
            }
            if (up)
                msleepx(5000);
            else
                error = 1;
        }
    } else {
        // A single port carries the connection: the channel lets go of it (and answers from
        // canned text) until the connection has ended.
        if (cm_singleport()) cm_close();
        error = cn_linuxconnect(21);
        if (error == 35) {
            bd_buttondialog(
                T("|e#mavlyn   Verbinden#Zugriffsfehler.|+0#Programm beenden#Damit ein Benutzer "
                  "mavlyn unter Ubuntu f" U8ue "r die Einwahl\nins Internet nutzen kann, m" U8ue
                  "ssen f" U8ue "r ihn entsprechende\nBerechtigungen eingerichtet werden:\n"
                  "System->Systemverwaltung->Benutzer und Gruppen, dann\nden Schl" U8ue
                  "sselbund anklicken, den Benutzer ausw" U8ae "hlen,\nEigenschaften, "
                  "Benutzerrechte, H" U8ae "kchen bei beiden\nEintr" U8ae
                  "gen setzen, in denen das Wort \"Modem\" vorkommt.\nDanach bitte abmelden und "
                  "neu anmelden.",
                  "|e#mavlyn   Connect#Connection access error.|+0#End program#To allow a user to "
                  "connect to the Internet, please\ngive him/her the necessary access rights.\nTo "
                  "do so, open System->System Administration->\nUser and group accounts, then "
                  "click on the key ring,\nselect the user, klick on settings and check the "
                  "two\nlist entries whose names include the word \"modem\".\nAfterwards, please "
                  "log-off and re-login."),
                0);
            th_requestend();
        }
        if (cn__linuxconnectionname[0]) {
            lo_slog(T("Verbindungsname: %s\n", "Connection name: %s\n"), cn__linuxconnectionname,
                    -1);
            lo_vlog(T("%s Verbindungsname: %s\n", "%s Connection name: %s\n"),
                    cn__linuxconnectionname, -1);
            char l[cc_mtextLEN], m[cc_mtextLEN];
            snprintf(l, sizeof l, T(" Verbindung: %s.", " Connection: %s."),
                     cn__linuxconnectionname);
            snprintf(m, sizeof m, T(" Verbindung:_%s.", " Connection:_%s."),
                     cn__linuxconnectionname);
            cc_show2(l, m);
            msleepx(1000);
        }
    }

    if (verbindeneinmal) {
        verbindeneinmal = false;
        inidat.constart = false;
    }
    mtextup = 0;

    if (error == 0) {
        failedstarts = 0;
        cn__active = time(nullptr);
        lo_vlog(T("%s Verbindung hergestellt.\n", "%s Connection established.\n"), "", -1);
        lo_slog(T("Verbindung hergestellt.\n", "Connection established.\n"), "", -1);
        memset(cn__erro, 0, sizeof cn__erro);
        cn__beginconnection();
        onlinezeit = 1;
        unsigned slots = cn__startslots(unchanged);
        if (slots) msleepx(500);
        for (int i = 0; i < 3; i++)
            if (slots & (1u << i)) sp_start(i, inidat.cmd[i]);
        configatconnect = inicounterglobal;
        homezonezaehler = -2;
        return;
    }

    cn__active = 0;
    lo_vlog(T("%s Verbindung abgewiesen. Fehler %s%li.\n", "%s Connection refused. Error %s%li.\n"),
            "", error);
    lo_slog(T("*Verbindungsfehler %s%li.\n", "*Connection error %s%li.\n"), "", error);
    char l[cc_mtextLEN], m[cc_mtextLEN];
    snprintf(l, sizeof l, T("*Verbindungsfehler %i.", "*Connection error %i."), error);
    snprintf(m, sizeof m, T("*Fehler %i.", "*Error %i."), error);
    cc_show2(l, m);
    reopen_single_port();
    msleepx(1000);
    if (++failedstarts >= 4) {
        failedstarts = 2;
        ruhestatus = 1;
        th_requestend();
    }
}

void cn_stop(int endemodus) {
    stop_slots(cn__stopslots());
    const bool up = cn_isactive();
    if (!up && cn__active == 0) return;

    switch (endemodus) {
    case 2:
        cc_show2(T("+Verbindung unterbrochen durch Benutzer.", "+Connection interrupted by user."),
                 T("+Unterbrochen_v. Benutzer", "+Interrupted_by user."));
        lo_vlog(T("%s Verbindung durch den Benutzer unterbrochen.\n",
                  "%s Connection interrupted by user.\n"),
                "", -1);
        break;
    case 3:
        lo_slog(T("Au" U8ss "erhalb der Homezone.\n", "Outside the homezone.\n"), "", -1);
        lo_vlog("%s %s.\n", T("Au" U8ss "erhalb der Homezone", "Outside the homezone"), -1);
        cc_show2(T("*Au" U8ss "erhalb der Homezone.", "*Outside the homezone"),
                 T("*Nicht in_Homezone.", "*Not in_homezone."));
        break;
    case 4:
        lo_slog(T("Nicht gew" U8ue "nschtes Fremdnetz.\n", "Unwanted Network.\n"), "", -1);
        lo_vlog(T("%s Nicht gew" U8ue "nschtes Fremdnetz.\n", "%s Unwanted Network.\n"), "", -1);
        cc_show2(T("*Fremdnetz.", "*Unwanted network."), T("*Fremdnetz.", "*Unwanted_network."));
        break;
    case 5:
        lo_slog(T("Nicht gew" U8ue "nschtes " U8ue "berschreiten der Ende-Uhrzeit.\n",
                  "Exceeded termination time of day.\n"),
                "", -1);
        lo_vlog(T("%s Nicht gew" U8ue "nschtes " U8ue "berschreiten der Ende-Uhrzeit.\n",
                  "%s Exceeded termination time of day.\n"),
                "", -1);
        cc_show2(T("*Enduhrzeit erreicht.", "*Termination time reached."),
                 T("*Enduhrzeit_erreicht.", "*Termination_time."));
        break;
    default:
        break;
    }

    if (up) {
        // The last bytes, before the interface and its counters go with pppd.
        cn__countlastbytes();
        if (ruhestatus != 1) {
            mtextup = -4;
            ic_mshow(5, -1, -1, -1, -1,
                     T("mavlyn\n\nVerbindungsende.", "mavlyn\n\nConnection termination."));
        }
        if (linksys) {
            cm_linkcom(22, nullptr);
            if (ruhestatus != 1 && endsessionstatus != 1) cm_linksyswait();
        } else {
            cn_linuxconnect(22);
        }
    } else {
        // Measured before the waits below, which would otherwise look like a stand-by.
        const bool gap = cn_timegap(0);
        lo_slog("Connection was terminated by extern.\n", "", -1);
        cc_show2(T("+Verbindung unterbrochen.", "+Connection interrupted."),
                 T("+Unterbrochen.", "+Interrupted."));
        lo_vlog(T("Verbindung unterbrochen.\n", "Connection interrupted.\n"), "", -1);
        // Whatever is left of pppd goes too, and the interface name with it.
        if (!linksys) cn_linuxconnect(22);
        msleepx(3000);
        if (gap) {
            th_requestend();
            if (!inidat.endstandby) ruhestatus = 1;
        } else {
            msleepx(2000);
        }
    }

    bool shown = false;
    for (int i = 0; i < 10; i++) {
        msleep(100);
        if (programmende_gewuenscht && !shown) {
            shown = true;
            if (ruhestatus == 1)
                cc_show2(T("+Neuinitialisierung.", "+Reinitialization."),
                         T("+Re-Init.", "+Re-init."));
            else
                cc_show2(T(" Ende.", " End."), T(" Ende.", " End."));
        }
    }

    mtextup = -1;
    cn__endofconnection();

    if (inidat.round > 0) {
        const char* what = endemodus != 0 || inidat.day >= 1 ? T("Zwischensumme", "Subtotal")
                                                             : T("Datenvolumen", "Data volume");
        lo_vlog("%s %s: %li kB\n", what, inidat.headerv + inidat.headervoffset / 1000);
        if (endemodus == 0 && inidat.roundt < 1)
            lo_vlog(T("%s Verbindung beendet.\n", "%s Connection terminated.\n"), "", -1);
    }
    if (inidat.roundt > 0) {
        const char* hm = stundenminuten(inidat.headert);
        if (endemodus != 0) {
            lo_vlog(T("%s Zwischensumme: %s\n", "%s Subtotal: %s\n"), hm, -1);
        } else {
            if (inidat.dayt < 1)
                lo_vlog(T("%s Onlinezeit: %s\n", "%s Online time: %s\n"), hm, -1);
            else
                lo_vlog(T("%s Zwischensumme: %s\n", "%s Subtotal: %s\n"), hm, -1);
            lo_vlog(T("%s Verbindung beendet.\n", "%s Connection terminated.\n"), "", -1);
        }
    }

    homezonestatus = 0;
    reopen_single_port();
    cn__active = 0;
}
