#include "sms/sms_reception.h"

#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/tone.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "sms/pdu_codec.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

char sm__msgnachricht[900] = "";
int sm_msgzustand = 0;
int sm_msgprepaidzustand = 0;
char sm_msgprepaidnachricht[900] = "";

namespace {

bool sm__inidone = false;
int sm__index = -1;
bool sm__endbysms = false;

bool errorwithin(const char* t, size_t limit) {
    const char* e = strstr(t, "ERROR");
    return e && static_cast<size_t>(e - t) < limit;
}

bool shellspecial(unsigned char c) {
    return c < 0x20 || c == 0x7F || strchr("`$\\\"';&|<>(){}[]*?~#!^", c);
}

void putsafe(std::string& o, const char* s) {
    for (; *s; s++) o += shellspecial(static_cast<unsigned char>(*s)) ? '_' : *s;
}

bool anysmscommand() {
    for (int i = 0; i < 3; i++)
        if (inidat.cmd[i][0] && inidat.sms[i] == 1) return true;
    return false;
}

void runcommand(int i, const char* sender, const char* arg) {
    char line[600];
    sm__expand(inidat.cmd[i], sender, arg, line, sizeof line);
    lo_mlog(T("%s Kommando: %s\n\n", "%s Command: %s\n\n"), line, -1, false);
    int word = KOMM(line);
    sm__builtincommand(word, true);
    const char* rest = word >= 0 ? line + strlen(kommandos[word]) : line;
    while (*rest == ' ') rest++;
    if (!*rest) return;
    lo_vlog(T("%s Kommando per SMS: %s\n", "%s Command by SMS: %s\n"), rest, -1);
    sp_stop(i);
    sp_start(i, rest);
}

void notice(const char* de, const char* en, const char* minide, const char* minien) {
    beep(600, 50);
    cc_show2(T(de, en), T(minide, minien));
    msleepx(MELDUNGZEIT);
}

// Carries out the SMS commands a message triggers; true when one did.
bool smscommands(const char* sender, const char* body) {
    if (strlen(body) > 500) return false;
    bool matched = false;
    for (int i = 0; i < 3; i++) {
        if (!inidat.cmd[i][0] || inidat.sms[i] != 1) continue;
        char arg[504];
        if (!sm__commandmatches(i, sender, body, arg, sizeof arg)) continue;
        if (!matched) {
            notice("+SMS-Kommando empfangen.", "+SMS command received.", "+SMS~Kommando",
                   "+SMS_command.");
            sm_msgzustand = 2;
            matched = true;
        }
        runcommand(i, sender, arg);
    }
    return matched;
}

// Parts of long messages wait in the working directory until their set is complete, so
// that each part can leave the modem at once and a restart loses none of them.
const char* const partsdir = "sms_in/parts";
constexpr int maxparts = 16;
constexpr time_t partwait = 24 * 3600;

struct Part {
    std::string file, sender, stamp, text;
    int part = 0;
    time_t mtime = 0;
};

std::string message;    // the whole message in hand (sm__msgnachricht may hold only its start)
std::string storedpart; // in hand from the parts store, not from the modem
std::vector<std::string> joinedparts; // parts files of the joined message in hand

std::string setname(const char* sender, const sm__concat_t& c) {
    std::string s;
    for (const char* p = sender; *p; p++)
        s += (isalnum(static_cast<unsigned char>(*p)) || *p == '+') ? *p : '_';
    char tail[40];
    snprintf(tail, sizeof tail, "_%X_%i_", c.ref, c.total);
    return s + tail;
}

bool storepart(const sm__deliver_t& m) {
    dir_create("sms_in");
    dir_create(partsdir);
    char num[8];
    snprintf(num, sizeof num, "%03i", m.concat.part);
    std::string path = std::string(partsdir) + DIRSTR + setname(m.sender, m.concat) + num;
    std::string tmp = path + ".new";
    FILE* f = file_openprivate(tmp.c_str(), "w");
    if (!f) return false;
    bool ok = fprintf(f, "%s\n%s\n%s", m.sender, m.stamp, m.text) >= 0;
    ok = fclose(f) == 0 && ok;
    // Renamed into place only when complete: a part file is either whole or absent.
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        file_delete(tmp.c_str());
        return false;
    }
    return true;
}

