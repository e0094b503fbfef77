#include "ui/panel_icons.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "ui/control_window.h"
#include "ui/icon_art.h"

#include <atomic>
#include <cstring>
#include <gtk/gtk.h>

// The edge length of every picture.
#define R ic__SIZE

const char* ic_micon = "";
const char* ic_wicon = "";
const char* ic_hicon = "";
const char* ic_ticon = "";
const char* ic_bicon = "";
char ic__mtext[151], ic__wtext[151], ic__htext[151], ic__ttext[151], ic__btext[151];

namespace {

const uint32_t transparent = 0x00000000;
const uint32_t black = 0xff000000;
const uint32_t red = 0xff0000ff;
const uint32_t yellow = 0xff00ffff;
const uint32_t darkyellow = 0xff009f9f;

uint32_t opaque(int r, int g, int b) {
    return 0xff000000u | static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(r);
}

// The 5 x 7 digit font, rows top to bottom.
const char* const digit_rows[10][7] = {
    {".###.", "##.##", "##.##", "##.##", "##.##", "##.##", ".###."},
    {"..##.", ".###.", "####.", "..##.", "..##.", "..##.", ".####"},
    {".###.", "##.##", "...##", "..##.", ".##..", "##...", "#####"},
    {".###.", "##.##", "...##", ".###.", "...##", "##.##", ".###."},
    {"...#.", "..##.", ".###.", "#.##.", "#####", "..##.", "..##."},
    {"#####", "##...", "##...", "####.", "...##", "##.##", ".###."},
    {"..##.", ".##..", "##...", "####.", "##.##", "##.##", ".###."},
    {"#####", "##.##", "...##", "..##.", ".##..", ".##..", ".##.."},
    {".###.", "##.##", "##.##", ".###.", "##.##", "##.##", ".###."},
    {".###.", "##.##", "##.##", ".####", "...##", "..##.", ".##.."},
};

void set(uint32_t* px, int row, int col, uint32_t v) {
    if (row >= 0 && row < R && col >= 0 && col < R) px[row * R + col] = v;
}

// A glyph of text rows; every character other than a blank or '.' is drawn in colour v.
void glyph(uint32_t* px, int row, int col, const char* const* rows, int n, uint32_t v) {
    for (int r = 0; r < n; r++)
        for (int c = 0; rows[r][c]; c++)
            if (rows[r][c] != ' ' && rows[r][c] != '.') set(px, row + r, col + c, v);
}

void clear(uint32_t* px) {
    for (int i = 0; i < ic__PIXELS; i++) px[i] = transparent;
}

int letter_index(int ba) {
    switch (ba) {
    case 1:
        return 0; // G
    case 2:
        return 1; // U
    case 5:
        return 2; // E
    case 6:
        return 3; // H
    default:
        return -1;
    }
}

uint32_t mode_background(int ba) {
    switch (ba) {
    case 1:
        return opaque(255, 64, 64);
    case 2:
        return opaque(128, 128, 255);
    case 5:
        return opaque(128, 255, 128);
    case 6:
        return opaque(255, 64, 255);
    default:
        return opaque(192, 192, 192);
    }
}

void paint_standard_online(uint32_t* px, int ba, int level) {
    ic__pxs(px, 0, ic__art_ball);
    uint32_t bg = mode_background(ba);
    for (int i = 0; i < 13 * R; i++)
        if (px[i] == transparent) px[i] = bg;
    for (int i = 13 * R; i < ic__PIXELS; i++) px[i] = bg;
    px[0] = transparent;
    int l = letter_index(ba);
    if (l >= 0) glyph(px, 11, 1, ic__letter8[l], 10, black);
    for (int i = 0; i < level; i++)
        for (int h = 0; h < i + 3; h++) {
            set(px, 20 - h, 11 + 2 * i, black);
            set(px, 20 - h, 12 + 2 * i, black);
        }
}

void paint_digit_online(uint32_t* px, int ba, int level, int up, int down) {
    clear(px);
    ic__pxnumber(px, 0, up);
    ic__pxnumber(px, 15, down);
    int l = letter_index(ba);
    if (l >= 0) glyph(px, 8, 0, ic__letter6[l], 6, black);
    const int columns[5] = {8, 11, 14, 17, 20};
    for (int i = 0; i < level; i++)
        for (int r = 8; r <= 13; r++) {
            set(px, r, columns[i], black);
            set(px, r, columns[i] + 1, black);
        }
}

// ------------------------------------------------------------------ the status icons

struct PanelIcon {
    GtkStatusIcon* gic = nullptr;
    GdkPixbuf* gpb = nullptr;
    ic__picture px{};
    char tooltip[151] = "";
};

gboolean ic__activate(GtkStatusIcon*, gpointer) {
    // Runs inside the GUI lock; others may update the screen while we wait.
    th_leave();
    msleep(350);
    th_enter();
    cc_menu();
    return TRUE;
}

void ic__popupmenu(GtkStatusIcon*, guint, guint, gpointer) {
    cc_menu();
}

// The GUI lock is held by the callers of everything below: each public ic_ function takes it
// once around its work (state and widgets), so no other lock is needed here.
void ensure_created(PanelIcon& icon) {
    if (icon.gic) return;
    icon.gic = gtk_status_icon_new();
    gtk_status_icon_set_visible(icon.gic, FALSE);
    g_signal_connect(icon.gic, "activate", G_CALLBACK(ic__activate), nullptr);
    g_signal_connect(icon.gic, "popup-menu", G_CALLBACK(ic__popupmenu), nullptr);
}

void show_picture(PanelIcon& icon) {
    ensure_created(icon);
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, R, R);
    guchar* dst = gdk_pixbuf_get_pixels(pb);
    int stride = gdk_pixbuf_get_rowstride(pb);
    for (int r = 0; r < R; r++)
        for (int c = 0; c < R; c++) {
            uint32_t v = icon.px[r * R + c];
            guchar* d = dst + r * stride + c * 4;
            d[0] = static_cast<guchar>(v);
            d[1] = static_cast<guchar>(v >> 8);
            d[2] = static_cast<guchar>(v >> 16);
            d[3] = static_cast<guchar>(v >> 24);
        }
    if (icon.gpb) g_object_unref(icon.gpb);
    icon.gpb = pb;
    gtk_status_icon_set_from_pixbuf(icon.gic, pb);
    gtk_status_icon_set_visible(icon.gic, TRUE);
}

