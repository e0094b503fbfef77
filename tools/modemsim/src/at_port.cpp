// Line discipline of an AT port: echo, command line assembly, the SMS prompt, data mode with
// the "+++" escape, and the parser that splits a command line into single commands.
#include "at_internal.h"
#include "codec.h"
#include "modem.h"

#include <cctype>
#include <cstdio>

namespace modemsim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

bool is_ext_prefix(char c) {
    return c == '+' || c == '^' || c == '$' || c == '!' || c == '_' || c == '%';
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Splits the parameters of an extended command at commas outside double quotes.
std::vector<std::string> split_args(std::string_view raw) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false;
    for (char c : raw) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            args.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    args.push_back(std::move(cur));
    for (auto& a : args) {
        while (!a.empty() && a.back() == ' ') a.pop_back();
        while (!a.empty() && a.front() == ' ') a.erase(0, 1);
    }
    return args;
}

// Reads an optional decimal number behind a basic command letter.
int read_number(std::string_view body, std::size_t& pos, int fallback) {
    if (pos >= body.size() || !std::isdigit(static_cast<unsigned char>(body[pos]))) return fallback;
    int v = 0;
    while (pos < body.size() && std::isdigit(static_cast<unsigned char>(body[pos])) && v < 100000)
        v = v * 10 + (body[pos++] - '0');
    return v;
}

} // namespace

AtPort::AtPort(Modem& modem, int index, bool split)
    : modem_(modem), st_(modem.state()), index_(index), echo_(modem.state().default_echo),
      split_(split) {}

void AtPort::put(std::string_view text) {
    if (later_.empty())
        out_ += text;
    else
        later_.back().second += text;
}

void AtPort::deliver(std::string text) {
    if (!split_ || !st_.realism || text.size() < 2 || mode_ != Mode::Command) {
        put(text);
        return;
    }
    // Where a device cuts its answers varies: after the first byte, in the middle, or behind
    // the first line; the rest follows 100 to 300 ms later.
    int k = answers_;
    std::size_t cut = k % 3 == 0   ? 1
                      : k % 3 == 1 ? text.size() / 2
                                   : std::min(text.size() - 1, text.find("\r\n", 2) + 2);
    std::int64_t at = now_ms_ + 100 + (k * 73) % 201;
    put(text.substr(0, cut));
    later_.emplace_back(std::max(at, later_.empty() ? at : later_.back().first), text.substr(cut));
}

void AtPort::feed(std::string_view bytes, std::int64_t now_ms) {
    now_ms_ = now_ms;
    for (char c : bytes) {
        switch (mode_) {
        case Mode::Command:
            feed_command(c, now_ms);
            break;
        case Mode::SmsPrompt:
            feed_prompt(c);
            break;
        case Mode::Data:
            feed_data(c, now_ms);
            break;
        }
    }
}

void AtPort::feed_command(char c, std::int64_t now_ms) {
    if (c == '\0') return;
    if (echo_) put(std::string_view(&c, 1));
    if (c == '\n') return;
    if (c == '\b' || c == 0x7F) {
        if (line_len_ > 0) --line_len_;
        return;
    }
    if (c == '/' && line_len_ == 1 && upper(line_[0]) == 'A') { // "A/" repeats at once
        line_len_ = 0;
        modem_.record(index_, "A/");
        execute(last_line_, now_ms);
        return;
    }
    if (c != '\r') {
        if (line_len_ < line_.size())
            line_[line_len_++] = c;
        else
            line_overflow_ = true;
        return;
    }
    std::string line(line_.data(), line_len_);
    bool overflow = std::exchange(line_overflow_, false);
    line_len_ = 0;
    if (overflow) {
        modem_.record(index_, escape_bytes(line) + "[overflow]");
        emit_final(Final::Error, "ERROR");
        return;
    }
    if (line.empty()) return;
    run_line(line, now_ms);
}

