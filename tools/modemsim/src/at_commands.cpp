// The AT commands of the simulated device: 27.007 and 27.005 basics and the vendor
// commands of the maker profiles.
#include "at_internal.h"
#include "codec.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace modemsim {

namespace {

std::optional<int> to_int(std::string_view s) {
    int v = 0;
    if (s.empty()) return std::nullopt;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

// Integer argument i within [lo, hi]; nullopt when missing or out of range.
std::optional<int> arg_int(const ExtCommand& c, std::size_t i, int lo, int hi) {
    if (i >= c.args.size()) return std::nullopt;
    auto v = to_int(c.args[i]);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    return v;
}

std::string q(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

std::string_view cme_text(int code) {
    switch (code) {
    case 3:
        return "operation not allowed";
    case 4:
        return "operation not supported";
    case 10:
        return "SIM not inserted";
    case 11:
        return "SIM PIN required";
    case 12:
        return "SIM PUK required";
    case 13:
        return "SIM failure";
    case 14:
        return "SIM busy";
    case 16:
        return "incorrect password";
    case 30:
        return "no network service";
    case 32:
        return "network not allowed - emergency calls only";
    case 50:
        return "incorrect parameters";
    default:
        return "unknown";
    }
}

bool digits_only(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr int kParam = 50; // +CME ERROR for bad parameters

} // namespace

void AtPort::cme(Reply& reply, int code) const {
    reply.final = Final::Error;
    if (st_.cmee == 1)
        reply.error = "+CME ERROR: " + std::to_string(code);
    else if (st_.cmee == 2)
        reply.error = "+CME ERROR: " + std::string(cme_text(code));
    else
        reply.error = "ERROR";
}

void AtPort::cms(Reply& reply, int code) {
    reply.final = Final::Error;
    reply.error = "+CMS ERROR: " + std::to_string(code);
}

bool AtPort::sim_ready(Reply& reply) const {
    if (st_.sim_starting && st_.sim != SimState::Absent) {
        cme(reply, 14);
        return false;
    }
    switch (st_.sim) {
    case SimState::Ready:
    case SimState::Pin2:
        return true;
    case SimState::Absent:
        cme(reply, 10);
        return false;
    case SimState::Pin:
        cme(reply, 11);
        return false;
    case SimState::Puk:
        cme(reply, 12);
        return false;
    default:
        cme(reply, 13);
        return false;
    }
}

// ---- SIM --------------------------------------------------------------------------------

void AtPort::c_cpin(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (c.type == ExtCommand::Action) return cme(r, kParam);
    if (st_.sim == SimState::Absent) return cme(r, 10);
    if (st_.sim_busy > 0 || st_.sim_starting) {
        if (st_.sim_busy > 0) --st_.sim_busy;
        return cme(r, 14);
    }
    if (c.type == ExtCommand::Read) {
        switch (st_.sim) {
        case SimState::Ready:
            r.info.push_back("+CPIN: READY");
            return;
        case SimState::Pin:
            r.info.push_back("+CPIN: SIM PIN");
            return;
        case SimState::Puk:
            r.info.push_back("+CPIN: SIM PUK");
            return;
        case SimState::PhNetPin:
            r.info.push_back("+CPIN: PH-NET PIN");
            return;
        case SimState::Pin2:
            r.info.push_back("+CPIN: SIM PIN2");
            return;
        default:
            return cme(r, 13);
        }
    }
    const std::string& code = c.args[0];
    switch (st_.sim) {
    case SimState::Pin:
        if (code == st_.pin) {
            st_.sim = SimState::Ready;
            st_.pin_left = 3;
            return;
        }
        if (--st_.pin_left <= 0) {
            st_.pin_left = 0;
            st_.sim = SimState::Puk;
        }
        return cme(r, 16);
    case SimState::Puk: {
        if (c.args.size() < 2) return cme(r, 12);
        const std::string& newpin = c.args[1];
        if (!digits_only(newpin) || newpin.size() < 4 || newpin.size() > 8) return cme(r, kParam);
        if (code == st_.puk) {
            st_.pin = newpin;
            st_.sim = SimState::Ready;
            st_.pin_left = 3;
            st_.puk_left = 10;
            return;
        }
        if (--st_.puk_left <= 0) {
            st_.puk_left = 0;
            st_.sim = SimState::Blocked;
        }
        return cme(r, 16);
    }
    case SimState::PhNetPin:
        if (code == st_.puk) {
            st_.sim = SimState::Ready;
            return;
        }
        return cme(r, 16);
    case SimState::Blocked:
        return cme(r, 13);
    default:
        return cme(r, 3);
    }
}

void AtPort::c_cpinr(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    r.info.push_back("+CPINR: SIM PIN," + std::to_string(st_.pin_left) + ",3");
    r.info.push_back("+CPINR: SIM PUK," + std::to_string(st_.puk_left) + ",10");
}

void AtPort::c_hcpin(const ExtCommand& c, Reply& r) {
    if (c.type != ExtCommand::Read) return cme(r, 4);
    if (st_.sim == SimState::Absent) return cme(r, 10);
    if (st_.sim_starting) return cme(r, 14);
    std::string code = st_.sim == SimState::Pin   ? "SIM PIN"
                       : st_.sim == SimState::Puk ? "SIM PUK"
                                                  : "READY";
    std::string times = st_.sim == SimState::Pin   ? std::to_string(st_.pin_left)
                        : st_.sim == SimState::Puk ? std::to_string(st_.puk_left)
                                                   : "";
    r.info.push_back("^CPIN: " + code + "," + times + "," + std::to_string(st_.puk_left) + "," +
                     std::to_string(st_.pin_left) + ",10,3");
}

void AtPort::c_oercn(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    r.info.push_back("_OERCN: " + std::to_string(st_.pin_left) + ", " +
                     std::to_string(st_.puk_left));
}

void AtPort::c_clck(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back(R"(+CLCK: ("SC","PN","PU","PP","PC"))");
        return;
    }
    if (c.type != ExtCommand::Set || c.args.size() < 2) return cme(r, kParam);
    std::string fac = c.args[0];
    std::transform(fac.begin(), fac.end(), fac.begin(), ::toupper);
    auto mode = arg_int(c, 1, 0, 2);
    if (!mode) return cme(r, kParam);
    if (fac == "SC") {
        if (*mode == 2) {
            r.info.push_back(std::string("+CLCK: ") +
                             (st_.sim_initial == SimState::Ready ? "0" : "1"));
            return;
        }
        if (c.args.size() < 3 || c.args[2] != st_.pin) return cme(r, 16);
        st_.sim_initial = *mode == 1 ? SimState::Pin : SimState::Ready;
        return;
    }
    if (*mode == 2) {
        r.info.push_back(std::string("+CLCK: ") + (st_.locks.count(fac) ? "1" : "0"));
        return;
    }
    cme(r, 3);
}

void AtPort::c_cmee(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CMEE: (0-2)");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back("+CMEE: " + std::to_string(st_.cmee));
    } else if (auto v = arg_int(c, 0, 0, 2); v || c.type == ExtCommand::Action) {
        st_.cmee = v.value_or(0);
    } else {
        cme(r, kParam);
    }
}

// ---- Identification -----------------------------------------------------------------------

void AtPort::c_ident(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (c.type != ExtCommand::Action) return cme(r, 4);
    const Profile& p = *st_.profile;
    std::string_view n = c.name;
    if (n.ends_with("GMI"))
        r.info.emplace_back(p.manufacturer);
    else if (n.ends_with("GMM"))
        r.info.emplace_back(p.model);
    else if (n.ends_with("GMR"))
        r.info.emplace_back(p.revision);
    else
        r.info.push_back(st_.imei);
}

void AtPort::c_cimi(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (c.type != ExtCommand::Action) return cme(r, 4);
    if (sim_ready(r)) r.info.push_back(st_.imsi);
}

void AtPort::c_gcap(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Action) r.info.push_back("+GCAP: +CGSM,+DS,+ES");
}

