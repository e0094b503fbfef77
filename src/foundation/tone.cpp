#include "foundation/tone.h"

#include "foundation/run_state.h"

#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

// beep may be called from several threads; the table is shared.
std::mutex table_mutex;
unsigned char table[beep__TABLELEN];
int table_fq = 0;

int clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// A triangle over 512 phase steps: from 128 up to 255, down to 0 and back to 128.
int triangle(long phase) {
    if (phase < 128) return static_cast<int>(phase) + 128;
    if (phase < 384) return 383 - static_cast<int>(phase);
    return static_cast<int>(phase) - 384;
}

void build_table(int fq) {
    for (long i = 0; i < beep__TABLELEN; i++) {
        long phase = (i * 512 * fq / beep__RATE) % 512;
        table[i] = static_cast<unsigned char>(triangle(phase) / 2 + 64);
    }
    table_fq = fq;
}

// The sound library is loaded with the first tone: most runs play none, and it brings a
// dozen codec and bus libraries that would otherwise stay resident all day.
struct Pulse {
    decltype(&pa_simple_new) open = nullptr;
    decltype(&pa_simple_write) write = nullptr;
    decltype(&pa_simple_drain) drain = nullptr;
    decltype(&pa_simple_free) close = nullptr;
    decltype(&pa_strerror) error_text = nullptr;
};

template <typename F> void symbol(void* lib, const char* name, F* f) {
    *f = reinterpret_cast<F>(dlsym(lib, name));
}

const Pulse* pulse() {
    static const Pulse api = [] {
        Pulse p;
        void* lib = dlopen("libpulse-simple.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return p;
        symbol(lib, "pa_simple_new", &p.open);
        symbol(lib, "pa_simple_write", &p.write);
        symbol(lib, "pa_simple_drain", &p.drain);
        symbol(lib, "pa_simple_free", &p.close);
        symbol(lib, "pa_strerror", &p.error_text);
        return p;
    }();
    bool complete = api.open && api.write && api.drain && api.close && api.error_text;
    return complete ? &api : nullptr;
}

// RAII for the playback stream.
struct Stream {
    const Pulse* pa;
    pa_simple* s = nullptr;
    ~Stream() {
        if (s) pa->close(s);
    }
};

} // namespace

const unsigned char* beep__table(int fq) {
    if (fq != table_fq) build_table(fq);
    return table;
}

void beep__plan(int fq, int dur, int* clampedfq, size_t* samples) {
    *clampedfq = clamp(fq, 100, 5000);
    *samples = static_cast<size_t>(clamp(dur, 50, 5000)) * beep__RATE / 1000;
}

bool beep(int fq, int dur) {
    if (tonlos) return false;
    int f;
    size_t samples;
    beep__plan(fq, dur, &f, &samples);

    std::lock_guard<std::mutex> l(table_mutex);
    const Pulse* pa = pulse();
    if (!pa) {
        fprintf(stderr, "mavlyn: no sound library (libpulse-simple.so.0)\n");
        return false;
    }
    const unsigned char* wave = beep__table(f);
    pa_sample_spec format{};
    format.format = PA_SAMPLE_U8;
    format.channels = 1;
    format.rate = beep__RATE;
    int error = 0;
    Stream stream{pa};
    stream.s = pa->open(nullptr, "mavlyn", PA_STREAM_PLAYBACK, nullptr, "beep", &format, nullptr,
                        nullptr, &error);
    if (!stream.s) {
        fprintf(stderr, "mavlyn: pa_simple_new(): %s\n", pa->error_text(error));
        return false;
    }
    bool played = true;
    while (samples > 0) {
        size_t piece = samples < beep__TABLELEN ? samples : beep__TABLELEN;
        if (pa->write(stream.s, wave, piece, &error) < 0) {
            fprintf(stderr, "mavlyn: pa_simple_write(): %s\n", pa->error_text(error));
            played = false;
        }
        samples -= piece;
    }
    // Freeing the stream drops what the server has not played yet: wait for the tone's end.
    if (pa->drain(stream.s, &error) < 0) played = false;
    return played;
}
