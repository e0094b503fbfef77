// The panel icons' pictures: art strings of 22 characters per row and small glyphs.
#pragma once

extern const char* const ic__art_ball;         // main icon rows 0-12
extern const char* const ic__art_notconnected; // main icon rows 13-21, states 2-5
extern const char* const ic__art_searching;
extern const char* const ic__art_connecting;
extern const char* const ic__art_terminating;
extern const char* const ic__letter8[4][10]; // G, U, E, H
extern const char* const ic__letter6[4][6];
extern const char* const ic__art_warning;
extern const char* const ic__art_hzunknown;
extern const char* const ic__art_hzinside;
extern const char* const ic__art_hzoutside;
extern const char* const ic__art_clocktop;    // rows 0-7
extern const char* const ic__art_clockbottom; // rows 8-13
extern const char* const ic__glyph_sleep[6];
extern const char* const ic__glyph_noconnection[6];
extern const char* const ic__art_batterytop;   // rows 0-12
extern const char* const ic__art_batterylow;   // rows 13-21, level 1
extern const char* const ic__art_batteryempty; // rows 13-21, level 2
