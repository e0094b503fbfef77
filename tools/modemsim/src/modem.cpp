#include "modem.h"

#include "codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace modemsim {

ModemState::ModemState() : sms(20) {
    scan = {
        {2, "26202", "Vodafone.de", "Vodafone", 2},
        {1, "26201", "T-Mobile D", "TMO D", 0},
        {1, "26203", "E-Plus", "E-Plus", 2},
        {3, "26207", "o2 - de", "o2 - de", 2},
    };
}

RegFormat ModemState::effective_reg_format() const {
    if (reg_format) return *reg_format;
    return profile ? profile->reg_format : RegFormat::Quoted;
}

int ModemState::effective_sim_start_ms() const {
    if (sim_start_ms >= 0) return sim_start_ms;
    return realism && profile ? profile->sim_start_ms : 0;
}

std::string ModemState::effective_cscs() const {
    if (!cscs.empty()) return cscs;
    return profile ? std::string(profile->cscs) : "IRA";
}

bool ModemState::registered() const {
    auto ok = [](int s) { return s == 1 || s == 5; };
    return cfun == 1 && sim == SimState::Ready && !sim_starting && (ok(creg) || ok(cgreg));
}

int ModemState::effective_act() const {
    int act = current.act;
    bool umts = act == 2 || (act >= 4 && act <= 7);
    if (rat_limit == 1 && umts) return 0;
    if (rat_limit == 2 && !umts) return 2;
    return act;
}

int ModemState::sms_slot_of_index(int index) const {
    int slot = index - sms_index_base;
    return slot >= 0 && slot < static_cast<int>(sms.size()) ? slot : -1;
}

int ModemState::free_sms_slot() const {
    for (std::size_t i = 0; i < sms.size(); ++i)
        if (!sms[i]) return static_cast<int>(i);
    return -1;
}

int ModemState::sms_used() const {
    return static_cast<int>(
        std::count_if(sms.begin(), sms.end(), [](auto& s) { return s.has_value(); }));
}

// ---------------------------------------------------------------------------------------

Modem::Modem(ModemState state, std::vector<PortKind> ports) : state_(std::move(state)) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        int index = static_cast<int>(i);
        if (ports[i] == PortKind::Diag)
            ports_.push_back(std::make_unique<DiagPort>(*this, index));
        else
            ports_.push_back(std::make_unique<AtPort>(*this, index));
    }
}

void Modem::feed(std::size_t port, std::string_view bytes, std::int64_t now_ms) {
    tick(now_ms);
    ports_.at(port)->feed(bytes, now_ms);
}

void Modem::tick(std::int64_t now_ms) {
    if (!powered_) power_on(now_ms);
    if (state_.sim_starting && now_ms >= sim_ready_at_) {
        bool was = state_.registered();
        state_.sim_starting = false;
        if (was != state_.registered()) announce_registration();
    }
    for (std::size_t i = 0; i < chatter_next_.size(); ++i) {
        if (chatter_next_[i] > now_ms) continue;
        urc("\r\n" + chatter_text(i) + "\r\n");
        reschedule_chatter(i, now_ms);
    }
    for (auto& p : ports_) p->tick(now_ms);
    // Deliver in time order; a delivery may schedule more, so take the due ones first.
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.at_ms < b.at_ms; });
    auto due_end = std::find_if(pending_.begin(), pending_.end(),
                                [&](const Pending& p) { return p.at_ms > now_ms; });
    std::vector<Pending> due(std::make_move_iterator(pending_.begin()),
                             std::make_move_iterator(due_end));
    pending_.erase(pending_.begin(), due_end);
    for (auto& p : due) {
        if (p.port < 0)
            urc(p.text);
        else if (static_cast<std::size_t>(p.port) < ports_.size())
            ports_[p.port]->post(p.text);
    }
}

