#include "ui/standard_settings.h"

#include "foundation/handles.h"

#include "connection/internet_probes.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"
#include "foundation/replacing_file.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

const char* se__wikihost = "www.wilvar.de";
const char* se__homehost = "www.mavlyn.org";
volatile bool cf__settingsupdatethread_ok = false;

namespace {

const char* const head = "mavlyn Standard Settings   AAA00007\r\n\r\n";
const char* const tail = "\r\n*****";
const char* const history_path = "/wiki/index.php?title=Vorlage:Settings_List&action=history";
const char* const user_mark = "<span class='history-user'><a href=\"/wiki/index.php/Benutzer:";
const size_t loaded_max = 8u << 20; // a settings file beyond this is not a settings list

// The editors whose revisions of the list are taken.
const char* const trusted_editors[5] = {"Wilvar", "Mavlyn", "Kartenleser", "Netzwerker",
                                        "Funkmeister"};

struct FreeText {
    void operator()(char* p) const { free(p); }
};
using HttpText = std::unique_ptr<char, FreeText>;

// The loaded settings file and its entries.
std::vector<char> mem;
std::vector<se__entry> entries;
const se__entry* current = nullptr;
std::atomic<bool> update_running{false};
std::atomic<bool> pressing{false};

bool starts(const char* p, const char* end, const char* prefix) {
    size_t n = strlen(prefix);
    return static_cast<size_t>(end - p) >= n && memcmp(p, prefix, n) == 0;
}

const char* line_end(const char* p, const char* end) {
    while (p < end && *p != '\r' && *p != '\n') p++;
    return p;
}

// The text from p up to the first of the stop characters or the line end.
std::string text_until(const char* p, const char* end, const char* stops) {
    const char* q = p;
    while (q < end && *q != '\r' && *q != '\n' && *q != 0 && !strchr(stops, *q)) q++;
    return std::string(p, static_cast<size_t>(q - p));
}

std::string cut(std::string s, size_t n) {
    if (s.size() > n) s.resize(n);
    return s;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

std::string heading_of(const char* p, const char* end) {
    while (p < end && (*p == '=' || *p == ' ')) p++;
    std::string h = cut(text_until(p, end, "="), se__TEXTMAX);
    while (!h.empty() && h.back() == ' ') h.pop_back();
    return h;
}

// The single byte of a two-byte UTF-8 letter that the settings file keeps as one, or 0.
unsigned char single_byte(unsigned char a, unsigned char b) {
    if (a == 0xC4 && b == 0x83) return 0xE3;
    if (a != 0xC3) return 0;
    switch (b) {
    case 0x84: // Ä
    case 0x96: // Ö
    case 0x9C: // Ü
    case 0xA4: // ä
    case 0xB6: // ö
    case 0xBC: // ü
    case 0x9F: // ß
    case 0xAB: // ë
    case 0xB1: // ñ
    case 0xA1: // á
        return static_cast<unsigned char>(b + 0x40);
    default:
        return 0;
    }
}

std::string fetch(const std::string& path) {
    std::string url = std::string("http://") + se__wikihost + path;
    HttpText answer(iz_httpget(url.c_str(), nullptr, nullptr, 2, 0, false));
    return answer ? se__httpbody(answer.get()) : std::string();
}

bool write_settings(const std::string& content) {
    return file_replace(settingsdatei, content);
}

bool read_whole(const char* name, std::vector<char>* out) {
    File f(fopen(name, "rb"));
    if (!f) return false;
    struct stat st {};
    if (fstat(fileno(f.get()), &st) != 0 || st.st_size < 6 ||
        static_cast<size_t>(st.st_size) > loaded_max)
        return false;
    out->resize(static_cast<size_t>(st.st_size));
    return fread(out->data(), 1, out->size(), f.get()) == out->size();
}

char state_mark(const char* name) {
    File f(fopen(name, "rb"));
    if (!f || fseek(f.get(), se__MARKOFFSET, SEEK_SET) != 0) return 0;
    int c = fgetc(f.get());
    return c == EOF ? 0 : static_cast<char>(c);
}

void set_text_utf8(GtkWidget* entry, const std::string& text) {
    std::vector<char> utf8(text.size() * 2 + 1);
    strmtoutf8(utf8.data(), text.c_str(), utf8.size());
    gtk_entry_set_text(GTK_ENTRY(entry), utf8.data());
}

void show_version_page(const char* path) {
    std::string url = std::string("http://") + se__homehost + path;
    iz_httpbrowse(url.c_str());
}

} // namespace

// ======================================================================= pure parts

bool se__trusted(const std::string& user) {
    for (const char* name : trusted_editors)
        if (strcasecmp(user.c_str(), name) == 0) return true;
    return false;
}

std::string se__revisionaddress(const char* page) {
    if (!page) return "";
    const char* end = page + strlen(page);
    for (const char* p = page; p < end;) {
        const char* le = line_end(p, end);
        std::string line(p, static_cast<size_t>(le - p));
        p = le < end ? le + 1 : end;
        if (line.compare(0, 4, "<li>") != 0 && line.compare(0, 10, "<li class=") != 0) continue;
        size_t mark = line.find(user_mark);
        if (mark == std::string::npos) continue;
        const char* u = line.c_str() + mark + strlen(user_mark);
        if (!se__trusted(text_until(u, u + strlen(u), "&\"<>"))) continue;
        // The revision's own link stands before the user link.
        size_t link = line.rfind("<a href=\"", mark + strlen("<span class='history-user'>") - 1);
        if (link == std::string::npos) return "";
        size_t from = link + strlen("<a href=\"");
        size_t quote = line.find('"', from);
        if (quote == std::string::npos) return "";
        std::string address = replace_all(line.substr(from, quote - from), "&amp;", "&");
        // Only a page of the same host is fetched.
        if (address.empty() || address[0] != '/' || address.compare(0, 2, "//") == 0) return "";
        return address + "&action=edit";
    }
    return "";
}

bool se__editboxtext(const char* page, std::string* text) {
    if (!page) return false;
    const char* box = strstr(page, "<textarea id=\"wpTextbox1\"");
    for (const char* t = page; !box && (t = strstr(t, "<textarea ")) != nullptr; t++) {
        const char* id = strstr(t, " id=\"wpTextbox1\"");
        if (id && id - t <= 100) box = t;
    }
    if (!box) return false;
    const char* open = strchr(box, '>');
    if (!open) return false;
    const char* close = strstr(open + 1, "</textarea>");
    if (!close) return false;
    text->assign(open + 1, static_cast<size_t>(close - open - 1));
    return true;
}

std::string se__settingsfile(const std::string& source) {
    std::string out = head;
    out.reserve(source.size() + 64);
    const size_t n = source.size();
    for (size_t i = 0; i < n; i++) {
        unsigned char c = static_cast<unsigned char>(source[i]);
        unsigned char next = i + 1 < n ? static_cast<unsigned char>(source[i + 1]) : 0;
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && next == '\n') i++;
        } else if (c == '&' && source.compare(i, 5, "&amp;") == 0) {
            out += '&';
            i += 4;
        } else if (c == '&' && source.compare(i, 4, "&lt;") == 0) {
            out += '<';
            i += 3;
        } else if (c == '&' && source.compare(i, 4, "&gt;") == 0) {
            out += '>';
            i += 3;
        } else if (unsigned char b = single_byte(c, next)) {
            out += static_cast<char>(b);
            i++;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + tail;
}

std::string se__httpbody(const char* answer) {
    if (!answer) return "";
    if (strncmp(answer, "HTTP/", 5) != 0) return answer;
    const char* body = strstr(answer, "\r\n\r\n");
    if (!body) return "";
    std::string headpart(answer, static_cast<size_t>(body - answer));
    body += 4;
    for (char& c : headpart) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (headpart.find("\ntransfer-encoding: chunked") == std::string::npos) return body;
    std::string out;
    const char* end = body + strlen(body);
    for (const char* p = body; p < end;) {
        char* after = nullptr;
        unsigned long size = strtoul(p, &after, 16);
        if (after == p || size == 0) break;
        const char* data = strstr(after, "\r\n");
        if (!data) break;
        data += 2;
        size_t have = static_cast<size_t>(end - data);
        out.append(data, size < have ? size : have);
        if (size >= have) break;
        p = data + size;
        if (starts(p, end, "\r\n")) p += 2;
    }
    return out;
}

long se__publishedversion(const char* answer) {
    if (!answer) return -1;
    const char* plain = strstr(answer, "plain\r\n\r\nmavlyn  ");
    std::string body;
    const char* text = plain ? plain + 9 : answer;
    if (strncmp(text, "mavlyn  ", 8) != 0) {
        // A head in another order, or a chunked answer: the body carries the version.
        body = se__httpbody(answer);
        text = body.c_str();
        if (strncmp(text, "mavlyn  ", 8) != 0) return -1;
    }
    const char* d = text + 8;
    if (*d < '0' || *d > '9') return -1;
    long v = 0;
    for (; *d >= '0' && *d <= '9'; d++)
        if (v < 100000000) v = v * 10 + (*d - '0');
    return v;
}

const char* se__updatepage(long published, bool deutsch) {
    if (published < 0) return deutsch ? "/index_de.html" : "/index.html";
    if (published <= se__VERSIONNR)
        return deutsch ? "/update_aktuell.html" : "/update_uptodate.html";
    return deutsch ? "/update_verfuegbar.html" : "/update_available.html";
}

std::vector<se__entry> se__entries(const char* m, size_t n) {
    std::vector<se__entry> list;
    std::string heading = "?";
    const char* end = m + n;
    for (const char* p = m; p < end;) {
        const char* le = line_end(p, end);
        size_t at = static_cast<size_t>(p - m);
        if (starts(p, le, "==")) {
            heading = heading_of(p, le);
        } else if (starts(p, le, "{{Settings|")) {
            std::string provider;
            if (!se__field(m, n, at, "PROVIDER", &provider)) provider = "?";
            list.push_back({se__PROVIDER, at, heading + "   " + cut(provider, se__TEXTMAX)});
        } else if (starts(p, le, "|||")) {
            std::string t = cut(text_until(p + 3, le, "=|"), se__TEXTMAX);
            list.push_back({se__FURTHER, at, t.size() < 2 ? "??" : t});
        }
        p = le < end ? le + 1 : end;
    }
    return list;
}

bool se__field(const char* m, size_t n, size_t line, const char* name, std::string* value) {
    if (line >= n) return false;
    const char* p = m + line;
    const char* le = line_end(p, m + n);
    std::string item = std::string("|") + name + "=";
    for (; p < le; p++) {
        if (!starts(p, le, item.c_str())) continue;
        std::string v = text_until(p + item.size(), le, "|}");
        if (v.size() > 17 && v.compare(0, 8, "<nowiki>") == 0 &&
            v.compare(v.size() - 9, 9, "</nowiki>") == 0)
            v = v.substr(8, v.size() - 17);
        *value = v;
        return true;
    }
    return false;
}

const char* se__fieldname(int ele) {
    static const char* const names[] = {"PLMN", "APN", "USERNAME", "PASSWORD", "SMSC",
                                        "PPQ",  "PPC", "HOMU",     "HOMI",     "HOMO"};
    return ele >= 3 && ele <= 12 ? names[ele - 3] : nullptr;
}

// ======================================================================= with the outside

bool se_settingsupdate() {
    std::string history = fetch(history_path);
    if (history.empty()) return false;
    std::string address = se__revisionaddress(history.c_str());
    if (address.empty()) {
        lo_slog("Standard settings: no revision by a trusted editor.\n", "", -1);
        return false;
    }
    std::string edit = fetch(address);
    std::string source;
    if (edit.empty() || !se__editboxtext(edit.c_str(), &source)) return false;
    if (!write_settings(se__settingsfile(source))) {
        lo_slog("Standard settings: cannot write %s.\n", settingsdatei, -1);
        return false;
    }
    lo_slog(_de ? "Standardeinstellungen wurden upgedatet.\n"
                : "Standard settings have been updated.\n",
            "", -1);
    return true;
}

bool se_settingsupdated() {
    if (state_mark(settingsdatei) != 'A') return false;
    struct stat st {};
    if (stat(settingsdatei, &st) == 0) chmod(settingsdatei, st.st_mode | S_IWUSR);
    {
        File f(fopen(settingsdatei, "r+b"));
        if (!f || fseek(f.get(), se__MARKOFFSET, SEEK_SET) != 0 || fputc('L', f.get()) == EOF)
            return false;
    }
    return state_mark(settingsdatei) == 'L';
}

void se_loadcombobox(GtkWidget* w) {
    std::vector<char> loaded;
    if (!read_whole(settingsdatei, &loaded)) return;
    mem.swap(loaded);
    entries = se__entries(mem.data(), mem.size());
    current = nullptr;
    if (!w || !GTK_IS_COMBO_BOX(w)) return;
    GtkComboBox* c = GTK_COMBO_BOX(w);
    GtkTreeModel* model = gtk_combo_box_get_model(c);
    int items = model ? gtk_tree_model_iter_n_children(model, nullptr) : 0;
    for (int i = items - 1; i >= 2 && i >= items - 2000; i--)
        gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(w), i);
    for (const se__entry& e : entries) {
        std::vector<char> utf8(e.text.size() * 2 + 1);
        strmtoutf8(utf8.data(), e.text.c_str(), utf8.size());
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w), utf8.data());
    }
    gtk_combo_box_set_active(c, 0);
}