bool loadpart(const std::string& file, Part* p) {
    FILE* f = fopen(file.c_str(), "r");
    if (!f) return false;
    std::string all;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && all.size() < 4096) all.append(buf, n);
    fclose(f);
    size_t a = all.find('\n');
    size_t b = a == std::string::npos ? a : all.find('\n', a + 1);
    if (b == std::string::npos) return false;
    p->file = file;
    p->sender = all.substr(0, a);
    p->stamp = all.substr(a + 1, b - a - 1);
    p->text = all.substr(b + 1);
    size_t us = file.rfind('_');
    p->part = atoi(file.c_str() + us + 1);
    struct stat st;
    p->mtime = stat(file.c_str(), &st) == 0 ? st.st_mtime : 0;
    return true;
}

// The stored parts whose file names begin with prefix ("" for all), in part order.
std::vector<Part> loadparts(const std::string& prefix) {
    std::vector<Part> parts;
    DIR* d = opendir(partsdir);
    if (!d) return parts;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name[0] == '.' || name.size() < 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.find(".new") != std::string::npos)
            continue;
        Part p;
        if (loadpart(std::string(partsdir) + DIRSTR + name, &p)) parts.push_back(p);
    }
    closedir(d);
    std::sort(parts.begin(), parts.end(),
              [](const Part& x, const Part& y) { return x.file < y.file; });
    return parts;
}

// What was handled is remembered in the working folder until the message has left the modem,
// so that a crash in between neither logs it nor runs its commands a second time. An entry is
// the storage index and a hash of the PDU (index -1 for a part from the parts store).
const char* const handledfile = "sms_handled.txt";
constexpr size_t maxhandled = 20; // entries of messages deleted behind the program's back age out
std::string handledkey;           // of the message in hand

std::string keyof(int index, const std::string& raw) {
    uint64_t h = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : raw) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char key[40];
    snprintf(key, sizeof key, "%i %016llx", index, static_cast<unsigned long long>(h));
    return key;
}

std::vector<std::string> handledlist() {
    std::vector<std::string> keys;
    if (FILE* f = fopen(handledfile, "r")) {
        char line[64];
        while (fgets(line, sizeof line, f)) {
            line[strcspn(line, "\r\n")] = 0;
            if (line[0]) keys.emplace_back(line);
        }
        fclose(f);
    }
    return keys;
}

void writehandled(const std::vector<std::string>& keys) {
    if (keys.empty()) {
        file_delete(handledfile);
        return;
    }
    std::string tmp = std::string(handledfile) + ".new";
    FILE* f = fopen(tmp.c_str(), "w");
    if (!f) return;
    bool ok = true;
    for (const std::string& k : keys) ok = fprintf(f, "%s\n", k.c_str()) > 0 && ok;
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(tmp.c_str(), handledfile) != 0) file_delete(tmp.c_str());
}

