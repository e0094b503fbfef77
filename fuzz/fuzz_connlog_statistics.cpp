// The connection log may be edited by hand or cut off: any bytes must give statistics whose
// lines keep their shape, without reading past a line.
#include "ui/connlog_statistics.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void check_lines(const std::string& s, size_t longest) {
    size_t start = 0, end;
    while ((end = s.find("\r\n", start)) != std::string::npos) {
        if (end - start > longest) __builtin_trap();
        start = end + 2;
    }
    if (start != s.size()) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    for (int art = 1; art <= 2; art++) {
        cf__connlogstatistics st(art, art == 2, "de~en");
        size_t start = 0;
        while (start < input.size()) {
            size_t end = input.find('\n', start);
            if (end == std::string::npos) end = input.size();
            std::string line = input.substr(start, end - start);
            start = end + 1;
            cf__logline l;
            if (cf__parselogline(line.c_str(), &l)) {
                if (l.value < 0 || l.value > cf__VALUEMAX) __builtin_trap();
                if (l.month < 1 || l.month > 12 || l.day < 1 || l.day > 31) __builtin_trap();
                int n = l.minutes ? cf__timebar(l.value) : cf__volumebar(l.value);
                if (n < 0 || n > 59) __builtin_trap();
            }
            st.feed(line.c_str());
            // A day line: date, the widest value, a blank and the bar; all others are shorter.
            check_lines(st.text, 6 + 12 + 1 + 60);
            check_lines(st.csv, 40);
            st.text.clear();
            st.csv.clear();
        }
        st.finish();
        check_lines(st.text, 6 + 12 + 1 + 60);
    }
    return 0;
}
