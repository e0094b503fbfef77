// The network's answers to service codes arrive through the modem unchecked; the homezone
// texts, the top-up template and the codes typed by the user are free text. Where a function
// takes several texts, the leading pieces up to a NUL or newline are the short texts and the
// remainder is the answer (or the typed input).
#include "fuzz_support.h"

#include "modem/ussd.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fz::ctext;
using fz::pieces;
using fz::starts_with;
using fz::terminated;

bool ends_with(const std::string& s, const std::string& p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

void check_answer(const ctext& a) {
    // No room at all: nothing may be written.
    char none = 'Z';
    bool found = true;
    bool quoted = cm__ussdanswer(a.c(), &none, 0, &found);
    if (none != 'Z') __builtin_trap();
    bool keyword = strstr(a.c(), "+CUSD:") || strstr(a.c(), "+cusd:");
    if (found != keyword || (quoted && !found)) __builtin_trap();

    std::string full;
    for (size_t n : {size_t{1000}, size_t{1}, size_t{2}, size_t{9}}) {
        std::vector<char> out(n, 'x');
        bool f = false;
        bool q = cm__ussdanswer(a.c(), out.data(), n, &f);
        if (q != quoted || f != found || !terminated(out)) __builtin_trap();
        if (!q && out[0]) __builtin_trap();
        if (strchr(out.data(), '"')) __builtin_trap();
        if (n == 1000) {
            full = out.data();
            // The quoted text as it came, unless it was cut to the room given.
            const std::string quotedtext = "\"" + full + (full.size() < n - 1 ? "\"" : "");
            if (q && !strstr(a.c(), quotedtext.c_str())) __builtin_trap();
        } else if (!starts_with(full, out.data()) ||
                   strlen(out.data()) != std::min(full.size(), n - 1)) {
            __builtin_trap();
        }
    }

    // Decoded in place: neither form makes the text longer.
    std::vector<char> t(1000, 0);
    memcpy(t.data(), full.data(), full.size());
    cm__ussddecode(t.data());
    if (!terminated(t) || strlen(t.data()) > full.size()) __builtin_trap();
}

void check_homezone(const std::vector<std::string>& p) {
    ctext inside(p[0]), outside(p[1]), answer(p[2]);
    int s = cm__homezone(answer.c(), inside.c(), outside.c());
    bool in = !p[0].empty() && strstr(answer.c(), inside.c());
    bool out = !p[1].empty() && strstr(answer.c(), outside.c());
    if (s < 0 || s > 2) __builtin_trap();
    if (s != (out ? 2 : in ? 1 : 0)) __builtin_trap();
    ctext empty(std::string{});
    if (cm__homezone(answer.c(), empty.c(), empty.c()) != 0) __builtin_trap();
}

// Shown to the user: no control characters but line ends, nothing of the C1 range.
void check_credit(const ctext& a) {
    std::string full;
    for (size_t n : {size_t{8192}, size_t{1}, size_t{3}, size_t{800}}) {
        std::vector<char> out(n, 'x');
        cm__creditanswer(a.c(), out.data(), n);
        if (!terminated(out)) __builtin_trap();
        size_t len = strlen(out.data());
        if (len != std::min(a.len() + 2, n - 1)) __builtin_trap();
        for (size_t i = 0; i < len; i++) {
            unsigned char b = static_cast<unsigned char>(out[i]);
            if ((b < 0x20 && b != '\r' && b != '\n') || (b >= 0x7F && b < 0xA0)) __builtin_trap();
        }
        if (n == 8192) {
            full = out.data();
            if (!ends_with(full, "  ")) __builtin_trap();
        } else if (!starts_with(full, out.data())) {
            __builtin_trap();
        }
    }
}

// A typed "SMS:number text" becomes a file name in the queue directory: digits only, no path.
void check_operator_sms(const ctext& a) {
    const std::string prefix = "sms_PREPAID_COMMUNICATION__";
    for (size_t nn : {size_t{120}, size_t{1}, size_t{30}})
        for (size_t cn : {size_t{300}, size_t{1}, size_t{7}}) {
            std::vector<char> name(nn, 'x'), content(cn, 'x');
            bool ok = cm__operatorsms(a.c(), name.data(), nn, content.data(), cn);
            if (ok && strncasecmp(a.c(), "SMS:", 4) != 0) __builtin_trap();
            if (!ok) continue;
            if (!terminated(name) || !terminated(content)) __builtin_trap();
            std::string nm = name.data();
            if (strchr(nm.c_str(), '/')) __builtin_trap();
            if (nn == 120) {
                if (!starts_with(nm, prefix) || !ends_with(nm, ".txt")) __builtin_trap();
                std::string number = nm.substr(prefix.size(), nm.size() - prefix.size() - 4);
                if (!number.empty() && number[0] == '-') number.erase(0, 1);
                if (number.size() < 2 || number.size() > 39 ||
                    number.find_first_not_of("0123456789") != std::string::npos)
                    __builtin_trap();
            }
            // The content is the input's end, behind number and separator.
            std::string c = content.data();
            if (strlen(c.c_str()) > cn - 1) __builtin_trap();
            if (c.size() < cn - 1 && !ends_with(a.c(), c)) __builtin_trap();
            if (!strstr(a.c(), c.c_str())) __builtin_trap();
        }
}

void check_device_command(const ctext& a) {
    const int dflt = 150;
    for (size_t n : {size_t{110}, size_t{1}, size_t{4}}) {
        std::vector<char> at(n, 'x');
        int wait = -1, answertime = -1;
        bool ok = cm__devicecommand(a.c(), dflt, &wait, &answertime, at.data(), n);
        if (ok != (a.c()[0] == ':')) __builtin_trap();
        if (!terminated(at) || (!ok && at[0])) __builtin_trap();
        if (wait != dflt && (wait < 0 || wait > 60000)) __builtin_trap();
        if (answertime < 0 || answertime > 60000) __builtin_trap();
        // The command is the text behind the last of at most three colons.
        if (!strstr(a.c(), at.data())) __builtin_trap();
        if (n == 110 && ok && !ends_with(a.c(), at.data()) && strlen(at.data()) != n - 1)
            __builtin_trap();
    }
    int wait = -1, answertime = -1;
    char at[8] = "x";
    if (cm__devicecommand(nullptr, dflt, &wait, &answertime, at, sizeof at) || at[0] ||
        wait != dflt || answertime != 3000)
        __builtin_trap();
}

void check_topup(const std::string& templ, const std::string& input) {
    ctext tp(templ), in(input);
    std::string full;
    for (size_t n : {size_t{8192}, size_t{1}, size_t{9}, size_t{300}}) {
        std::vector<char> out(n, 'x');
        cm__topupcode(tp.c(), in.c(), out.data(), n);
        if (!terminated(out)) __builtin_trap();
        if (n == 8192) {
            full = out.data();
        } else if (!starts_with(full, out.data()) ||
                   strlen(out.data()) != std::min(full.size(), n - 1)) {
            __builtin_trap();
        }
    }
    if (templ.size() + input.size() >= 296) {
        if (full != input) __builtin_trap();
        return;
    }
    size_t at = std::string::npos;
    for (const char* mark : {"<INPUT>", "<input>", "<Input>"}) at = std::min(at, templ.find(mark));
    std::string expect =
        at == std::string::npos ? templ : templ.substr(0, at) + input + templ.substr(at + 7);
    if (full != expect) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    ctext a(all.c_str()); // as the program sees it: up to the first NUL

    check_answer(a);
    check_homezone(pieces(data, size, 3));
    check_credit(a);
    check_operator_sms(a);
    check_device_command(a);
    std::vector<std::string> two = pieces(data, size, 2);
    check_topup(two[0], two[1]);
    return 0;
}
