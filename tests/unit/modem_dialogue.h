// Helpers of the tests that talk to a modem.
#pragma once

#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "pty_peer.h"
#include "test_support.h"

#include <algorithm>
#include <sstream>

// A fresh configuration with the service log on, the channel idle and closed afterwards.
class ModemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record();
        _silentinstall = true; // no dialog here; the dialogs have tests of their own
        secportmanuell = true;
        restore();
    }
    void TearDown() override { cm_postini(); }
    void restore() {
        cm_postini();
        ruhestatus = 0;
        programmende_gewuenscht = false;
        _inidatneu = false;
        geraet = 0;
        novatelu740 = linksys = false;
        comzeit = 150;
        inicounterglobal++; // a new start of the main sequence
    }
    std::string ask(const char* cmd, unsigned long wait = 150) {
        EXPECT_TRUE(cm_puts(cmd));
        msleep(wait);
        char t[antwortLEN];
        cm_gets(t, 5);
        return t;
    }
    static std::string log() { return read_file("servilog.txt"); }
    InTempDir tmp;
};

// The command lines of a transcript ("<port>\t<line>"), without the port.
inline std::vector<std::string> commands(const std::string& transcript) {
    std::vector<std::string> out;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) out.push_back(line.substr(line.find('\t') + 1));
    return out;
}

inline long count_command(const std::string& transcript, const std::string& cmd) {
    const std::vector<std::string> all = commands(transcript);
    return std::count(all.begin(), all.end(), cmd);
}

// A device that answers each command line with these pieces, each after its delay in ms.
inline PtyPeer::Responder answers(std::vector<std::pair<int, std::string>> pieces) {
    return [pieces](PtyPeer& p, const std::string& got) {
        if (got.find('\r') == std::string::npos) return;
        for (const auto& [delay_ms, text] : pieces) {
            msleep(static_cast<unsigned long>(delay_ms));
            p.send(text);
        }
    };
}