void hide(PanelIcon& icon) {
    if (icon.gic) gtk_status_icon_set_visible(icon.gic, FALSE);
}

// Tooltips come as UTF-8; anything else is taken as Latin-1.
void set_tooltip_text(PanelIcon& icon, const char* t) {
    if (!icon.gic) return;
    if (g_utf8_validate(t, -1, nullptr)) {
        gtk_status_icon_set_tooltip_text(icon.gic, t);
    } else {
        gchar* u = g_convert(t, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
        gtk_status_icon_set_tooltip_text(icon.gic, u ? u : "");
        g_free(u);
    }
}

// The GUI lock for the scope of one public function.
struct GuiLock {
    GuiLock() { th_enter(); }
    ~GuiLock() { th_leave(); }
    GuiLock(const GuiLock&) = delete;
    GuiLock& operator=(const GuiLock&) = delete;
};

// Step 6 of every repaint: a new, non-empty (or clearing) tooltip is remembered and shown.
void update_tooltip(PanelIcon& icon, const char* text, char* shown) {
    if (!text || (!text[0] && !icon.tooltip[0]) || strncmp(text, icon.tooltip, 150) == 0) return;
    strmcpy(icon.tooltip, text, sizeof icon.tooltip);
    strmcpy(shown, text, 151);
    set_tooltip_text(icon, shown);
}

PanelIcon main_icon, warning_icon, homezone_icon, countdown_icon, battery_icon;

int ic__mart = 0, ba_alt = -2, sig_alt = -2, up_alt = -2, down_alt = -2;
bool show_alt = false;
char text_alt[151] = "";
std::atomic<int> ic__wart{0}; // read without the lock by ic_blinking
bool wflash = false;
std::atomic<int> ic__hart{0};
bool hflash = false;
int ic__tart = 0;
unsigned long val_alt = 0;
int ic__bart = 0;
char countdown_form[16] = "";

const char* main_textform(int art) {
    switch (art) {
    case 2:
        return "-";
    case 3:
        return "?";
    case 4:
        return "-><-";
    case 5:
        return "<-|->";
    default:
        return "";
    }
}

} // namespace

