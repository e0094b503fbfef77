// Helpers shared by the tests of SMS, calls and USSD against the simulated modem.
#pragma once

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "sms/sms_reception.h"
#include "sms/sms_sending.h"
#include "test_support.h"

#include <memory>

inline bool has(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

inline size_t count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) n++;
    return n;
}

// A Huawei modem with the given scenario settings ("key=value"), the channel open on it.
inline std::unique_ptr<ModemSim> openmodem(const std::vector<std::string>& settings) {
    std::vector<std::string> args{"--profile", "huawei"};
    for (const auto& s : settings) args.insert(args.end(), {"--set", s});
    auto sim = std::make_unique<ModemSim>(args);
    EXPECT_TRUE(sim->ready());
    EXPECT_TRUE(cm_open(sim->port(0).c_str(), 0));
    return sim;
}

// Waits up to 10 s for a file a started program writes, with its last line complete.
inline bool waitline(const char* name) {
    for (int i = 0; i < 500; i++, usleep(20000))
        if (std::string s = read_file(name); !s.empty() && s.back() == '\n') return true;
    return false;
}

// SMS on (options M and P) in a fresh working folder, the channel on a modem of the test's.
class SmsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record("MP");
        tonlos = secportmanuell = true;
        comzeit = 100;
        restart();
    }
    void TearDown() override {
        restart();
        cm_postini();
    }
    // What a new start of the program forgets.
    void restart() {
        programmende_gewuenscht = false;
        sm__forget();
        sm__forgetsent();
        cm_postini();
        cm_ini();
    }
    InTempDir tmp;
};
