#include "config/ini_writer.h"

#include "config/ini_reader.h"
#include "config/scrambling.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/replacing_file.h"
#include "foundation/utilities.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

bool isdig(char c) {
    return c >= '0' && c <= '9';
}

__attribute__((format(printf, 2, 3))) void addf(std::string& out, const char* fmt, ...) {
    char buf[1400];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    out += buf;
}

void add(std::string& out, const char* number_and_key, const char* value) {
    out += number_and_key;
    out += value;
    out += '\n';
}

std::string scrambled(const std::string& plain) {
    std::unique_ptr<char[]> buf(new char[7 + 2 * plain.size()]);
    ob_obfuscate(plain.c_str(), buf.get());
    return buf.get();
}

std::string day_value(int day, int dayt) {
    std::string v;
    if (day) addf(v, "%02i", day);
    if (dayt) addf(v, ";%02i", dayt);
    return v;
}

// The description, unscrambled once and split into its two languages.
struct Manual {
    std::string german, english;
    bool ready = false;
};
Manual manual;

void prepare_manual() {
    if (manual.ready) return;
    size_t len = 0;
    const unsigned char* data = iv__manualdata(&len);
    std::string text(len, '\0');
    for (size_t i = 0; i < len; i++) text[i] = static_cast<char>(data[i] ^ iv__manualkey(i));
    size_t marker = text.find("==2==");
    if (marker == std::string::npos) {
        manual.german = manual.english = text;
    } else {
        manual.german = text.substr(0, marker);
        size_t star = text.find('*', marker);
        manual.english = star == std::string::npos ? "" : text.substr(star);
    }
    for (std::string* s : {&manual.german, &manual.english}) {
        size_t d = s->find("==DATUM===");
        if (d != std::string::npos) s->replace(d, 10, iv__PROGRAMDATE);
    }
    manual.ready = true;
}

constexpr const char* box[] = {"*****************************************************\n",
                               "*                     mavlyn                        *\n",
                               "*                                                   *\n"};

} // namespace

const char* iv__manual(bool german) {
    prepare_manual();
    return german ? manual.german.c_str() : manual.english.c_str();
}

std::string iv__description() {
    prepare_manual();
    std::string out;
    for (const char* b : box) out += b;
    out += _de ? "*       -> English description see below. <-        *\n"
               : "*     -> Deutsche Beschreibung siehe unten. <-      *\n";
    out += _de ? manual.german : manual.english;
    out += "\n\n";
    for (const char* b : box) out += b;
    out += _de ? manual.english : manual.german;
    return out;
}

void iv__formatheader(char* out, size_t n) {
    inidat_t& d = inidat;
    if (d.headerv > 999999999L || d.headerv < 0) d.headerv = 0;
    if (d.headert > 599999L || d.headert < 0) d.headert = 0;
    // Columns are fixed: a position or date that does not fit would shift the counters.
    d.headerx_neu = bereich(d.headerx_neu, 0, 9999);
    d.headery_neu = bereich(d.headery_neu, 0, 9999);
    int day = bereich(d.headerday, 0, 99), mon = bereich(d.headermon, 0, 99);
    char role = (d.funktion >= 0 && d.funktion <= 9) ? static_cast<char>('0' + d.funktion) : '0';
    int form = d.funktion == FUNKTION_CONFIG ? d.headerfefo : (fefo ? fefo : d.headerfefo);
    char formc = static_cast<char>('0' + bereich(form, 0, 9));
    char hint = isdig(d.hinweisk) ? d.hinweisk : '0';
    char line[80];
    snprintf(line, sizeof line, "01 %c%c%c%09li-%04i%04i%02i%02i%c-%c%06li", role,
             d.header2 ? d.header2 : 'A', d.header3 ? d.header3 : 'A', d.headerv, d.headerx_neu,
             d.headery_neu, day, mon, formc, hint, d.headert);
    strmcpy(out, line, n);
}

