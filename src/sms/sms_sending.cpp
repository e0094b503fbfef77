#include "sms/sms_sending.h"

#include "foundation/handles.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "sms/pdu_codec.h"
#include "sms/sms_reception.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utime.h>
#include <vector>

namespace {

bool sm__taken = false; // a message was taken for sending since the start
bool sm__firstcall = true;
char sm__lasttext[260] = "";
char sm__lastrecipient[40] = "";
long sm__lastlength = -1;

const char* const queuedir = "sms_send";
const char* const sentdir = "sms_out";
const char* const faileddir = "sms_failed";

// The queue files in directory order.
std::vector<std::string> queuefiles() {
    std::vector<std::string> names;
    Dir d(opendir(queuedir));
    if (!d) return names;
    while (struct dirent* e = readdir(d.get()))
        if (strncmp(e->d_name, "sms_", 4) == 0) names.emplace_back(e->d_name);
    return names;
}

void invalid() {
    lo_mlog(T("%s Ung" U8ue "ltiges Dateiformat beim Senden einer SMS.\n",
              "%s Invalid file format for sms transmission.\n"),
            "", -1, false);
}

enum class Outcome { sent, refused, unanswered };

// The modem's final answer line (behind the echo of the PDU), for the service log.
std::string lastline(const std::string& answer) {
    size_t end = answer.find_last_not_of("\r\n ");
    if (end == std::string::npos) return "";
    size_t start = answer.find_last_of("\r\n", end);
    start = start == std::string::npos ? 0 : start + 1;
    return answer.substr(start, min(end + 1 - start, size_t{200}));
}

// The line that says why the modem refused: unsolicited reports ("^MODE:5,4") may follow it.
std::string errorline(const std::string& answer) {
    size_t at = answer.rfind("ERROR");
    if (at == std::string::npos) return lastline(answer);
    size_t end = answer.find_first_of("\r\n", at);
    return lastline(answer.substr(0, end));
}

// The network confirms a message within about 18 s. The answer is read as it arrives, at
// growing intervals: every empty read counts toward the channel's read errors.
constexpr unsigned long answerreads[] = {1000, 2000, 4000, 5000, 6000};

Outcome transmit(const char* pdu, int tpdulen, std::string* answer) {
    static char t[antwortLEN];
    sm__ini(t);
    char cmd[40];
    snprintf(cmd, sizeof cmd, "AT+CMGS=%i\r", tpdulen);
    cm_exchange(cmd, t, comzeit, 0);
    *answer = t;
    if (!strchr(t, '>')) return Outcome::refused;
    cm_puts(pdu);
    msleep(static_cast<unsigned long>(comzeit));
    answer->clear();
    for (unsigned long pause : answerreads) {
        msleepx(pause);
        cm_gets(t, 25);
        *answer += t;
        if (answer->find("CMGS:") != std::string::npos) return Outcome::sent;
        if (answer->find("ERROR") != std::string::npos) return Outcome::refused;
    }
    return Outcome::unanswered;
}

// A refused message is tried again after growing pauses, then given up into "sms_failed". The
// file's modification time says when its next try is due, so the pause survives a restart.
constexpr time_t retrypause[] = {60, 300, 1800};
constexpr int maxtries = 1 + static_cast<int>(sizeof retrypause / sizeof retrypause[0]);
std::map<std::string, int> sm__tries; // refused tries by queue file name

bool due(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return true;
    time_t now = time(nullptr);
    // A file just written may carry the next second; a time further ahead than the longest
    // pause comes from a clock that was put back.
    return st.st_mtime <= now + 2 || st.st_mtime > now + retrypause[maxtries - 2] + 60;
}

void movefile(const std::string& name, const char* dir) {
    dir_create(dir);
    file_makerw(dir, true);
    std::string path = std::string(queuedir) + DIRSTR + name;
    std::string target = std::string(dir) + DIRSTR + name;
    file_delete(target.c_str());
    if (rename(path.c_str(), target.c_str()) != 0)
        lo_slog("SMS file not moved: %s\n", path.c_str(), -1);
}

void waitfor(const std::string& name, time_t pause) {
    std::string path = std::string(queuedir) + DIRSTR + name;
    time_t next = time(nullptr) + pause;
    struct utimbuf times = {next, next};
    utime(path.c_str(), &times);
}

// Only an error answer counts as a try; without one (no modem behind the channel, as in
// single-port mode while online) the message just waits for the first pause.
void refused(const std::string& name, const std::string& answer) {
    if (answer.find("ERROR") == std::string::npos) {
        lo_slog("SMS not sent, no answer from the modem: %s\n", lastline(answer).c_str(), -1);
        waitfor(name, retrypause[0]);
        return;
    }
    lo_slog("SMS refused by the modem: %s\n", errorline(answer).c_str(), -1);
    int tries = ++sm__tries[name];
    if (tries < maxtries) {
        waitfor(name, retrypause[tries - 1]);
        return;
    }
    sm__tries.erase(name);
    movefile(name, faileddir);
    lo_slog("SMS %s given up after %li tries, moved to sms_failed.\n", name.c_str(), tries);
}

// Handles one queue file; false when it was not a valid one, could not be opened or waits
// for its next try (the next file is tried then).
bool sendfile(const std::string& name) {
    std::string path = std::string(queuedir) + DIRSTR + name;
    if (!due(path)) return false;
    File f(fopen(path.c_str(), "r+"));
    if (!f) return false; // still being written, or not ours: tried again later
    char recipient[40];
    bool international = false;
    long length = file_length(path.c_str());
    char text[260] = "";
    if (!sm__queuerecipient(name.c_str(), recipient, sizeof recipient, &international) ||
        length < 0 || length > 250) {
        invalid();
        return false;
    }
    size_t got = fread(text, 1, static_cast<size_t>(length), f.get());
    if (got != static_cast<size_t>(length) || ferror(f.get())) {
        invalid();
        return false;
    }
    text[got] = 0;
    sm__queuetext(text);

    if (sm__taken && length == sm__lastlength && strcmp(text, sm__lasttext) == 0 &&
        strcmp(recipient, sm__lastrecipient) == 0) {
        f.reset();
        msleep(200);
        file_delete(path.c_str());
        lo_mlog(T("%s Wiederholtes Senden identischer SMS verhindert.\n",
                  "%s Prevented repetitive transmission of identical SMS.\n"),
                "", -1, false);
        sm__lasttext[0] = 0;
        return true;
    }
    sm__taken = true;
    sm__lastlength = length;
    strMcpy(sm__lasttext, text);
    strMcpy(sm__lastrecipient, recipient);

    char pdu[400];
    int tpdulen = 0;
    if (!sm__buildsubmit(inidat.smsc, recipient, international, text, pdu, sizeof pdu, &tpdulen,
                         nullptr)) {
        invalid();
        return false;
    }
    cc_show2(T("+Sende SMS.", "+Sending SMS."), T("+Sende_SMS", "+Sending_SMS"));
    msleepx(2000);

    std::string answer;
    Outcome outcome = transmit(pdu, tpdulen, &answer);
    f.reset();
    if (outcome == Outcome::refused) {
        lo_mlog(T("%s SMS nicht gesendet: %s\n", "%s Could not send SMS: %s\n"), text, -1, false);
        sm__lasttext[0] = 0;
        sm__lastlength = -1;
        refused(name, answer);
        return true;
    }
    // Without an answer the message may well have gone: a confirmation that comes late must
    // not make it go twice.
    sm__tries.erase(name);
    msleep(200);
    movefile(name, sentdir);
    if (outcome == Outcome::sent)
        lo_mlog(T("%s SMS gesendet: %s\n", "%s Sent SMS: %s\n"), text, -1, false);
    else
        lo_mlog(
            T("%s SMS gesendet, nicht best" U8ae "tigt: %s\n", "%s SMS sent, not confirmed: %s\n"),
            text, -1, false);
    smssignalstatus = 1;
    return true;
}

} // namespace