void se_setrow(int zeile) {
    current = zeile >= 0 && static_cast<size_t>(zeile) < entries.size() ? &entries[zeile] : nullptr;
}

bool se__rowisprovider() {
    return current && current->kind == se__PROVIDER;
}

bool se_loadfield(int ele, GtkWidget* w) {
    const char* name = se__fieldname(ele);
    if (!name || !current || current->kind != se__PROVIDER || !w) return false;
    std::string value;
    if (!se__field(mem.data(), mem.size(), current->line, name, &value)) value.clear();
    set_text_utf8(w, value);
    return !value.empty();
}

void se_end() {
    std::vector<char>().swap(mem);
    entries.clear();
    current = nullptr;
}

gpointer cf__settingsupdatethread(gpointer endbutton) {
    th_reg self = th_register("cf__settingsupdatethread");
    cf__settingsupdatethread_ok = se_settingsupdate();
    GtkWidget* b = static_cast<GtkWidget*>(endbutton);
    th_enter();
    // A dialog closed meanwhile has let go of its button: nothing is pressed then.
    if (b && GTK_IS_BUTTON(b) && gtk_widget_get_toplevel(b) != b) {
        pressing = true;
        gtk_button_clicked(GTK_BUTTON(b));
        pressing = false;
    }
    if (b) g_object_unref(b);
    th_leave();
    th_unregister(self);
    update_running = false;
    return nullptr;
}

bool se__updatestart(GtkWidget* endbutton) {
    if (update_running.exchange(true)) return false;
    g_object_ref(endbutton);
    if (th_create(cf__settingsupdatethread, endbutton)) return true;
    g_object_unref(endbutton);
    update_running = false;
    return false;
}

bool se__updaterunning() {
    return update_running;
}

bool se__pressedbythread() {
    return pressing;
}

void se_updatequery() {
    update_gewuenscht = false;
    std::string url = std::string("http://") + se__homehost + "/mavlyn_version.txt";
    HttpText answer(iz_httpget(url.c_str(), nullptr, nullptr, 2, 0, false));
    long published = answer ? se__publishedversion(answer.get()) : -1;
    if (published < 0)
        lo_slog(_de ? "Versionsseite nicht erreichbar.\n" : "Version page not available.\n", "",
                -1);
    else if (published <= se__VERSIONNR)
        lo_slog("Update query: program version is uptodate.\n", "", -1);
    else
        lo_slog(_de ? "Update auf Version %s%lu ist verfügbar.\n"
                    : "Update to version %s%lu is available.\n",
                "", published);
    show_version_page(se__updatepage(published, _de));
    if (published < 0) th_msleep(3000);
}
