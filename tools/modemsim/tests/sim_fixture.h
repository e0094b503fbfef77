// Drives a Modem the way a host program would: bytes in, bytes out, with a test clock.
#pragma once

#include "modem.h"
#include "scenario.h"

#include <gtest/gtest.h>
#include <string>

namespace modemsim::test {

class Sim {
  public:
    // Byte-exact answers unless the makers' pieces, delays and chatter are asked for.
    explicit Sim(std::string_view profile = "huawei", bool realism = false)
        : modem_(prepare(profile, realism), find_profile(profile)->ports) {}

    ModemState& state() { return modem_.state(); }
    // Sends bytes to a port and returns everything it answers at once, echo included.
    std::string send(std::string_view bytes, std::size_t port = 0) {
        modem_.feed(port, bytes, now_);
        modem_.tick(now_);
        return modem_.take_output(port);
    }
    // A command with echo switched off first, so only the answer comes back.
    std::string at(std::string_view command, std::size_t port = 0) {
        if (!quiet_[port]) {
            send("ATE0\r", port);
            advance(1000, port);
            quiet_[port] = true;
        }
        return send(std::string(command) + "\r", port);
    }
    std::string advance(std::int64_t ms, std::size_t port = 0) {
        now_ += ms;
        modem_.tick(now_);
        return modem_.take_output(port);
    }
    void set(std::string_view key, std::string_view value) {
        ASSERT_EQ(apply_live_setting(modem_, {0, std::string(key), std::string(value)}), "");
    }
    std::int64_t now() const { return now_; }

  private:
    static ModemState prepare(std::string_view profile, bool realism) {
        ModemState st;
        st.profile = find_profile(profile);
        st.realism = realism;
        return st;
    }
    Modem modem_;
    std::int64_t now_ = 100000;
    bool quiet_[8] = {};
};

inline std::string ok(std::string_view info) {
    return "\r\n" + std::string(info) + "\r\n\r\nOK\r\n";
}
inline const std::string kOk = "\r\nOK\r\n";
inline const std::string kError = "\r\nERROR\r\n";

} // namespace modemsim::test
