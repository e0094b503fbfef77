#include "ui/labels.h"

#include "core/session_state.h"
#include "foundation/encodings.h"
#include "foundation/logging.h"

#include <cstring>
#include <memory>

unsigned char ls__storage[ls__STORAGESIZE] = {0};
unsigned char* ls__storagep = ls__storage;

namespace {

// A record needs the class byte, the handle, the text with its NUL and room for the end
// mark. The handle is kept at its full width: a 64-bit pointer does not fit four bytes.
constexpr size_t handle_size = sizeof(GtkWidget*);
constexpr size_t record_reserve = 1 + handle_size + ls__TEXTMAX + 1 + 1 + 4;

// When a table block is full, the registration goes on in a further block instead of
// failing: a dialog that grows must not end the program.
std::vector<std::unique_ptr<unsigned char[]>> more_blocks;
unsigned char* block_start = ls__storage;

GtkWidget* last_radio = nullptr;

void apply(char klasse, GtkWidget* w, const char* text, bool deutsch) {
    if (!w) return;
    std::string part = ls__language(text, deutsch);
    switch (klasse) {
    case 'B':
    case 'X':
    case 'R':
        gtk_button_set_label(GTK_BUTTON(w), part.c_str());
        break;
    case 'G':
        gtk_frame_set_label(GTK_FRAME(w), part.empty() ? nullptr : part.c_str());
        break;
    case 'L':
        gtk_label_set_text(GTK_LABEL(w), part.c_str());
        break;
    case 'W':
        gtk_window_set_title(GTK_WINDOW(w), part.c_str());
        break;
    case 'T':
        gtk_widget_set_tooltip_text(w, part.empty() ? nullptr : part.c_str());
        break;
    case 'C': {
        GtkComboBox* c = GTK_COMBO_BOX(w);
        int active = gtk_combo_box_get_active(c);
        GtkTreeModel* model = gtk_combo_box_get_model(c);
        int n = model ? gtk_tree_model_iter_n_children(model, nullptr) : 0;
        // Items added behind the labelled ones (the provider list) stay as they are.
        int i = 0;
        for (const auto& item : ls__items(part)) {
            if (i < n) gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(w), i);
            gtk_combo_box_text_insert_text(GTK_COMBO_BOX_TEXT(w), i++, item.c_str());
        }
        // A combo without a choice stays without one: the switch must not invent a value.
        gtk_combo_box_set_active(c, active);
        break;
    }
    default: // 'E' and unknown classes carry no text
        break;
    }
}

void store(char klasse, GtkWidget* w, const char* text) {
    size_t used = static_cast<size_t>(ls__storagep - block_start);
    if (ls__STORAGESIZE - used < record_reserve) {
        more_blocks.push_back(std::make_unique<unsigned char[]>(ls__STORAGESIZE));
        block_start = more_blocks.back().get();
        ls__storagep = block_start;
        *ls__storagep = 0;
        lo_slog("Label table: a further block of %s%li bytes.\n", "", ls__STORAGESIZE);
    }
    unsigned char* p = ls__storagep;
    *p++ = static_cast<unsigned char>(klasse);
    memcpy(p, &w, handle_size);
    p += handle_size;
    // UTF-8, cut to the record's text width at a character boundary.
    strmtoutf8(reinterpret_cast<char*>(p), text ? text : "", ls__TEXTMAX);
    p += strlen(reinterpret_cast<char*>(p)) + 1;
    *p = 0;
    ls__storagep = p;
}

} // namespace

std::string ls__language(const char* text, bool deutsch) {
    if (!text) return {};
    const char* tilde = strchr(text, '~');
    if (!tilde) return text;
    return deutsch ? std::string(text, tilde) : std::string(tilde + 1);
}

std::vector<std::string> ls__items(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t bar = list.find('|', start);
        out.push_back(
            list.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

void ls__walk(void (*f)(char klasse, GtkWidget* w, const char* text, void* data), void* data) {
    std::vector<unsigned char*> blocks{ls__storage};
    for (auto& b : more_blocks) blocks.push_back(b.get());
    for (unsigned char* p : blocks) {
        while (*p) {
            char klasse = static_cast<char>(*p++);
            GtkWidget* w;
            memcpy(&w, p, handle_size);
            p += handle_size;
            const char* text = reinterpret_cast<const char*>(p);
            p += strlen(text) + 1;
            f(klasse, w, text, data);
        }
    }
}

int ls__count() {
    int n = 0;
    ls__walk([](char, GtkWidget*, const char*, void* d) { ++*static_cast<int*>(d); }, &n);
    return n;
}

void ls_reset() {
    more_blocks.clear();
    block_start = ls__storage;
    ls__storagep = ls__storage;
    ls__storage[0] = 0;
    last_radio = nullptr;
}

void ls_element(char klasse, GtkWidget* widget, const char* text) {
    if (klasse == 'r') klasse = 'R';
    store(klasse, widget, klasse == 'E' ? "" : text);
    apply(klasse, widget, text ? text : "", _de);
}

GtkWidget* ls_new(char klasse, const char* text, const char* tooltip) {
    GtkWidget* w = nullptr;
    switch (klasse) {
    case 'B':
        w = gtk_button_new_with_label("");
        break;
    case 'C':
        w = gtk_combo_box_text_new();
        break;
    case 'E':
        w = gtk_entry_new();
        break;
    case 'G':
        w = gtk_frame_new(nullptr);
        break;
    case 'L':
        w = gtk_label_new("");
        gtk_misc_set_alignment(GTK_MISC(w), 0.0, 0.5);
        break;
    case 'R':
        w = gtk_radio_button_new_with_label(nullptr, "");
        last_radio = w;
        break;
    case 'r':
        w = last_radio
                ? gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(last_radio), "")
                : gtk_radio_button_new_with_label(nullptr, "");
        last_radio = w;
        break;
    case 'W':
        w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        break;
    case 'X':
        w = gtk_check_button_new_with_label("");
        break;
    default:
        return nullptr;
    }
    ls_element(klasse, w, text);
    if (tooltip && tooltip[0]) ls_element('T', w, tooltip);
    return w;
}

void ls_switch(bool deutsch) {
    ls__walk([](char klasse, GtkWidget* w, const char* text,
                void* d) { apply(klasse, w, text, *static_cast<bool*>(d)); },
             &deutsch);
}
