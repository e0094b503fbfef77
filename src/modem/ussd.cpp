#include "modem/ussd.h"

#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/shared_record.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/secret_masking.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int cm__ussdmode = 0;

namespace {

bool cm__bytheuser = false;    // the device command in the record was typed by the user
bool cm__devicelogged = false; // "Device command(s) received." written once per process

bool gotanswer(const char* t) {
    return strstr(t, "+CUSD:") || strstr(t, "ERROR");
}

void devicecommand(char* port, char* t) {
    const char* cmd = mvliow->command;
    lo_slog(T("Externes Ger" U8ae "tekommando: %s\n", "External device command: %s\n"), cmd, -1);
    if (cm__bytheuser) {
        lo_vlog(T("%s Manuelles Ger" U8ae "tekommando: %s\n", "%s Manual device command: %s\n"),
                cmd, -1);
    } else if (!cm__devicelogged) {
        cm__devicelogged = true;
        lo_vlog(T("%s Ger" U8ae "tekommando(s) erhalten.\n", "%s Device command(s) received.\n"),
                "", -1);
    }
    mvliow->answer[0] = 0;
    int wait = comzeit, answertime = 3000;
    char at[110];
    cm__devicecommand(cmd, comzeit, &wait, &answertime, at, sizeof at);
    t[0] = 0;
    if (geraet == GERAET_NOVATEL && cm_secport) {
        strmcpy(t, "NO NOVATEL DLL.", 1000);
    } else if (de_portini(port)) {
        size_t len = strlen(at);
        if (!len || (at[len - 1] != '\r' && at[len - 1] != '\n'))
            strmcpy(at + len, "\r", sizeof at - len);
        cm_puts(at);
        msleepx(static_cast<unsigned long>(wait));
        cm_gets(t, (answertime + 999) / 1000);
        if (port) cm_close();
    }
    if (cm__bytheuser) {
        lo_vlog(T("%s Antwort vom Ger" U8ae "t: %s\n", "%s Answer from device: %s\n"), t, -1);
        char shown[861];
        strMcpy(shown, t);
        snprintf(sm_msgprepaidnachricht, sizeof sm_msgprepaidnachricht, "%s%s",
                 T("Antwort vom Ger" U8ae "t:  \n\n", "Answer from device:  \n\n"), shown);
        sm_msgprepaidzustand = 1;
        th_wakeall(); // the message thread shows it
    } else {
        // Other programs read the record: an IMEI or IMSI asked for stays out of it too.
        strmcpy(mvliow->answer, lo_masksecrets(t).c_str(), 600);
    }
    msleep(static_cast<unsigned long>(comzeit));
    mvliow->command[0] = 0;
    cm__bytheuser = false;
}

// Code entry by the user: a top-up code, a USSD code, a device command or an operator SMS.
void codeentry(const char* ppc) {
    int kind = prepaidaufladen_gewuenscht;
    prepaidaufladen_gewuenscht = 0;
    bool topup = kind == 1 && ppc && ppc[0];
    char input[ce_TEXTMAX] = "";
    ce_inputdialog(4,
                   topup ? T("Wilvar   Prepaid-Code", "Wilvar   Prepaid Code")
                         : T("Wilvar   USSD-Code", "Wilvar   USSD code"),
                   T("Code eingeben:", "Enter code:"), input);
    if (topup && input[0])
        cm__topupcode(ppc, input, prepaids, sizeof prepaids);
    else
        strMcpy(prepaids, input);

    if (mvliow && strncasecmp(prepaids, "DEVICE", 6) == 0 && prepaids[6] == ':') {
        strmcpy(mvliow->command, prepaids + 6, sizeof mvliow->command);
        cm__bytheuser = true;
        prepaids[0] = 0;
        return;
    }
    char name[120], content[300];
    if (cm__operatorsms(prepaids, name, sizeof name, content, sizeof content)) {
        prepaids[0] = 0;
        dir_create("sms_send");
        file_makerw("sms_send", true);
        std::string path = std::string("sms_send" DIRSTR) + name;
        FILE* f = file_openprivate(path.c_str(), "w");
        if (!f) return;
        bool ok = fputs(content, f) >= 0;
        if (fclose(f) != 0 || !ok) return;
        msleep(300);
        sm_msgsenden();
        return;
    }
    if (prepaids[0]) prepaid_gewuenscht = true;
}

// A credit query that brought no answer: the text for the user and the service-log line.
void nocredit(const char* message, const char* logline) {
    strMcpy(sm_msgprepaidnachricht, message);
    lo_slog(logline, "", -1);
    sm_msgprepaidzustand = 1;
    th_wakeall(); // the message thread shows it
}

void creditquery(const char* ppq, char* port, char* t) {
    lo_slog(T("Starte Prepaid-Kommunikation.\n", "Starting credit communication.\n"), "", -1);
    if (geraet == GERAET_NOVATEL && cm_secport) {
        nocredit(T("Die Abfrage des Prepaid-Guthabens war nicht m" U8oe "glich.  \nBitte starten "
                   "Sie die Abfrage aus \"CONFIG\".  ",
                   "Could not retrieve prepaid credit.  \nPlease start the query in \"CONFIG\".  "),
                 T("Prepaid-Abfrage nicht m" U8oe "glich; keine DLL.\n",
                   "Credit query failed; no DLL.\n"));
        return;
    }
    msleepx(500);
    cc_show2(T("+Abfrage. Bitte warten.", "+Credit? Please wait."),
             T("+Abfrage._Bitte warten.", "+Credit?_Please wait."));
    if (prepaids[0]) {
        strmcpy(t, prepaids, 1000);
        lo_vlog(T("%s Prepaid-Befehl: %s\n", "%s Account command: %s\n"), prepaids, -1);
    } else {
        strmcpy(t, ppq ? ppq : "", 1000);
    }
    if (de_portini(port)) {
        cm_ussdquery(t);
        if (port) cm_close();
    } else {
        t[0] = 0;
    }
    cc_show2(T("+Abfrage beendet.", "+Query completed."),
             T("+Abfrage_beendet.", "+Query_completed."));
    msleepx(400);

    if (t[0]) {
        char shown[800];
        cm__creditanswer(t, shown, sizeof shown);
        snprintf(sm_msgprepaidnachricht, sizeof sm_msgprepaidnachricht, "%s%s",
                 T("Antwort des Mobilfunknetzes:  \n\n", "Answer from your mobile network:  \n\n"),
                 shown);
        lo_slog(T("Antwort vom Netz: %s\n", "Answer from network: %s\n"), sm_msgprepaidnachricht,
                -1);
        lo_vlog(T("%s Prepaid-Antwort: %s\n", "%s Account answer: %s\n"), shown, -1);
        sm_msgprepaidzustand = 1;
        th_wakeall(); // the message thread shows it
    } else if (onlinezeit) {
        nocredit(T("Bitte \"Trennen\" ausw" U8ae "hlen  \nund erneut versuchen.  ",
                   "Please click \"Disconnect\",  \nand try again.  "),
                 T("Prepaid-Kommunikation derzeit nicht m" U8oe "glich (Verbindung aktiv).\n",
                   "Credit communication not possible at the moment (connected).\n"));
    } else {
        nocredit(T("Das Prepaid-Konto ist nicht erreichbar.  \nBitte versuchen Sie es sp" U8ae
                   "ter noch einmal.  ",
                   "Could not reach prepaid account.  \nPlease try again later.  "),
                 T("Prepaid-Kommunikation derzeit nicht m" U8oe "glich.\n",
                   "Credit communication not possible at the moment.\n"));
    }
}

} // namespace

