#include "scenario.h"

#include "codec.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace modemsim {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        auto p = s.find(sep, start);
        out.emplace_back(trim(s.substr(start, p - start)));
        if (p == std::string_view::npos) return out;
        start = p + 1;
    }
}

bool parse_int(std::string_view s, int& out, int lo, int hi) {
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parse_bool(std::string_view s, bool& out) {
    if (s == "1" || s == "yes" || s == "on" || s == "true") return out = true, true;
    if (s == "0" || s == "no" || s == "off" || s == "false") return out = false, true;
    return false;
}

template <typename E, std::size_t N>
bool parse_enum(std::string_view s, E& out, const std::pair<std::string_view, E> (&names)[N]) {
    for (auto& [name, value] : names) {
        if (name == s) {
            out = value;
            return true;
        }
    }
    return false;
}

bool is_hex(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
    });
}

// "numeric|long|short|act" or, for scan entries, "status|numeric|long|short|act".
bool parse_operator(std::string_view value, Operator& op, bool with_status) {
    auto f = split(value, '|');
    std::size_t base = with_status ? 1 : 0;
    if (f.size() != base + 4) return false;
    if (with_status && !parse_int(f[0], op.status, 0, 3)) return false;
    op.numeric = f[base];
    op.long_name = f[base + 1];
    op.short_name = f[base + 2];
    return parse_int(f[base + 3], op.act, 0, 7);
}

const std::pair<std::string_view, SimState> kSimNames[] = {
    {"ready", SimState::Ready},     {"pin", SimState::Pin},       {"puk", SimState::Puk},
    {"blocked", SimState::Blocked}, {"absent", SimState::Absent}, {"phnet", SimState::PhNetPin},
    {"pin2", SimState::Pin2},
};

std::string_view sim_name(SimState s) {
    for (auto& [name, value] : kSimNames)
        if (value == s) return name;
    return "?";
}

} // namespace