bool washandled(const std::string& key) {
    std::vector<std::string> keys = handledlist();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void remember(const std::string& key) {
    std::vector<std::string> keys = handledlist();
    if (keys.size() >= maxhandled) keys.erase(keys.begin(), keys.end() - (maxhandled - 1));
    keys.push_back(key);
    writehandled(keys);
}

void forgethandled(const std::string& key) {
    std::vector<std::string> keys = handledlist();
    auto at = std::find(keys.begin(), keys.end(), key);
    if (at == keys.end()) return;
    keys.erase(at);
    writehandled(keys);
}

// Records the message in hand and obeys its commands; commands false for an unreadable one.
void handle(const char* sender, const char* stamp, const std::string& text, bool commands) {
    message = std::string(sender) + " " + stamp + "\n\n" + text;
    strMcpy(sm__msgnachricht, message.c_str());

    dir_create("sms_in");
    file_makerw("sms_in", true);
    lo_mlog("%s SMS: %s\n\n", message.c_str(), -1, true);
    remember(handledkey);

    if (commands && smscommands(sender, text.c_str())) return;
    if (anysmscommand()) {
        notice("+SMS empfangen.", "+SMS received.", "+SMS_empfangen.", "+SMS_received.");
        sm_msgzustand = 2;
    } else {
        sm_msgzustand = 1;
        th_wakeall(); // the message thread shows it
    }
}

// A message that cannot be read is recorded once with what the modem gave for it, and then
// leaves the modem like any other, so that it never holds up the messages behind it.
void unreadable(const sm__deliver_t& m, const std::string& raw) {
    std::string text =
        T("(Nachricht nicht lesbar)", "(unreadable message)") + std::string("\n") + raw;
    handle(m.sender[0] ? m.sender : T("unbekannt", "unknown"),
           m.stamp[0] ? m.stamp : "2000-00-00 00:00:00 [00]", text, false);
}

// A stored part that waited too long for its siblings is handled alone; true when one was.
bool expiredpart() {
    std::vector<Part> parts = loadparts("");
    time_t now = time(nullptr);
    const Part* oldest = nullptr;
    for (const Part& p : parts)
        if (now - p.mtime >= partwait && (!oldest || p.mtime < oldest->mtime)) oldest = &p;
    if (!oldest) return false;
    // The lowest part of the oldest set goes first.
    std::string set = oldest->file.substr(0, oldest->file.rfind('_') + 1);
    for (const Part& p : parts) {
        if (p.file.compare(0, set.size(), set) != 0) continue;
        storedpart = p.file;
        handledkey = keyof(-1, p.file);
        if (washandled(handledkey))
            sm_msgzustand = 2;
        else
            handle(p.sender.c_str(), p.stamp.c_str(), T("<Lang> ", "<Long> ") + p.text, true);
        return true;
    }
    return false;
}

// The index of the first stored message, unread ones first; -1 for none.
int storedindex(char* t) {
    cm_exchange("AT+CMGL=0\r", t);
    t[800] = 0;
    int index = sm__listindex(t);
    if (index >= 0) return index;
    cm_exchange("AT+CMGL=1\r", t);
    t[800] = 0;
    return sm__listindex(t);
}

// The PDU line of the message at index into raw. A message the modem will not give is asked
// for again at the next calls; after a few refusals in a row its answer stands for the PDU.
constexpr int maxrefusals = 5;
int refusedindex = -1;
int refusals = 0;

bool readstored(int index, char* t, std::string* raw) {
    char cmd[40];
    snprintf(cmd, sizeof cmd, "AT+CMGR=%i\r", index);
    memset(t, 0, antwortLEN);
    cm_exchange(cmd, t);
    char hex[800];
    if (sm__readpdu(t, hex, sizeof hex)) {
        if (index == refusedindex) refusals = 0;
        *raw = hex;
        return true;
    }
    refusals = index == refusedindex ? refusals + 1 : 1;
    refusedindex = index;
    if (refusals < maxrefusals) return false;
    refusals = 0;
    lo_slog("SMS at index %li cannot be read.\n", "", index);
    std::string answer;
    for (const char* c = t; *c && answer.size() < 300; c++)
        answer += (*c == '\r' || *c == '\n') ? ' ' : *c;
    *raw = answer;
    return true;
}

// The stored parts of the set a part belongs to, gone once its message was handled.
void dropparts(const sm__deliver_t& m) {
    for (const Part& p : loadparts(setname(m.sender, m.concat)))
        if (p.sender == m.sender) file_delete(p.file.c_str());
}

void fetch(char* t) {
    sm__ini(t);
    if (expiredpart()) return;
    int index = storedindex(t);
    std::string raw;
    if (index < 0 || !readstored(index, t, &raw)) return;
    sm__index = index;
    storedpart.clear();
    joinedparts.clear();
    handledkey = keyof(index, raw);

    uint8_t pdu[400];
    size_t n = sm__hextooctets(raw.c_str(), pdu, sizeof pdu);
    sm__deliver_t m{};
    bool readable = n >= 15 && sm__decodedeliver(pdu, n, &m) && !m.malformed;
    if (washandled(handledkey)) {
        // Handled before the program was stopped: it only has to leave the modem.
        lo_slog("SMS at index %li was handled before, deleting it.\n", "", index);
        if (readable && m.concat.present) dropparts(m);
        sm_msgzustand = 2;
        return;
    }
    if (!readable) {
        unreadable(m, raw);
        return;
    }
    if (!m.concat.present) {
        handle(m.sender, m.stamp, m.text, true);
        return;
    }
    if (m.concat.total > maxparts || !storepart(m)) {
        // Read on its own, marked as a part.
        handle(m.sender, m.stamp, T("<Lang> ", "<Long> ") + std::string(m.text), true);
        return;
    }
    std::vector<Part> set = loadparts(setname(m.sender, m.concat));
    std::string joined;
    int have = 0;
    for (const Part& p : set) {
        if (p.sender != m.sender) continue;
        have++;
        joined += p.text;
        joinedparts.push_back(p.file);
    }
    if (have < m.concat.total) {
        // Kept; the modem may forget it.
        lo_slog("Part of a long SMS from %s kept: %li.\n", m.sender, m.concat.part);
        joinedparts.clear();
        sm_msgzustand = 2;
        return;
    }
    const Part& first = set.front();
    handle(m.sender, first.stamp.c_str(), joined, true);
}

void deletehandled(char* t) {
    if (!storedpart.empty()) {
        file_delete(storedpart.c_str());
        storedpart.clear();
        sm_msgzustand = 0;
    } else {
        // The parts of a joined message are no longer needed: it is handled and remembered.
        for (const std::string& f : joinedparts) file_delete(f.c_str());
        char cmd[40];
        snprintf(cmd, sizeof cmd, "AT+CMGD=%i\r", sm__index);
        cm_exchange(cmd, t);
        sm_msgzustand = strstr(t, "ERROR") ? 9 : 0;
    }
    joinedparts.clear();
    if (sm_msgzustand == 0) forgethandled(handledkey);
    if (sm__endbysms) {
        sm__endbysms = false;
        th_requestend();
    }
}

// The program's own path for the shell, as one word.
std::string quotedself() {
    return ut_shellquoted((_argv && _argv[0]) ? _argv[0] : "mavlyn");
}

// The message box shows at most this many bytes of UTF-8; the answers' legend must stay.
constexpr size_t boxroom = 799;

// The message cut (with " ...") so that it and the legend fit into the box once in UTF-8.
std::string fitting(const char* text, size_t legend) {
    std::string m = text;
    std::vector<char> utf8(2 * m.size() + 8);
    for (bool cut = false;; cut = true) {
        std::string shown = cut ? m + " ..." : m;
        strmtoutf8(utf8.data(), shown.c_str(), utf8.size());
        if (strlen(utf8.data()) + legend <= boxroom || m.empty()) return shown;
        m.resize(m.size() > 16 ? m.size() - 16 : 0);
    }
}

void showmessage() {
    bool config = ia_configinstance_isactive();
    std::string m;
    if (config)
        m = T("\n\n[Ja]   SMS ins Protokoll verschieben  \n[Nein]   SMS-Empfang abschalten  ",
              "\n\n[Yes]   Move SMS to log  \n[No]   Stop SMS reception  ");
    else
        m = T("\n\n[Ja]   SMS-Manager jetzt starten  \n[Nein]   SMS-Empfang abschalten  "
              "\n[Abbrechen]   SMS-Manager nicht starten  ",
              "\n\n[Yes]   Start SMS manager now  \n[No]   Stop SMS reception  \n[Cancel]   "
              "Do not start SMS manager  ");
    m = fitting(sm__msgnachricht, m.size()) + m;
    int r = me_messagebox(0, T("mavlyn   SMS-Empfang", "mavlyn   SMS Reception"), m.c_str(), 3,
                          config ? 2 : 3, 0);
    if (r == 2) {
        sm_msgzustand = 9;
        return;
    }
    sm_msgzustand = 2;
    if (r == 1 && !config) {
        std::string cmd = quotedself() + " SMSCONFIGSUB &";
        if (system(cmd.c_str()) != 0) lo_slog("SMS manager start failed.\n", "", -1);
    }
}

} // namespace