void AtPort::run_line(std::string_view text, std::int64_t now_ms) {
    now_ms_ = now_ms;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    if (text.empty()) return;
    modem_.record(index_, escape_bytes(text));
    // Anything before "AT" is line noise, as on a real modem; no "AT" at all: no answer.
    std::size_t at = std::string_view::npos;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (upper(text[i]) == 'A' && upper(text[i + 1]) == 'T') {
            at = i;
            break;
        }
    }
    if (at == std::string_view::npos) return;
    last_line_ = std::string(text.substr(at + 2));
    execute(last_line_, now_ms);
}

void AtPort::execute(std::string_view body, std::int64_t /*now_ms*/) {
    collecting_ = true;
    Reply reply;
    std::size_t pos = 0;
    executing_ = true;
    while (pos < body.size() && reply.final == Final::Ok) {
        char c = body[pos];
        if (c == ' ' || c == ';') {
            ++pos;
        } else if (is_ext_prefix(c)) {
            run_extended(body, pos, reply);
        } else if (!run_basic(body, pos, reply)) {
            reply.final = Final::Error;
            reply.error = "ERROR";
        }
    }
    executing_ = false;
    respond(reply);
    emit(std::exchange(held_urc_, {}));
    finish_answer();
}

void AtPort::emit(std::string_view text) {
    if (collecting_)
        answer_ += text;
    else
        put(text);
}

void AtPort::finish_answer() {
    collecting_ = false;
    ++answers_;
    deliver(std::exchange(answer_, {}));
}

void AtPort::run_extended(std::string_view body, std::size_t& pos, Reply& reply) {
    ExtCommand cmd;
    cmd.name += body[pos++];
    while (pos < body.size() && std::isalnum(static_cast<unsigned char>(body[pos])))
        cmd.name += upper(body[pos++]);
    if (pos < body.size() && body[pos] == '=') {
        ++pos;
        if (pos < body.size() && body[pos] == '?') {
            cmd.type = ExtCommand::Test;
            ++pos;
        } else {
            cmd.type = ExtCommand::Set;
            bool quoted = false;
            std::size_t start = pos;
            while (pos < body.size() && (quoted || body[pos] != ';')) {
                if (body[pos] == '"') quoted = !quoted;
                ++pos;
            }
            cmd.raw = std::string(body.substr(start, pos - start));
            cmd.args = split_args(cmd.raw);
        }
    } else if (pos < body.size() && body[pos] == '?') {
        cmd.type = ExtCommand::Read;
        ++pos;
    }
    if (pos < body.size() && body[pos] != ';') { // trailing junk behind the command
        reply.final = Final::Error;
        reply.error = "ERROR";
        return;
    }
    const CommandEntry* entry = find_command(cmd.name);
    if (!entry || (entry->feature && !st_.has(entry->feature))) {
        reply.final = Final::Error;
        reply.error = "ERROR";
        return;
    }
    (this->*(entry->handler))(cmd, reply);
}

