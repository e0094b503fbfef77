// CPU time per 1000 polls of the accounting and of the /proc/net/dev parse.
//   build-dial/bench/accounting_bench [ifname]
// Without an interface name the loopback interface is counted, so the polls take the online
// path with real counters; nothing is dialled (automatic connecting is off).
#include "connection/accounting.h"
#include "connection/dialup.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    iv_inidefaults();
    inidat.constart = false;
    inidat.round = 0; // no connection-log lines
    inidat.roundt = 0;
    verbindenverboten = false;
    strMcpy(cn__linuxconnectionname, argc > 1 ? argv[1] : "lo");

    std::string table;
    if (FILE* f = fopen("/proc/net/dev", "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) table.append(buf, n);
        fclose(f);
    }
    const int rounds = 20;
    long bu = 0, bd = 0, sink = 0;
    int err[8] = {};
    double t0 = cpu_seconds();
    for (int i = 0; i < rounds * 1000; i++) {
        sink += cn__procnetdev(table.data(), table.size(), cn__linuxconnectionname, &bu, &bd, err);
    }
    double parse = (cpu_seconds() - t0) / rounds;

    long up, down, kb;
    t0 = cpu_seconds();
    for (int i = 0; i < rounds * 1000; i++) cn_statistics(&up, &down, &kb);
    double poll = (cpu_seconds() - t0) / rounds;

    printf("/proc/net/dev parse (%zu bytes): %.3f ms CPU per 1000\n", table.size(), parse * 1e3);
    printf("cn_statistics (file read included): %.3f ms CPU per 1000 polls\n", poll * 1e3);
    return sink < 0;
}