uint32_t ic__colour(char c) {
    switch (c) {
    case 'x':
        return black;
    case 'r':
        return red;
    case 'b':
        return 0xffff0000;
    case 'g':
        return 0xff00ff00;
    case 'y':
        return yellow;
    case '-':
        return darkyellow;
    case 'w':
        return 0xffffffff;
    case '/':
        return 0xffbfbfbf;
    case '#':
        return MODUS('B') ? 0xffffffff : black;
    default:
        return transparent;
    }
}

void ic__pxs(uint32_t* px, int row, const char* art) {
    for (int i = row * R; *art && i < ic__PIXELS; i++, art++) px[i] = ic__colour(*art);
}

void ic__pxd(uint32_t* px, int row, int col, int digit) {
    if (digit < 0 || digit > 9) return;
    glyph(px, row, col, digit_rows[digit], 7, ic__colour('#'));
}

void ic__pxnumber(uint32_t* px, int row, int value) {
    if (value < 0) value = 0;
    const int columns[4] = {17, 11, 5, -1};
    int digits[4] = {value % 10, value / 10 % 10, value / 100 % 10, value / 1000 % 10};
    for (int i = 0; i < 4; i++) {
        bool higher = false;
        for (int j = i; j < 4; j++) higher = higher || digits[j] != 0;
        if (i == 0 || higher) ic__pxd(px, row, columns[i], digits[i]);
    }
}

int ic__signallevel(int sig) {
    if (sig < 1) return 0;
    if (sig < 15) return 1;
    if (sig < 30) return 2;
    if (sig < 50) return 3;
    if (sig < 70) return 4;
    return 5;
}

void ic__paintmain(uint32_t* px, int art, int ba, int level, int up, int down, bool digiticon) {
    if (art == 1) {
        if (digiticon)
            paint_digit_online(px, ba, level, up, down);
        else
            paint_standard_online(px, ba, level);
        return;
    }
    clear(px);
    ic__pxs(px, 0, ic__art_ball);
    const char* symbol = art == 2   ? ic__art_notconnected
                         : art == 3 ? ic__art_searching
                         : art == 4 ? ic__art_connecting
                                    : ic__art_terminating;
    // The symbol is drawn over the base picture: its blanks leave it as it is.
    for (int i = 0; symbol[i] && 13 * R + i < ic__PIXELS; i++)
        if (symbol[i] != ' ') px[13 * R + i] = ic__colour(symbol[i]);
}

void ic__paintwarning(uint32_t* px) {
    ic__pxs(px, 0, ic__art_warning);
}

void ic__painthomezone(uint32_t* px, int art) {
    ic__pxs(px, 0, art == 1 ? ic__art_hzunknown : art == 2 ? ic__art_hzinside : ic__art_hzoutside);
}

void ic__paintcountdown(uint32_t* px, int art, unsigned long val) {
    clear(px);
    ic__pxs(px, 0, ic__art_clocktop);
    ic__pxs(px, 8, ic__art_clockbottom);
    if (art == 2) glyph(px, 8, 15, ic__glyph_sleep, 6, ic__colour('#'));
    if (art == 3) glyph(px, 8, 15, ic__glyph_noconnection, 6, ic__colour('#'));
    for (int r = 0; r < 2; r++)
        for (int c = 8; c <= 9; c++) {
            set(px, 16 + r, c, black);
            set(px, 19 + r, c, black);
        }
    if (val >= 600) return;
    unsigned long h = val / 60, m = val % 60;
    ic__pxd(px, 15, 17, static_cast<int>(m % 10));
    ic__pxd(px, 15, 11, static_cast<int>(m / 10));
    ic__pxd(px, 15, 0, static_cast<int>(h));
}