void AtPort::c_cscs(const ExtCommand& c, Reply& r) {
    static constexpr std::string_view kSets[] = {"IRA", "GSM", "UCS2", "8859-1", "PCCP437"};
    if (c.type == ExtCommand::Test) {
        r.info.push_back(R"(+CSCS: ("IRA","GSM","UCS2","8859-1","PCCP437"))");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back("+CSCS: " + q(st_.effective_cscs()));
    } else if (c.type == ExtCommand::Set &&
               std::find(std::begin(kSets), std::end(kSets), c.args[0]) != std::end(kSets)) {
        st_.cscs = c.args[0];
    } else {
        cme(r, kParam);
    }
}

// ---- Radio and network ---------------------------------------------------------------------

void AtPort::c_cfun(const ExtCommand& c, Reply& r) {
    bool ericsson = st_.has(kCfunRat);
    if (c.type == ExtCommand::Test) {
        r.info.push_back(ericsson ? "+CFUN: (0,1,4,5,6),(0,1)" : "+CFUN: (0,1,4),(0,1)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back("+CFUN: " + std::to_string(st_.cfun));
        return;
    }
    auto fun = arg_int(c, 0, 0, 6);
    auto rst = c.args.size() > 1 ? arg_int(c, 1, 0, 1) : std::optional<int>(0);
    if (!fun || !rst || *fun == 2 || *fun == 3 || (*fun > 4 && !ericsson)) return cme(r, kParam);
    bool was_registered = st_.registered();
    bool sim_was_off = st_.cfun == 0;
    if (*fun >= 5) {
        st_.cfun = 1;
        st_.rat_limit = *fun == 5 ? 1 : 2;
    } else {
        st_.cfun = *fun;
        if (ericsson && *fun == 1) st_.rat_limit = 0;
    }
    if (*rst == 1) {
        if (modem_.call_port() >= 0) modem_.end_call(true);
        modem_.reset_sim();
        reset_settings();
    }
    // A reset, or the radio on from full power-down, starts the SIM again.
    if (*rst == 1 || (sim_was_off && st_.cfun == 1)) modem_.start_sim(now_ms_);
    if (was_registered != st_.registered()) modem_.announce_registration();
}

void AtPort::c_creg(const ExtCommand& c, Reply& r) {
    bool packet = c.name == "+CGREG";
    int& n = packet ? st_.cgreg_n : st_.creg_n;
    if (c.type == ExtCommand::Test) {
        r.info.push_back(std::string(packet ? "+CGREG" : "+CREG") + ": (0-2)");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back(modem_.reg_answer(packet, false));
    } else if (auto v = arg_int(c, 0, 0, 2); v || c.type == ExtCommand::Action) {
        n = v.value_or(0);
    } else {
        cme(r, kParam);
    }
}

void AtPort::c_cops(const ExtCommand& c, Reply& r) {
    auto name_of = [&](const Operator& op, int format) {
        return format == 2 ? op.numeric : format == 1 ? op.short_name : op.long_name;
    };
    if (c.type == ExtCommand::Read) {
        if (!st_.registered()) {
            r.info.push_back("+COPS: " + std::to_string(st_.cops_mode));
            return;
        }
        r.info.push_back("+COPS: " + std::to_string(st_.cops_mode) + "," +
                         std::to_string(st_.cops_format) + "," +
                         q(name_of(st_.current, st_.cops_format)) + "," +
                         std::to_string(st_.effective_act()));
        return;
    }
    if (c.type == ExtCommand::Test) {
        if (!sim_ready(r)) return;
        if (st_.cfun != 1) return cme(r, 30);
        std::vector<Operator> list = st_.scan;
        bool found = false;
        for (auto& op : list) {
            if (op.status == 2) op.status = 1;
            if (op.numeric == st_.current.numeric && st_.registered()) {
                op.status = 2;
                found = true;
            }
        }
        if (!found && st_.registered()) {
            list.insert(list.begin(), st_.current);
            list.front().status = 2;
        }
        std::string text = "+COPS: ";
        for (auto& op : list)
            text += "(" + std::to_string(op.status) + "," + q(op.long_name) + "," +
                    q(op.short_name) + "," + q(op.numeric) + "," + std::to_string(op.act) + "),";
        text += ",(0,1,2,3,4),(0,1,2)";
        if (st_.scan_delay_ms > 0) { // a real scan takes a while; the answer comes later
            modem_.schedule(now_ms_ + st_.scan_delay_ms, index_, "\r\n" + text + "\r\n\r\nOK\r\n");
            r.final = Final::None;
            return;
        }
        r.info.push_back(text);
        return;
    }
    auto mode = c.type == ExtCommand::Action ? std::optional<int>(0) : arg_int(c, 0, 0, 4);
    if (!mode) return cme(r, kParam);
    if (*mode == 3) {
        auto f = arg_int(c, 1, 0, 2);
        if (!f) return cme(r, kParam);
        st_.cops_format = *f;
        return;
    }
    if (!sim_ready(r)) return;
    int old_creg = st_.creg, old_cgreg = st_.cgreg;
    if (*mode == 2) {
        st_.cops_mode = 2;
        st_.creg = st_.cgreg = 0;
        modem_.registration_changed(old_creg, old_cgreg);
        return;
    }
    if (*mode == 0) {
        st_.cops_mode = 0;
        if (st_.creg == 0 && st_.cgreg == 0) st_.creg = st_.cgreg = 1;
        modem_.registration_changed(old_creg, old_cgreg);
        return;
    }
    auto format = arg_int(c, 1, 0, 2);
    if (!format || c.args.size() < 3) return cme(r, kParam);
    const std::string& wanted = c.args[2];
    auto it = std::find_if(st_.scan.begin(), st_.scan.end(),
                           [&](const Operator& op) { return name_of(op, *format) == wanted; });
    const Operator* op = it != st_.scan.end() ? &*it : nullptr;
    if (!op && name_of(st_.current, *format) == wanted) op = &st_.current;
    if (!op || op->status == 3) {
        if (*mode == 4) {
            st_.cops_mode = 0;
            return;
        }
        return cme(r, op ? 32 : 30);
    }
    Operator chosen = *op;
    chosen.status = 2;
    st_.current = chosen;
    st_.cops_mode = 1;
    int stat = st_.imsi.compare(0, 5, chosen.numeric) == 0 ? 1 : 5;
    st_.creg = st_.cgreg = stat;
    modem_.registration_changed(old_creg, old_cgreg);
}

void AtPort::c_csq(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CSQ: (0-31,99),(0-7,99)");
        return;
    }
    if (c.type != ExtCommand::Action) return cme(r, 4);
    bool known = st_.cfun == 1 && !st_.csq_unknown;
    r.info.push_back("+CSQ: " + std::to_string(known ? st_.rssi : 99) + "," +
                     std::to_string(known ? st_.ber : 99));
}