bool AtPort::run_basic(std::string_view body, std::size_t& pos, Reply& reply) {
    char c = upper(body[pos++]);
    if (c == 'D') {
        run_dial(body.substr(pos), reply);
        pos = body.size();
        return true;
    }
    if (c == '&') {
        if (pos >= body.size()) return false;
        char sub = upper(body[pos++]);
        read_number(body, pos, 0);
        if (sub == 'F') {
            reset_settings();
            return true;
        }
        return sub == 'C' || sub == 'D' || sub == 'K' || sub == 'S' || sub == 'W' || sub == 'V';
    }
    if (c == 'S') {
        int reg = read_number(body, pos, -1);
        if (reg < 0 || pos >= body.size()) return false;
        if (body[pos] == '?') {
            ++pos;
            static constexpr int kDefaults[] = {0, 0, 43, 13, 10, 8};
            int v = reg < 6 ? kDefaults[reg] : 0;
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03d", v);
            reply.info.push_back(buf);
            return true;
        }
        if (body[pos] != '=') return false;
        ++pos;
        return read_number(body, pos, -1) >= 0;
    }
    int n = read_number(body, pos, 0);
    switch (c) {
    case 'E':
        if (n > 1) return false;
        echo_ = n == 1;
        return true;
    case 'V':
        if (n > 1) return false;
        verbose_ = n == 1;
        return true;
    case 'Q':
        if (n > 1) return false;
        quiet_ = n == 1;
        return true;
    case 'Z':
        if (modem_.call_port() == index_) modem_.end_call(false);
        reset_settings();
        return true;
    case 'I': {
        std::string text(st_.profile ? st_.profile->ati : "");
        if (auto p = text.find("{imei}"); p != std::string::npos) text.replace(p, 6, st_.imei);
        reply.info.push_back(text);
        return true;
    }
    case 'H':
        if (modem_.call_port() >= 0) modem_.end_call(modem_.call_port() != index_);
        return true;
    case 'O':
        if (call_held_ && modem_.call_port() == index_) {
            call_held_ = false;
            reply.final = Final::Connect;
        } else {
            reply.final = Final::NoCarrier;
        }
        return true;
    case 'A':
        reply.final = Final::NoCarrier;
        return true;
    case 'X':
    case 'L':
    case 'M':
    case 'T':
    case 'P':
    case 'B':
    case 'W':
    case 'N':
        return true;
    default:
        return false;
    }
}

void AtPort::run_dial(std::string_view number, Reply& reply) {
    std::string num;
    for (char c : number)
        if (c != ' ' && c != '"') num += upper(c);
    if (!num.empty() && (num[0] == 'T' || num[0] == 'P')) num.erase(0, 1);
    if (!st_.registered()) {
        reply.final = Final::NoCarrier;
        return;
    }
    if (!num.empty() && num.back() == ';') { // voice call: accepted, nothing more happens
        return;
    }
    bool packet = num.starts_with("*99") || num.starts_with("*98");
    if (!packet) {
        reply.final = Final::NoCarrier;
        return;
    }
    switch (st_.dial) {
    case DialResult::Connect:
        if (!modem_.start_call(index_)) {
            reply.final = Final::NoCarrier;
            return;
        }
        reply.final = Final::Connect;
        return;
    case DialResult::NoCarrier:
        reply.final = Final::NoCarrier;
        return;
    case DialResult::Busy:
        reply.final = Final::Busy;
        return;
    case DialResult::NoAnswer:
        reply.final = Final::NoAnswer;
        return;
    case DialResult::Error:
        reply.final = Final::Error;
        reply.error = "ERROR";
        return;
    }
}

void AtPort::respond(const Reply& reply) {
    if (!reply.info.empty()) {
        std::string text;
        for (std::size_t i = 0; i < reply.info.size(); ++i) {
            if (i) text += "\r\n";
            text += reply.info[i];
        }
        emit(verbose_ ? "\r\n" + text + "\r\n" : text + "\r\n");
        // Some makers' devices put their own lines even between an answer and its result.
        if (split_ && st_.realism && verbose_ && answers_ % 5 == 4)
            if (std::string own = modem_.pull_chatter(now_ms_); !own.empty())
                emit("\r\n" + own + "\r\n");
    }
    if (reply.final == Final::None) return;
    if (reply.final == Final::Prompt) {
        emit("\r\n> ");
        mode_ = Mode::SmsPrompt;
        pdu_len_ = 0;
        pdu_overflow_ = false;
        return;
    }
    emit_final(reply.final, reply.error);
    if (reply.final == Final::Connect) {
        mode_ = Mode::Data;
        last_data_ms_ = now_ms_;
        plus_count_ = 0;
    }
}

std::string AtPort::result_text(Final final) const {
    switch (final) {
    case Final::Ok:
        return verbose_ ? "OK" : "0";
    case Final::Connect:
        return verbose_ ? "CONNECT" : "1";
    case Final::NoCarrier:
        return verbose_ ? "NO CARRIER" : "3";
    case Final::Error:
        return verbose_ ? "ERROR" : "4";
    case Final::NoAnswer:
        return verbose_ ? "NO ANSWER" : "8";
    case Final::Busy:
        return verbose_ ? "BUSY" : "7";
    default:
        return {};
    }
}

