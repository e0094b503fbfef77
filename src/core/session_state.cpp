#include "core/session_state.h"

#include "foundation/utilities.h"

#include <cstring>

bool programmende_gewuenscht = false;
int unterbrechung_gewuenscht = 0;
bool prepaid_gewuenscht = false;
int prepaidaufladen_gewuenscht = 0;
int ba_gewuenscht = 0;
bool update_gewuenscht = false;
bool verbindenverboten = true;
bool verbindeneinmal = false;
bool shutdownerlaubt = false;

int ruhestatus = 0;

unsigned long onlinezeit = 0;
unsigned long offlinezeit = 0;
unsigned long offlinezeita = 0;
unsigned long offlinezeitring = 0;
unsigned long inaktivzeit = 0;
int onlinezeit_vorher = -1;
int inicounterglobal = 1;

char plmn[20] = "";
char lac[20] = "";
char ucid[20] = "";
char cidkurz[5] = "";
char rnc[5] = "";
char plmn_alt[20] = "";
char lac_alt[20] = "";
char ucid_alt[20] = "";

bool netzfremd = false;
int homezonestatus = 0;
int homezonezaehler = 1;
int akkufuellstand = 0;
int maxgrenze = 0;
char maxgrenzes[50] = "";
int mtextba = 0;
int mtextsigd = -999;
long mtextup = -1;
long mtextdown = -1;
int smssignalstatus = 0;
int geraet = 0;
bool novatelu740 = false;
bool linksys = false;
bool secportmanuell = false;
bool tonlos = false;
bool _de = true;
int comzeit = 150;

const char kommandos[4][20] = {"mavlyn_CONNECT", "mavlyn_DISCONNECT", "mavlyn_RECONNECT",
                               "mavlyn_END"};

int KOMM(const char* s) {
    if (!s) return -1;
    for (int i = 0; i < 4; i++)
        if (memicmp(s, kommandos[i], static_cast<long>(strlen(kommandos[i]))) == 0) return i;
    return -1;
}

int _argc = 0;
char** _argv = nullptr;
bool ubuntusysdir = false;
bool cs_nosplash = false;
bool _silentinstall = false;
int _starttoggle = 0;

// Base keys of the semaphores and the shared record; INSTANCE=n adds n to each, so that
// several independent instances can run side by side.
unsigned long aktivsignal = 0x4B564FA0;
unsigned long endesignal = 0x4B564FB0;
unsigned long konfigaktivsignal = 0x4B564FC0;
unsigned long smssignal = 0x4B564FD0;
unsigned long mvliok = 0x4B564FF0;

gint shutdowninteractionkey = -1;
bool shutdowninteractionkeyvalid = false;

GtkWidget* mainwindow = nullptr;
GtkWidget* smsbutton = nullptr;
char prepaids[300] = "";
char porttreiber1[308] = "";
char porttreiber2[308] = "";
char connlogdatei[55] = "connlog.txt";
char inititel[40] = ""; // the profile title, empty without a profile
bool konsoleaktiv = false;
int endsessionstatus = 0;

bool installsub = false;
bool smsconfigsub = false;
bool configsub = false;
int configtab = 0;
bool configaktiv = false;
char configinfo[120] = "";
int configkbvreset = 0;
int configtreset = 0;