void AtPort::c_cind(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back(R"(+CIND: ("battchg",(0-5)),("signal",(0-5)),("batterywarning",(0-1)),)"
                         R"(("chargerconnected",(0-1)),("service",(0-1)),("sounder",(0-1)),)"
                         R"(("message",(0-1)),("call",(0-1)),("roam",(0-1)),("smsfull",(0-1)),)"
                         R"(("callsetup",(0-3)),("callheld",(0-1)))");
        return;
    }
    if (c.type != ExtCommand::Read) return cme(r, 4);
    int level = st_.battery ? std::clamp(st_.battery->second / 20, 0, 5) : 5;
    int signal = st_.cfun != 1 || st_.rssi == 99 ? 0 : std::min(5, (st_.rssi + 3) / 6);
    bool service = st_.registered();
    bool roam = st_.creg == 5 || st_.cgreg == 5;
    r.info.push_back("+CIND: " + std::to_string(level) + "," + std::to_string(signal) + ",0,0," +
                     (service ? "1" : "0") + ",0,0,0," + (roam ? "1" : "0") + ",0,0,0");
}

void AtPort::c_cbc(const ExtCommand& c, Reply& r) {
    if (!st_.battery && !st_.has(kBattery)) {
        r.final = Final::Error;
        r.error = "ERROR";
        return;
    }
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CBC: (0-3),(0-100)");
        return;
    }
    if (c.type != ExtCommand::Action) return cme(r, 4);
    auto [bcs, bcl] = st_.battery.value_or(std::pair{0, 80});
    r.info.push_back("+CBC: " + std::to_string(bcs) + "," + std::to_string(bcl));
}

