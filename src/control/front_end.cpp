#include "control/front_end.h"

#include "control/monitoring_evaluation.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"
#include "ui/panel_icons.h"
#include "ui/standard_settings.h"

#include <cstdio>
#include <cstring>

namespace {

// A text field of the record, which need not be terminated.
template <size_t N> std::string field(const char (&f)[N]) {
    return std::string(f, strnlen(f, N));
}

std::string speed(unsigned long bps) {
    char t[40];
    snprintf(t, sizeof t, " %5li.%01li kB/s", static_cast<long>(bps / 1000),
             static_cast<long>((bps / 100) % 10));
    return t;
}

void show_icons(const mvlio_t& r, int tick) {
    switch (r.vicon_status) {
    case 2:
        ic_wshow(2, "");
        break;
    case 3:
        ic_wshow(2, T("Fremdnetz!", "Foreign network!"));
        break;
    case 1:
        if (tick % 4 == 0) ic_wshow(1, "");
        break;
    default:
        ic_wshow(0, "");
        break;
    }
    if (tick % 8) return;
    ic_tshow(r.ticon_status <= 3 ? r.ticon_status : 0, r.ticon_status ? r.ticon_value : 0, "");
    int h = r.hicon_status == 2 ? 3 : r.hicon_status == 9 ? 1 : r.hicon_status == 1 ? 2 : 0;
    ic_hshow(h, "");
    ic_bshow(r.battery, "");
}

void show_record(const mvlio_t& r) {
    fe__display_t d = fe__display(r, inidat.max, inidat.maxt);
    strMcpy(cc_mtext[1], d.message.c_str());
    strMcpy(cc_mtext[cc_mtextMINI], d.mini.c_str());
    strMcpy(cc_mtext[cc_mtextERR], d.error.c_str());
    strMcpy(cc_mtext[2], d.mode.c_str());
    strMcpy(cc_mtext[3], d.signal.c_str());
    strMcpy(cc_mtext[4], d.up.c_str());
    strMcpy(cc_mtext[5], d.down.c_str());
    strMcpy(cc_mtext[6], d.volume.c_str());
    strMcpy(cc_mtext[7], d.time.c_str());
    snprintf(maxgrenzes, sizeof maxgrenzes, "%s\n%s", d.volume.c_str() + 1, d.time.c_str() + 1);
    onlinezeit = static_cast<unsigned long>(r.online_time) * 100;
    mtextba = r.opmode;
    mtextsigd = r.signal_raw ? r.signal_dbm : -999;
    mtextup = r.online_time ? static_cast<long>(r.upspeed) : -1;
    mtextdown = r.online_time ? static_cast<long>(r.downspeed) : -1;
    cc_show();
}

void show_inactive() {
    ii_stop();
    cc_show2(T("+mavlyn nicht aktiv.", "+mavlyn not active."),
             T("+mavlyn_inaktiv.", "+mavlyn_inactive."));
    ic_wshow(0, "");
    ic_tshow(0, 0, "");
    ic_hshow(0, "");
    ic_bshow(0, "");
    msleepx(1020);
}

} // namespace

std::string fe__miniline(const std::string& message, const std::string& minitext) {
    std::string line = minitext;
    // With its first blank as '_', no other mark of the text is taken away again.
    size_t blank = line.find(' ');
    if (blank != std::string::npos) line[blank] = '_';
    return std::string(1, cc_marker(message.c_str())) + line;
}

fe__display_t fe__display(const mvlio_t& r, const long max[3], const long maxt[3]) {
    fe__display_t d;
    d.message = field(r.message);
    d.mini = fe__miniline(d.message, field(r.mini_message));
    d.error = field(r.error_message);
    unsigned long sum = static_cast<unsigned long>(r.upspeed) + r.downspeed;
    if (r.opmode == 1 || r.opmode == 5)
        d.mode = r.opmode == 1 && sum < 9451 ? " GPRS" : " EDGE";
    else if (r.opmode == 2 || r.opmode == 6)
        d.mode = r.opmode == 2 && sum < 56001 ? " UMTS" : " HSPA";
    else
        d.mode = " ";
    if (r.signal_raw) {
        char t[40];
        snprintf(t, sizeof t, "%c%02i%% = %idBm", r.signal_percent <= 11 ? '+' : ' ',
                 r.signal_percent, r.signal_dbm);
        d.signal = t;
    } else {
        d.signal = " ";
    }
    d.up = r.online_time ? speed(r.upspeed) : " offline";
    d.down = r.online_time ? speed(r.downspeed) : " offline";
    long v = static_cast<long>(r.volume);
    char t[40];
    mt__volumetext(v, t, sizeof t);
    d.volume = std::string(1, mt__limitmarker(v, max)) + t;
    long minutes = static_cast<long>(r.time);
    d.time = std::string(1, mt__limitmarker(minutes, maxt)) + stundenminuten(minutes);
    return d;
}

void frontend() {
    int tick = 0;
    uint32_t seen = 0;
    for (;;) {
        tick = (tick + 1) % 32;
        if (programmende_gewuenscht) return;
        if (!mvlior) {
            msleepx(1040);
            ii_start(false);
        }
        uint32_t counter = mvlior ? mvlior->process_counter : 0;
        if (mvlior) show_icons(*mvlior, tick);
        if (counter == 0) {
            // No main instance, or it has gone: shown as not active, retried every 2.3 s.
            show_inactive();
            seen = 0;
        } else if (counter != seen || update_gewuenscht) {
            seen = counter;
            mvlio_t copy = *mvlior; // torn values last one tick
            show_record(copy);
            if (update_gewuenscht) se_updatequery();
        }
        msleepx(252);
    }
}
