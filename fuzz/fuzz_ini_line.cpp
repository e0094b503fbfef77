// Lines of "mavlyn.ini" and program parameters come from the user: any text must be read
// into the record without overrunning a field, and the written form must read back the same.
#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "core/config_record.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    iv_inidefaults();
    inidat.funktion = 9;
    iv__readstate st;
    std::stringstream lines(text);
    for (std::string l; std::getline(lines, l);) iv__readline(l.c_str(), &st);

    // The canonical form is stable: written, read and written again gives the same text.
    std::string first = iv__formatlines();
    iv_inidefaults();
    iv__readstate st2;
    std::stringstream again(first);
    for (std::string l; std::getline(again, l);) iv__readline(l.c_str(), &st2);
    if (iv__formatlines() != first) __builtin_trap();

    iv__readheader(text.c_str(), false);
    char header[64];
    iv__formatheader(header, sizeof header);
    if (strlen(header) != iv__HEADERLEN) __builtin_trap();

    char port[300];
    iv__nextport(text.substr(0, 299).c_str(), port, sizeof port);
    long v[3];
    iv__readlimits(text.c_str(), v, size & 1);
    char net[500] = "";
    iv__networklist(text.c_str(), net, sizeof net);
    char out[1300];
    iv__servicelogline(text.substr(0, iv__LINEMAX).c_str(), out, sizeof out);
    return 0;
}
