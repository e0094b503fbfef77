#include "ui/sms_phonebook.h"

#include "foundation/handles.h"

#include "foundation/replacing_file.h"
#include "foundation/utilities.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <unistd.h>

const char* const cf__smsbuchkopf =
    "# mavlyn\r\n#\r\n# Telefonnummernverzeichnis f" U8ue "r SMS-Versand\r\n"
    "# Je Zeile ein Eintrag: Name, Leerzeichen, Rufnummer im internationalen Format\r\n"
    "# (f" U8ue "hrendes Plus-Zeichen, Sonderrufnummern mit f" U8ue "hrendem Minuszeichen).\r\n"
    "# Beispiel:   Max Mustermann   +491577123\r\n#\r\n"
    "# Phone book for sending SMS\r\n"
    "# One entry per line: name, blanks, phone number in international form\r\n"
    "# (leading plus sign, special numbers with a leading minus).\r\n"
    "# Example:   John Smith   +491577123\r\n#\r\n";

namespace {

constexpr size_t PREFIXLEN = 21; // "sms_" date "_" time "__"
constexpr size_t SHOWNMAX = 32;  // name and number in lines and combo items
constexpr size_t READMAX = 299;

bool isdig(char c) {
    return c >= '0' && c <= '9';
}
bool blank(char c) {
    return c == ' ' || c == '\t';
}
bool numberchar(char c) {
    return isdig(c) || c == '+' || c == '-';
}

std::string trimmed(const char* b, const char* e) {
    while (b < e && (blank(*b) || *b == '\r' || *b == '\n')) b++;
    while (e > b && (blank(e[-1]) || e[-1] == '\r' || e[-1] == '\n')) e--;
    return std::string(b, e);
}

std::string lowered(const std::string& s) {
    std::string l = s;
    for (char& c : l) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return l;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
        out.push_back(line.substr(from, tab - from));
    out.push_back(line.substr(from));
    return out;
}

bool alldigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), isdig);
}

} // namespace

bool cf__smsnumberok(const char* number) {
    return (number[0] == '+' || number[0] == '-') && isdig(number[1]);
}

bool cf__smsentry(const char* line, size_t len, cf__smsi_t* out) {
    const char* b = line;
    const char* e = line + len;
    while (b < e && blank(*b)) b++;
    while (e > b && (e[-1] == '\r' || e[-1] == ' ')) e--;
    const char* num = e;
    while (num > b && numberchar(num[-1])) num--;
    const char* nameend = num;
    while (nameend > b && blank(nameend[-1])) nameend--;
    if (nameend == b || *b == '#') return false;
    std::string number(num, e);
    if (!cf__smsnumberok(number.c_str())) return false;
    out->name.assign(b, nameend);
    out->nummer = std::move(number);
    return true;
}

bool cf__smssort1(const cf__smsi_t& a, const cf__smsi_t& b) {
    return sortiervergleichi(a.name.c_str(), b.name.c_str()) < 0;
}

bool cf__smssort2(const cf__smsi_t& a, const cf__smsi_t& b) {
    return a.nummer < b.nummer;
}

cf__smsbook cf__smsbookparse(const std::string& text) {
    cf__smsbook book;
    book.cf__smsbuch = text;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* e = nl ? nl : end;
        cf__smsi_t entry;
        if (cf__smsentry(p, static_cast<size_t>(e - p), &entry))
            book.cf__smsnamei.push_back(std::move(entry));
        p = nl ? nl + 1 : end;
    }
    book.cf__smsnummeri = book.cf__smsnamei;
    std::stable_sort(book.cf__smsnamei.begin(), book.cf__smsnamei.end(), cf__smssort1);
    std::stable_sort(book.cf__smsnummeri.begin(), book.cf__smsnummeri.end(), cf__smssort2);
    return book;
}