void ic__paintbattery(uint32_t* px, int level) {
    ic__pxs(px, 0, ic__art_batterytop);
    ic__pxs(px, 13, level == 2 ? ic__art_batteryempty : ic__art_batterylow);
}

void ic__swapcolours(uint32_t* px, uint32_t a, uint32_t b) {
    for (int i = 0; i < ic__PIXELS; i++) {
        if (px[i] == a)
            px[i] = b;
        else if (px[i] == b)
            px[i] = a;
    }
}

int ic__batterylevel(int val, int batt1, int batt2) {
    if (val <= 0 || val > batt1) return 0;
    return val <= batt2 ? 2 : 1;
}

std::string ic__countdowntext(int art, unsigned long val) {
    if (art < 1 || art > 3) return "";
    std::string t(1, "czx"[art - 1]);
    if (val < 100) return t + std::to_string(val);
    if (val < 600) return t + std::to_string(val / 60) + "h";
    return t;
}

void ic__tooltipmarks(char* t) {
    if (char* p = strchr(t, '_')) {
        *p = ' ';
        return;
    }
    for (char mark : {'~', '\\'})
        if (char* p = strchr(t, mark)) {
            memmove(p, p + 1, strlen(p + 1) + 1);
            return;
        }
}

namespace {
// Between the end hook and a new start nothing shows an icon: the timer tick goes on until
// the very end of the program and would raise them again.
std::atomic<bool> ic__ended{false};
std::atomic<int> ic__generation{0};
} // namespace

void ic_ini() {
    ic__ended = false;
    ic__generation++;
}

int ic_generation() {
    return ic__generation;
}

bool ic_blinking() {
    return ic__wart == 2 || ic__hart == 3;
}

void ic_end() {
    ic__ended = true;
    ic__generation++;
    ic_mshow(0, -1, -1, -1, -1, nullptr);
    ic_wshow(0, nullptr);
    ic_hshow(0, nullptr);
    ic_tshow(0, 0, nullptr);
    ic_bshow(0, nullptr);
}

void ic_mshow(int art, int ba, int sig, int up, int down, const char* text) {
    GuiLock lock;
    if ((art != -1 && (art < 0 || art > 5)) || ic__ended) art = 0;
    if (art == -1) art = ic__mart;
    if (ba == -1) ba = ba_alt;
    if (sig == -1)
        sig = sig_alt;
    else
        sig = sig < 0 ? 0 : sig > 100 ? 100 : sig;
    if (up == -1)
        up = up_alt;
    else if (up < 0)
        up = 0;
    if (down == -1)
        down = down_alt;
    else if (down < 0)
        down = 0;
    bool digiticon = inidat.icon >= 2;
    bool show = fefo == fefo_ICON;
    int level = art > 0 ? ic__signallevel(sig) : 0;
    bool changed = art != ic__mart || ba != ba_alt || level != ic__signallevel(sig_alt) ||
                   show != show_alt || (digiticon && (up != up_alt || down != down_alt));
    if (changed) {
        if ((art == 0 || !show) && main_icon.gic && ic__mart > 0) hide(main_icon);
        if (art > 0 && show) {
            ic__paintmain(main_icon.px, art, ba, level, up, down, digiticon);
            show_picture(main_icon);
        }
        ic__mart = art;
        ba_alt = ba;
        sig_alt = sig;
        up_alt = up;
        down_alt = down;
        show_alt = show;
        ic_micon = main_textform(art);
    }
    if (!text || (!text[0] && !text_alt[0]) || strncmp(text, text_alt, 150) == 0) return;
    strmcpy(text_alt, text, sizeof text_alt);
    char shown[151];
    strmcpy(shown, text, sizeof shown);
    ic__tooltipmarks(shown);
    strMcpy(ic__mtext, shown);
    set_tooltip_text(main_icon, shown);
}