void Modem::urc(std::string_view text) {
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (state_.urc_port >= 0 && static_cast<int>(i) != state_.urc_port) continue;
        if (ports_[i]->accepts_urc()) ports_[i]->post(text);
    }
}

void Modem::schedule(std::int64_t at_ms, int port, std::string text) {
    pending_.push_back({at_ms, port, std::move(text)});
}

bool Modem::start_call(int port) {
    if (call_port_ >= 0) return false;
    call_port_ = port;
    return true;
}

void Modem::end_call(bool tell) {
    if (call_port_ < 0) return;
    int port = std::exchange(call_port_, -1);
    ports_[port]->end_call(tell);
}

void Modem::ring(const std::string& number, int count, int interval_ms, std::int64_t now_ms) {
    std::string text = "\r\nRING\r\n";
    if (state_.clip) {
        if (number.empty())
            text += "\r\n+CLIP: \"\",128,,,,1\r\n";
        else
            text +=
                "\r\n+CLIP: \"" + number + "\"," + (number[0] == '+' ? "145" : "129") + ",,,,0\r\n";
    }
    for (int i = 0; i < std::max(count, 1); ++i)
        schedule(now_ms + static_cast<std::int64_t>(i) * interval_ms, -1, text);
}

bool Modem::inject_sms(int stat, const std::string& pdu, std::string& error) {
    if (tpdu_length(pdu) < 0) {
        error = "malformed PDU";
        return false;
    }
    if (state_.cnmi_mt == 2 || state_.cnmi_mt == 3) {
        urc("\r\n+CMT: ," + std::to_string(tpdu_length(pdu)) + "\r\n" + pdu + "\r\n");
        return true;
    }
    int slot = state_.free_sms_slot();
    if (slot < 0) {
        error = "storage full";
        return false;
    }
    state_.sms[slot] = StoredSms{stat, pdu};
    if (state_.cnmi_mt == 1)
        urc("\r\n+CMTI: \"" + state_.cpms_mem[2] + "\"," +
            std::to_string(slot + state_.sms_index_base) + "\r\n");
    return true;
}

namespace {

std::string hex_number(const std::string& text) {
    unsigned long v = std::strtoul(text.c_str(), nullptr, 16);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lx", v);
    return buf;
}

} // namespace

std::string Modem::reg_answer(bool packet, bool unsolicited) const {
    int n = packet ? state_.cgreg_n : state_.creg_n;
    int stat = packet ? state_.cgreg : state_.creg;
    if (state_.cfun != 1 || state_.sim != SimState::Ready || state_.sim_starting) stat = 0;
    RegFormat form = state_.effective_reg_format();
    std::string comma = form == RegFormat::Spaced ? ", " : ",";
    std::string text = packet ? "+CGREG: " : "+CREG: ";
    if (!unsolicited) text += std::to_string(n) + comma;
    text += std::to_string(stat);
    if (n == 2 && (stat == 1 || stat == 5)) {
        switch (form) {
        case RegFormat::Quoted:
            text += ",\"" + state_.lac + "\",\"" + state_.cell + "\"";
            break;
        case RegFormat::Spaced:
            text += ", \"" + state_.lac + "\", \"" + state_.cell + "\"";
            break;
        case RegFormat::Hex:
            text += "," + hex_number(state_.lac) + "," + hex_number(state_.cell);
            break;
        }
    }
    return text;
}

void Modem::registration_changed(int old_creg, int old_cgreg) {
    if (state_.creg != old_creg && state_.creg_n > 0)
        urc("\r\n" + reg_answer(false, true) + "\r\n");
    if (state_.cgreg != old_cgreg && state_.cgreg_n > 0)
        urc("\r\n" + reg_answer(true, true) + "\r\n");
}

void Modem::announce_registration() {
    if (state_.creg_n > 0) urc("\r\n" + reg_answer(false, true) + "\r\n");
    if (state_.cgreg_n > 0) urc("\r\n" + reg_answer(true, true) + "\r\n");
}

