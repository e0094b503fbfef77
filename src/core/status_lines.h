// The ten shared status lines that every part of the program writes and the control window,
// the panel icon's tooltip and the shared record show.
#pragma once

#include <cstddef>

enum fefo_t { fefo_OHNE = 0, fefo_NORMAL = 1, fefo_MINI = 2, fefo_MINI2 = 3, fefo_ICON = 4 };
extern fefo_t fefo;

#define cc_mtextFELD 10
#define cc_mtextLEN 150
#define cc_mtextMAX 7
#define cc_mtextERR 8
#define cc_mtextMINI 9
// Line 0 unused; 1 status, 2 mode, 3 signal, 4 upload, 5 download, 6 volume, 7 time,
// 8 error text, 9 mini text. The first character of each line is its marker.
extern char cc_mtext[cc_mtextFELD][cc_mtextLEN];

// Lines 2-8 cleared; lines 1 and 9 as the writer left them; then the screen is updated.
void cc_show1();
// Lines 2-8 cleared, line 1 and line 9 set, then the screen is updated.
void cc_show2(const char* mtnormal, const char* mtmini);
// Brings the screen in line with the current lines (the control window).
void cc_show();

// Marker of a line as shown: '+' notice, '*' alarm, anything else normal (' ').
char cc_marker(const char* line);
// The text of a short line as shown: marker removed, then the first "_" shown as a blank,
// else the first "~" removed, else the first "\\" removed.
void cc_minitext(char* out, size_t n, const char* line);
// Whether the error line holds a marker and at least one character, and so replaces the
// volume line in the regular window and the mini text.
bool cc_errorlineshown();
// The short status (the error line when it is shown, else the mini text) without its marker
// and with its marks, as the main panel icon's tooltip takes it.
const char* cc_shortstatus();
