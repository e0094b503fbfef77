// Wiki pages and home-page answers come from the network; the settings file from disk, where
// the user may have edited it.
#include "fuzz_support.h"
#include "ui/standard_settings.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void check_address(const std::string& page) {
    std::string a = se__revisionaddress(page.c_str());
    if (a.empty()) return;
    if (a[0] != '/' || a.find("&amp;") != std::string::npos) __builtin_trap();
    if (a.size() < 12 || a.compare(a.size() - 12, 12, "&action=edit") != 0) __builtin_trap();
}

void check_settingsfile(const std::string& page) {
    std::string source;
    if (!se__editboxtext(page.c_str(), &source)) return;
    if (source.size() > page.size()) __builtin_trap();
    std::string file = se__settingsfile(source);
    if (file.size() <= se__MARKOFFSET || file[se__MARKOFFSET] != 'A') __builtin_trap();
    for (const se__entry& e : se__entries(file.data(), file.size())) {
        if (e.line >= file.size() || e.text.size() > 2 * se__TEXTMAX + 3) __builtin_trap();
        if (e.kind != se__PROVIDER) continue;
        for (int ele = 3; ele <= 12; ele++) {
            std::string v;
            if (se__field(file.data(), file.size(), e.line, se__fieldname(ele), &v) &&
                v.find_first_of("\r\n") != std::string::npos)
                __builtin_trap();
        }
    }
}

// The file as it lies on disk, not made by us: entries and fields must stay inside it.
void check_rawfile(const uint8_t* data, size_t size) {
    std::vector<char> mem(data, data + size);
    for (const se__entry& e : se__entries(mem.data(), mem.size())) {
        if (e.line >= mem.size()) __builtin_trap();
        std::string v;
        se__field(mem.data(), mem.size(), e.line, "APN", &v);
        if (v.size() > mem.size()) __builtin_trap();
    }
}

void check_answer(const std::string& answer) {
    std::string body = se__httpbody(answer.c_str());
    if (body.size() > answer.size()) __builtin_trap();
    long v = se__publishedversion(answer.c_str());
    if (v < -1 || v > 999999999) __builtin_trap();
    if (v >= 0 && se__updatepage(v, true) == nullptr) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    check_address(text);
    check_settingsfile(text);
    check_rawfile(data, size);
    check_answer(text);
    return 0;
}
