// The notification-area icons: main (connection state, mode, signal, optionally the rates as
// digits), warning, homezone, countdown and battery. Each is a 22 x 22 picture painted here
// pixel by pixel, with a tooltip and a short text form for the control window's title line.
#pragma once

#include "core/user_contact.h"

#include <cstdint>
#include <string>

// Start and end hooks: after ic_end every icon is off and stays off until ic_ini.
void ic_ini();
void ic_end();
// Counts the starts and ends: a caller that remembers what it showed shows it again after one.
int ic_generation();
// Whether the warning or the homezone icon is in its blinking state.
bool ic_blinking();
void ic_wshow(int art, const char* text);
void ic_hshow(int art, const char* text);
void ic_tshow(int art, unsigned long val, const char* text);
void ic_bshow(int val, const char* text);

// Text forms of the icons (empty while an icon is off).
extern const char* ic_micon;
extern const char* ic_wicon;
extern const char* ic_hicon;
extern const char* ic_ticon;
extern const char* ic_bicon;
// The tooltips as shown, at most 150 characters.
extern char ic__mtext[151], ic__wtext[151], ic__htext[151], ic__ttext[151], ic__btext[151];

// Pure painting, on 22 x 22 pixels of 32 bits (bytes red, green, blue, alpha).
#define ic__SIZE 22
#define ic__PIXELS (ic__SIZE * ic__SIZE)
typedef uint32_t ic__picture[ic__PIXELS];

// The stored value for an art character ('#' depends on option letter B).
uint32_t ic__colour(char c);
// Writes an art string from a start row on, one pixel per character.
void ic__pxs(uint32_t* px, int row, const char* art);
// One digit of the 5 x 7 font in the symbol colour; columns outside the picture are skipped.
void ic__pxd(uint32_t* px, int row, int col, int digit);
// A number of up to four digits, right-aligned, without leading zeros.
void ic__pxnumber(uint32_t* px, int row, int value);
int ic__signallevel(int sig);
void ic__paintmain(uint32_t* px, int art, int ba, int level, int up, int down, bool digiticon);
void ic__paintwarning(uint32_t* px);
void ic__painthomezone(uint32_t* px, int art);
void ic__paintcountdown(uint32_t* px, int art, unsigned long val);
void ic__paintbattery(uint32_t* px, int level);
// Swaps two colours everywhere in the picture (the blink steps).
void ic__swapcolours(uint32_t* px, uint32_t a, uint32_t b);
int ic__batterylevel(int val, int batt1, int batt2);
// The countdown's text form: "c75", "c2h", "c" ...
std::string ic__countdowntext(int art, unsigned long val);
// A tooltip as shown: the first "_" as a blank, else the first "~" or "\\" removed.
void ic__tooltipmarks(char* t);
