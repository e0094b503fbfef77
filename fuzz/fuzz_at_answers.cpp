// The modem's answers reach their parsers as the device sent them: signal, registration and
// cell data, network name and mode, network code, SIM state and attempts, the end of an
// answer, the "ATI" answer, the logged answers, a router's web page; and the names of the
// by-id directories, which are not under the program's control either.
#include "fuzz_support.h"

#include "control/main_thread.h"
#include "control/monitoring_evaluation.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/router_link.h"
#include "modem/sim_pin.h"

#include <cctype>

namespace {

using fz::bounded;
using fz::ctext;
using fz::terminated;

bool all_of(const char* s, int (*is)(int)) {
    for (; *s; s++)
        if (!is(static_cast<unsigned char>(*s))) return false;
    return true;
}

void check_signal_and_mode(const ctext& a) {
    int csq = mt__csqraw(a.c());
    if (csq < -1 || csq > 99 || (csq >= 0 && !strstr(a.c(), "CSQ: "))) __builtin_trap();
    // Values within the scales the display and the record take.
    int cind = mt__cindraw(a.c()), bat = mt__batterycharge(a.c());
    if (cind < -1 || cind > 31 || bat < 0 || bat > 100) __builtin_trap();
    for (int m : {mt__modecops(a.c()), mt__modezpas(a.c()), mt__modenwrat(a.c())})
        if (m < 0 || m > 6) __builtin_trap();
}

void check_registration(const ctext& a) {
    for (const char* key : {"CGREG: ", "CREG: "}) {
        const char* t = mt__regtext(a.c(), key);
        char st = mt__regstatus(t);
        if (st != 0 && st != '1' && st != '5') __builtin_trap();
        for (int mask = 0; mask < 4; mask++)
            for (size_t n : {size_t{1}, size_t{5}, size_t{20}}) {
                // Area and cell; a field marked unsupported (first byte 1) is left alone.
                std::vector<char> f[2] = {std::vector<char>(n, 'x'), std::vector<char>(n, 'x')};
                for (int k : {0, 1})
                    if (mask >> k & 1) f[k][0] = 1;
                const std::vector<char> before[2] = {f[0], f[1]};
                if (st) mt__reglocation(t, f[0].data(), n, f[1].data(), n);
                bool ok = mt__celldata(a.c(), key, f[0].data(), n, f[1].data(), n);
                for (int k : {0, 1})
                    if (before[k][0] == 1
                            ? f[k] != before[k]
                            : (st || ok) && (!terminated(f[k]) || !all_of(f[k].data(), isxdigit)))
                        __builtin_trap();
                if (!ok || n != 20 || mask) continue;
                std::string cell = f[1].data();
                bounded(
                    [&](char* o, size_t k) {
                        char rnc[5];
                        mt__splitcell(cell.c_str(), o, k, rnc, sizeof rnc);
                    },
                    {1, 3, 5});
            }
    }
}

void check_names(const ctext& a) {
    for (size_t n : {size_t{80}, size_t{1}, size_t{6}}) {
        std::vector<char> name(n, 'x');
        const char* after = nullptr;
        int r = mt__copsname(a.c(), name.data(), n, &after);
        if (r < 0 || r > 2 || !terminated(name) || (r == 0 && name[0])) __builtin_trap();
        if (after && (after <= a.c() || after > a.c() + a.len() || after[-1] != '"'))
            __builtin_trap();
    }
    std::string code = bounded([&](char* o, size_t n) { mt__plmn(a.c(), o, n); }, {1, 4, 6});
    size_t len = code.size();
    if ((len != 0 && len != 5 && len != 6) || !all_of(code.c_str(), isdigit)) __builtin_trap();
}

void check_sim_and_device(const ctext& a) {
    if (de__classifyati(a.c()) < 0) __builtin_trap();
    de__byid_t c = de__classifybyid(a.c()); // the same bytes as a by-id name
    if (c.use == de__USE_NONE ? c.maker[0] || c.device : c.priority < 21 || c.device > 8)
        __builtin_trap();
    for (int device : {3, 5})
        bounded([&](char* o, size_t n) { de__pincommand(o, n, a.c(), device); }, {1, 9});
    if (strstr(a.c(), "READY") && !de__inipin_pin_ok(a.c())) __builtin_trap();
    if (de__simstarting(a.c()) && !strstr(a.c(), "ERROR") && !strstr(a.c(), "SIM busy"))
        __builtin_trap();
    de__attempts_t at = de__pinattempts(a.c());
    if (at.pin < -1 || at.puk < -1) __builtin_trap();
    if (cm__answercomplete(a.c(), a.len()) && !strstr(a.c(), "OK") && !strstr(a.c(), "ERROR") &&
        !strstr(a.c(), "> ") && !strstr(a.c(), "CONNECT") && !strstr(a.c(), "BUSY") &&
        !strstr(a.c(), "NO "))
        __builtin_trap();
    if (cm__linkstatuspage(a.c()) &&
        (!cm__linkhttpok(a.c()) || !strstr(a.c(), "Capture(GPRS_MSG.")))
        __builtin_trap();
}

// The dialogue log must show neither the IMEI nor an echoed PIN.
void check_masking(const ctext& a) {
    bounded([&](char* o, size_t n) { cm__maskimei(a.c(), o, n); }, {1, 5, 12});
    ctext t(a.c());
    cm__maskpinecho(t.m());
    if (strlen(t.c()) != a.len()) __builtin_trap();
    for (const char* p = strstr(t.c(), "CPIN="); p; p = strstr(p + 1, "CPIN="))
        for (const char* q = p + 5; *q && *q != '\r' && *q != '\n'; q++)
            if (isdigit(static_cast<unsigned char>(*q))) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    ctext a(all.c_str()); // as the program sees it: up to the first NUL
    check_signal_and_mode(a);
    check_registration(a);
    check_names(a);
    check_sim_and_device(a);
    check_masking(a);
    return 0;
}