void Modem::reset_sim() {
    state_.sim = state_.sim_initial;
    if (state_.sim == SimState::Pin && state_.pin_left <= 0) state_.sim = SimState::Puk;
}

void Modem::start_sim(std::int64_t now_ms) {
    int ms = state_.effective_sim_start_ms();
    if (ms <= 0) return;
    state_.sim_starting = true;
    sim_ready_at_ = now_ms + ms;
}

namespace {

// Each kind of line comes at its own pace; a period of 0 means once, soon after power-on.
struct ChatterLine {
    Chatter maker;
    int period_ms;
};
constexpr ChatterLine kChatter[] = {
    {Chatter::Huawei, 5000},  // ^RSSI
    {Chatter::Huawei, 7000},  // ^BOOT
    {Chatter::Huawei, 11000}, // ^MODE
    {Chatter::Zte, 6000},     // +ZUSIMR
    {Chatter::Zte, 13000},    // +ZPASR
    {Chatter::Option, 5000},  // _OSIGQ
    {Chatter::Ericsson, 0},   // *EMRDY
};

} // namespace

void Modem::power_on(std::int64_t now_ms) {
    powered_ = true;
    start_sim(now_ms);
    chatter_.clear();
    chatter_next_.clear();
    if (!state_.realism || !state_.profile) return;
    for (std::size_t k = 0; k < std::size(kChatter); ++k) {
        if (kChatter[k].maker != state_.profile->chatter) continue;
        chatter_.push_back(k);
        int period = kChatter[k].period_ms;
        chatter_next_.push_back(now_ms + (period ? period / 2 : 500));
    }
}

void Modem::reschedule_chatter(std::size_t i, std::int64_t now_ms) {
    int period = kChatter[chatter_[i]].period_ms;
    chatter_next_[i] = period ? now_ms + period : INT64_MAX;
}

std::string Modem::chatter_text(std::size_t i) const {
    const ModemState& st = state_;
    bool umts = st.registered() && st.effective_act() != 0 && st.effective_act() != 3;
    switch (chatter_[i]) {
    case 0:
        return "^RSSI:" + std::to_string(st.cfun == 1 ? st.rssi : 99);
    case 1:
        return "^BOOT:20952695,0,0,0,72";
    case 2:
        return !st.registered() ? "^MODE:0,0" : umts ? "^MODE:5,4" : "^MODE:3,3";
    case 3:
        return st.sim == SimState::Ready && !st.sim_starting ? "+ZUSIMR:2" : "+ZUSIMR:1";
    case 4:
        return !st.registered() ? "+ZPASR: \"NO SERVICE\""
               : umts           ? "+ZPASR: \"UMTS\""
                                : "+ZPASR: \"GPRS\"";
    case 5:
        return "_OSIGQ: " + std::to_string(st.cfun == 1 ? st.rssi : 99) + ",0";
    default:
        return "*EMRDY: 1";
    }
}

std::string Modem::pull_chatter(std::int64_t now_ms) {
    std::size_t best = chatter_next_.size();
    for (std::size_t i = 0; i < chatter_next_.size(); ++i)
        if (chatter_next_[i] != INT64_MAX &&
            (best == chatter_next_.size() || chatter_next_[i] < chatter_next_[best]))
            best = i;
    if (best == chatter_next_.size()) return {};
    std::string text = chatter_text(best);
    reschedule_chatter(best, now_ms);
    return text;
}

// ---------------------------------------------------------------------------------------

std::string build_diag_packet(char variant, char type, std::string_view text) {
    std::string p(kDiagPacketSize, '\0');
    p[0] = 'K';
    p[1] = variant;
    p[2] = type;
    std::size_t n = std::min(text.size(), kDiagTextMax);
    std::copy_n(text.begin(), n, p.begin() + 4);
    p[644] = static_cast<char>(std::min<std::size_t>(n, 255));
    std::uint16_t fcs = fcs16(std::string_view(p).substr(0, 648));
    p[648] = static_cast<char>(fcs & 0xFF);
    p[649] = static_cast<char>(fcs >> 8);
    p[650] = '~';
    return p;
}

