// The simulated device: a set of ports sharing one ModemState. Pure logic: bytes in, bytes
// out, time passed in by the caller, so it can be driven without ptys.
#pragma once

#include "modem_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace modemsim {

class Modem;
struct CommandEntry;

class Port {
  public:
    virtual ~Port() = default;
    virtual void feed(std::string_view bytes, std::int64_t now_ms) = 0;
    virtual void tick(std::int64_t /*now_ms*/) {}
    // The client closed the device (the pty master saw a hang-up).
    virtual void closed() {}
    virtual bool accepts_urc() const { return false; }
    // Unsolicited or late text for this port.
    virtual void post(std::string_view text) = 0;
    virtual PortKind kind() const = 0;
    // The modem ended the data call held by this port.
    virtual void end_call(bool /*tell*/) {}
    std::string take_output() { return std::exchange(out_, {}); }

  protected:
    std::string out_;
};

enum class Final { Ok, Error, Connect, NoCarrier, Busy, NoAnswer, Prompt, None };

struct Reply {
    std::vector<std::string> info;
    Final final = Final::Ok;
    std::string error;
};

struct ExtCommand {
    enum Type { Action, Set, Read, Test };
    std::string name; // upper case, with its prefix character: "+CPIN", "^SYSCFG"
    Type type = Action;
    std::vector<std::string> args; // split at commas outside quotes, quotes removed
    std::string raw;               // everything behind '='
};

class AtPort : public Port {
  public:
    // split: answers may leave in pieces (not for the command runner of a packet port).
    AtPort(Modem& modem, int index, bool split = true);
    void feed(std::string_view bytes, std::int64_t now_ms) override;
    void tick(std::int64_t now_ms) override;
    void closed() override;
    bool accepts_urc() const override { return mode_ == Mode::Command && line_len_ == 0; }
    // Text that arrives while a command runs follows its final result, as on a real modem.
    void post(std::string_view text) override {
        if (executing_)
            held_urc_ += text;
        else
            put(text);
    }
    PortKind kind() const override { return PortKind::At; }

    // Runs one command line as if typed without echo; the answer is left in the output.
    void run_line(std::string_view line, std::int64_t now_ms);
    void end_call(bool tell) override;
    bool in_data_mode() const { return mode_ == Mode::Data; }
    std::uint64_t data_bytes() const { return data_bytes_; }

    using Handler = void (AtPort::*)(const ExtCommand&, Reply&);
    friend const CommandEntry* find_command(std::string_view name);

  private:
    enum class Mode { Command, Data, SmsPrompt };
    static constexpr std::size_t kLineMax = 560;
    static constexpr std::size_t kPduMax = 2 * 180;

    void feed_command(char c, std::int64_t now_ms);
    void feed_data(char c, std::int64_t now_ms);
    void feed_prompt(char c);
    void finish_prompt(bool send);
    void execute(std::string_view body, std::int64_t now_ms);
    bool run_basic(std::string_view body, std::size_t& pos, Reply& reply);
    void run_extended(std::string_view body, std::size_t& pos, Reply& reply);
    void run_dial(std::string_view number, Reply& reply);
    void respond(const Reply& reply);
    // Output behind what is still on its way, so that nothing overtakes it.
    void put(std::string_view text);
    // Output of the answer being made (collected while a command runs), else put().
    void emit(std::string_view text);
    void finish_answer();
    // A whole answer: at once, or one piece now and the rest a little later.
    void deliver(std::string text);
    void emit_final(Final final, const std::string& error);
    std::string result_text(Final final) const;
    void reset_settings();

    // Error texts in the form chosen by AT+CMEE.
    void cme(Reply& reply, int code) const;
    static void cms(Reply& reply, int code);
    bool sim_ready(Reply& reply) const;

    // Standard commands
    void c_cpin(const ExtCommand&, Reply&);
    void c_cpinr(const ExtCommand&, Reply&);
    void c_clck(const ExtCommand&, Reply&);
    void c_cmee(const ExtCommand&, Reply&);
    void c_ident(const ExtCommand&, Reply&);
    void c_cimi(const ExtCommand&, Reply&);
    void c_cfun(const ExtCommand&, Reply&);
    void c_creg(const ExtCommand&, Reply&);
    void c_cops(const ExtCommand&, Reply&);
    void c_csq(const ExtCommand&, Reply&);
    void c_cind(const ExtCommand&, Reply&);
    void c_cbc(const ExtCommand&, Reply&);
    void c_cgdcont(const ExtCommand&, Reply&);
    void c_cgatt(const ExtCommand&, Reply&);
    void c_clip(const ExtCommand&, Reply&);
    void c_cusd(const ExtCommand&, Reply&);
    void c_gcap(const ExtCommand&, Reply&);
    void c_cscs(const ExtCommand&, Reply&);
    // SMS
    void c_cmgf(const ExtCommand&, Reply&);
    void c_cpms(const ExtCommand&, Reply&);
    void c_csca(const ExtCommand&, Reply&);
    void c_cnmi(const ExtCommand&, Reply&);
    void c_cmgl(const ExtCommand&, Reply&);
    void c_cmgr(const ExtCommand&, Reply&);
    void c_cmgd(const ExtCommand&, Reply&);
    void c_cmgs(const ExtCommand&, Reply&);
    // Vendors
    void c_opsys(const ExtCommand&, Reply&);
    void c_ossys(const ExtCommand&, Reply&);
    void c_oercn(const ExtCommand&, Reply&);
    void c_nwrat(const ExtCommand&, Reply&);
    void c_syscfg(const ExtCommand&, Reply&);
    void c_hcpin(const ExtCommand&, Reply&);
    void c_zsnt(const ExtCommand&, Reply&);
    void c_zpas(const ExtCommand&, Reply&);
    void c_selrat(const ExtCommand&, Reply&);
    void c_cpinc(const ExtCommand&, Reply&);

