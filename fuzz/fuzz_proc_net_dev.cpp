// The interface table and the pppd output come from outside the program: any bytes must give
// a clear answer without reading past the input.
#include "fuzz_support.h"

#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<char> bytes(data, data + size); // exactly the input, no NUL behind
    long up = -1, down = -1;
    int err[8] = {};
    if (cn__procnetdev(bytes.data(), size, "ppp0", &up, &down, err) == 1 && (up < 0 || down < 0))
        __builtin_trap();
    // The same bytes as pppd output, line by line.
    cn__linesplitter s;
    char line[5000], name[100];
    for (size_t off = 0; off < size;) {
        off += s.feed(bytes.data() + off, size - off);
        while (s.next(line, sizeof line, off >= size)) {
            int error = 0;
            long pid = 0;
            cn__classify(line, cn__linestate{false, false, true}, &error, &pid);
            if (pid < 0 || pid == 1) __builtin_trap(); // never a signal to init or a group
            if (cn__interfacename(line, name, sizeof name) && strchr(name, '/')) __builtin_trap();
            cn__addressline(line), cn__pidfromtext(line);
        }
    }
    return 0;
}
