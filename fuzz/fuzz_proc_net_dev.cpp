// The interface table and the pppd output come from outside the program: any bytes must give
// a clear answer without reading past the input.
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    long bu = -1, bd = -1;
    int err[8] = {};
    if (cn__procnetdev(text, size, "ppp0", &bu, &bd, err) == 1) {
        if (bu < 0 || bd < 0) __builtin_trap();
        for (int e : err)
            if (e < 0 || e > 40) __builtin_trap();
    }

    // The same bytes as pppd output, line by line.
    cn__linesplitter s;
    char line[5000];
    size_t off = 0;
    while (off < size) {
        off += s.feed(text + off, size - off);
        while (s.next(line, sizeof line, off >= size)) {
            if (strlen(line) >= sizeof line) __builtin_trap();
            int error = 0;
            long pid = 0;
            cn__classify(line, cn__linestate{false, false, true}, &error, &pid);
            if (pid < 0 || pid == 1) __builtin_trap();
            char name[100];
            if (cn__interfacename(line, name, sizeof name) && strchr(name, '/')) __builtin_trap();
            cn__addressline(line);
            cn__pidfromtext(line);
        }
    }
    return 0;
}