int sm__listindex(const char* t) {
    if (errorwithin(t, 30)) return -1;
    const char* p = strstr(t, "+CMGL:");
    if (!p) return -1;
    p += 6;
    while (*p == ' ') p++;
    if (!isdigit(static_cast<unsigned char>(*p))) return -1;
    long v = strtol(p, nullptr, 10);
    return v > 100000 ? -1 : static_cast<int>(v);
}

bool sm__readpdu(const char* t, char* pdu, size_t n) {
    if (n) pdu[0] = 0;
    if (errorwithin(t, 20) || strlen(t) >= 800) return false;
    const char* p = strstr(t, "+CMGR:");
    if (!p) return false;
    p += strcspn(p, "\r\n");
    p += strspn(p, "\r\n");
    size_t len = strcspn(p, "\r\n");
    if (!len || len >= n) return false;
    memcpy(pdu, p, len);
    pdu[len] = 0;
    return true;
}

void sm__expand(const char* cmd, const char* sender, const char* arg, char* out, size_t n) {
    std::string o;
    char quote = 0; // the quote the command line has open at this point: 0, '\'' or '"'
    for (const char* c = cmd; *c; c++) {
        if (*c != '%') {
            if (*c == '\\' && quote != '\'' && c[1]) {
                o += *c++;
            } else if ((*c == '\'' || *c == '"') && (!quote || quote == *c)) {
                quote = quote ? 0 : *c;
            }
            o += *c;
            continue;
        }
        char k = c[1];
        if (k == '%') {
            o += '%';
        } else if (k == '0' && sender[0] == '+') {
            putsafe(o, sender + 1);
        } else if (k == '1') {
            putsafe(o, sender);
        } else if ((k == '2' || k == '3') && arg) {
            // The blanks around the argument only separated it from the keyword.
            std::string text = arg;
            text.erase(text.find_last_not_of(" \t\r\n") + 1);
            text.erase(0, text.find_first_not_of(" \t\r\n"));
            std::string word;
            if (k == '2') {
                putsafe(word, text.c_str());
            } else {
                for (char a : text)
                    word +=
                        (isalnum(static_cast<unsigned char>(a)) || a == ' ' || a == '_' || a == '.')
                            ? a
                            : '_';
            }
            if (!word.empty() && word[0] == '-') word[0] = '_';
            o += quote ? word : "'" + word + "'";
        } else {
            o += '%';
            continue;
        }
        c++;
    }
    strmcpy(out, o.c_str(), n);
}

