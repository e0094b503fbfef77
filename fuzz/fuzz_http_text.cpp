// Web addresses come from the configuration and from downloaded pages (frame addresses);
// credentials from the configuration.
#include "connection/internet_probes.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str(); // as the program sees it: up to the first NUL

    std::string host, path;
    int port = 0;
    if (iz__splitUrl(text.c_str(), &host, &port, &path) &&
        (host.empty() || port < 1 || port > 65535))
        __builtin_trap();
    std::string next = iz__frameaddress(text.c_str());
    if (next.size() > text.size()) __builtin_trap();

    std::vector<char> b(text.size() * 4 / 3 + 4 + 1);
    memcpy(b.data(), text.c_str(), text.size() + 1);
    iz__base64(b.data());
    if (strlen(b.data()) != (text.size() + 2) / 3 * 4) __builtin_trap();

    iz_ipok(text.c_str());
    iz__addressok(text.c_str());
    if (iz_ipok(text.c_str())) iz__pausenumber(text.c_str());
    return 0;
}