bool sm__queuerecipient(const char* name, char* recipient, size_t n, bool* international) {
    if (n) recipient[0] = 0;
    if (!name || strncmp(name, "sms_", 4) != 0) return false;
    for (const char* p = strstr(name + 4, "__"); p; p = strstr(p + 1, "__")) {
        const char* r = p + 2;
        bool national = *r == '-';
        if (national) r++;
        size_t digits = strspn(r, "0123456789");
        char end = r[digits];
        if (digits < 2 || (end && end != '.' && end != '_')) continue;
        if (digits > 39 || digits + 1 > n) return false;
        memcpy(recipient, r, digits);
        recipient[digits] = 0;
        *international = !national;
        return true;
    }
    return false;
}

void sm__queuetext(char* text) {
    size_t len = strlen(text);
    if (len && text[len - 1] == 0x1A) text[len - 1] = 0;
}

void sm__forgetsent() {
    sm__taken = false;
    sm__firstcall = true;
    sm__lasttext[0] = 0;
    sm__lastrecipient[0] = 0;
    sm__lastlength = -1;
    sm__tries.clear();
}

void sm_msgsenden() {
    if (linksys) return;
    if (sm__firstcall) {
        sm__firstcall = false;
        sm__lasttext[0] = 0;
        sm__taken = false;
    }
    // An invalid file is reported on every call, but does not hold up the files behind it.
    for (const std::string& name : queuefiles())
        if (sendfile(name)) return;
}
