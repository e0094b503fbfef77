#include "foundation/secret_masking.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

// A secret found at a position: the characters [from, to) are replaced, by "xxxx" (a value,
// whose length says something too) or digit by digit (an identity number).
struct Secret {
    size_t from = 0, to = 0;
    bool whole = true;
};

bool letter(char c) {
    return isalpha(static_cast<unsigned char>(c)) != 0;
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}
bool alnum(char c) {
    return isalnum(static_cast<unsigned char>(c)) != 0;
}
bool line_end(char c) {
    return c == '\r' || c == '\n';
}

bool word_at(std::string_view t, size_t i, std::string_view word) {
    if (t.size() - i < word.size()) return false;
    for (size_t k = 0; k < word.size(); k++)
        if (toupper(static_cast<unsigned char>(t[i + k])) != word[k]) return false;
    return true;
}

size_t end_of_line(std::string_view t, size_t i) {
    while (i < t.size() && !line_end(t[i])) i++;
    return i;
}

// "PIN=1234", "pin = 4321", "PASS=user;password": the value up to the line end.
bool setting_value(std::string_view t, size_t i, Secret* s) {
    if (i > 0 && letter(t[i - 1])) return false;
    static constexpr struct {
        std::string_view key;
        bool short_placeholders;
    } keys[] = {{"PASSWORD", false}, {"PASS", false}, {"PIN", true}, {"PUK", true}};
    for (const auto& k : keys) {
        if (!word_at(t, i, k.key)) continue;
        size_t j = i + k.key.size();
        if (j < t.size() && alnum(t[j])) continue;
        while (j < t.size() && (t[j] == ' ' || t[j] == '\t')) j++;
        if (j >= t.size() || t[j] != '=') return false;
        j++;
        while (j < t.size() && (t[j] == ' ' || t[j] == '\t')) j++;
        size_t end = end_of_line(t, j);
        if (end == j || (k.short_placeholders && end - j <= 2)) return false;
        *s = {j, end, true};
        return true;
    }
    return false;
}

// The PIN and PUK of "AT+CPIN=", the password of "AT+CLCK=fac,mode,passwd" and both of
// "AT+CPWD=fac,old,new", in commands and in their echo.
bool command_parameters(std::string_view t, size_t i, Secret* s) {
    static constexpr struct {
        std::string_view command;
        int commas; // parameters before the secret ones
    } commands[] = {{"CPIN=", 0}, {"CPIN2=", 0}, {"CLCK=", 2}, {"CPWD=", 1}};
    for (const auto& c : commands) {
        if (!word_at(t, i, c.command)) continue;
        size_t j = i + c.command.size();
        size_t end = end_of_line(t, j);
        for (int n = 0; n < c.commas && j < end; j++) {
            if (t[j] == '=') return false; // another command's parameters: its own rule
            if (t[j] == ',') n++;
        }
        if (j >= end) return false;
        *s = {j, end, true};
        return true;
    }
    return false;
}

// The router's password in "COM=LINKSYS [address] [user [password]]", blanks or ';' between;
// address, user and the separators stay as written.
bool router_password(std::string_view t, size_t i, Secret* s) {
    if (!word_at(t, i, "COM=LINKSYS")) return false;
    auto separator = [](char c) { return c == ' ' || c == ';'; };
    size_t value[3] = {}, count = 0, j = i + 11;
    while (j < t.size() && !line_end(t[j]) && count < 3) {
        while (j < t.size() && separator(t[j])) j++;
        if (j >= t.size() || line_end(t[j])) break;
        value[count++] = j;
        while (j < t.size() && !separator(t[j]) && !line_end(t[j])) j++;
    }
    size_t first = count && digit(t[value[0]]) ? 1 : 0;
    if (count < first + 2) return false;
    size_t from = value[first + 1], to = from;
    while (to < t.size() && !separator(t[to]) && !line_end(t[to])) to++;
    *s = {from, to, true};
    return true;
}

// The digits behind "IMEI", "IMSI", "+CGSN", "+CIMI", or a long run of digits of its own.
bool identity_number(std::string_view t, size_t i, Secret* s) {
    size_t j = i;
    for (std::string_view key : {"IMEI", "IMSI", "+CGSN", "+CIMI"}) {
        if (!word_at(t, i, key)) continue;
        j = i + key.size();
        for (int skipped = 0; skipped < 4 && j < t.size() && !alnum(t[j]); skipped++) j++;
        break;
    }
    if (j == i) {
        // A run standing alone, not the number of a telephone ("+49...") nor part of a word.
        if (i > 0 && (alnum(t[i - 1]) || t[i - 1] == '+')) return false;
    }
    size_t end = j;
    while (end < t.size() && digit(t[end])) end++;
    if (end == j) return false;
    if (j == i && (end - j < 14 || (end < t.size() && alnum(t[end])))) return false;
    *s = {j, end, false};
    return true;
}

} // namespace

std::string lo_masksecrets(const char* text) {
    std::string_view t = text ? text : "";
    std::string out;
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        Secret s;
        if (setting_value(t, i, &s) || command_parameters(t, i, &s) || router_password(t, i, &s) ||
            identity_number(t, i, &s)) {
            out.append(t.substr(i, s.from - i));
            if (s.whole)
                out += "xxxx";
            else
                out.append(s.to - s.from, 'x');
            i = s.to;
            continue;
        }
        out += t[i++];
    }
    return out;
}
