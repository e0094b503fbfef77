// Short tone signals, synthesised here and played through the PulseAudio simple API, so they
// do not depend on a system bell.
#pragma once

#include <cstddef>

// Plays fq hertz (100..5000) for dur milliseconds (50..5000). Blocks until the tone has been
// played, so callers can put pauses between tones. False when muted (tonlos) or when the sound
// server failed.
bool beep(int fq, int dur);

// The tone's format: unsigned 8-bit samples, one channel.
#define beep__RATE 20000
// Half a second of a triangle wave between 64 and 191, for one frequency.
#define beep__TABLELEN 10000

// The wave table for fq (already clamped), rebuilt only when fq differs from the last one.
// Not serialised: beep serialises its own use of the table.
const unsigned char* beep__table(int fq);
// The clamped frequency and the number of samples beep(fq, dur) plays.
void beep__plan(int fq, int dur, int* clampedfq, size_t* samples);