std::optional<DiagPacket> parse_diag_packet(std::string_view bytes) {
    if (bytes.size() != kDiagPacketSize || bytes[0] != 'K' || bytes[650] != '~')
        return std::nullopt;
    if (bytes[1] != '2' && bytes[1] != '\xFA') return std::nullopt;
    if (fcs16_update(kFcs16Init, bytes.substr(0, 650)) != kFcs16Good) return std::nullopt;
    DiagPacket p;
    p.variant = bytes[1];
    p.type = bytes[2];
    p.length = static_cast<unsigned char>(bytes[644]);
    std::string_view text = bytes.substr(4, kDiagTextMax);
    p.text = std::string(text.substr(0, std::min<std::size_t>(p.length, text.find('\0'))));
    return p;
}

DiagPort::DiagPort(Modem& modem, int index)
    : modem_(modem), index_(index), runner_(modem, index, false) {}

void DiagPort::feed(std::string_view bytes, std::int64_t now_ms) {
    buffer_.append(bytes);
    if (buffer_.size() > kBufferMax) buffer_.erase(0, buffer_.size() - kBufferMax);
    for (;;) {
        if (buffer_.empty()) return;
        if (buffer_[0] == 'K' && buffer_.size() > 2 &&
            (buffer_[2] == kDiagCommand || buffer_[2] == kDiagFetch)) {
            if (buffer_.size() < kDiagPacketSize) return;
            std::string packet = buffer_.substr(0, kDiagPacketSize);
            if (parse_diag_packet(packet)) {
                buffer_.erase(0, kDiagPacketSize);
                handle_packet(packet, now_ms);
                continue;
            }
        } else if (buffer_[0] == 'K' && buffer_.size() <= 2) {
            return; // not enough to tell a packet from a frame yet
        }
        // Not a valid packet: treat everything up to the next flag byte as one frame.
        auto flag = buffer_.find('~', buffer_[0] == '~' ? 1 : 0);
        if (flag == std::string::npos) return;
        std::string frame = buffer_.substr(0, flag + 1);
        buffer_.erase(0, flag + 1);
        handle_short_frame(frame);
    }
}

void DiagPort::handle_packet(std::string_view bytes, std::int64_t now_ms) {
    auto packet = parse_diag_packet(bytes);
    if (packet->type == kDiagCommand) {
        std::string text = packet->text;
        runner_.run_line(text, now_ms);
        answer_ = runner_.take_output();
        answer_ready_ = true;
        empty_left_ = modem_.state().diag_empty_fetches;
        out_ += build_diag_packet(packet->variant, kDiagCommand, "");
        return;
    }
    if (answer_ready_ && empty_left_ > 0) {
        --empty_left_;
        out_ += build_diag_packet(packet->variant, kDiagFetch, "");
        return;
    }
    out_ += build_diag_packet(packet->variant, kDiagFetch, answer_ready_ ? answer_ : "");
    answer_ready_ = false;
    answer_.clear();
}

void DiagPort::handle_short_frame(std::string_view frame) {
    modem_.record(index_, "[frame " + to_hex(frame) + "]");
    // Older devices answer the binary probe; U730 and newer stay silent.
    if (!modem_.state().has(kNewNovatel) && frame.size() >= 2) out_ += std::string(frame);
}

int tpdu_length(std::string_view hex_pdu) {
    auto bytes = from_hex(hex_pdu);
    if (!bytes || bytes->empty()) return -1;
    std::size_t sca = static_cast<unsigned char>((*bytes)[0]);
    if (bytes->size() < sca + 2) return -1;
    return static_cast<int>(bytes->size() - 1 - sca);
}

} // namespace modemsim