void iv_iniheaderwrite(bool dat) {
    inidat_t& d = inidat;
    if (d.funktion >= 40 || !d.headergueltig) {
        lo_slogx("Header noch nicht gültig.\n", "", -1);
        return;
    }
    d.headerx_neu = d.headerx;
    d.headery_neu = d.headery;
    cc_getposition(&d.headerx_neu, &d.headery_neu);
    if (!dat) {
        bool unchanged = (d.headerx_neu == d.headerx && d.headery_neu == d.headery &&
                          d.headerfefo == static_cast<int>(fefo)) ||
                         d.headerx_neu < 0 || d.headery_neu < 0;
        if (unchanged && d.day < 1 && !(d.dayt > 0 && d.headervoffset > 0)) {
            lo_slogx("Header schreiben nicht notwendig.\n", "", -1);
            return;
        }
        lo_slog(T("Header in INI-Datei soll neu geschrieben werden.\n",
                  "Header in INI-file is going to be rewritten.\n"),
                "", -1);
        lo_slogx("Header: day=%s%li\n", "", d.day);
        lo_slogx("Header: v=%s%li\n", "", d.headerv);
        lo_slogx("Header: o=%s%li\n", "", d.headervoffset);
        if (d.day > 0 && d.headervoffset > 0) {
            d.headerv += d.headervoffset / 1000;
            d.headervoffset %= 1000; // the bytes below a kilobyte stay counted
        }
        if (!iv_iniopen("r+t")) {
            lo_slog("Header: Datei nicht geöffnet.\n", "", -1);
            return;
        }
        // Only a line 01 of the program's own form is overwritten: a shorter first line
        // would lose the beginning of the lines behind it.
        char start[iv__HEADERLEN + 1] = "";
        size_t got = fread(start, 1, iv__HEADERLEN, iv__fii);
        if (got < iv__HEADERLEN || start[0] != '0' || memchr(start, '\n', iv__HEADERLEN)) {
            iv_iniclose();
            return;
        }
    }
    char line[iv__HEADERLEN + 10];
    iv__formatheader(line, sizeof line);
    memcpy(headerdaten, line, iv__HEADERLEN);
    lo_slogx("Header: %s\n", headerdaten, -1);
    if (!dat) {
        fseek(iv__fii, 0, SEEK_SET);
        fwrite(headerdaten, 1, iv__HEADERLEN, iv__fii);
        fflush(iv__fii);
        msleepx(1000);
        lo_slog(T("Header in INI-Datei wurde neu geschrieben.\n",
                  "Header in INI-file has been rewritten.\n"),
                "", -1);
    }
    if (programmende_gewuenscht && d.funktion != FUNKTION_CONFIG) d.headerfefo = fefo;
    d.headert_alt = d.headert;
    if (!dat) iv_iniclose();
}

void iv__headerfromfile(const char* filestart, size_t len) {
    memset(headerdaten, '0', iv__HEADERFULL);
    headerdaten[iv__HEADERFULL] = 0;
    memcpy(headerdaten, "01 AAA", 6);
    // The line ends at its line feed: the rest of the 53 columns keeps the '0' filling.
    for (size_t i = 0; i < len && i < iv__HEADERFULL; i++) {
        char c = filestart[i];
        if (c == '\n' || c == '\r' || c == 0) break;
        headerdaten[i] = c;
    }
    if (isdig(inidat.hinweisk)) headerdaten[30] = inidat.hinweisk;
    if (configkbvreset == 2) {
        lo_vlog("%s %s\n",
                T("Datenvolumenzähler manuell zurückgesetzt.",
                  "Data volume counter has been reset manually."),
                -1);
        memset(headerdaten + 6, '0', 9);
    }
    if (configtreset == 2) {
        lo_vlog("%s %s\n",
                T("Onlinezeit-Zähler manuell zurückgesetzt.",
                  "Online time counter has been reset manually."),
                -1);
        memset(headerdaten + 31, '0', 6);
    }
}

