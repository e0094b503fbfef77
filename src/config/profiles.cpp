#include "config/profiles.h"

#include "foundation/handles.h"

#include "config/ini_reader.h"
#include "core/config_record.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/replacing_file.h"
#include "foundation/utilities.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>

namespace {

constexpr size_t max_profiles = 80;
constexpr size_t max_name = 127;

// The last "INI=" line of "profile.ini", lines of at most linemax characters.
bool read_profile_name(char* ini, size_t n, size_t linemax) {
    File f(fopen(profildatei, "r"));
    if (!f) return false;
    bool found = false;
    std::string line(linemax + 2, '\0');
    while (fgets(line.data(), static_cast<int>(linemax + 1), f.get())) {
        char name[40];
        if (iv__profileline(line.c_str(), name, sizeof name) && name[0]) {
            strmcpy(ini, name, n);
            found = true;
        }
    }
    return found;
}

void splash_notice(const char* text) {
    cs_splashtext(text);
    cs_show(9);
    msleepx(2500);
    cs_show(0);
}

} // namespace

bool iv__profileline(const char* line, char* ini, size_t n) {
    if (!n) return false;
    ini[0] = 0;
    while (*line == ' ' || (*line >= '0' && *line <= '9')) line++;
    if (memicmp(line, "INI=", 4) != 0) return false;
    strmcpy(ini, line + 4, min(n, static_cast<size_t>(40)));
    size_t len = strlen(ini);
    while (len && (ini[len - 1] == '\r' || ini[len - 1] == '\n')) ini[--len] = 0;
    // A profile is a file of the data directory: a path would let "profile.ini" point the
    // program at any file, which it would then rewrite.
    if (strchr(ini, '/')) ini[0] = 0;
    return true;
}

void iv__profiletitle(const char* ini, char* title, size_t n) {
    strmcpy(title, ini, n);
    size_t len = strlen(title);
    if (len > 4 && stricmp(title + len - 4, ".ini") == 0) title[len - 4] = 0;
}

void iv__profileconnlog(const char* title, char* out, size_t n) {
    // The ending must survive a long title, so the title is shortened instead.
    size_t room = n > 13 ? n - 13 : 0;
    snprintf(out, n, "connlog_%.*s.txt", static_cast<int>(room), title);
}

bool iv__profilecandidate(const char* name) {
    size_t len = strlen(name);
    if (len < 5 || len > max_name || stricmp(name + len - 4, ".ini") != 0) return false;
    static constexpr const char* excluded[] = {"mavlyn.ini",           "mavlynS.ini",
                                               "Wilvar_net.ini",       "sms_name.ini",
                                               "NwtGatewayConfig.ini", "profile.ini"};
    for (const char* e : excluded)
        if (stricmp(name, e) == 0) return false;
    return true;
}

std::string iv__nextprofile(const char* current, std::vector<std::string> names,
                            const char* fallback) {
    if (names.empty()) return fallback;
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return sortiervergleichi(a.c_str(), b.c_str()) < 0;
    });
    for (const auto& n : names)
        if (stricmp(n.c_str(), current) > 0) return n;
    return names.front();
}

void iv__readprofilefile() {
    char ini[40];
    if (!file_exists(profildatei) || !read_profile_name(ini, sizeof ini, 49)) return;
    strMcpy(inidatei, ini);
    iv__profiletitle(inidatei, inititel, sizeof inititel);
    if (inititel[0]) iv__profileconnlog(inititel, connlogdatei, sizeof connlogdatei);
    lo_slog("Profile: \"%s\"\n", inidatei, -1);
}

void iv_changeprofile() {
    if (ia_instance_isactive()) {
        splash_notice("Terminate first./Erst beenden.");
        return;
    }
    char current[40] = "";
    read_profile_name(current, sizeof current, 99);
    std::vector<std::string> names;
    if (Dir d(opendir(".")); d)
        while (struct dirent* e = readdir(d.get()))
            if (names.size() < max_profiles && iv__profilecandidate(e->d_name))
                names.emplace_back(e->d_name);
    std::string next = iv__nextprofile(current, names, "mavlyn.ini");
    file_makerw(profildatei, false);
    file_replace(profildatei, "INI=" + next);
    file_makerw(profildatei, false);
    char title[128];
    iv__profiletitle(next.c_str(), title, sizeof title);
    char text[100];
    snprintf(text, sizeof text, "--> %.95s", title);
    splash_notice(text);
}
