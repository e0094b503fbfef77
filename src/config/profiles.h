// Profiles: several complete configurations side by side in the data directory, as INI
// files of their own; "profile.ini" names the one in use.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Evaluates "profile.ini": inidatei, inititel and connlogdatei (first opening of the file).
void iv__readprofilefile();
// Role PROFILE: switches "profile.ini" to the next profile.
void iv_changeprofile();

// ---- Pure parts ----

// The file name of an "INI=" line (after blanks and digits, any case), false for another line.
bool iv__profileline(const char* line, char* ini, size_t n);
// The title of a profile: its name without a final ".ini".
void iv__profiletitle(const char* ini, char* title, size_t n);
// The connection log of a profile title.
void iv__profileconnlog(const char* title, char* out, size_t n);
// Whether a directory entry is offered as a profile.
bool iv__profilecandidate(const char* name);
// The profile after current among names (sorted case-insensitively on the way); the first
// when none follows, fallback when there are none.
std::string iv__nextprofile(const char* current, std::vector<std::string> names,
                            const char* fallback);