bool sm__commandmatches(int i, const char* sender, const char* body, char* arg, size_t n) {
    if (i < 0 || i > 2) return false;
    if (inidat.smsnr[i][0] && strcmp(inidat.smsnr[i], sender) != 0) return false;
    if (!inidat.smskey[i][0]) {
        strmcpy(arg, body, n);
        return true;
    }
    std::string upper = body, key = inidat.smskey[i];
    for (auto& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (auto& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    size_t at = upper.find(key);
    if (at == std::string::npos) return false;
    strmcpy(arg, body + at + key.size(), n);
    return true;
}

void sm__ini(char* t) {
    if (sm__inidone) return;
    sm__inidone = true;
    if (MODUS('P')) cm_exchange("AT+CPMS?\r", t);
    for (int i = 0; i < 12; i++) {
        cm_exchange("AT+CPMS=\"MT\",\"ME\",\"ME\"\r", t);
        const char* e = strstr(t, "ERROR");
        if (!e || !strstr(e, "500")) break;
        msleepx(static_cast<unsigned long>(max(0, 250 - comzeit) * 2));
    }
    if (strstr(t, "ERROR")) {
        cm_exchange("AT+CPMS=\"MT\",\"ME\"\r", t);
        if (strstr(t, "ERROR")) cm_exchange("AT+CPMS=\"SM\",\"SM\",\"SM\"\r", t);
    }
    if (MODUS('P')) {
        cm_exchange("AT+CPMS?\r", t);
        cm_exchange("AT+CPMS=?\r", t);
    }
    if (inidat.smsc[0]) {
        char cmd[80];
        snprintf(cmd, sizeof cmd, "AT+CSCA=\"%s\",145\r", inidat.smsc);
        cm_exchange(cmd, t);
    }
    cm_exchange("AT+CMGF=0\r", t);
}

void sm_msgholen() {
    if (linksys || !MODUS('M')) return;
    static char t[antwortLEN];
    if (sm_msgzustand == 0)
        fetch(t);
    else if (sm_msgzustand == 2)
        deletehandled(t);
}

void sm__builtincommand(int word, bool bysms) {
    // Connection-log lines by word, German and English, for an SMS and for a call.
    static const char* const lines[4][2][2] = {
        {{"%s Verbindung per SMS aktiviert.\n", "%s Connection activated by SMS.\n"},
         {"%s Verbindung per Anruf aktiviert.\n", "%s Connection activated by call.\n"}},
        {{"%s Verbindung per SMS deaktiviert.\n", "%s Connection deactivated by SMS.\n"},
         {"%s Verbindung per Anruf deaktiviert.\n", "%s Connection deactivated by call.\n"}},
        {{"%s Neu verbinden durch SMS.\n", "%s Reconnect caused by SMS.\n"},
         {"%s Neu verbinden durch Anruf.\n", "%s Reconnect caused by call.\n"}},
        {{"%s Programm per SMS beendet.\n", "%s Program terminated by SMS.\n"},
         {"%s Programm per Anruf beendet.\n", "%s Program terminated by call.\n"}},
    };
    if (word < 0 || word > 3) return;
    lo_vlog(lines[word][bysms ? 0 : 1][_de ? 0 : 1], "", -1);
    switch (word) {
    case 0:
        inidat.constart = true;
        break;
    case 1:
        inidat.constart = false;
        cn_stop(1);
        break;
    case 2:
        unterbrechung_gewuenscht = 2;
        break;
    default:
        // An end ordered by SMS waits until the message has left the modem, or it would
        // be obeyed again at the next start.
        if (bysms)
            sm__endbysms = true;
        else
            th_requestend();
        break;
    }
}

void sm__forget() {
    sm__inidone = false;
    sm__index = -1;
    sm__endbysms = false;
    storedpart.clear();
    joinedparts.clear();
    message.clear();
    handledkey.clear();
    refusedindex = -1;
    refusals = 0;
    sm_msgzustand = 0;
    sm_msgprepaidzustand = 0;
    sm__msgnachricht[0] = 0;
}

namespace {
bool sm__msgwaiting() {
    return sm_msgzustand == 1 || sm_msgprepaidzustand == 1;
}
} // namespace

gpointer sm_msgthread(gpointer) {
    th_register("msgthread");
    constexpr gint64 alive_every = 20 * G_USEC_PER_SEC;
    gint64 alive_at = g_get_monotonic_time() + alive_every;
    for (;;) {
        // Asleep until there is something to show, the alive line is due or the program ends.
        gint64 left_ms = (alive_at - g_get_monotonic_time()) / 1000;
        th_waitfor(static_cast<unsigned long>(std::max<gint64>(left_ms, 0)), sm__msgwaiting);
        th_msleepexit(0);
        if (g_get_monotonic_time() >= alive_at) {
            lo_slogx("MSG thread alive.\n", "", -1);
            alive_at = g_get_monotonic_time() + alive_every;
        }
        if (sm_msgzustand == 1) showmessage();
        if (sm_msgprepaidzustand == 1) {
            me_messagebox(0, T("mavlyn   Prepaid-Abfrage", "mavlyn   Credit Query"),
                          sm_msgprepaidnachricht, 1, 0, 0);
            sm_msgprepaidzustand = 0;
        }
    }
}