void AtPort::c_cgdcont(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back(R"(+CGDCONT: (1-16),"IP",,,(0-2),(0-4))");
        return;
    }
    if (c.type == ExtCommand::Read) {
        for (auto& [cid, ctx] : st_.contexts)
            r.info.push_back("+CGDCONT: " + std::to_string(cid) + "," + q(ctx.first) + "," +
                             q(ctx.second) + ",\"0.0.0.0\",0,0");
        return;
    }
    auto cid = arg_int(c, 0, 1, 16);
    if (!cid) return cme(r, kParam);
    if (c.args.size() == 1) {
        st_.contexts.erase(*cid);
        return;
    }
    std::string type = c.args[1];
    std::transform(type.begin(), type.end(), type.begin(), ::toupper);
    if (type != "IP" && type != "PPP" && type != "IPV6" && type != "IPV4V6") return cme(r, kParam);
    st_.contexts[*cid] = {type, c.args.size() > 2 ? c.args[2] : ""};
}

void AtPort::c_cgatt(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CGATT: (0,1)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back(std::string("+CGATT: ") + (st_.attached && st_.registered() ? "1" : "0"));
        return;
    }
    auto v = arg_int(c, 0, 0, 1);
    if (!v) return cme(r, kParam);
    if (*v == 1 && !st_.registered()) return cme(r, 30);
    st_.attached = *v == 1;
    if (!st_.attached && modem_.call_port() >= 0) modem_.end_call(true);
}

