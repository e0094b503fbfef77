// The network's answers to service codes arrive through the modem unchecked; the homezone
// texts, the top-up template and the codes typed by the user are free text. Where a function
// takes several texts, the leading pieces up to a NUL or newline are the short texts and the
// remainder is the answer (or the typed input).
#include "fuzz_support.h"

#include "modem/ussd.h"

namespace {

using fz::bounded;
using fz::ctext;
using fz::terminated;

void check_answer(const ctext& a) {
    bool found = false;
    int dcs = 0;
    std::string text = bounded(
        [&](char* o, size_t n) {
            if (cm__ussdanswer(a.c(), o, n, &found, &dcs) && !found) __builtin_trap();
        },
        {1, 2, 9});
    bool keyword = strstr(a.c(), "+CUSD:") || strstr(a.c(), "+cusd:");
    if (found != keyword || dcs < -1 || text.find('"') != std::string::npos) __builtin_trap();
    // Decoded in place, by the coding scheme given or any other: never longer.
    for (int d : {dcs, 72, 15, -1}) {
        std::vector<char> t(text.begin(), text.end());
        t.push_back(0);
        cm__ussddecode(t.data(), d);
        if (!terminated(t) || strlen(t.data()) > text.size()) __builtin_trap();
    }
}

void check_texts(const std::vector<std::string>& p, const ctext& a) {
    ctext inside(p[0]), outside(p[1]), answer(p[2]);
    int s = cm__homezone(answer.c(), inside.c(), outside.c());
    bool in = !p[0].empty() && strstr(answer.c(), inside.c());
    bool out = !p[1].empty() && strstr(answer.c(), outside.c());
    if (s != (out ? 2 : in ? 1 : 0)) __builtin_trap();

    // Shown to the user: no control characters but line ends, nothing of the C1 range.
    std::string shown = bounded([&](char* o, size_t n) { cm__creditanswer(a.c(), o, n); }, {1, 3});
    for (unsigned char b : shown)
        if ((b < 0x20 && b != '\r' && b != '\n') || (b >= 0x7F && b < 0xA0)) __builtin_trap();

    // A typed "SMS:number text" becomes a file name in the queue folder: no path in it.
    char name[120], content[300];
    if (cm__operatorsms(a.c(), name, sizeof name, content, sizeof content) &&
        (strchr(name, '/') || strncasecmp(a.c(), "SMS:", 4) != 0))
        __builtin_trap();
    int wait = -1, answertime = -1;
    char at[110];
    bool ok = cm__devicecommand(a.c(), 150, &wait, &answertime, at, sizeof at);
    if (ok != (a.c()[0] == ':') || answertime < 0 || answertime > 60000 || !strstr(a.c(), at))
        __builtin_trap();
    bounded([&](char* o, size_t n) { cm__topupcode(p[0].c_str(), p[1].c_str(), o, n); }, {1, 9});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    ctext a(all.c_str()); // as the program sees it: up to the first NUL
    check_answer(a);
    check_texts(fz::pieces(data, size, 3), a);
    return 0;
}
