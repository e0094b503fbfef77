#include "connection/accounting.h"

#include "config/ini_writer.h"
#include "connection/dialup.h"
#include "connection/internet_probes.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/clock.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/router_link.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool resetday(int d) {
    return d >= 1 && d <= 32;
}

} // namespace

// ---- Pure parts ----

void cn__acctload(cn__acct_t* a) {
    a->headerv = inidat.headerv;
    a->headervoffset = inidat.headervoffset;
    a->headert = inidat.headert;
    a->headert_alt = inidat.headert_alt;
    a->headerday = inidat.headerday;
    a->headermon = inidat.headermon;
    a->day = inidat.day;
    a->dayt = inidat.dayt;
    a->round = inidat.round;
    a->roundt = inidat.roundt;
    a->onlinezeit_vorher = onlinezeit_vorher;
}

void cn__acctstore(const cn__acct_t* a) {
    inidat.headerv = a->headerv;
    inidat.headervoffset = a->headervoffset;
    inidat.headert = a->headert;
    inidat.headert_alt = a->headert_alt;
    inidat.headerday = a->headerday;
    inidat.headermon = a->headermon;
    onlinezeit_vorher = a->onlinezeit_vorher;
}

void cn__volzeitrunden(cn__acct_t* a) {
    if (a->round >= 2 && a->headervoffset >= 1001) {
        long unit = a->round * 1000L;
        a->headervoffset = (a->headervoffset + (a->round - 1) * 1000L) / unit * unit;
    }
    if (a->roundt >= 2) {
        a->headert = (a->headert + a->roundt - 1) / a->roundt * a->roundt;
        a->onlinezeit_vorher = -1;
    }
}

void cn__endconnection(cn__acct_t* a, long connectionbytes) {
    if (connectionbytes < 1000) a->headervoffset += 1000 - max(connectionbytes, 0L);
    cn__volzeitrunden(a);
}

bool cn__rolloverdue(int d, int oldday, int oldmon, int today, int tomon) {
    if (!resetday(d)) return false;
    const bool monthchanged = oldmon != tomon;
    if (d <= today && oldday < d) return true;
    if (monthchanged && (d <= today || oldday < d)) return true;
    return d == 32 && (oldday != today || monthchanged);
}

bool cn__daychange(cn__acct_t* a, bool connected, const struct tm& now, cn__daychange_t* out) {
    *out = cn__daychange_t{};
    const int today = now.tm_mday, tomon = now.tm_mon + 1;
    if (today == a->headerday && tomon == a->headermon) return false;
    out->oldday = a->headerday;
    if (connected && now.tm_hour == 0 && now.tm_min < 2) {
        cn__volzeitrunden(a);
        out->subtotal = true;
        out->subtotal_kb = a->headerv + a->headervoffset / 1000;
        out->subtotal_min = a->headert;
    }
    if (cn__rolloverdue(a->day, a->headerday, a->headermon, today, tomon)) {
        if (a->headervoffset > 9999) {
            a->headerv += a->headervoffset / 1000;
            // Without a unit there is nothing to round up to.
            if (a->round >= 1) {
                a->headerv += a->round - 1;
                a->headerv -= a->headerv % a->round;
            }
            a->headervoffset = 1;
        }
        out->volrollover = true;
        out->vol_monthtotal = a->headerv;
        a->headerv = 0;
        a->headervoffset = 999;
    }
    if (cn__rolloverdue(a->dayt, a->headerday, a->headermon, today, tomon)) {
        cn__volzeitrunden(a);
        out->timerollover = true;
        out->time_monthtotal = a->headert;
        a->headert = 0;
    }
    out->headerwrite = out->volrollover || out->timerollover;
    a->headerday = today;
    a->headermon = tomon;
    return true;
}

long cn__interval(long now, long last) {
    long dt = now - last;
    return (dt < 50 || dt > 360000) ? 0 : dt;
}

int cn__countminute(int* vorher, int s) {
    if (*vorher < 0) {
        *vorher = s + 3541;
        return 0;
    }
    int m = ((s + 7200 - *vorher) % 3600 + 3600) % 3600 / 60;
    if (m <= 0) return 0;
    *vorher += 60 * m;
    if (*vorher >= 3600) *vorher %= 3600;
    return 1;
}

long cn__bytessince(long last, long now, long elapsed) {
    if (last < 0 || now < 0) return -1;
    const long bytes = now >= last ? now - last : now;
    // Up to a year between two polls; beyond that the product below would overflow.
    const long t = bereichl(elapsed, 0, 3153600000L);
    // One second more than elapsed: the counters are read a little after the timer.
    return bytes <= cn__MAXLINKRATE / 100 * (t + 100) ? bytes : -1;
}