void ic_wshow(int art, const char* text) {
    GuiLock lock;
    if (art < -1 || art > 2 || ic__ended) art = 0;
    if (art == -1) {
        if (ic__wart == 2) {
            ic__swapcolours(warning_icon.px, darkyellow, yellow);
            wflash = !wflash;
            ic_wicon = wflash ? "!!" : "$";
            show_picture(warning_icon);
        }
    } else if (art != ic__wart) {
        if (art == 0) {
            hide(warning_icon);
        } else {
            ic__paintwarning(warning_icon.px);
            show_picture(warning_icon);
        }
        ic__wart = art;
        wflash = false;
        ic_wicon = art == 0 ? "" : "$";
    }
    update_tooltip(warning_icon, text, ic__wtext);
}

void ic_hshow(int art, const char* text) {
    GuiLock lock;
    if (art < -1 || art > 3 || ic__ended) art = 0;
    if (art == -1) {
        if (ic__hart == 3) {
            ic__swapcolours(homezone_icon.px, red, yellow);
            hflash = !hflash;
            ic_hicon = hflash ? "X!H" : "XH!";
            show_picture(homezone_icon);
        }
    } else if (art != ic__hart) {
        if (art == 0) {
            hide(homezone_icon);
        } else {
            ic__painthomezone(homezone_icon.px, art);
            show_picture(homezone_icon);
        }
        ic__hart = art;
        hflash = false;
        ic_hicon = art == 0 ? "" : art == 1 ? "H?" : art == 2 ? "H" : "XH!";
    }
    int state = ic__hart;
    if (text && !text[0] && state >= 1) {
        const char* defaults[3][2] = {
            {"mavlyn\nHomezone-Status unbekannt", "mavlyn\nHomezone status unknown"},
            {"mavlyn\nIn Homezone", "mavlyn\nIn homezone"},
            {"mavlyn\nNicht in Homezone", "mavlyn\nNot in homezone"}};
        text = T(defaults[state - 1][0], defaults[state - 1][1]);
    }
    update_tooltip(homezone_icon, text, ic__htext);
}

void ic_tshow(int art, unsigned long val, const char* text) {
    GuiLock lock;
    if (art < 0 || art > 3 || ic__ended) art = 0;
    if (val > 0x80000000ul) val = 0;
    if (art != ic__tart || val != val_alt) {
        if (art == 0) {
            hide(countdown_icon);
        } else {
            ic__paintcountdown(countdown_icon.px, art, val);
            show_picture(countdown_icon);
        }
        ic__tart = art;
        val_alt = val;
        strMcpy(countdown_form, ic__countdowntext(art, val).c_str());
        ic_ticon = countdown_form;
    }
    if (text && !text[0] && art > 0) text = T("mavlyn\nCountdown", "mavlyn\ncountdown");
    update_tooltip(countdown_icon, text, ic__ttext);
}

void ic_bshow(int val, const char* text) {
    GuiLock lock;
    val = val < 0 || ic__ended ? 0 : val > 100 ? 100 : val;
    int level = ic__batterylevel(val, inidat.batt1, inidat.batt2);
    if (level != ic__bart) {
        if (level == 0) {
            hide(battery_icon);
        } else {
            ic__paintbattery(battery_icon.px, level);
            show_picture(battery_icon);
        }
        ic__bart = level;
        ic_bicon = level == 0 ? "" : level == 1 ? "batt" : "BATT!";
    }
    char charge[80];
    if (text && !text[0] && level > 0) {
        snprintf(charge, sizeof charge,
                 T("mavlyn\nMobilteil-Akku %i%%", "mavlyn\nMobile set battery %i%%"), val);
        text = charge;
    }
    update_tooltip(battery_icon, text, ic__btext);
}