void AtPort::c_clip(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CLIP: (0,1)");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back(std::string("+CLIP: ") + (st_.clip ? "1" : "0") + ",1");
    } else if (auto v = arg_int(c, 0, 0, 1)) {
        st_.clip = *v == 1;
    } else {
        cme(r, kParam);
    }
}

void AtPort::c_cusd(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CUSD: (0,1,2)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back("+CUSD: 1");
        return;
    }
    auto n = c.type == ExtCommand::Action ? std::optional<int>(0) : arg_int(c, 0, 0, 2);
    if (!n) return cme(r, kParam);
    if (c.args.size() < 2 || *n == 2) return;
    if (!st_.registered()) return cme(r, 30);
    std::string code = c.args[1];
    if (st_.ussd_input == UssdInput::Packed) {
        auto decoded = decode_packed_hex_text(code);
        if (!decoded) { // this kind of modem takes only packed 7-bit hex
            r.final = Final::Error;
            r.error = "ERROR";
            return;
        }
        code = *decoded;
    }
    std::string urc = "\r\n+CUSD: 4\r\n";
    if (auto it = st_.ussd.find(code); it != st_.ussd.end()) {
        const std::string& text = it->second;
        switch (st_.ussd_form) {
        case UssdForm::Plain: // in the terminal character set, as the device shows text
            urc = "\r\n+CUSD: 0," + q(text_to_charset(text, st_.effective_cscs())) + ",15\r\n";
            break;
        case UssdForm::Ucs2:
            urc = "\r\n+CUSD: 0," + q(text_to_ucs2_hex(text)) + ",72\r\n";
            break;
        case UssdForm::Gsm7:
            urc = "\r\n+CUSD: 0," + q(to_hex(pack_septets(text_to_gsm(text)))) + ",15\r\n";
            break;
        }
    }
    // The network answers after the OK, as its own unsolicited line.
    modem_.schedule(now_ms_ + st_.ussd_delay_ms, index_, urc);
}

// ---- SMS ------------------------------------------------------------------------------------

void AtPort::c_cmgf(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CMGF: (0,1)");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back("+CMGF: " + std::to_string(st_.cmgf));
    } else if (auto v = arg_int(c, 0, 0, 1)) {
        st_.cmgf = *v;
    } else {
        cms(r, 302);
    }
}

std::string AtPort::cpms_counts() const {
    std::string used = std::to_string(st_.sms_used());
    std::string total = std::to_string(st_.sms.size());
    return used + "," + total + "," + used + "," + total + "," + used + "," + total;
}

void AtPort::c_cpms(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        std::string list = "(";
        for (auto& m : st_.cpms_supported) list += (list.size() > 1 ? "," : "") + q(m);
        list += ")";
        r.info.push_back("+CPMS: " + list + "," + list + "," + list);
        return;
    }
    std::string used = std::to_string(st_.sms_used());
    std::string total = std::to_string(st_.sms.size());
    if (c.type == ExtCommand::Read) {
        std::string text = "+CPMS: ";
        for (int i = 0; i < 3; ++i)
            text += (i ? "," : "") + q(st_.cpms_mem[i]) + "," + used + "," + total;
        r.info.push_back(text);
        return;
    }
    if (c.type != ExtCommand::Set || c.args.size() > 3) return cms(r, 302);
    if (st_.cpms_busy > 0) {
        --st_.cpms_busy;
        return cms(r, 500);
    }
    for (auto& m : c.args)
        if (!st_.cpms_supported.count(m)) return cms(r, 302);
    for (std::size_t i = 0; i < c.args.size(); ++i) st_.cpms_mem[i] = c.args[i];
    r.info.push_back("+CPMS: " + cpms_counts());
}

void AtPort::c_csca(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Read) {
        r.info.push_back("+CSCA: " + q(st_.smsc) + ",145");
    } else if (c.type == ExtCommand::Set && !c.args[0].empty()) {
        st_.smsc = c.args[0];
    } else if (c.type != ExtCommand::Test) {
        cms(r, 304);
    }
}