long cn__speed(long bytes, long dt) {
    if (dt <= 0 || bytes < 0 || bytes > LONG_MAX / 100) return -1;
    const long v = bytes * 100 / dt;
    return v > cn__MAXLINKRATE ? -1 : v;
}

long cn__addtraffic(cn__acct_t* a, long du, long dd, bool testmode) {
    long traffic = max(du, 0L) + max(dd, 0L);
    if (traffic <= 0) return 0;
    if (testmode) traffic = traffic > 214748L ? 2147483647L : traffic * 10000;
    a->headervoffset = min(a->headervoffset, LONG_MAX / 2) + min(traffic, LONG_MAX / 4);
    return traffic;
}

void cn__foldtraffic(cn__acct_t* a, long du, long dd, long dt, bool testmode,
                     unsigned long onlinezeit_now, unsigned long* steponline, cn__traffic_t* out) {
    *out = cn__traffic_t{false, false, 0, 0, -1, -1};
    out->bytes = cn__addtraffic(a, du, dd, testmode);
    if (a->headervoffset > 9999999 || onlinezeit_now >= *steponline + 30000 ||
        onlinezeit_now < *steponline) {
        out->step = true;
        out->stepbytes = a->headervoffset;
        out->headerwrite = resetday(a->day) || resetday(a->dayt);
        if (!resetday(a->day)) {
            // The bytes below a kilobyte stay: the volume is kept to the byte.
            a->headerv += a->headervoffset / 1000;
            a->headervoffset %= 1000;
        }
        *steponline = onlinezeit_now;
    }
    out->bpsu = cn__speed(du, dt);
    out->bpsd = cn__speed(dd, dt);
}

bool cn__procnetdevline(const char* line, const char* ifname, long* bu, long* bd, int* err) {
    while (*line == ' ' || *line == '\t') line++;
    size_t n = strlen(ifname);
    if (n == 0 || strncmp(line, ifname, n) != 0 || line[n] != ':') return false;
    const char* t = line + n + 1;
    long v[14];
    for (long& x : v) x = cn__readlong(&t);
    if (bd) *bd = v[0];
    if (bu) *bu = v[8];
    if (err) {
        auto cap = [](long x) { return static_cast<int>(min(x, 10L)); };
        err[ERR_CRC] += (cap(v[2]) + 4) / 5;
        err[ERR_BUF] += cap(v[3]);
        err[ERR_ALG] += cap(v[4]);
        err[ERR_FRM] += cap(v[5]);
        err[ERR_CRC] += (cap(v[10]) + 4) / 5;
        err[ERR_BUF] += cap(v[11]);
        err[ERR_ALG] += cap(v[12]);
        err[ERR_TME] += cap(v[13]);
    }
    return true;
}

int cn__procnetdev(const char* text, size_t len, const char* ifname, long* bu, long* bd, int* err) {
    size_t i = 0;
    while (i < len) {
        const char* start = text + i;
        const void* nl = memchr(start, '\n', len - i);
        size_t l = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : len - i;
        char line[512];
        size_t k = min(l, sizeof line - 1);
        memcpy(line, start, k);
        line[k] = 0;
        if (cn__procnetdevline(line, ifname, bu, bd, err)) return 1;
        i += l + 1;
    }
    return 0;
}

int cn__errorratio(const int* erro, const int* err, int* which) {
    int best = 0;
    *which = -1;
    for (int i = 1; i <= 7; i++) {
        if (err[i] <= 0) continue;
        long r = static_cast<long>(erro[i]) * 1000 / err[i];
        int ri = static_cast<int>(bereichl(r, 0, INT_MAX));
        if (*which < 0 || ri > best) {
            best = ri;
            *which = i;
        }
    }
    return best;
}

void cn__errorline(char* out, size_t n, int ratio, int which, int displaylevel, bool de) {
    if (which < 0 || ratio < 1 || static_cast<long>(ratio) < displaylevel * 100L) {
        strmcpy(out, "0", n);
        return;
    }
    int level = min((ratio + 99) / 100, 9);
    snprintf(out, n, "%c%s %s %i", level < 6 ? '+' : '*', de ? "Fehler" : "Error", errname[which],
             level);
}

