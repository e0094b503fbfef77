// The parts of the configuration dialog that its files share: the widgets, the dialog's state,
// and what the page building, the SMS page and the tools provide to each other. For the
// dialog's own files only.
#pragma once

#include "core/config_record.h"
#include "ui/config_dialog.h"

#include <atomic>
#include <gtk/gtk.h>
#include <string>

// A click into the network analysis result (a "mark-set" handler of its buffer).
void cf__marksetNL(GtkTextBuffer* b, GtkTextIter* at, GtkTextMark* mark, gpointer view);

namespace cfd {

constexpr int E(char a, char b) {
    return cf__eid(a, b);
}

struct limitrow {
    GtkWidget* entry;
    GtkWidget* unit;
};

struct counterblock {
    GtkWidget* check;
    GtkWidget* actual;
    GtkWidget* reset;
    GtkWidget* day;
    GtkWidget* round;
    limitrow limit[3];
};

struct commandblock {
    GtkWidget* trigger;
    GtkWidget* command;
    GtkWidget* browse;
    GtkWidget* hidden;
    GtkWidget* sender;
    GtkWidget* keyword;
};

struct modcheck {
    GtkWidget* check;
    char letter;
};

// Every widget the dialog reads or switches.
struct widgets {
    GtkWidget* window;
    GtkWidget* notebook;
    GtkWidget* hint;
    // Info
    GtkWidget* rem;
    // Global
    GtkWidget* stdcombo;
    GtkWidget* stdpages;
    GtkWidget* stdconfirm;
    GtkWidget* stddone;
    GtkWidget* endm;
    GtkWidget* icon;
    // Device
    GtkWidget* dev;
    GtkWidget* commanual;
    GtkWidget* com;
    GtkWidget* devi;
    GtkWidget* netlock;
    GtkWidget* pinnew;
    GtkWidget* pin;
    GtkWidget* console;
    GtkWidget* consoleinput;
    // Network
    GtkWidget* analysisstart;
    GtkWidget* analysisgprs;
    GtkWidget* analysisumts;
    GtkWidget* analysisclip;
    GtkWidget* analysisview;
    GtkWidget* netsel;
    GtkWidget* net;
    GtkWidget* apn;
    GtkWidget* ussdsend;
    GtkWidget* smsc;
    GtkWidget* ppq;
    GtkWidget* ppqbutton;
    GtkWidget* ppc;
    GtkWidget* ppcbutton;
    GtkWidget* homecheck;
    GtkWidget* homu;
    GtkWidget* homi;
    GtkWidget* homo;
    // Connection
    GtkWidget* constart;
    GtkWidget* conende;
    GtkWidget* time1;
    GtkWidget* time2;
    GtkWidget* timeend;
    GtkWidget* conmanual;
    GtkWidget* conport;
    GtkWidget* passmanual;
    GtkWidget* conname;
    GtkWidget* conpass;
    // Monitoring
    GtkWidget* errl;
    GtkWidget* ping[4];
    GtkWidget* ip[3];
    GtkWidget* err[6];
    GtkWidget* batt;
    GtkWidget* batt1;
    GtkWidget* batt2;
    // Log
    counterblock vol;
    counterblock tim;
    // Start/End
    GtkWidget* pcstart;
    GtkWidget* pcconfirm;
    GtkWidget* startdelay;
    GtkWidget* resumedelay;
    GtkWidget* nocheck;
    GtkWidget* noc;
    GtkWidget* endstandby;
    GtkWidget* countdown[5];
    GtkWidget* endminutes;
    GtkWidget* shutdown[3];
    // External
    commandblock cmd[3];
    // SMS
    GtkWidget* smsnotebook;
    GtkWidget* smslist[2]; // inbox, outbox
    GtkWidget* smsview;
    GtkWidget* smsactive;
    GtkWidget* smsbook;
    GtkWidget* smsaddressee;
    GtkWidget* smstext;
    GtkWidget* smssend;
    GtkWidget* smsrefresh;
    // Buttons
    GtkWidget* language;
    GtkWidget* cancel;
    GtkWidget* ok;
    modcheck mod[16];
    int nmod;
};

// A prepaid task as the buttons ask for it, with the fields as they stand at the press.
struct prepaidtask {
    int kind = -1; // 0 credit query, 1 top-up, 2 USSD code; -1 none
    char ppq[sizeof inidat.ppq] = "";
    char ppc[sizeof inidat.ppc] = "";
    char port[sizeof inidat.comport] = ""; // "" searches for the modem
    std::atomic<bool> done{false};
};

struct toolrequests {
    int console = 0;     // 1 start, 2 start and test for netlocks, -1 end
    std::string pending; // console bytes to send
    int analysis = 0;    // requested search mode, handed to the thread after the console ended
    bool instancetold = false;
    prepaidtask* prepaid = nullptr; // asked for, not yet started
};

// ---- State (config_dialog.cpp, config_dialog_tools.cpp)
extern int result;
extern bool de_before;
extern bool running;
extern bool switching_language;
extern bool settingsdone_wanted;
extern widgets w;
extern toolrequests tools;
// The SMS list shown (0 inbox, 1 outbox) and whether it is being rewritten.
extern int smsbox;
extern bool smsblock;

// ---- the dialog (config_dialog.cpp)
gpointer eidp(int eid);
void copy_entry(char* dest, size_t n, GtkWidget* e);
// Selects the whole line clicked into a list; busy is set while the selection moves the mark,
// so the list's own handler ignores that move. Returns the line's start.
GtkTextIter select_line(GtkTextBuffer* b, const GtkTextIter* at, bool* busy);
int active(GtkWidget* c);

// ---- building the pages (config_dialog_pages.cpp)
void set_entry(GtkWidget* e, const char* text);
void set_entry_number(GtkWidget* e, long v, bool zero_empty);
long entry_number(GtkWidget* e);
bool checked(GtkWidget* c);
void set_checked(GtkWidget* c, bool on);
void on_clicked(GtkWidget* b, int eid);
void on_toggled(GtkWidget* b, int eid);
void on_changed(GtkWidget* c, int eid);
GtkWidget* pack(GtkWidget* box, GtkWidget* child, bool expand = false);
GtkWidget* hrow(GtkWidget* box);
GtkWidget* label(GtkWidget* box, const char* text);
GtkWidget* entry(GtkWidget* box, const char* tooltip, int chars, bool expand = false);
GtkWidget* modletter(GtkWidget* box, const char* text, char letter);
GtkWidget* button(GtkWidget* box, const char* text, int eid, const char* tooltip = nullptr);
GtkWidget* textview(GtkWidget* box, int height);
GtkWidget* page(const char* title);
void build();

// ---- the SMS page (config_dialog_sms.cpp)
void view_put(GtkWidget* view, const std::string& text, bool append);
std::string view_text(GtkWidget* view);
void sms_load();
void sms_show(GtkWidget* view);
void splash_from_handler(int kind);
void sms_send();
void sms_choose();
void sms_reception_folder();
void sms_fresh();
void sms_editbook();
void page_sms();

// ---- standard settings, console, network analysis, prepaid (config_dialog_tools.cpp)
// The pages of the standard-settings notebook.
enum { STDPAGE_EXPLAIN, STDPAGE_RELOAD, STDPAGE_CONFIRM, STDPAGE_DONE };
int stdpage_of(int item);
void take_standard_settings();
void console_end();
void console_request(bool withnetlock);
void console_placeholder();
void console_input();
void analysis_start();
void analysis_clipboard();
void prepaid_request(int kind);
void analysis_choose(int line);
void tools_poll();
void tools_reset();
void prepaid_end();

} // namespace cfd
