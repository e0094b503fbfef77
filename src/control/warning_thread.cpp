#include "control/warning_thread.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/message_box.h"

#include <algorithm>
#include <string>

namespace {

struct question {
    const char* title[2]; // German, English
    const char* text[2];
    int icon;
    int mtime;
    const char* refused[2];
    int reason;
    const char* accepted[2];
};

const question questions[3] = {
    {{"mavlyn   Fremdnetzwarnung", "mavlyn   Network warning"},
     {"Sie sind in ein fremdes Mobilfunknetz eingebucht.  \nDas hei"
      "\xC3\x9F"
      "t, Sie m"
      "\xC3\xBC"
      "ssen mit h"
      "\xC3\xB6"
      "heren Verbindungskosten rechnen.  \n\nBitte best"
      "\xC3\xA4"
      "tigen Sie dies mit \"OK\" oder brechen Sie  \ndie Verbindung mit \"Abbrechen\" ab.  ",
      "The mobile network you are attached to has changed.  \nThis may result in higher "
      "connection costs.  \n\nPlease confirm with \"OK\" or terminate the  \nconnection with "
      "\"Cancel\".  "},
     2,
     30000,
     {"Nicht gew"
      "\xC3\xBC"
      "nschtes Fremdnetz.\n",
      "Unwanted Network.\n"},
     4,
     {"Fremdnetz vom Benutzer akzeptiert.\n", "Other network accepted by user.\n"}},
    {{"mavlyn   Homezonewarnung", "mavlyn   Homezone warning"},
     {"Sie befinden sich nicht innerhalb Ihrer Homezone.  \nDas hei"
      "\xC3\x9F"
      "t, Sie m"
      "\xC3\xBC"
      "ssen mit h"
      "\xC3\xB6"
      "heren Verbindungskosten rechnen.\n\nBest"
      "\xC3\xA4"
      "tigen Sie dies mit \"OK\" oder brechen Sie die Verbindung  \nmit \"Abbrechen\" ab.  ",
      "You are not located within your homezone.  \nThis may result in higher connection "
      "costs.  \n\nPlease confirm with \"OK\" or terminate the  \nconnection with \"Cancel\".  "},
     2,
     30000,
     {"Nicht gew"
      "\xC3\xBC"
      "nschtes Verlassen der Homezone.\n",
      "Unwanted leaving of the homezone.\n"},
     3,
     {"Verlassen der Homezone vom Benutzer akzeptiert.\n", "Accepted leaving of the homezone.\n"}},
    {{"mavlyn   Uhrzeitwarnung", "mavlyn   Time warning"},
     {"Die vorgew"
      "\xC3\xA4"
      "hlte Ende-Uhrzeit wurde erreicht.  \n\nBest"
      "\xC3\xA4"
      "tigen Sie die Fortdauer der Verbindung mit \"OK\"  \noder brechen Sie die Verbindung mit "
      "\"Abbrechen\" ab.  ",
      "The selected termination time has been reached.  \n\nPlease confirm connection "
      "continuation with \"OK\"  \nor terminate the connection with \"Cancel\".  "},
     1,
     90000,
     {"Nicht gew"
      "\xC3\xBC"
      "nschtes "
      "\xC3\xBC"
      "berschreiten der Ende-Uhrzeit.\n",
      "Exceeded termination time of day.\n"},
     5,
     {"Weiterbestehen der Verbindung vom Benutzer akzeptiert.\n",
      "User Accepted connection continuation.\n"}},
};

int ask_with_box(const char* title, const char* text, int icon, int mtime) {
    return me_messagebox(0, title, text, icon, 1, mtime);
}

const char* pick(const char* const t[2]) {
    return T(t[0], t[1]);
}

} // namespace

int wa__choose(wa__state_t* s, bool fremd, int homezone, bool inendtime) {
    if (!s->network && fremd) {
        s->network = true;
        return 1;
    }
    if (!s->homezone && homezone == 2) {
        s->homezone = true;
        return 2;
    }
    if (!inendtime) {
        s->endtime = false;
        return 0;
    }
    if (s->endtime) return 0;
    s->endtime = true;
    return 3;
}

void wa__ask(int w, wa__askfn ask) {
    if (w < 1 || w > 3) return;
    const question& q = questions[w - 1];
    bool constart = inidat.constart;
    inidat.constart = false; // no automatic connecting while the question is open
    int answer = ask(pick(q.title), pick(q.text), q.icon, q.mtime);
    if (th_queryterminate()) return;
    if (answer != 1) {
        lo_slog(pick(q.refused), "", -1);
        unterbrechung_gewuenscht = q.reason;
        if (w == 3 && answer == -1 && inidat.enduhrzeite && inidat.endshutdown)
            shutdownerlaubt = true;
        return;
    }
    lo_slog(pick(q.accepted), "", -1);
    std::string stamped = std::string("%s ") + pick(q.accepted);
    lo_vlog(stamped.c_str(), "", -1);
    inidat.constart = constart;
}

namespace {

// The warnings given so far, for the look at whether another one is due.
const wa__state_t* wa__given = nullptr; // read by the warning thread only

bool wa__questiondue() {
    const wa__state_t* g = wa__given;
    return g && ((netzfremd && !g->network) || (homezonestatus == 2 && !g->homezone) ||
                 (!g->endtime && innerhalb_enduhrzeit()));
}

// Until the next full minute, when the end time of day may have come or gone, but no longer
// than the alive line allows.
unsigned long wa__sleeptime(gint64 alive_at) {
    gint64 now_us = g_get_real_time();
    gint64 to_minute = 60 * G_USEC_PER_SEC - now_us % (60 * G_USEC_PER_SEC) + 1000;
    gint64 to_alive = alive_at - g_get_monotonic_time();
    return static_cast<unsigned long>(std::max<gint64>(std::min(to_minute, to_alive), 0) / 1000);
}

} // namespace

gpointer wa_warningthread(gpointer) {
    th_reg self = th_register("warningthread");
    wa__state_t state;
    wa__given = &state;
    constexpr gint64 alive_every = 21 * G_USEC_PER_SEC;
    gint64 alive_at = g_get_monotonic_time() + alive_every;
    // The first look comes when the session has started; then the thread sleeps until the
    // network, the homezone or the end time of day asks for a question, the minute changes
    // or the program ends.
    for (bool first = true;; first = false) {
        if (first)
            th_msleep(2102);
        else
            th_waitfor(wa__sleeptime(alive_at), wa__questiondue);
        if (th_queryterminate()) break;
        if (g_get_monotonic_time() >= alive_at) {
            lo_slogx("Warning thread alive.\n", "", -1);
            alive_at = g_get_monotonic_time() + alive_every;
        }
        int w = wa__choose(&state, netzfremd, homezonestatus, innerhalb_enduhrzeit());
        if (!w) continue;
        wa__ask(w, ask_with_box);
        if (th_queryterminate()) break;
    }
    wa__given = nullptr;
    th_unregister(self);
    return nullptr;
}
