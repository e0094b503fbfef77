// Some operators pass web traffic through a proxy that recompresses pictures. With option
// letter "G" the background thread "kdthread" tries, while connected, to switch this off for
// the subscriber: through the operator's speed-manager page, and when that does not confirm,
// through the proxy's own control protocol ("bmic" packets on TCP port 4201). A failure is
// reported through iz_kdfehler.
#pragma once

#include <cstddef>
#include <string>

// Starts the thread once; it lives for the whole program.
void kd_start();

// Control packets: "bmic", version 2, type, big-endian total length, then records of tag,
// value length and value.
#define kd__DESCRIPTIONLEN 257
#define kd__KEEPALIVELEN 8
void kd__clientdescription(unsigned char* out); // kd__DESCRIPTIONLEN bytes
void kd__keepalive(unsigned char* out);         // kd__KEEPALIVELEN bytes

// Where the two steps connect to.
struct kd__endpoints {
    std::string webhost; // the speed-manager server, also written into the request
    int webport;
    std::string proxy; // IPv4 literal of the proxy
    int proxyport;
};
extern const kd__endpoints kd__operator;

// A wait of so many seconds; false when the thread is to end instead.
using kd__waitfn = bool (*)(int seconds);
// The waits of the thread: they count down only while connected.
bool kd__onlinewait(int seconds);

// One pass from the web step to the end step's failure decision. Returns false when the
// thread is to end. *confirmed (kept across passes) is set once the speed-manager page
// confirmed; then neither step runs again. *failed tells whether the control-protocol step
// counted a failure.
bool kd__pass(const kd__endpoints& at, kd__waitfn wait, bool* confirmed, bool* failed);