void cn__decay(int* erro, const int* err) {
    for (int i = 2; i <= 7; i++) {
        int c = erro[i];
        if (err[i] > 0) {
            c = c - c / 30 - 1;
            if (i == ERR_CRC) c = c - c / 30 - 1;
        }
        erro[i] = (err[i] > 0 && c > 0) ? c : 0;
    }
}

void cn__probeaddress(const char* list, size_t pos, char* out, size_t n) {
    if (pos > strlen(list)) pos = 0;
    char* p = const_cast<char*>(list + pos); // strmtcpy only reads through it
    strmtcpy(out, &p, n, ';');
}

size_t cn__nextprobe(const char* list, size_t pos) {
    size_t len = strlen(list);
    if (pos >= len) return 0;
    const char* semi = strchr(list + pos, ';');
    if (!semi || !semi[1]) return 0;
    return static_cast<size_t>(semi + 1 - list);
}

void cn__keepalive(bool router, long bpsu, long bpsd, const char* list, size_t* pos, int* noc,
                   const cn__keepalive_t& probes) {
    char addr[sizeof inidat.ping];
    if (!router) {
        if (bpsd >= 1) {
            *noc = 0;
        } else if (bpsu >= 1) {
            ++*noc;
        } else if (list[0]) {
            cn__probeaddress(list, *pos, addr, sizeof addr);
            probes.dnsecho(addr, false);
            if (!*probes.brake) *pos = cn__nextprobe(list, *pos);
        }
        return;
    }
    if (!list[0]) return;
    cn__probeaddress(list, *pos, addr, sizeof addr);
    bool probed = probes.ipok(addr);
    bool ok = probed && probes.dnsecho(addr, true);
    if (probed && *probes.brake) return;
    *noc = ok ? 0 : *noc + 1;
    *pos = cn__nextprobe(list, *pos);
}

// ---- Glue ----

long cn__connectionbytes = 0;

void volzeitrunden() {
    cn__acct_t a;
    cn__acctload(&a);
    cn__volzeitrunden(&a);
    cn__acctstore(&a);
}

void cn__beginconnection() {
    cn__statistiksbytes = cn__statistikrbytes = 0;
    // From now, not from the program start: the first poll must not count the time before
    // the connection as online or inactive time.
    cn__statistikzeit = ti_htime();
    cn__connectionbytes = 0;
    volzeitrunden();
}

void cn__endofconnection() {
    cn__acct_t a;
    cn__acctload(&a);
    cn__endconnection(&a, cn__connectionbytes);
    cn__acctstore(&a);
    cn__connectionbytes = 0;
    cn__statistiksbytes = cn__statistikrbytes = -1;
}

