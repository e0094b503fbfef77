// The modem's answers to the monitoring cycle's questions (signal, registration, network name,
// cell data, operating mode, network code, battery), the SIM state, the "ATI" answer and the
// logged answers reach their parsers as the device sent them. Where a function takes more than
// one text, the leading pieces up to a NUL or newline are the short texts (configured network,
// previous name, location areas) and the remainder is the answer.
#include "fuzz_support.h"

#include "control/main_thread.h"
#include "control/monitoring_evaluation.h"
#include "modem/at_channel.h"
#include "modem/device_search.h"
#include "modem/sim_pin.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fz::ctext;
using fz::pieces;
using fz::starts_with;
using fz::terminated;

bool all_hex(const char* s) {
    for (; *s; s++)
        if (!isxdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}

bool all_digits(const char* s) {
    for (; *s; s++)
        if (!isdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}

std::string lowered(const std::string& s) {
    std::string r = s;
    for (char& ch : r) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return r;
}

// An output field of the cycle: 'x' filler, or marked as not supported by this modem (first
// byte 1), in which case the parsers must leave it alone.
std::vector<char> field(size_t n, bool unsupported) {
    std::vector<char> b(n, 'x');
    if (unsupported) b[0] = 1;
    return b;
}

void check_signal(const ctext& a) {
    int csq = mt__csqraw(a.c());
    if (csq < -1 || csq > 99) __builtin_trap();
    if (csq >= 0 && !strstr(a.c(), "CSQ: ")) __builtin_trap();
    int cind = mt__cindraw(a.c());
    if (cind != -1 && cind != 0 && cind != 3 && cind != 9 && cind != 15 && cind != 21 && cind != 27)
        __builtin_trap();
    int bat = mt__batterycharge(a.c());
    if (bat < 0 || bat > 100) __builtin_trap();
    if (bat && !strstr(a.c(), "CBC:")) __builtin_trap();
}

void check_registration(const ctext& a) {
    for (const char* key : {"CGREG: ", "CREG: "}) {
        const char* t = mt__regtext(a.c(), key);
        if (t) {
            size_t k = strlen(key);
            if (t < a.c() + k || t > a.c() + a.len() || memcmp(t - k, key, k) != 0)
                __builtin_trap();
        }
        char st = mt__regstatus(t);
        if (st != 0 && st != '1' && st != '5') __builtin_trap();
        if (st && (!isdigit(static_cast<unsigned char>(t[0])) || t[1] != ',')) __builtin_trap();
        if (st) {
            // Only a registered text carries a location (the cycle calls it for those alone).
            ctext reg{std::string(t)};
            for (size_t nl : {size_t{1}, size_t{3}, size_t{20}})
                for (size_t nc : {size_t{1}, size_t{5}, size_t{20}})
                    for (int mask = 0; mask < 4; mask++) {
                        std::vector<char> lac = field(nl, mask & 1), cid = field(nc, mask & 2);
                        std::vector<char> lac0 = lac, cid0 = cid;
                        mt__reglocation(reg.c(), lac.data(), nl, cid.data(), nc);
                        for (auto* f : {&lac, &cid}) {
                            const std::vector<char>& before = f == &lac ? lac0 : cid0;
                            if (before[0] == 1) {
                                if (*f != before) __builtin_trap();
                                continue;
                            }
                            if (!terminated(*f)) __builtin_trap();
                            if (!all_hex(f->data()) || strlen(f->data()) > 19) __builtin_trap();
                        }
                    }
        }

        // The cell-data step: quoted "LLLL","CCCC[CCCC]" or unquoted hex.
        for (size_t n : {size_t{1}, size_t{4}, size_t{5}, size_t{20}})
            for (int mask = 0; mask < 4; mask++) {
                std::vector<char> lac = field(n, mask & 1), cid = field(n, mask & 2);
                std::vector<char> lac0 = lac, cid0 = cid;
                bool ok = mt__celldata(a.c(), key, lac.data(), n, cid.data(), n);
                if (ok && !strstr(a.c(), key)) __builtin_trap();
                if (lac0[0] == 1 && lac != lac0) __builtin_trap();
                if (cid0[0] == 1 && cid != cid0) __builtin_trap();
                if (!ok) continue;
                for (auto* f : {&lac, &cid}) {
                    if ((*f)[0] == 1) continue;
                    if (!terminated(*f) || !all_hex(f->data())) __builtin_trap();
                    size_t len = strlen(f->data());
                    if (n == 20 && (len < 4 || len > 8)) __builtin_trap();
                    if (n < 20 && len != n - 1) __builtin_trap();
                }
                if (n == 20 && mask == 0) {
                    // The cell id split into its short id and the radio network controller.
                    std::string cell = cid.data();
                    for (size_t nk : {size_t{1}, size_t{3}, size_t{5}})
                        for (size_t nr : {size_t{1}, size_t{3}, size_t{5}}) {
                            std::vector<char> kurz(nk, 'x'), rnc(nr, 'x');
                            mt__splitcell(cell.c_str(), kurz.data(), nk, rnc.data(), nr);
                            if (!terminated(kurz) || !terminated(rnc)) __builtin_trap();
                            if (nk == 5 && nr == 5) {
                                std::string tail =
                                    cell.substr(cell.size() > 8 ? cell.size() - 8 : 0);
                                if (std::string(rnc.data()) + kurz.data() != tail) __builtin_trap();
                            }
                        }
                }
            }
    }
}

// Any text as a cell id: the short id is its last four characters, the controller the four
// before them.
void check_splitcell(const std::string& cell) {
    ctext c(cell);
    std::string tail = cell.substr(cell.size() > 8 ? cell.size() - 8 : 0);
    std::string kurzfull = tail.substr(tail.size() > 4 ? tail.size() - 4 : 0);
    std::string rncfull = tail.substr(0, tail.size() - kurzfull.size());
    for (size_t nk : {size_t{1}, size_t{2}, size_t{5}, size_t{40}})
        for (size_t nr : {size_t{1}, size_t{2}, size_t{5}, size_t{40}}) {
            std::vector<char> kurz(nk, 'x'), rnc(nr, 'x');
            mt__splitcell(c.c(), kurz.data(), nk, rnc.data(), nr);
            if (!terminated(kurz) || !terminated(rnc)) __builtin_trap();
            if (!starts_with(kurzfull, kurz.data()) || !starts_with(rncfull, rnc.data()))
                __builtin_trap();
            if (nk >= 5 && kurzfull != kurz.data()) __builtin_trap();
            if (nr >= 5 && rncfull != rnc.data()) __builtin_trap();
        }
}

void check_name_and_mode(const ctext& a) {
    std::string full;
    for (size_t n : {size_t{80}, size_t{1}, size_t{6}}) {
        std::vector<char> name(n, 'x');
        const char* after = reinterpret_cast<const char*>(1);
        int r = mt__copsname(a.c(), name.data(), n, &after);
        if (r < 0 || r > 2 || !terminated(name)) __builtin_trap();
        if (r == 0 && name[0]) __builtin_trap();
        if (after) {
            if (after <= a.c() || after > a.c() + a.len() || after[-1] != '"') __builtin_trap();
        }
        if (r > 0) {
            size_t len = strlen(name.data());
            if (!len || len >= n || !after || strchr(name.data(), '"')) __builtin_trap();
            if (after - a.c() < static_cast<long>(len) + 2 ||
                memcmp(after - 1 - len, name.data(), len) != 0 || after[-2 - long(len)] != '"')
                __builtin_trap();
            bool printable = true;
            for (size_t i = 0; i < len; i++) {
                unsigned char ch = static_cast<unsigned char>(name[i]);
                if (ch < 0x20 || ch > 0x7E) printable = false;
            }
            if (printable != (r == 1)) __builtin_trap();
        }
        if (n == 80)
            full = name.data();
        else if (!full.empty() && r > 0 && full != name.data())
            __builtin_trap();
        int m = mt__modecops(after);
        if (m != 0 && m != 1 && m != 2 && m != 5 && m != 6) __builtin_trap();
    }
    int m = mt__modecops(a.c());
    if (m != 0 && m != 1 && m != 2 && m != 5 && m != 6) __builtin_trap();
    m = mt__modezpas(a.c());
    if (m != 0 && m != 1 && m != 2 && m != 5 && m != 6) __builtin_trap();
    if (m && !strstr(a.c(), "+ZPAS: \"")) __builtin_trap();
    m = mt__modenwrat(a.c());
    if (m < 0 || m > 2) __builtin_trap();
    if (m && !strstr(a.c(), "NWRAT: ")) __builtin_trap();

    // The network code in numeric format: five or six digits from behind the first quote.
    std::string code;
    for (size_t n : {size_t{20}, size_t{1}, size_t{4}, size_t{6}}) {
        std::vector<char> out(n, 'x');
        mt__plmn(a.c(), out.data(), n);
        if (!terminated(out) || !all_digits(out.data())) __builtin_trap();
        size_t len = strlen(out.data());
        if (n == 20) {
            code = out.data();
            if (len != 0 && len != 5 && len != 6) __builtin_trap();
            if (len && !strstr(a.c(), ("\"" + code).c_str())) __builtin_trap();
        } else if (!starts_with(code, out.data()) || len != std::min(code.size(), n - 1)) {
            __builtin_trap();
        }
    }
}

void check_selection(std::string net, const ctext& answer) {
    if (net.size() > 499) net.resize(499); // the configured network has room for 499
    ctext n(net);
    std::string full;
    for (size_t size : {size_t{700}, size_t{1}, size_t{12}, size_t{20}}) {
        std::vector<char> out(size, 'x');
        bool manual = mt__selectioncommand(n.c(), out.data(), size);
        if (!terminated(out)) __builtin_trap();
        bool automatic = net.empty() || net[0] == ';' || net[0] == '?';
        if (manual == automatic) __builtin_trap();
        if (size == 700) {
            full = out.data();
            if (!manual && full != "AT+COPS=0\r") __builtin_trap();
            if (manual && full != "AT+COPS=1,0,\"" + net + "\"\r" &&
                full != "AT+COPS=1,2,\"" + net + "\"\r")
                __builtin_trap();
            // A network code of five or six digits is selected as such, anything else by name.
            bool code = all_digits(n.c()) && (net.size() == 5 || net.size() == 6);
            if (manual && (full[10] == '2') != code) __builtin_trap();
        } else if (!starts_with(full, out.data()) ||
                   strlen(out.data()) != std::min(full.size(), size - 1)) {
            __builtin_trap();
        }
    }
    if (mt__alreadyselected(answer.c(), n.c()) &&
        !strstr(answer.c(), ("COPS: 1,0,\"" + net + "\"").c_str()))
        __builtin_trap();
}

void check_status_line(const std::vector<std::string>& p) {
    ctext name(p[0]), namealt(p[1]), lacnow(p[2]), lacold(p[3]);
    bool isnew = mt__newnetwork(name.c(), namealt.c(), lacnow.c(), lacold.c());
    if (isnew && (p[0].empty() || p[0] == p[1])) __builtin_trap();

    ctext list(p[1]), code(p[2]);
    bool allowed = mt__networkallowed(list.c(), name.c(), code.c());
    if (allowed != mt__networkallowed(list.c(), code.c(), name.c())) __builtin_trap();
    ctext own(";" + p[0] + ";");
    if (!mt__networkallowed(own.c(), name.c(), code.c())) __builtin_trap();
    if (!p[0].empty() && p[0].back() != ';') {
        ctext open(";" + p[0]); // the list's last ';' may be left out
        if (!mt__networkallowed(open.c(), name.c(), code.c())) __builtin_trap();
    }

    std::vector<char> big(8 * 4096 + 64);
    mt__mainline(name.c(), code.c(), lacnow.c(), lacold.c(), big.data(), big.size());
    std::string full = big.data();
    if (!starts_with(full, " " + std::string(name.c()))) __builtin_trap();
    for (size_t n : {size_t{1}, size_t{8}, size_t{150}}) {
        std::vector<char> out(n, 'x');
        mt__mainline(name.c(), code.c(), lacnow.c(), lacold.c(), out.data(), n);
        if (!terminated(out) || !starts_with(full, out.data()) ||
            strlen(out.data()) != std::min(full.size(), n - 1))
            __builtin_trap();
    }
}

void check_device(const ctext& a) {
    int d = de__classifyati(a.c());
    if (d < 0 || (d > 8 && d != GERAET_SONY && d != GERAET_LG)) __builtin_trap();
    // Case does not matter.
    ctext low(lowered(a.c()));
    if (de__classifyati(low.c()) != d) __builtin_trap();
    if (de__novatelnewer(low.c()) != de__novatelnewer(a.c())) __builtin_trap();
    bool ok = de__inipin_pin_ok(a.c());
    if (strstr(a.c(), "READY") && !ok) __builtin_trap();
}

// The dialogue log must show neither the IMEI nor an echoed PIN.
void check_masking(const ctext& a) {
    for (size_t n : {size_t{1}, size_t{5}, size_t{12}, a.len() + 1}) {
        std::vector<char> out(n, 'x');
        cm__maskimei(a.c(), out.data(), n);
        if (!terminated(out)) __builtin_trap();
        size_t len = strlen(out.data());
        if (len != std::min(a.len(), n - 1)) __builtin_trap();
        for (size_t i = 0; i < len; i++)
            if (out[i] != a.c()[i] &&
                !(out[i] == 'x' && isdigit(static_cast<unsigned char>(a.c()[i]))))
                __builtin_trap();
        std::string kept(a.c(), len);
        size_t at = kept.find("IMEI");
        if (at != std::string::npos) {
            size_t j = at + 4;
            for (int skipped = 0;
                 skipped < 4 && j < len && !isdigit(static_cast<unsigned char>(kept[j])); skipped++)
                j++;
            for (; j < len && isdigit(static_cast<unsigned char>(kept[j])); j++)
                if (out[j] != 'x') __builtin_trap();
        }
    }

    ctext t(a.c());
    cm__maskpinecho(t.m());
    if (strlen(t.c()) != a.len()) __builtin_trap();
    for (size_t i = 0; i < a.len(); i++)
        if (t.c()[i] != a.c()[i] &&
            !(t.c()[i] == 'x' && isdigit(static_cast<unsigned char>(a.c()[i]))))
            __builtin_trap();
    for (const char* p = strstr(t.c(), "CPIN="); p; p = strstr(p + 1, "CPIN="))
        for (const char* q = p + 5; *q && *q != '\r' && *q != '\n'; q++)
            if (isdigit(static_cast<unsigned char>(*q))) __builtin_trap();
}

// A secondary-port answer as the channel hands it over: four blanks, then the text.
void check_length(const ctext& a, int lenbyte) {
    ctext t("    " + std::string(a.c()));
    fz::check_corrected_length(t.m(), lenbyte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    ctext a(all.c_str()); // as the program sees it: up to the first NUL

    check_signal(a);
    check_registration(a);
    check_splitcell(pieces(data, size, 2)[0]);
    check_name_and_mode(a);
    std::vector<std::string> two = pieces(data, size, 2);
    check_selection(two[0], ctext(two[1]));
    check_status_line(pieces(data, size, 4));
    check_device(a);
    check_masking(a);
    check_length(a, size ? data[0] : 0);
    return 0;
}
