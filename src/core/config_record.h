// The process-wide configuration record, filled from "mavlyn.ini" and written back to it.
#pragma once

#include <cstddef>

struct inidat_t {
    char programm[30];
    int funktion;
    char hinweis[100];
    char hinweisk;
    char comport[300];
    char com1[300];
    bool com1none;
    char com2[300];
    int mangeraet;
    char devi[604];
    char pin[300];
    char net[500];
    char apn[300];
    char ppq[100];
    char ppc[300];
    int conad;
    char conport[300];
    char con[300];
    bool constart;
    bool conende;
    char conname[300];
    char conpass[300];
    int day;
    int round;
    long max[3];
    int dayt;
    int roundt;
    long maxt[3];
    char homu[300];
    char homi[300];
    char homo[300];
    int err[12];
    char ping[300];
    char* pingp;
    unsigned long startdelay;
    unsigned long resumedelay;
    int endm;
    int enduhrzeit1;
    int enduhrzeit2;
    bool enduhrzeite;
    unsigned long end;
    bool endhightraffic;
    bool endforce;
    bool endverb;
    bool endstandby;
    int endshutdown;
    char cmd[3][300];
    int sms[3];
    bool smsring;
    char smsnr[3][30];
    char smskey[3][300];
    char smsc[30];
    int ipcmod;
    int icon;
    int batt1;
    int batt2;
    char mod[256];
    char rem[300];
    bool headergueltig;
    char header2;
    char header3;
    long headerv;
    long headervoffset;
    long headert;
    long headert_alt;
    int headerday;
    int headermon;
    int headerx;
    int headery;
    int headerx_neu;
    int headery_neu;
    int headerfefo;
    bool headerset;
};

extern inidat_t inidat;

#define MODUS(m) (inidat.mod[static_cast<unsigned char>(m)])

// Role numbers of inidat.funktion.
#define FUNKTION_CONTROL 40
#define FUNKTION_CONFIG 50
#define FUNKTION_PROFILE 60
#define FUNKTION_REMOVE 90

#define ERR_NOC 0
#define ERR_FRZ 1
#define ERR_CRC 2
#define ERR_TME 3
#define ERR_ALG 4
#define ERR_FRM 5
#define ERR_BUF 6
#define ERR_L 7
#define ERRN 8
extern const char errname[8][4];

extern char inidatei[40];
extern char settingsdatei[20];
extern const char profildatei[12];
extern char headerdaten[63];
extern bool _inidatneu;
extern bool inidatgueltig;

#define MAVLYN_VERSION "0.4"

// Whether the local time lies in the configured end-time window (never before the
// configuration is read).
bool innerhalb_enduhrzeit();

// Resets every field to its default, as before each reading of the file (the reader then
// derives the role from the program name again).
void iv_inidefaults();

// Key MOD: clears all option flags and sets one for every letter or digit of the value.
void iv_readmod(const char* value);
// Key MOD written back: the set option characters in ascending code order.
void iv_writemod(char* out, size_t n);
