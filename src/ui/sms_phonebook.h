// The files behind the SMS page of the configuration dialog: the phone book "sms_name.ini",
// the message file names of "sms_in", "sms_out" and "sms_send", and the list lines the page
// shows for them. Parsing and conversion are pure; the file functions at the end do the I/O.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The comment header a new phone book starts with.
extern const char* const cf__smsbuchkopf;

// One phone-book entry.
struct cf__smsi_t {
    std::string name;
    std::string nummer;
};

// The phone book read into memory: the file text and its entries twice, by name ignoring case
// and by number.
struct cf__smsbook {
    std::string cf__smsbuch;
    std::vector<cf__smsi_t> cf__smsnamei;
    std::vector<cf__smsi_t> cf__smsnummeri;
};

// A number as the phone book and the page take it: "+" or "-" followed by a digit.
bool cf__smsnumberok(const char* number);
// One line of the phone book (without its line end) as an entry; false for comments, empty
// lines and lines without a valid number at their end.
bool cf__smsentry(const char* line, size_t len, cf__smsi_t* out);
// All entries of a phone-book text, both tables sorted.
cf__smsbook cf__smsbookparse(const std::string& text);
// Orders of the two tables: by name ignoring case, by number exactly.
bool cf__smssort1(const cf__smsi_t& a, const cf__smsi_t& b);
bool cf__smssort2(const cf__smsi_t& a, const cf__smsi_t& b);
// The name listed for a number, null when there is none.
const char* cf__smsname(const cf__smsbook& book, const std::string& number);
// Whether the name (ignoring case) or the number is already in the phone book.
bool cf__smsknown(const cf__smsbook& book, const std::string& name, const std::string& number);
// An item of the addressee combo: name and number, each at most 32 characters, three blanks
// between them.
std::string cf__smscomboitem(const cf__smsi_t& entry);

// Whether a directory entry is a message file: "sms_", eight digits, "_", six digits, "__",
// then a digit, or "-" and a digit.
bool cf__sms_okliste(const char* filename);
// The list line of a message file; waiting marks a message still in "sms_send".
std::string cf__sms_zuliste(const char* filename, bool waiting, const cf__smsbook& book);
// The file name a list line stands for; "" when the line is not one.
std::string cf__sms_vonliste(const std::string& line);
// The number and the name of a list line ("" each when it has none).
void cf__smslineaddressee(const std::string& line, std::string* number, std::string* name);

// The addressee field: a number, optionally after or before a name. False when there is no
// number starting with "+" or "-" and a digit.
bool cf__smsaddressee(const char* text, std::string* number, std::string* name);
// The name of a queue file in "sms_send" for a number at a compact time ("YYYYMMDD_HHMMSS").
std::string cf__smsqueuename(const char* compact, const std::string& number);

// ---- Files ----

// At most this many messages are listed.
constexpr size_t cf__smsmaxlist = 400;
// The longest message text the sender takes from a queue file, in bytes.
constexpr size_t cf__smsmaxtext = 250;

// Creates the phone book with its header when it is missing and makes it writable.
bool cf__smsbookensure(const char* path);
// Reads and parses the phone book; an unreadable one is empty.
cf__smsbook cf__smsbookload(const char* path);
// Appends an entry (CR LF, the name, three blanks, the number).
bool cf__smsbookappend(const char* path, const std::string& name, const std::string& number);

// The list of a folder: box 0 "sms_in", box 1 "sms_out" and then "sms_send" (marked "*").
// Sorted; truncated when more than cf__smsmaxlist message files were there.
struct cf__smslist {
    std::vector<std::string> lines;
    bool truncated = false;
};
cf__smslist cf__smslistload(int box, const cf__smsbook& book);
// The first 299 bytes of the message a list line stands for; "" when it cannot be read.
std::string cf__smsread(const std::string& line, int box);
// Queues a message for sending: writes the text to "sms_send/" under cf__smsqueuename; false
// when it could not be written or a message of that name is already waiting.
bool cf__smsqueue(const char* compact, const std::string& number, const std::string& text);