bool cm__ussdanswer(const char* answer, char* out, size_t n, bool* found, int* dcs) {
    if (n) out[0] = 0;
    *dcs = -1;
    const char* k = strstr(answer, "+CUSD:");
    if (!k) k = strstr(answer, "+cusd:");
    *found = k != nullptr;
    if (!k) return false;
    const char* q1 = strchr(k, '"');
    if (!q1) return false;
    const char* q2 = strchr(q1 + 1, '"');
    if (!q2) return false;
    size_t len = static_cast<size_t>(q2 - q1 - 1);
    if (len >= n) len = n ? n - 1 : 0;
    if (n) {
        memcpy(out, q1 + 1, len);
        out[len] = 0;
    }
    const char* p = q2 + 1;
    while (*p == ' ') p++;
    if (*p == ',') {
        p++;
        while (*p == ' ') p++;
        long v = isdigit(static_cast<unsigned char>(*p)) ? strtol(p, nullptr, 10) : -1;
        if (v >= 0 && v <= 255) *dcs = static_cast<int>(v); // one octet
    }
    return true;
}

void cm__ussddecode(char* t, int dcs) {
    // The coding scheme names UCS-2 (72, or 17 with a language in front): taken as such even
    // when the text begins with a character above U+0FFF, such as the euro sign.
    bool ucs2 = dcs >= 0 && ((dcs & 0xCC) == 0x48 || dcs == 0x11);
    if (ucs2 && ucs2hextostr(t)) return;
    if (!utf16hextostr(t)) sevenhextostr(t);
}

void cm__topupcode(const char* templ, const char* input, char* out, size_t n) {
    if (strlen(templ) + strlen(input) >= 296) {
        strmcpy(out, input, n);
        return;
    }
    const char* at = nullptr;
    for (const char* mark : {"<INPUT>", "<input>", "<Input>"}) {
        const char* p = strstr(templ, mark);
        if (p && (!at || p < at)) at = p;
    }
    if (!at) {
        strmcpy(out, templ, n);
        return;
    }
    std::string s(templ, static_cast<size_t>(at - templ));
    s += input;
    s += at + 7;
    strmcpy(out, s.c_str(), n);
}