namespace {

// The whole of /proc/net/dev; a poll reads it into this buffer without allocating.
char procbuf[65536];

long read_proc_net_dev() {
    int fd = open("/proc/net/dev", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    size_t got = 0;
    while (got < sizeof procbuf) {
        ssize_t r = read(fd, procbuf + got, sizeof procbuf - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    close(fd);
    return static_cast<long>(got);
}

void headerwrite() {
    iv_iniheaderwrite(false);
}

void offline_times(long dt) {
    offlinezeit += dt;
    if (!(offlinezeita > 0 && innerhalb_enduhrzeit())) offlinezeita += dt;
}

bool probe_dns(const char* ip, bool wait) {
    return iz_dnsecho(ip, wait);
}
bool probe_pseudo(const char* ip) {
    return iz_ipok(ip);
}

// The router's session counters, which it gives in kilobytes.
void router_counters(long* su, long* rd) {
    *su = cm_linkcom(5, nullptr) * 1000;
    *rd = cm_linkcom(6, nullptr) * 1000;
}

// The bytes of each direction since the last poll (-1 unknown); the counters become the last.
void bytes_since_last_poll(long su, long rd, long elapsed, long* du, long* dd) {
    *du = cn__bytessince(cn__statistiksbytes, su, elapsed);
    *dd = cn__bytessince(cn__statistikrbytes, rd, elapsed);
    cn__statistiksbytes = su;
    cn__statistikrbytes = rd;
}

void day_change(const struct tm& lt) {
    cn__acct_t a;
    cn__acctload(&a);
    cn__daychange_t dc;
    if (!cn__daychange(&a, onlinezeit > 0, lt, &dc)) return;
    cn__acctstore(&a);
    if (dc.subtotal) {
        lo_vlog("%s %s: %li kB.\n", T("Zwischensumme", "Subtotal"), dc.subtotal_kb);
        lo_vlog(T("%s Zwischensumme: %s\n", "%s Subtotal: %s\n"), stundenminuten(dc.subtotal_min),
                -1);
    }
    if (resetday(a.day) || resetday(a.dayt)) {
        lo_slogx("Tag alt: %s%li\n", "", dc.oldday);
        lo_slogx("Tag neu: %s%li\n", "", lt.tm_mday);
    }
    if (dc.volrollover) {
        lo_slogx("Stichtag f" U8ue "r Volumen dazwischen: %s%li\n", "", a.day);
        lo_vlog("%s %s: %li kB.\n", T("Monatssumme", "Month total"), dc.vol_monthtotal);
    }
    if (dc.timerollover) {
        lo_slogx("Stichtag f" U8ue "r Onlinezeit dazwischen: %s%li\n", "", a.dayt);
        lo_vlog(T("%s Monatssumme: %s\n", "%s Month total: %s\n"),
                stundenminuten(dc.time_monthtotal), -1);
    }
    if (dc.headerwrite) headerwrite();
}

void show_connecting(const char* de, const char* en, const char* minide, const char* minien) {
    ic_mshow(4, -1, -1, -1, -1, T("mavlyn\n\nVerbindungsaufbau.", "mavlyn\n\nConnecting."));
    cc_show2(T(de, en), T(minide, minien));
    msleepx(1000);
}

// Offline: a link that was up is closed as at any other end, whether or not automatic
// connecting then dials again. True when it dialled.
bool offline(long dt) {
    onlinezeit = 0;
    inaktivzeit = 0;
    offline_times(dt);
    if (!inidat.constart || verbindenverboten) {
        if (cn__active != 0) cn_stop(0);
        return false;
    }
    cn_stop(0);
    if (!programmende_gewuenscht)
        show_connecting(" Verbindungsaufbau.", " Connecting.", " Verbindungs~aufbau.",
                        " Connecting.");
    memset(cn__erro, 0, sizeof cn__erro);
    cn_start();
    msleepx(500);
    return true;
}

void count_online_minute(const struct tm& lt) {
    cn__acct_t a;
    cn__acctload(&a);
    a.headert += cn__countminute(&a.onlinezeit_vorher, lt.tm_min * 60 + lt.tm_sec);
    cn__acctstore(&a);
    if (a.dayt > 0 && a.headert > a.headert_alt + 10) headerwrite();
}

void fold_traffic(long du, long dd, long dt, cn__traffic_t* tr) {
    static unsigned long steponline = 0;
    cn__acct_t a;
    cn__acctload(&a);
    cn__foldtraffic(&a, du, dd, dt, MODUS('8'), onlinezeit, &steponline, tr);
    cn__acctstore(&a);
    cn__connectionbytes = min(cn__connectionbytes + tr->bytes, LONG_MAX / 2);
    if (tr->step) {
        lo_slogx("10 MB erreicht: %s%liMB\n", "", tr->stepbytes);
        if (tr->headerwrite) headerwrite();
    }
}

void keep_alive(const cn__traffic_t& tr) {
    size_t pos = 0;
    if (inidat.pingp >= inidat.ping && inidat.pingp <= inidat.ping + strlen(inidat.ping))
        pos = static_cast<size_t>(inidat.pingp - inidat.ping);
    cn__keepalive(linksys, tr.bpsu, tr.bpsd, inidat.ping, &pos, &cn__erro[ERR_NOC],
                  cn__keepalive_t{probe_dns, probe_pseudo, &cn_dnsbremse});
    inidat.pingp = inidat.ping + pos;
}

// The error line, and at a reached threshold the reconnection.
void evaluate_errors() {
    int which = -1;
    int ratio = cn__errorratio(cn__erro, inidat.err, &which);
    cn__errorline(cc_mtext[cc_mtextERR], cc_mtextLEN, ratio, which, inidat.err[ERR_L], _de);
    if (ratio >= 1000 && which >= 0) {
        const char* name = errname[which];
        lo_slog(T("Verbindungsfehler %s.\n", "Connection error %s.\n"), name, -1);
        lo_vlog(T("%s Verbindung abgebrochen. Fehler %s\n", "%s Connection aborted. Error %s\n"),
                name, -1);
        char l[cc_mtextLEN], m[cc_mtextLEN];
        snprintf(l, sizeof l, T("*Verbindungsfehler %s.", "*Connection error %s."), name);
        snprintf(m, sizeof m, T("*Fehler %s.", "*Error %s."), name);
        cc_show2(l, m);
        msleepx(30);
        if (MODUS('E')) {
            shutdownerlaubt = true;
            programmende_endgueltig();
        }
        cn_stop(1);
        show_connecting(" Neuer Verbindungsaufbau.", " Reconnect.", " Verbindungs~neuaufbau.",
                        " Reconnect.");
        cn_start();
        onlinezeit = 0;
        inaktivzeit = 0;
    }
    cn__decay(cn__erro, inidat.err);
}

} // namespace

int cn_ifstatistics(long* bu, long* bd, int* err) {
    if (!cn__linuxconnectionname[0]) {
        // No interface yet, so offline. A CON naming a ppp interface is watched under that
        // name; any other (empty, "Internet", a device path) is the port that is dialled.
        if (strncmp(inidat.con, "ppp", 3) == 0 && cn__ifnameok(inidat.con))
            strMcpy(cn__linuxconnectionname, inidat.con);
        return 0;
    }
    long len = read_proc_net_dev();
    if (len < 0) {
        lo_slog("ifconfig error 3.\n", "", -1);
        return -1;
    }
    int r = cn__procnetdev(procbuf, static_cast<size_t>(len), cn__linuxconnectionname, bu, bd, err);
    if (MODUS('2') && r != 1) {
        lo_dlog("cn_ifstatistics(): %s\n", "cat /proc/net/dev", -1);
        if (system("cat /proc/net/dev 2>&1 >>debuglog.txt") != 0) {
        }
    }
    return r;
}

void cn__countlastbytes() {
    long su = 0, rd = 0;
    if (linksys)
        router_counters(&su, &rd);
    else if (cn_ifstatistics(&su, &rd, nullptr) != 1)
        return;
    const long htime = ti_htime();
    long du, dd;
    bytes_since_last_poll(su, rd, htime - cn__statistikzeit, &du, &dd);
    cn__statistikzeit = htime;
    cn__acct_t a;
    cn__acctload(&a);
    cn__connectionbytes =
        min(cn__connectionbytes + cn__addtraffic(&a, du, dd, MODUS('8')), LONG_MAX / 2);
    cn__acctstore(&a);
}

bool cn_statistics(long* bpsu, long* bpsd, long* kbvol) {
    static int configseen = INT_MIN;
    const bool configchanged = configseen != inicounterglobal;
    configseen = inicounterglobal;

    time_t now = time(nullptr);
    struct tm lt {};
    localtime_r(&now, &lt);
    day_change(lt);

    const long htime = ti_htime();
    const long elapsed = htime - cn__statistikzeit;
    const long dt = cn__interval(htime, cn__statistikzeit);
    cn__statistikzeit = htime;
    *bpsu = *bpsd = -1;
    *kbvol = inidat.headerv + inidat.headervoffset / 1000;

    if (verbindenverboten || programmende_gewuenscht) {
        onlinezeit = 0;
        offline_times(dt);
        inaktivzeit = 0;
        return false;
    }

    long su = 0, rd = 0;
    bool online;
    if (linksys) {
        online = cm_linkcom(9, nullptr) > 0;
    } else {
        int r = cn_ifstatistics(&su, &rd, cn__erro);
        if (r < 0) return false;
        online = r == 1;
    }
    if (!online) return offline(dt);

    lo_vlogtime();
    cn_timegap(now);
    onlinezeit = onlinezeit < 2 ? 2 : onlinezeit + static_cast<unsigned long>(dt);
    if (onlinezeit > 18000) offlinezeit = offlinezeita = 0;
    count_online_minute(lt);

    if (linksys) {
        router_counters(&su, &rd);
        memset(cn__erro, 0, sizeof cn__erro);
    } else if (su < 0 || rd < 0) {
        return false;
    }
    if (configchanged) memset(cn__erro, 0, sizeof cn__erro);

    long du, dd;
    bytes_since_last_poll(su, rd, elapsed, &du, &dd);
    cn__traffic_t tr;
    fold_traffic(du, dd, dt, &tr);

    const long threshold = inidat.endhightraffic ? 2200 : 800;
    if (tr.bpsu > threshold || tr.bpsd > threshold)
        inaktivzeit = 0;
    else
        inaktivzeit += static_cast<unsigned long>(dt);

    keep_alive(tr);
    evaluate_errors();

    *bpsu = tr.bpsu >= 0 && tr.bpsu < 170 ? 0 : tr.bpsu;
    *bpsd = tr.bpsd >= 0 && tr.bpsd < 170 ? 0 : tr.bpsd;
    *kbvol = inidat.headerv + inidat.headervoffset / 1000;
    return false;
}
