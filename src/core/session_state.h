// State shared by the threads of one program run: requests raised by one thread and carried
// out by another, connection time counters, network and cell data, device facts, constants.
// None of it is locked: each value is one aligned word or a short text written by one side.
#pragma once

#include "foundation/run_state.h"

#include <gtk/gtk.h>

// Requests between threads.
extern int unterbrechung_gewuenscht;
extern bool prepaid_gewuenscht;
extern int prepaidaufladen_gewuenscht;
extern int ba_gewuenscht;
extern bool update_gewuenscht;
extern bool verbindenverboten;
extern bool verbindeneinmal;
extern bool shutdownerlaubt;

// ruhestatus (foundation/run_state.h): the pause state.
#define RUHEAKTIV (ruhestatus == 2 || ruhestatus == 3)

// Time counters in 1/100 s.
extern unsigned long onlinezeit;
extern unsigned long offlinezeit;
extern unsigned long offlinezeita;
extern unsigned long offlinezeitring;
extern unsigned long inaktivzeit;
extern int onlinezeit_vorher;
extern int inicounterglobal;

// Network and cell data; a first character of value 1 marks "this modem cannot tell".
extern char plmn[20];
extern char lac[20];
extern char ucid[20];
extern char cidkurz[5];
extern char rnc[5];
extern char plmn_alt[20];
extern char lac_alt[20];
extern char ucid_alt[20];

extern bool netzfremd;
extern int homezonestatus;
extern int homezonezaehler;
extern int akkufuellstand;
extern int maxgrenze;
extern char maxgrenzes[50];
extern int mtextba;
extern int mtextsigd;
extern long mtextup;
extern long mtextdown;
extern int geraet;
extern bool novatelu740;
extern bool linksys;
extern bool secportmanuell;
extern bool _de;
// The German or the English form of a text, as the language of the run says.
inline const char* T(const char* de, const char* en) {
    return _de ? de : en;
}
extern int comzeit;
#define ANTWORTZEIT comzeit

// Constants.
#define MELDUNGZEIT 4000
#define MINIFENSTERBREITE 162
extern const char kommandos[4][20];
int KOMM(const char* s);

// Set by program entry.
extern int _argc;
extern char** _argv;
extern bool ubuntusysdir;
extern bool cs_nosplash;
extern bool _silentinstall;
extern int _starttoggle;

// Inter-process keys, shifted by the INSTANCE parameter word.
extern unsigned long aktivsignal;
extern unsigned long endesignal;
extern unsigned long konfigaktivsignal;
extern unsigned long smssignal;
extern unsigned long mvliok;

// A session-manager interaction that program end answers when it has finished.
extern gint shutdowninteractionkey;
extern bool shutdowninteractionkeyvalid;

// Owned by the parts named in their headers; declared here for orientation.
extern GtkWidget* mainwindow;
extern GtkWidget* smsbutton;
extern char prepaids[300];
extern char porttreiber1[308];
extern char porttreiber2[308];
extern char inititel[40];
extern bool konsoleaktiv;    // the service console holds the modem port
extern int endsessionstatus; // 1 while the desktop session is ending

// Installation and configuration sub-modes, chosen when the configuration is read.
extern bool installsub;      // second step of the installation
extern bool smsconfigsub;    // configuration dialog opened for the SMS page
extern int configtab;        // the open page of the configuration dialog (9 SMS)
extern bool configsub;       // configuration dialog started from a running instance
extern bool configaktiv;     // the configuration dialog runs
extern char configinfo[120]; // version line of the configuration dialog
extern int configkbvreset;   // 2: the volume counter was reset in the dialog
extern int configtreset;     // 2: the time counter was reset in the dialog