void AtPort::c_cnmi(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)");
    } else if (c.type == ExtCommand::Read) {
        r.info.push_back("+CNMI: 2," + std::to_string(st_.cnmi_mt) + ",0,0,0");
    } else if (c.type == ExtCommand::Set) {
        auto mt = c.args.size() > 1 ? arg_int(c, 1, 0, 3) : std::optional<int>(0);
        if (!mt) return cms(r, 302);
        st_.cnmi_mt = *mt;
    }
}

void AtPort::c_cmgl(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CMGL: (0-4)");
        return;
    }
    if (st_.cmgf != 0) return cms(r, 302); // only PDU mode is simulated
    if (st_.sim != SimState::Ready) return cms(r, 310);
    auto stat = c.type == ExtCommand::Action ? std::optional<int>(4) : arg_int(c, 0, 0, 4);
    if (!stat) return cms(r, 302);
    for (std::size_t i = 0; i < st_.sms.size(); ++i) {
        auto& m = st_.sms[i];
        if (!m || (*stat != 4 && m->stat != *stat)) continue;
        r.info.push_back("+CMGL: " + std::to_string(static_cast<int>(i) + st_.sms_index_base) +
                         "," + std::to_string(m->stat) + ",," +
                         std::to_string(tpdu_length(m->pdu)));
        r.info.push_back(m->pdu);
        if (m->stat == 0) m->stat = 1;
    }
}

void AtPort::c_cmgr(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (st_.cmgf != 0) return cms(r, 302);
    if (st_.sim != SimState::Ready) return cms(r, 310);
    auto index = c.type == ExtCommand::Set ? to_int(c.args[0]) : std::nullopt;
    int slot = index ? st_.sms_slot_of_index(*index) : -1;
    if (slot < 0 || !st_.sms[slot]) return cms(r, 321);
    auto& m = *st_.sms[slot];
    r.info.push_back("+CMGR: " + std::to_string(m.stat) + ",," +
                     std::to_string(tpdu_length(m.pdu)));
    r.info.push_back(m.pdu);
    if (m.stat == 0) m.stat = 1;
}

void AtPort::c_cmgd(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+CMGD: (" + std::to_string(st_.sms_index_base) + "-" +
                         std::to_string(st_.sms_index_base + static_cast<int>(st_.sms.size()) - 1) +
                         "),(0-4)");
        return;
    }
    if (st_.sim != SimState::Ready) return cms(r, 310);
    auto index = c.type == ExtCommand::Set ? to_int(c.args[0]) : std::nullopt;
    auto flag = c.args.size() > 1 ? arg_int(c, 1, 0, 4) : std::optional<int>(0);
    if (!flag) return cms(r, 302);
    if (*flag > 0) { // bulk deletion by state: 1 read, 2 +sent, 3 +unsent, 4 all
        for (auto& m : st_.sms) {
            if (!m) continue;
            bool gone = *flag == 4 || m->stat == 1 || (*flag >= 2 && m->stat == 3) ||
                        (*flag >= 3 && m->stat == 2);
            if (gone) m.reset();
        }
        return;
    }
    int slot = index ? st_.sms_slot_of_index(*index) : -1;
    if (slot < 0) return cms(r, 321);
    st_.sms[slot].reset();
}

void AtPort::c_cmgs(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (st_.cmgf != 0) return cms(r, 302);
    auto len = c.type == ExtCommand::Set ? arg_int(c, 0, 7, 176) : std::nullopt;
    if (!len) return cms(r, 304);
    if (st_.cmgs == CmgsMode::Error) return cms(r, 500);
    if (!st_.registered()) return cms(r, 331);
    cmgs_length_ = *len;
    r.final = Final::Prompt;
}

// ---- Vendor radio selection ------------------------------------------------------------------

void AtPort::c_opsys(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("_OPSYS: (0-3,5),(0-2)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back("_OPSYS: " + std::to_string(st_.opsys_mode) + "," +
                         std::to_string(st_.opsys_domain));
        return;
    }
    auto mode = arg_int(c, 0, 0, 5);
    auto domain = c.args.size() > 1 ? arg_int(c, 1, 0, 2) : std::optional<int>(st_.opsys_domain);
    if (!mode || *mode == 4 || !domain) return cme(r, kParam);
    st_.opsys_mode = *mode;
    st_.opsys_domain = *domain;
    st_.rat_limit = *mode == 0 ? 1 : *mode == 1 ? 2 : 0;
}

void AtPort::c_ossys(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Read) {
        r.info.push_back("_OSSYS: " + std::to_string(st_.ossys));
    } else if (auto v = arg_int(c, 0, 0, 2)) {
        st_.ossys = *v;
    } else if (c.type != ExtCommand::Test) {
        cme(r, kParam);
    }
}

