// Writing "mavlyn.ini": the in-place update of the counter line 01, and the full rewrite of
// the file in its current form with the description of the settings behind the lines.
#pragma once

#include <cstddef>
#include <string>

#define iv__PROGRAMDATE "11.10.2010"
// Characters of line 01 that the counter update overwrites.
#define iv__HEADERLEN 37
// Length of line 01 as stored.
#define iv__HEADERFULL 53

// Builds line 01 into headerdaten; with dat false also writes it into the file in place
// (never creating or truncating the file).
void iv_iniheaderwrite(bool dat);

// Full rewrite at the end of reading; dialogresult is the configuration dialog's result
// (-1 when it did not run).
#define iv__WRITE_OK 0
#define iv__WRITE_SKIPPED 1 // a dial-up role could not write: the old file stays
#define iv__WRITE_FAILED -1 // a configuration role could not write: end the program
int iv__iniwrite(int dialogresult);
// The message for iv__WRITE_FAILED.
void iv__writefailedmessage();

// ---- Pure parts ----

// The first 37 characters of line 01 from the record (limits applied to the record).
void iv__formatheader(char* out, size_t n);
// Lines 02 to 43 in their written form.
std::string iv__formatlines();
// The two description blocks, the user's language first.
std::string iv__description();
// The description text of one language (German or English), date filled in.
const char* iv__manual(bool german);
// Line 01 as the configuration program writes it: taken from the start of the file (len
// bytes of filestart), hint code and the counter resets of the dialog applied.
void iv__headerfromfile(const char* filestart, size_t len);

// The scrambled description text of the program, German, "==2==", English.
const unsigned char* iv__manualdata(size_t* len);
// The byte that a description byte at position i is combined with.
constexpr unsigned char iv__manualkey(size_t i) {
    return static_cast<unsigned char>((i * 131u + (i >> 7) * 7u + 0x5Bu) & 0xFFu);
}
