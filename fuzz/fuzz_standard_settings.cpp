// Wiki pages and home-page answers come from the network; the settings file from disk, where
// the user may have edited it.
#include "fuzz_support.h"

#include "ui/standard_settings.h"

namespace {

// Entries and their fields stay inside the file.
void read_file(const char* mem, size_t n) {
    for (const se__entry& e : se__entries(mem, n)) {
        if (e.line >= n) __builtin_trap();
        std::string v;
        for (int ele = 3; ele <= 12; ele++) se__field(mem, n, e.line, se__fieldname(ele), &v);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page = fz::text(data, size);
    se__revisionaddress(page.c_str());
    std::string source;
    if (se__editboxtext(page.c_str(), &source)) {
        std::string file = se__settingsfile(source);
        read_file(file.data(), file.size());
    }
    std::vector<char> raw(data, data + size); // as it lies on disk, not made by us
    read_file(raw.data(), raw.size());
    se__httpbody(page.c_str());
    long v = se__publishedversion(page.c_str());
    if (v >= 0) se__updatepage(v, true);
    return 0;
}