std::string iv__formatlines() {
    inidat_t& d = inidat;
    std::string o;
    addf(o, "02 (%s)\n", T("Die Zeile 01 bitte nicht verändern.", "Please do not change line 01."));
    o += "03\n";
    if (d.hinweis[0])
        addf(o, "04 --> %s\n", d.hinweis);
    else
        o += "04\n";
    o += "05 mavlyn " MAVLYN_VERSION "\n";
    o += "06\n";
    add(o, "07 LAN=", _de ? "Deutsch\t" : "English\t");
    add(o, "08 COM=", d.comport);
    std::string dev;
    if (d.mangeraet) addf(dev, "%i", d.mangeraet);
    add(o, "09 DEV=", dev.c_str());
    add(o, "10 DEVI=", d.devi);
    add(o, "11 PIN=", MODUS('K') ? "" : scrambled(d.pin).c_str());
    add(o, "12 NET=", d.net);
    add(o, "13 APN=", d.apn);
    add(o, "14 PPQ=", d.ppq);
    add(o, "15 PPC=", d.ppc);
    std::string cona;
    if (d.constart) cona += 'S';
    if (d.conende) cona += 'E';
    add(o, "16 CONA=", cona.c_str());
    // A port name that begins like one of the value's other forms is written behind '|'.
    std::string con = d.conport;
    if (con[0] && strchr(",|; \t", con[0])) con = "|" + con;
    add(o, "17 CON=", con.c_str());
    std::string login = d.conname;
    if (d.conpass[0]) login += std::string(";") + d.conpass;
    add(o, "18 PASS=", scrambled(login).c_str());
    if (d.day > 32) d.day = 99;
    if (d.dayt > 32) d.dayt = 99;
    add(o, "19 DAY=", day_value(d.day, d.dayt).c_str());
    std::string rnd;
    if (d.round) addf(rnd, "%i", d.round);
    if (d.roundt) addf(rnd, ";%i", d.roundt);
    add(o, "20 RND=", rnd.c_str());
    std::string maxv, maxt;
    for (int i = 0; i < 3; i++) {
        maxv += std::string(i ? ";" : "") + kbytemiteinheit(d.max[i]);
        maxt += std::string(i ? ";" : "") + zeitmiteinheit(d.maxt[i]);
    }
    add(o, "21 MAXV=", maxv.c_str());
    add(o, "22 MAXT=", maxt.c_str());
    add(o, "23 HOMU=", d.homu);
    add(o, "24 HOMI=", d.homi);
    add(o, "25 HOMO=", d.homo);
    std::string err;
    for (int i = 0; i < ERRN; i++) addf(err, "%s%s%i", i ? " " : "", errname[i], d.err[i]);
    add(o, "26 ERR=", err.c_str());
    add(o, "27 PING=", d.ping);
    std::string sdly;
    addf(sdly, "%lu", d.startdelay);
    if (d.resumedelay) addf(sdly, ";%lu", d.resumedelay);
    add(o, "28 SDLY=", sdly.c_str());
    addf(o, "29 ENDM=%i\n", d.endm);
    std::string endc;
    if (d.enduhrzeit1 >= 0 && d.enduhrzeit2 >= 0)
        addf(endc, "%02i:%02i;%02i:%02i%s", d.enduhrzeit1 / 60, d.enduhrzeit1 % 60,
             d.enduhrzeit2 / 60, d.enduhrzeit2 % 60, d.enduhrzeite ? "E" : "");
    add(o, "30 ENDC=", endc.c_str());
    std::string end;
    addf(end, "%lu", d.end);
    if (d.endhightraffic) end += 'T';
    if (d.endforce) end += 'F';
    if (d.endverb) end += 'C';
    if (d.endstandby) end += 'Z';
    if (d.endshutdown == 1) end += 'S';
    if (d.endshutdown == 2) end += 'R';
    add(o, "31 END=", end.c_str());
    for (int i = 0; i < 3; i++) addf(o, "%02d CMD%d=%s\n", 32 + i, i + 1, d.cmd[i]);
    d.smsring = false;
    for (int i = 0; i < 3; i++) {
        std::string v;
        if (d.sms[i] == 1) v = std::string(d.smsnr[i]) + ";" + d.smskey[i];
        if (d.sms[i] == 2) {
            // "," alone would read back as unused; ",;" keeps a call entry for any caller.
            v = std::string(",") + (d.smsnr[i][0] ? d.smsnr[i] : ";");
            d.smsring = true;
        }
        addf(o, "%02d SMS%d=%s\n", 35 + i, i + 1, v.c_str());
    }
    // The mark of an unreadable centre number is written in the file's language, whichever
    // language was in force when the line was read.
    bool smscerror = strcmp(d.smsc, "(Formatfehler)") == 0 || strcmp(d.smsc, "(format error)") == 0;
    add(o, "38 SMSC=", smscerror ? T("(Formatfehler)", "(format error)") : d.smsc);
    std::string ipc;
    if (d.ipcmod > 0) addf(ipc, "%04o", static_cast<unsigned>(d.ipcmod));
    add(o, "39 IPC=", ipc.c_str());
    addf(o, "40 ICON=%i\n", d.icon);
    addf(o, "41 BATT=%i;%i\n", d.batt1, d.batt2);
    char mod[260];
    iv_writemod(mod, sizeof mod);
    add(o, "42 MOD=", mod);
    add(o, "43 REM=", d.rem);
    return o;
}

void iv__writefailedmessage() {
    char text[300];
    snprintf(text, sizeof text,
             T("Die Konfigurationsdatei \"%s\"  \nkonnte nicht geschrieben werden.  ",
               "The configuration file \"%s\"  \ncould not be written.  "),
             inidatei);
    me_messagebox(0, "mavlyn   Datei gesperrt / file locked", text, 2, 0, 0);
}

int iv__iniwrite(int dialogresult) {
    prepare_manual();
    if (inidat.funktion == FUNKTION_CONFIG) {
        // Counters may have advanced in a running dial-up instance: keep the file's.
        char start[iv__HEADERFULL] = "";
        size_t got = 0;
        if (iv_iniopen("rt")) {
            got = fread(start, 1, sizeof start, iv__fii);
            iv_iniclose();
        }
        iv__headerfromfile(start, got);
    } else {
        iv_iniheaderwrite(true);
    }
    std::string text =
        std::string(headerdaten) + "\n" + iv__formatlines() + "\n\n" + iv__description();
    iv_iniclose();
    if (!file_replace(inidatei, text))
        return inidat.funktion < 40 ? iv__WRITE_SKIPPED : iv__WRITE_FAILED;
    msleepx(1000);
    if (inidat.funktion == FUNKTION_CONFIG && dialogresult == 1 && ia_instance_isactive())
        me_messagebox(0, T("mavlyn   Konfigurations-Update", "mavlyn   Settings update"),
                      T("Die Konfigurationsdaten wurden neu gespeichert.  \nSie werden beim "
                        "nächsten Start des Programms verwendet.  ",
                        "The configuration data have been stored.  \nThey are will be used at "
                        "next program start.  "),
                      1, 0, 0);
    lo_slog(T("INI-Datei wurde neu geschrieben.\n", "The INI file hase been rewritten.\n"), "", -1);
    if (inidat.funktion != FUNKTION_CONFIG) {
        iv_iniheaderwrite(false);
        inidat.headerx = 9999;
    }
    return iv__WRITE_OK;
}
