// Lines of "mavlyn.ini" and program parameters come from the user: any text must be read into
// the record without overrunning a field, and the written form must read back the same.
#include "fuzz_support.h"

#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "control/start_sequence.h"
#include "core/config_record.h"

#include <sstream>

namespace {

// The record read from fresh defaults, in its written form.
std::string read_and_write(const std::string& text) {
    iv_inidefaults();
    inidat.funktion = 9;
    iv__readstate st;
    std::stringstream lines(text);
    for (std::string l; std::getline(lines, l);) iv__readline(l.c_str(), &st);
    return iv__formatlines();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string first = read_and_write(text);
    if (read_and_write(first) != first) __builtin_trap();
    fz::ctext t(text.c_str());
    iv__readheader(t.c(), false);
    char header[64], port[300], net[500], out[1300];
    iv__formatheader(header, sizeof header);
    if (strlen(header) != iv__HEADERLEN) __builtin_trap();
    iv__nextport(text.substr(0, 299).c_str(), port, sizeof port);
    long v[3];
    iv__readlimits(t.c(), v, size & 1);
    iv__networklist(t.c(), net, sizeof net);
    iv__servicelogline(text.substr(0, iv__LINEMAX).c_str(), out, sizeof out);
    return 0;
}