const char* cf__smsname(const cf__smsbook& book, const std::string& number) {
    cf__smsi_t key{"", number};
    auto it =
        std::lower_bound(book.cf__smsnummeri.begin(), book.cf__smsnummeri.end(), key, cf__smssort2);
    if (it == book.cf__smsnummeri.end() || it->nummer != number) return nullptr;
    return it->name.c_str();
}

bool cf__smsknown(const cf__smsbook& book, const std::string& name, const std::string& number) {
    if (cf__smsname(book, number)) return true;
    std::string l = lowered(name);
    return std::any_of(book.cf__smsnamei.begin(), book.cf__smsnamei.end(),
                       [&](const cf__smsi_t& e) { return lowered(e.name) == l; });
}

std::string cf__smscomboitem(const cf__smsi_t& entry) {
    return entry.name.substr(0, SHOWNMAX) + "   " + entry.nummer.substr(0, SHOWNMAX);
}

bool cf__sms_okliste(const char* f) {
    static const char pattern[] = "sms_00000000_000000__";
    for (size_t i = 0; i < PREFIXLEN; i++) {
        if (pattern[i] == '0' ? !isdig(f[i]) : f[i] != pattern[i]) return false;
    }
    const char* n = f + PREFIXLEN;
    return isdig(n[0]) || (n[0] == '-' && isdig(n[1]));
}

std::string cf__sms_zuliste(const char* f, bool waiting, const cf__smsbook& book) {
    if (!cf__sms_okliste(f)) return "";
    const char* n = f + PREFIXLEN;
    std::string number = *n == '-' ? "-" : "+";
    if (*n == '-') n++;
    while (isdig(*n)) number += *n++;
    const char* name = cf__smsname(book, number);
    std::string line;
    line += waiting ? '*' : ' ';
    line += '\t';
    line.append(f + 4, 4).append("-").append(f + 8, 2).append("-").append(f + 10, 2);
    line += '\t';
    line.append(f + 13, 2).append(":").append(f + 15, 2).append("'").append(f + 17, 2);
    line += '\t';
    if (name) {
        // Tabs separate the fields of the line: one inside a name is shown as a blank.
        std::string shown = std::string(name).substr(0, SHOWNMAX);
        std::replace(shown.begin(), shown.end(), '\t', ' ');
        line += shown;
    }
    line += '\t';
    return line + number;
}

std::string cf__sms_vonliste(const std::string& line) {
    std::vector<std::string> f = fields(line);
    if (f.size() < 5) return "";
    const std::string& date = f[1];
    const std::string& time = f[2];
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return "";
    if (time.size() != 8 || time[2] != ':' || time[5] != '\'') return "";
    std::string number = f[4];
    if (!number.empty() && number[0] == '+') number.erase(0, 1);
    std::string name = "sms_" + date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2) + "_" +
                       time.substr(0, 2) + time.substr(3, 2) + time.substr(6, 2) + "__" + number;
    if (!cf__sms_okliste(name.c_str())) return "";
    std::string digits = number[0] == '-' ? number.substr(1) : number;
    if (!alldigits(digits)) return "";
    return name + ".txt";
}

void cf__smslineaddressee(const std::string& line, std::string* number, std::string* name) {
    std::vector<std::string> f = fields(line);
    *name = f.size() >= 5 ? f[3] : "";
    *number = f.size() >= 5 ? f[4] : "";
}

bool cf__smsaddressee(const char* text, std::string* number, std::string* name) {
    std::string t = trimmed(text, text + strlen(text));
    // A number at the end, a name before it (as the combo items and list lines give them).
    size_t at = t.size();
    while (at > 0 && numberchar(t[at - 1])) at--;
    if (at < t.size() && cf__smsnumberok(t.c_str() + at) && (at == 0 || blank(t[at - 1]))) {
        *number = t.substr(at);
        *name = trimmed(t.data(), t.data() + at);
        return true;
    }
    // A number first, a name after it.
    size_t len = 0;
    while (len < t.size() && numberchar(t[len])) len++;
    if (len > 0 && cf__smsnumberok(t.c_str()) && (len == t.size() || blank(t[len]))) {
        *number = t.substr(0, len);
        *name = trimmed(t.data() + len, t.data() + t.size());
        return true;
    }
    return false;
}