void AtPort::emit_final(Final final, const std::string& error) {
    if (quiet_) return;
    std::string text = final == Final::Error && !error.empty() && (verbose_ || error != "ERROR")
                           ? error
                           : result_text(final);
    emit(verbose_ ? "\r\n" + text + "\r\n" : text + "\r");
}

void AtPort::reset_settings() {
    echo_ = st_.default_echo;
    verbose_ = true;
    quiet_ = false;
}

void AtPort::feed_prompt(char c) {
    if (c == '\0' || c == '\n') return;
    if (c == kCtrlZ || c == kEsc) {
        finish_prompt(c == kCtrlZ);
        return;
    }
    if (echo_) put(std::string_view(&c, 1));
    if (c == '\b' || c == 0x7F) {
        if (pdu_len_ > 0) --pdu_len_;
        return;
    }
    if (c == '\r') { // the message may span lines; each line gets a new prompt
        put("\n> ");
        return;
    }
    if (pdu_len_ < pdu_.size())
        pdu_[pdu_len_++] = c;
    else
        pdu_overflow_ = true;
}

void AtPort::finish_prompt(bool send) {
    std::string pdu(pdu_.data(), pdu_len_);
    mode_ = Mode::Command;
    collecting_ = true;
    modem_.record(index_, "> " + escape_bytes(pdu) + (send ? "^Z" : "<ESC>"));
    Reply reply;
    if (!send) {
        respond(reply);
        finish_answer();
        return;
    }
    int len = tpdu_length(pdu);
    auto bytes = from_hex(pdu);
    bool submit = bytes && len > 0 &&
                  (static_cast<unsigned char>((*bytes)[bytes->size() - len]) & 0x03) == 0x01;
    if (pdu_overflow_ || len != cmgs_length_ || !submit) {
        cms(reply, 304);
    } else if (st_.cmgs == CmgsMode::Reject) {
        cms(reply, 500);
    } else {
        st_.msg_ref = (st_.msg_ref + 1) % 256;
        st_.sent_pdus.push_back(pdu);
        reply.info.push_back("+CMGS: " + std::to_string(st_.msg_ref));
    }
    respond(reply);
    finish_answer();
}

void AtPort::feed_data(char c, std::int64_t now_ms) {
    ++data_bytes_;
    // "+++" needs a guard time of silence before it and after it (checked in tick).
    if (c == '+' && plus_count_ < 3 &&
        (plus_count_ > 0 || now_ms - last_data_ms_ >= st_.guard_ms)) {
        ++plus_count_;
        plus_ms_ = now_ms;
    } else {
        plus_count_ = 0;
    }
    last_data_ms_ = now_ms;
}

void AtPort::tick(std::int64_t now_ms) {
    now_ms_ = now_ms;
    while (!later_.empty() && later_.front().first <= now_ms) {
        out_ += later_.front().second;
        later_.erase(later_.begin());
    }
    if (mode_ == Mode::Data && plus_count_ == 3 && now_ms - plus_ms_ >= st_.guard_ms) {
        plus_count_ = 0;
        mode_ = Mode::Command;
        call_held_ = true;
        emit_final(Final::Ok, {});
    }
}

void AtPort::end_call(bool tell) {
    bool had = mode_ == Mode::Data || call_held_;
    if (mode_ == Mode::Data) mode_ = Mode::Command;
    call_held_ = false;
    plus_count_ = 0;
    if (had && tell) emit_final(Final::NoCarrier, {});
}

void AtPort::closed() {
    later_.clear();
    line_len_ = 0;
    line_overflow_ = false;
    if (mode_ == Mode::SmsPrompt) mode_ = Mode::Command;
    if (modem_.call_port() == index_) modem_.end_call(false);
    out_.clear();
}

} // namespace modemsim
