// Web addresses come from the configuration and from downloaded pages (frame addresses);
// credentials from the configuration.
#include "fuzz_support.h"

#include "connection/internet_probes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fz::ctext t(fz::text(data, size));
    std::string host, path;
    int port = 0;
    if (iz__splitUrl(t.c(), &host, &port, &path) && (host.empty() || port < 1 || port > 65535))
        __builtin_trap();
    iz__frameaddress(t.c());
    std::vector<char> b(t.v.size() * 4 / 3 + 5); // base64 of the text, with its NUL
    memcpy(b.data(), t.c(), t.v.size());
    iz__base64(b.data());
    if (iz_ipok(t.c())) iz__pausenumber(t.c());
    iz__addressok(t.c());
    return 0;
}
