// The connection log may be edited by hand or cut off: any line must give statistics whose
// lines keep their shape.
#include "fuzz_support.h"

#include "ui/connlog_statistics.h"

#include <sstream>

namespace {

// A day line is date, the widest value, a blank and the bar; all others are shorter.
void check_lines(std::string& s, size_t longest) {
    for (size_t start = 0, end; start < s.size(); start = end + 2)
        if ((end = s.find("\r\n", start)) == std::string::npos || end - start > longest)
            __builtin_trap();
    s.clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int art : {1, 2}) {
        cf__connlogstatistics st(art, art == 2, "de~en");
        std::stringstream lines(std::string(reinterpret_cast<const char*>(data), size));
        for (std::string line; std::getline(lines, line);) {
            cf__logline l;
            if (cf__parselogline(line.c_str(), &l)) cf__timebar(l.value), cf__volumebar(l.value);
            st.feed(line.c_str());
            check_lines(st.text, 6 + 12 + 1 + 60);
            check_lines(st.csv, 40);
        }
        st.finish();
        check_lines(st.text, 6 + 12 + 1 + 60);
    }
    return 0;
}