std::string cf__smsqueuename(const char* compact, const std::string& number) {
    // The sending side reads the recipient as digits after an optional "-": separators
    // typed inside a number are left out.
    std::string digits = !number.empty() && number[0] == '-' ? "-" : "";
    for (char c : number)
        if (isdig(c)) digits += c;
    return std::string("sms_") + compact + "__" + digits + ".txt";
}

// ---- Files ----

namespace {
bool read_all(const char* path, std::string* text) {
    File f{fopen(path, "rb")};
    if (!f) return false;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f.get())) > 0;) text->append(buf, n);
    return !ferror(f.get());
}
} // namespace

bool cf__smsbookensure(const char* path) {
    if (!file_exists(path) && !file_replace(path, cf__smsbuchkopf)) return false;
    return file_makerw(path, false);
}

cf__smsbook cf__smsbookload(const char* path) {
    std::string text;
    read_all(path, &text);
    return cf__smsbookparse(text);
}

bool cf__smsbookappend(const char* path, const std::string& name, const std::string& number) {
    std::string text;
    // A book that is there but cannot be read must not be replaced by the new line alone.
    if (!read_all(path, &text) && access(path, F_OK) == 0) return false;
    return file_replace(path, text + "\r\n" + name + "   " + number);
}

namespace {

// Adds the message files of one folder; false when the limit was passed.
bool listfolder(const char* folder, bool waiting, const cf__smsbook& book, cf__smslist* list) {
    Dir d(opendir(folder));
    if (!d) return true;
    while (struct dirent* e = readdir(d.get())) {
        if (!cf__sms_okliste(e->d_name)) continue;
        if (list->lines.size() >= cf__smsmaxlist) return false;
        list->lines.push_back(cf__sms_zuliste(e->d_name, waiting, book));
    }
    return true;
}

std::string readhead(const std::string& path) {
    File f(fopen(path.c_str(), "rb"));
    if (!f) return "";
    char buf[READMAX];
    size_t n = fread(buf, 1, sizeof buf, f.get());
    return std::string(buf, n);
}

} // namespace

cf__smslist cf__smslistload(int box, const cf__smsbook& book) {
    cf__smslist list;
    bool complete = box == 0 ? listfolder("sms_in", false, book, &list)
                             : listfolder("sms_out", false, book, &list) &&
                                   listfolder("sms_send", true, book, &list);
    list.truncated = !complete;
    std::sort(list.lines.begin(), list.lines.end());
    return list;
}

std::string cf__smsread(const std::string& line, int box) {
    std::string name = cf__sms_vonliste(line);
    if (name.empty()) return "";
    if (box == 0) return readhead("sms_in" DIRSTR + name);
    std::string sent = "sms_out" DIRSTR + name;
    return readhead(file_exists(sent.c_str()) ? sent : "sms_send" DIRSTR + name);
}

bool cf__smsqueue(const char* compact, const std::string& number, const std::string& text) {
    for (const char* dir : {"sms_out", "sms_send"}) {
        dir_create(dir);
        file_makerw(dir, true);
    }
    std::string name = cf__smsqueuename(compact, number);
    // Written under a name the sender does not take, then linked: it never sees half a text.
    std::string part = "sms_send" DIRSTR "." + name + ".part";
    {
        File f(fopen(part.c_str(), "wb"));
        if (!f) return false;
        bool ok = fwrite(text.data(), 1, text.size(), f.get()) == text.size();
        if (fclose(f.release()) != 0 || !ok) {
            unlink(part.c_str());
            return false;
        }
    }
    // A link, unlike a rename, never replaces a message queued under the same name.
    bool linked = link(part.c_str(), ("sms_send" DIRSTR + name).c_str()) == 0;
    unlink(part.c_str());
    return linked;
}
