// The network analysis texts: the scan answer into the network table, its lines and
// clipboard text, the sort, the CSQ and netlock answers and the choice of a network for the
// selection field.
#include "fuzz_support.h"
#include "ui/network_analysis.h"

#include <cstdlib>

namespace {

void check_table(const cf__netz_t* t, int n, int ba) {
    for (int i = 0; i < n; i++) {
        const cf__netz_t& e = t[i];
        size_t nl = strnlen(e.name, sizeof e.name), pl = strnlen(e.plmn, sizeof e.plmn);
        if (nl == sizeof e.name || pl == sizeof e.plmn) abort();
        if (pl != 0 && pl != 5 && pl != 6) abort();
        for (size_t k = 0; k < pl; k++)
            if (e.plmn[k] < '0' || e.plmn[k] > '9') abort();
        for (size_t k = 0; k < nl; k++)
            if (static_cast<unsigned char>(e.name[k]) < 0x20 || e.name[k] == '"') abort();
        if (e.ba != ba || e.sig != -1 || e.status < 0 || e.status > 3) abort();
        if (!nl && !pl) abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> p = fz::pieces(data, size, 4);
    const std::string all(reinterpret_cast<const char*>(data), size);

    // The scan answer, exactly sized, into a table guarded by a canary entry.
    fz::ctext scan(all.c_str());
    std::vector<cf__netz_t> table(cf__NETZMAX + 1);
    memset(&table[cf__NETZMAX], 0x5a, sizeof(cf__netz_t));
    int n = 0;
    int added = cf__netzparse(scan.c(), 1, table.data(), &n, cf__NETZMAX);
    if (added != n || n < 0 || n > cf__NETZMAX) abort();
    check_table(table.data(), n, 1);
    // A second pass fills up to the limit.
    int n2 = n;
    cf__netzparse(scan.c(), 2, table.data(), &n2, cf__NETZMAX);
    if (n2 < n || n2 > cf__NETZMAX) abort();
    check_table(table.data() + n, n2 - n, 2);
    const unsigned char* canary = reinterpret_cast<const unsigned char*>(&table[cf__NETZMAX]);
    for (size_t k = 0; k < sizeof(cf__netz_t); k++)
        if (canary[k] != 0x5a) abort();

    // Measured values from the input, then the sort, the lines and the clipboard text.
    for (int i = 0; i < n2; i++)
        table[i].sig = size ? static_cast<int>(data[i % size] % 102) - 1 : -1;
    cf__netzsort(table.data(), n2);
    for (int i = 1; i < n2; i++)
        if (table[i - 1].ba * 1000 + table[i - 1].sig < table[i].ba * 1000 + table[i].sig) abort();
    for (int i = 0; i < n2; i++)
        if (cf__netzzeile(table[i], i & 1).find_first_of("\r\n") != std::string::npos) abort();
    if (cf__netzclip(table.data(), n2, false, size & 1, p[0].c_str()).size() > cf__CLIPMAX) abort();

    // Answers of the measurement and the netlock test.
    fz::ctext answer(p[1]);
    int v = cf__csqvalue(answer.c());
    if (v < -1 || v > 32 || (v >= 0 && (cf__csqpercent(v) < 0 || cf__csqpercent(v) > 100))) abort();
    cf__csqmess_t m;
    for (size_t i = 0; i < size && i < 64; i++)
        if (cf__csqstep(&m, data[i] % 101)) {
            if (m.same < 3 && m.near < 5) abort(); // it stops only by one of its two rules
            break;
        }
    (void)cf__netlockan(answer.c());
    cf__netlock_t s;
    std::string show, send;
    cf__netlockstart(&s, &send);
    for (int i = 0; i < 100 && cf__netlockpoll(&s, answer.c(), false, &show, &send); i++) {
    }
    if (s.step != -1) abort();

    // Choosing a network.
    for (int item = 0; item < 3; item++) {
        int it = item;
        std::string field = p[3];
        bool ok = cf__netzwahl(&it, &field, p[2].c_str());
        if (ok && (field.size() >= 295 || it == 2)) abort();
        if (!ok && (it != item || field != p[3])) abort();
    }
    return 0;
}