bool cm__operatorsms(const char* input, char* name, size_t nn, char* content, size_t cn) {
    if (strncasecmp(input, "SMS:", 4) != 0) return false;
    const char* p = input + 4;
    bool international = *p == '+';
    if (international) p++;
    size_t digits = strspn(p, "0123456789");
    if (digits < 2 || digits > 39) return false;
    snprintf(name, nn, "sms_PREPAID_COMMUNICATION__%s%.*s.txt", international ? "" : "-",
             static_cast<int>(digits), p);
    p += digits;
    if (*p) p++; // the separator
    strmcpy(content, p, cn);
    return true;
}

bool cm__devicecommand(const char* cmd, int defaultwait, int* wait, int* answertime, char* at,
                       size_t n) {
    *wait = defaultwait;
    *answertime = 3000;
    if (n) at[0] = 0;
    if (!cmd || cmd[0] != ':') return false;
    const char* p = cmd + 1;
    const char* c = strchr(p, ':');
    if (!c) {
        strmcpy(at, p, n);
        return true;
    }
    if (c > p) *wait = static_cast<int>(bereichl(strtol(p, nullptr, 10), 0, 60000));
    p = c + 1;
    c = strchr(p, ':');
    if (!c) {
        strmcpy(at, p, n);
        return true;
    }
    if (c > p) *answertime = static_cast<int>(bereichl(strtol(p, nullptr, 10), 0, 60000));
    strmcpy(at, c + 1, n);
    return true;
}

int cm__homezone(const char* answer, const char* inside, const char* outside) {
    int status = 0;
    if (inside[0] && strstr(answer, inside)) status = 1;
    if (outside[0] && strstr(answer, outside)) status = 2;
    return status;
}

void cm__creditanswer(const char* answer, char* out, size_t n) {
    std::string s;
    for (const char* c = answer; *c; c++) {
        unsigned char b = static_cast<unsigned char>(*c);
        if (b == 0x81)
            b = 0xFC;
        else if (b == 0x84)
            b = 0xE4;
        else if (b != '\r' && b != '\n' && (b < 0x20 || (b >= 0x7F && b < 0xA0)))
            b = '_';
        s += static_cast<char>(b);
    }
    s += "  ";
    strmcpy(out, s.c_str(), n);
}

void cm_ussdquery(char* t) {
    char code[150];
    strmcpy(code, t, 147);
    t[0] = 0;
    for (;;) {
        char sent[2 * 150 + 2];
        strMcpy(sent, code);
        if (cm__ussdmode == 2) strtosevenhex(sent, false, 100);
        char cmd[sizeof sent + 24];
        snprintf(cmd, sizeof cmd, "AT+CUSD=1,\"%s\",15\r", sent);
        if (MODUS('X')) msleepx(3000);
        cm_puts(cmd);
        if (MODUS('X')) msleepx(11000);
        msleepx(11000);
        cm_gets(t, 5);
        if (!gotanswer(t)) {
            cm_puts("AT\r");
            msleepx(2500);
            cm_gets(t, 5);
        }
        bool found;
        int dcs;
        char answer[1000];
        bool quoted = cm__ussdanswer(t, answer, sizeof answer, &found, &dcs);
        if (!found) {
            if (cm__ussdmode == 0 && strstr(t, "ERROR") && !programmende_gewuenscht) {
                cm__ussdmode = 2;
                continue;
            }
            cm__ussdmode = 0;
            t[0] = 0;
            return;
        }
        if (cm__ussdmode == 0) cm__ussdmode = 1;
        if (!quoted) {
            t[0] = 0;
            return;
        }
        cm__ussddecode(answer, dcs);
        strmcpy(t, answer, 1000);
        return;
    }
}

void cm_homezonequery() {
    if (!inidat.homu[0]) {
        homezonestatus = 0;
        return;
    }
    int status = 0;
    if (inidat.homu[0] == '*') {
        char t[1000];
        strMcpy(t, inidat.homu);
        cm_ussdquery(t);
        if (t[0]) status = cm__homezone(t, inidat.homi, inidat.homo);
    } else if (char* page = iz_httpget(inidat.homu, nullptr, nullptr, 1, 0, false)) {
        status = cm__homezone(page, inidat.homi, inidat.homo);
        free(page);
    }
    homezonestatus = status;
    if (status == 2) th_wakeall(); // the warning thread asks the user
    lo_slog(T("Neuer Homezonestatus: %s%li\n", "New homezone status: %s%li\n"), "", status);
}

void prepaid_aufgaben(const char* ppq, const char* ppc, char* port, char* t) {
    if (prepaidaufladen_gewuenscht) codeentry(ppc);
    if (mvliow && mvliow->command[0] == ':') devicecommand(port, t);
    if (prepaid_gewuenscht) {
        creditquery(ppq, port, t);
        prepaid_gewuenscht = false;
        prepaids[0] = 0;
    }
}