    std::string cpms_counts() const;

    Modem& modem_;
    ModemState& st_;
    int index_;
    Mode mode_ = Mode::Command;
    bool echo_ = true;
    bool verbose_ = true;
    bool quiet_ = false;
    std::int64_t now_ms_ = 0;
    bool executing_ = false;
    std::string held_urc_;
    bool collecting_ = false;
    std::string answer_;
    bool split_;
    int answers_ = 0;                                         // answers given, for the pieces
    std::vector<std::pair<std::int64_t, std::string>> later_; // output due at a time

    std::array<char, kLineMax> line_{};
    std::size_t line_len_ = 0;
    bool line_overflow_ = false;
    std::string last_line_;

    std::array<char, kPduMax> pdu_{};
    std::size_t pdu_len_ = 0;
    bool pdu_overflow_ = false;
    int cmgs_length_ = 0;

    std::int64_t last_data_ms_ = 0;
    std::int64_t plus_ms_ = 0;
    int plus_count_ = 0;
    bool call_held_ = false;
    std::uint64_t data_bytes_ = 0;
};

class DiagPort : public Port {
  public:
    DiagPort(Modem& modem, int index);
    void feed(std::string_view bytes, std::int64_t now_ms) override;
    void post(std::string_view /*text*/) override {} // no unsolicited text on this port
    PortKind kind() const override { return PortKind::Diag; }

  private:
    static constexpr std::size_t kBufferMax = 4096;
    void handle_packet(std::string_view packet, std::int64_t now_ms);
    void handle_short_frame(std::string_view frame);

    Modem& modem_;
    int index_;
    AtPort runner_;
    std::string buffer_;
    std::string answer_;
    bool answer_ready_ = false;
    int empty_left_ = 0;
};

class Modem {
  public:
    Modem(ModemState state, std::vector<PortKind> ports);

    ModemState& state() { return state_; }
    const ModemState& state() const { return state_; }
    std::size_t port_count() const { return ports_.size(); }
    Port& port(std::size_t i) { return *ports_.at(i); }

    void feed(std::size_t port, std::string_view bytes, std::int64_t now_ms);
    std::string take_output(std::size_t port) { return ports_.at(port)->take_output(); }
    void tick(std::int64_t now_ms);
    void port_closed(std::size_t port) { ports_.at(port)->closed(); }

    // Unsolicited result text to the ports that take it.
    void urc(std::string_view text);
    // Text for a port (or -1: as unsolicited text) at a later time.
    void schedule(std::int64_t at_ms, int port, std::string text);

    // Data calls: one at a time.
    bool start_call(int port);
    void end_call(bool tell);
    int call_port() const { return call_port_; }

    // Control channel actions
    void ring(const std::string& number, int count, int interval_ms, std::int64_t now_ms);
    bool inject_sms(int stat, const std::string& pdu, std::string& error);
    void registration_changed(int old_creg, int old_cgreg);
    void announce_registration(); // unsolicited +CREG/+CGREG where switched on
    void reset_sim();
    // The SIM powers up (device start, reset, radio on from off) and is busy for a while.
    void start_sim(std::int64_t now_ms);
    // The maker's next unsolicited line, taken out of its turn to go inside an answer ("" for
    // a maker without any).
    std::string pull_chatter(std::int64_t now_ms);

    std::string reg_answer(bool packet, bool unsolicited) const;

    std::function<void(int, std::string_view)> on_line; // every received command line
    void record(int port, std::string_view line) {
        if (on_line) on_line(port, line);
    }

  private:
    struct Pending {
        std::int64_t at_ms;
        int port;
        std::string text;
    };
    void power_on(std::int64_t now_ms);
    void reschedule_chatter(std::size_t i, std::int64_t now_ms);
    std::string chatter_text(std::size_t i) const;

    ModemState state_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::vector<Pending> pending_;
    int call_port_ = -1;
    bool powered_ = false;
    std::int64_t sim_ready_at_ = 0;
    std::vector<std::size_t> chatter_;       // the maker's lines (indexes of the table)
    std::vector<std::int64_t> chatter_next_; // when each is due next
};

// Diagnostic packet of the Novatel secondary port.
inline constexpr std::size_t kDiagPacketSize = 651;
inline constexpr std::size_t kDiagTextMax = 640;
inline constexpr char kDiagCommand = 0x03;
inline constexpr char kDiagFetch = 0x04;

struct DiagPacket {
    char variant = '2'; // '2', or 0xFA for U730 and newer
    char type = kDiagCommand;
    std::string text;
    int length = 0; // the length byte
};

std::string build_diag_packet(char variant, char type, std::string_view text);
// Checks size, markers and FCS; nullopt for anything else.
std::optional<DiagPacket> parse_diag_packet(std::string_view bytes);

// PDU helpers used by the SMS commands
// TPDU length (octets behind the service-centre part) of a hex PDU; -1 if malformed.
int tpdu_length(std::string_view hex_pdu);

} // namespace modemsim