void AtPort::c_nwrat(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("$NWRAT: (0-2),(0-2)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        // Network: 0 none; 1..3 WCDMA, HSDPA, HSUPA; 4..6 GPRS, EDGE, GSM.
        int network = 0;
        if (st_.registered()) {
            switch (st_.effective_act()) {
            case 0:
                network = 4;
                break;
            case 3:
                network = 5;
                break;
            case 1:
                network = 6;
                break;
            case 2:
                network = 1;
                break;
            case 4:
                network = 2;
                break;
            default:
                network = 3;
                break;
            }
        }
        r.info.push_back("$NWRAT: " + std::to_string(st_.nwrat_mode) + "," +
                         std::to_string(st_.nwrat_domain) + "," + std::to_string(network));
        return;
    }
    auto mode = arg_int(c, 0, 0, 2);
    auto domain = c.args.size() > 1 ? arg_int(c, 1, 0, 2) : std::optional<int>(st_.nwrat_domain);
    if (!mode || !domain) return cme(r, kParam);
    st_.nwrat_mode = *mode;
    st_.nwrat_domain = *domain;
    st_.rat_limit = *mode;
}

void AtPort::c_syscfg(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back(R"(^SYSCFG: (2,13,14,16),(0-3),((3FFFFFFF,"All bands")),(0-2),(0-4))");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back("^SYSCFG: " + std::to_string(st_.syscfg_mode) + "," +
                         std::to_string(st_.syscfg_order) + "," + st_.syscfg_band + "," +
                         std::to_string(st_.syscfg_roam) + "," + std::to_string(st_.syscfg_domain));
        return;
    }
    if (c.args.size() != 5) return cme(r, kParam);
    auto mode = arg_int(c, 0, 2, 16);
    auto order = arg_int(c, 1, 0, 3);
    auto roam = arg_int(c, 3, 0, 2);
    auto domain = arg_int(c, 4, 0, 4);
    bool band_ok = !c.args[2].empty() && c.args[2].size() <= 16 &&
                   std::all_of(c.args[2].begin(), c.args[2].end(), ::isxdigit);
    if (!mode || (*mode != 2 && *mode != 13 && *mode != 14 && *mode != 16) || !order || !roam ||
        !domain || !band_ok)
        return cme(r, kParam);
    if (*mode != 16) st_.syscfg_mode = *mode;
    if (*order != 3) st_.syscfg_order = *order;
    if (c.args[2] != "40000000") st_.syscfg_band = c.args[2];
    st_.syscfg_roam = *roam;
    if (*domain != 4) st_.syscfg_domain = *domain;
    st_.rat_limit = st_.syscfg_mode == 13 ? 1 : st_.syscfg_mode == 14 ? 2 : 0;
}

void AtPort::c_zsnt(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) {
        r.info.push_back("+ZSNT: (0-2),(0),(0-2)");
        return;
    }
    if (c.type == ExtCommand::Read) {
        r.info.push_back("+ZSNT: " + std::to_string(st_.zsnt_mode) + "," +
                         std::to_string(st_.zsnt_sel) + "," + std::to_string(st_.zsnt_pref));
        return;
    }
    auto mode = arg_int(c, 0, 0, 2);
    auto sel = arg_int(c, 1, 0, 0);
    auto pref = arg_int(c, 2, 0, 2);
    if (!mode || !sel || !pref || c.args.size() != 3) return cme(r, kParam);
    st_.zsnt_mode = *mode;
    st_.zsnt_sel = *sel;
    st_.zsnt_pref = *pref;
    st_.rat_limit = *mode;
}

void AtPort::c_zpas(const ExtCommand& c, Reply& r) {
    if (c.type == ExtCommand::Test) return;
    if (c.type == ExtCommand::Set) return cme(r, 4);
    std::string bearer = "NO SERVICE";
    if (st_.registered()) {
        switch (st_.effective_act()) {
        case 0:
        case 1:
            bearer = "GPRS";
            break;
        case 3:
            bearer = "EDGE";
            break;
        case 2:
            bearer = "UMTS";
            break;
        case 5:
            bearer = "HSUPA";
            break;
        default:
            bearer = "HSDPA";
            break;
        }
    }
    r.info.push_back("+ZPAS: " + q(bearer) + "," + q(st_.registered() ? "CS_PS" : "CS_ONLY"));
}