std::vector<Setting> parse_scenario(std::string_view text, std::vector<std::string>& errors) {
    std::vector<Setting> out;
    int line_no = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        std::string_view line = trim(text.substr(start, end - start));
        ++line_no;
        if (!line.empty() && line[0] != '#') {
            auto eq = line.find('=');
            if (eq == std::string_view::npos)
                errors.push_back("line " + std::to_string(line_no) + ": no '=' in \"" +
                                 std::string(line) + "\"");
            else
                out.push_back({line_no, std::string(trim(line.substr(0, eq))),
                               std::string(trim(line.substr(eq + 1)))});
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

std::string apply_setting(ModemState& st, const Setting& s, ApplyContext& ctx) {
    const std::string& k = s.key;
    const std::string& v = s.value;
    auto bad = [&] { return "bad value for " + k + ": \"" + v + "\""; };
    auto integer = [&](int& field, int lo, int hi) {
        return parse_int(v, field, lo, hi) ? "" : bad();
    };
    auto boolean = [&](bool& field) { return parse_bool(v, field) ? "" : bad(); };

    if (k == "profile") {
        const Profile* p = find_profile(v);
        if (!p) return "unknown profile \"" + v + "\"";
        st.profile = p;
        return "";
    }
    if (k == "imei") return (st.imei = v, "");
    if (k == "imsi") return (st.imsi = v, "");
    if (k == "cmee") return integer(st.cmee, 0, 2);
    if (k == "echo") return boolean(st.default_echo);
    if (k == "sim") {
        if (!parse_enum(v, st.sim, kSimNames)) return bad();
        st.sim_initial = st.sim;
        return "";
    }
    if (k == "pin") return (st.pin = v, "");
    if (k == "puk") return (st.puk = v, "");
    if (k == "pin_attempts") return integer(st.pin_left, 0, 3);
    if (k == "puk_attempts") return integer(st.puk_left, 0, 10);
    if (k == "sim_busy") return integer(st.sim_busy, 0, 1000);
    if (k == "sim_start_ms") return integer(st.sim_start_ms, 0, 600000);
    if (k == "realism") return boolean(st.realism);
    if (k == "cscs") {
        if (v != "IRA" && v != "GSM" && v != "UCS2" && v != "8859-1" && v != "PCCP437")
            return bad();
        return (st.cscs = v, "");
    }
    if (k == "lock") {
        if (v == "none") return (st.locks.clear(), "");
        std::string fac = v;
        std::transform(fac.begin(), fac.end(), fac.begin(), ::toupper);
        st.locks.insert(fac);
        return "";
    }
    if (k == "reg") {
        if (!parse_int(v, st.creg, 0, 5)) return bad();
        st.cgreg = st.creg;
        return "";
    }
    if (k == "creg") return integer(st.creg, 0, 5);
    if (k == "cgreg") return integer(st.cgreg, 0, 5);
    if (k == "creg_n") return integer(st.creg_n, 0, 2);
    if (k == "cgreg_n") return integer(st.cgreg_n, 0, 2);
    if (k == "lac" || k == "cell") {
        if (!is_hex(v) || v.size() > 8) return bad();
        (k == "lac" ? st.lac : st.cell) = v;
        return "";
    }
    if (k == "reg_format") {
        static const std::pair<std::string_view, RegFormat> kNames[] = {
            {"quoted", RegFormat::Quoted}, {"spaced", RegFormat::Spaced}, {"hex", RegFormat::Hex}};
        RegFormat f;
        if (!parse_enum(v, f, kNames)) return bad();
        st.reg_format = f;
        return "";
    }
    if (k == "operator") {
        Operator op;
        if (!parse_operator(v, op, false)) return bad();
        op.status = 2;
        st.current = op;
        return "";
    }
    if (k == "network") {
        if (v == "clear") return (st.scan.clear(), "");
        Operator op;
        if (!parse_operator(v, op, true)) return bad();
        if (ctx.fresh_lists && !ctx.scan_replaced) st.scan.clear();
        ctx.scan_replaced = true;
        st.scan.push_back(op);
        return "";
    }
    if (k == "cops_format") return integer(st.cops_format, 0, 2);
    if (k == "cops_mode") return integer(st.cops_mode, 0, 4);
    if (k == "signal") return integer(st.rssi, 0, 99);
    if (k == "ber") return integer(st.ber, 0, 99);
    if (k == "csq_unknown") return boolean(st.csq_unknown);
    if (k == "battery") {
        if (v == "none") return (st.battery.reset(), "");
        auto f = split(v, ',');
        std::pair<int, int> b;
        if (f.size() != 2 || !parse_int(f[0], b.first, 0, 3) || !parse_int(f[1], b.second, 0, 100))
            return bad();
        st.battery = b;
        return "";
    }
    if (k == "cfun") return integer(st.cfun, 0, 4);
    if (k == "attached") return boolean(st.attached);
    if (k == "dial") {
        static const std::pair<std::string_view, DialResult> kNames[] = {
            {"connect", DialResult::Connect},
            {"nocarrier", DialResult::NoCarrier},
            {"busy", DialResult::Busy},
            {"noanswer", DialResult::NoAnswer},
            {"error", DialResult::Error}};
        return parse_enum(v, st.dial, kNames) ? "" : bad();
    }
    if (k == "guard_ms") return integer(st.guard_ms, 0, 10000);
    if (k == "urc_port") return integer(st.urc_port, -1, 63);
    if (k == "clip") return boolean(st.clip);
    if (k == "sms") {
        if (v == "clear") {
            for (auto& m : st.sms) m.reset();
            return "";
        }
        auto f = split(v, ',');
        StoredSms m;
        if (f.size() != 2 || !parse_int(f[0], m.stat, 0, 3) || tpdu_length(f[1]) < 0) return bad();
        m.pdu = f[1];
        int slot = st.free_sms_slot();
        if (slot < 0) return "SMS storage full";
        st.sms[slot] = m;
        return "";
    }
    if (k == "sms_capacity") {
        int n = 0;
        if (!parse_int(v, n, 1, 255) || n < st.sms_used()) return bad();
        st.sms.resize(n);
        return "";
    }
    if (k == "sms_index_base") return integer(st.sms_index_base, 0, 1);
    if (k == "cpms_supported") {
        st.cpms_supported.clear();
        for (auto& m : split(v, ','))
            if (!m.empty()) st.cpms_supported.insert(m);
        return "";
    }
    if (k == "cpms_busy") return integer(st.cpms_busy, 0, 1000);
    if (k == "cmgs") {
        static const std::pair<std::string_view, CmgsMode> kNames[] = {
            {"ok", CmgsMode::Ok}, {"error", CmgsMode::Error}, {"reject", CmgsMode::Reject}};
        return parse_enum(v, st.cmgs, kNames) ? "" : bad();
    }
    if (k == "cnmi_mt") return integer(st.cnmi_mt, 0, 3);
    if (k == "smsc") return (st.smsc = v, "");
    if (k == "ussd") {
        if (v == "clear") return (st.ussd.clear(), "");
        auto bar = v.find('|');
        if (bar == std::string::npos || bar == 0) return bad();
        st.ussd[std::string(trim(std::string_view(v).substr(0, bar)))] = v.substr(bar + 1);
        return "";
    }
    if (k == "ussd_input") {
        static const std::pair<std::string_view, UssdInput> kNames[] = {
            {"plain", UssdInput::Plain}, {"packed", UssdInput::Packed}};
        return parse_enum(v, st.ussd_input, kNames) ? "" : bad();
    }
    if (k == "ussd_answer") {
        static const std::pair<std::string_view, UssdForm> kNames[] = {
            {"plain", UssdForm::Plain}, {"ucs2", UssdForm::Ucs2}, {"gsm7", UssdForm::Gsm7}};
        return parse_enum(v, st.ussd_form, kNames) ? "" : bad();
    }
    if (k == "ussd_delay_ms") return integer(st.ussd_delay_ms, 0, 600000);
    if (k == "scan_delay_ms") return integer(st.scan_delay_ms, 0, 600000);
    if (k == "opsys") { // some phones take the Option mode command too
        bool on = false;
        if (!parse_bool(v, on)) return bad();
        st.extra_features = on ? st.extra_features | kOpsys : st.extra_features & ~kOpsys;
        return "";
    }
    if (k == "diag_empty_fetches") return integer(st.diag_empty_fetches, 0, 100);
    return "unknown key \"" + k + "\"";
}

std::string apply_live_setting(Modem& modem, const Setting& setting) {
    ModemState& st = modem.state();
    if (setting.key == "profile") return "the profile cannot change while running";
    int old_creg = st.creg, old_cgreg = st.cgreg;
    bool was_registered = st.registered();
    ApplyContext ctx;
    std::string err = apply_setting(st, setting, ctx);
    if (!err.empty()) return err;
    if (st.creg != old_creg || st.cgreg != old_cgreg)
        modem.registration_changed(old_creg, old_cgreg);
    else if (was_registered != st.registered())
        modem.announce_registration();
    return "";
}

std::string unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < s.size()) {
            auto byte = from_hex(s.substr(i + 1, 2));
            if (byte) {
                out += *byte;
                i += 2;
            } else {
                out += "\\x";
            }
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

std::string status_line(Modem& modem) {
    const ModemState& st = modem.state();
    std::ostringstream o;
    o << "profile=" << (st.profile ? st.profile->name : "?") << " sim=" << sim_name(st.sim)
      << " pin_attempts=" << st.pin_left << " puk_attempts=" << st.puk_left << " creg=" << st.creg
      << " cgreg=" << st.cgreg << " operator=" << st.current.numeric
      << " act=" << st.effective_act() << " signal=" << st.rssi << " cfun=" << st.cfun
      << " call_port=" << modem.call_port() << " sms_stored=" << st.sms_used()
      << " sms_sent=" << st.sent_pdus.size() << " clip=" << st.clip << " cnmi_mt=" << st.cnmi_mt;
    for (std::size_t i = 0; i < st.contexts.size(); ++i) {
        auto it = std::next(st.contexts.begin(), static_cast<long>(i));
        o << " apn" << it->first << "=" << it->second.second;
    }
    return o.str();
}

} // namespace

ControlResult run_control(Modem& modem, std::string_view line, std::int64_t now_ms) {
    line = trim(line);
    auto sp = line.find(' ');
    std::string_view verb = line.substr(0, sp);
    std::string_view rest = sp == std::string_view::npos ? "" : trim(line.substr(sp + 1));
    auto words = split(rest, ' ');
    words.erase(std::remove(words.begin(), words.end(), ""), words.end());

    if (verb.empty()) return {"OK"};
    if (verb == "set") {
        auto eq = rest.find('=');
        Setting s;
        if (eq != std::string_view::npos) {
            s.key = std::string(trim(rest.substr(0, eq)));
            s.value = std::string(trim(rest.substr(eq + 1)));
        } else if (words.size() >= 2) {
            s.key = words[0];
            s.value = std::string(trim(rest.substr(words[0].size())));
        } else {
            return {"ERROR usage: set KEY=VALUE"};
        }
        std::string err = apply_live_setting(modem, s);
        return {err.empty() ? "OK" : "ERROR " + err};
    }
    if (verb == "sms") {
        int stat = 0;
        std::string pdu;
        if (words.size() == 2 && parse_int(words[0], stat, 0, 3))
            pdu = words[1];
        else if (words.size() == 1)
            pdu = words[0];
        else
            return {"ERROR usage: sms [STAT] PDU"};
        std::string err;
        if (!modem.inject_sms(stat, pdu, err)) return {"ERROR " + err};
        return {"OK"};
    }
    if (verb == "ring") {
        // ring [NUMBER|-] [COUNT] [INTERVAL_MS]; the number comes first since it is digits too
        std::string number = words.empty() || words[0] == "-" ? "" : words[0];
        int count = 1, interval = 5000;
        if (words.size() > 1 && !parse_int(words[1], count, 1, 1000)) return {"ERROR bad count"};
        if (words.size() > 2 && !parse_int(words[2], interval, 0, 600000))
            return {"ERROR bad interval"};
        modem.ring(number, count, interval, now_ms);
        return {"OK"};
    }
    if (verb == "drop") {
        if (modem.call_port() < 0) return {"ERROR no call"};
        modem.end_call(true);
        return {"OK"};
    }
    if (verb == "urc") {
        modem.urc(unescape(rest));
        return {"OK"};
    }
    if (verb == "send") {
        int port = 0;
        if (words.empty() ||
            !parse_int(words[0], port, 0, static_cast<int>(modem.port_count()) - 1))
            return {"ERROR usage: send PORT TEXT"};
        modem.port(port).post(unescape(trim(rest.substr(words[0].size()))));
        return {"OK"};
    }
    if (verb == "status") return {"OK " + status_line(modem)};
    if (verb == "quit") return {"OK", true};
    return {"ERROR unknown command \"" + std::string(verb) + "\""};
}

} // namespace modemsim
