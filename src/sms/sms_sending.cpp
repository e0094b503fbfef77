#include "sms/sms_sending.h"

#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "sms/pdu_codec.h"
#include "sms/sms_reception.h"
#include "ui/status_lines.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

#define T(de, en) (_de ? (de) : (en))

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;
struct DirCloser {
    void operator()(DIR* d) const {
        if (d) closedir(d);
    }
};

bool sm__taken = false; // a message was taken for sending since the start
bool sm__firstcall = true;
char sm__lasttext[260] = "";
char sm__lastrecipient[40] = "";
long sm__lastlength = -1;

const char* const queuedir = "sms_send";
const char* const sentdir = "sms_out";

// The queue files in directory order.
std::vector<std::string> queuefiles() {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> d(opendir(queuedir));
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

// Sends the PDU; true when the modem confirmed it with "CMGS:".
bool transmit(const char* pdu, int tpdulen) {
    static char t[antwortLEN];
    sm__ini(t);
    char cmd[40];
    snprintf(cmd, sizeof cmd, "AT+CMGS=%i\r", tpdulen);
    cm_puts(cmd);
    msleep(static_cast<unsigned long>(comzeit));
    cm_gets(t, 5);
    if (!strchr(t, '>')) return false;
    cm_puts(pdu);
    msleep(static_cast<unsigned long>(comzeit));
    msleepx(7000);
    cm_gets(t, 25);
    if (strstr(t, "CMGS:")) return true;
    msleepx(11000);
    cm_gets(t, 25);
    return strstr(t, "CMGS:") != nullptr;
}

// Handles one queue file; false when it was not a valid one or could not be opened (the
// next is tried then).
bool sendfile(const std::string& name) {
    std::string path = std::string(queuedir) + DIRSTR + name;
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

    if (transmit(pdu, tpdulen)) {
        f.reset();
        msleep(200);
        dir_create(sentdir);
        file_makerw(sentdir, true);
        std::string sent = std::string(sentdir) + DIRSTR + name;
        file_delete(sent.c_str());
        if (rename(path.c_str(), sent.c_str()) != 0)
            lo_slog("SMS sent but not moved: %s\n", path.c_str(), -1);
        lo_mlog(T("%s SMS gesendet: %s\n", "%s Sent SMS: %s\n"), text, -1, false);
        smssignalstatus = 1;
    } else {
        lo_mlog(T("%s SMS nicht gesendet: %s\n", "%s Could not send SMS: %s\n"), text, -1, false);
        sm__lasttext[0] = 0;
        sm__lastlength = -1;
    }
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