void AtPort::c_cpinc(const ExtCommand& c, Reply& r) {
    if (c.type != ExtCommand::Read) return cme(r, 4);
    // PIN1, PIN2, PUK1, PUK2 attempts left.
    r.info.push_back("!CPINC: " + std::to_string(st_.pin_left) + ",3," +
                     std::to_string(st_.puk_left) + ",10");
}

void AtPort::c_selrat(const ExtCommand& c, Reply& r) {
    static constexpr std::string_view kNames[] = {"Automatic", "UMTS 3G Only", "GSM 2G Only",
                                                  "UMTS 3G Preferred", "GSM 2G Preferred"};
    if (c.type == ExtCommand::Test) {
        r.info.push_back("!SELRAT: 00, Automatic\r\n01, UMTS 3G Only\r\n02, GSM 2G Only\r\n"
                         "03, UMTS 3G Preferred\r\n04, GSM 2G Preferred");
        return;
    }
    if (c.type == ExtCommand::Read) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "!SELRAT: %02d, %s", st_.selrat,
                      std::string(kNames[st_.selrat]).c_str());
        r.info.push_back(buf);
        return;
    }
    auto v = arg_int(c, 0, 0, 4);
    if (!v) return cme(r, kParam);
    st_.selrat = *v;
    st_.rat_limit = *v == 1 ? 2 : *v == 2 ? 1 : 0;
}

// ---- Table ------------------------------------------------------------------------------------

const CommandEntry* find_command(std::string_view name) {
    static const CommandEntry kTable[] = {
        {"+CPIN", &AtPort::c_cpin, 0},         {"+CPINR", &AtPort::c_cpinr, 0},
        {"+CLCK", &AtPort::c_clck, 0},         {"+CMEE", &AtPort::c_cmee, 0},
        {"+CGMI", &AtPort::c_ident, 0},        {"+GMI", &AtPort::c_ident, 0},
        {"+CGMM", &AtPort::c_ident, 0},        {"+GMM", &AtPort::c_ident, 0},
        {"+CGMR", &AtPort::c_ident, 0},        {"+GMR", &AtPort::c_ident, 0},
        {"+CGSN", &AtPort::c_ident, 0},        {"+GSN", &AtPort::c_ident, 0},
        {"+CIMI", &AtPort::c_cimi, 0},         {"+GCAP", &AtPort::c_gcap, 0},
        {"+CFUN", &AtPort::c_cfun, 0},         {"+CREG", &AtPort::c_creg, 0},
        {"+CGREG", &AtPort::c_creg, 0},        {"+COPS", &AtPort::c_cops, 0},
        {"+CSQ", &AtPort::c_csq, 0},           {"+CIND", &AtPort::c_cind, kCind},
        {"+CBC", &AtPort::c_cbc, 0},           {"+CGDCONT", &AtPort::c_cgdcont, 0},
        {"+CGATT", &AtPort::c_cgatt, 0},       {"+CLIP", &AtPort::c_clip, 0},
        {"+CUSD", &AtPort::c_cusd, 0},         {"+CMGF", &AtPort::c_cmgf, 0},
        {"+CPMS", &AtPort::c_cpms, 0},         {"+CSCA", &AtPort::c_csca, 0},
        {"+CNMI", &AtPort::c_cnmi, 0},         {"+CMGL", &AtPort::c_cmgl, 0},
        {"+CMGR", &AtPort::c_cmgr, 0},         {"+CMGD", &AtPort::c_cmgd, 0},
        {"+CMGS", &AtPort::c_cmgs, 0},         {"_OPSYS", &AtPort::c_opsys, kOpsys},
        {"_OSSYS", &AtPort::c_ossys, kOpsys},  {"_OERCN", &AtPort::c_oercn, kOpsys},
        {"$NWRAT", &AtPort::c_nwrat, kNwrat},  {"^SYSCFG", &AtPort::c_syscfg, kSyscfg},
        {"^CPIN", &AtPort::c_hcpin, kSyscfg},  {"+ZSNT", &AtPort::c_zsnt, kZte},
        {"+ZPAS", &AtPort::c_zpas, kZte},      {"!SELRAT", &AtPort::c_selrat, kSelrat},
        {"!CPINC", &AtPort::c_cpinc, kSelrat}, {"+CSCS", &AtPort::c_cscs, 0},
    };
    for (const auto& e : kTable)
        if (e.name == name) return &e;
    return nullptr;
}

} // namespace modemsim
