// Helpers of the tests that talk to a modem: the command lines of a simulator transcript, and
// a modem on a real pseudo-terminal that refuses every command.
#pragma once

#include "pty_peer.h"

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

// The command lines of a transcript ("<port>\t<line>"), without the port.
inline std::vector<std::string> commands(const std::string& transcript) {
    std::vector<std::string> out;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        size_t tab = line.find('\t');
        out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return out;
}

inline int count_command(const std::string& transcript, const std::string& cmd) {
    int n = 0;
    for (const auto& c : commands(transcript)) n += c == cmd;
    return n;
}

inline int count_prefix(const std::string& transcript, const std::string& prefix) {
    int n = 0;
    for (const auto& c : commands(transcript)) n += c.rfind(prefix, 0) == 0;
    return n;
}

// A device that answers "ERROR" to every line it gets.
class RefusingModem {
  public:
    RefusingModem()
        : peer_([this](PtyPeer& p, const std::string& got) {
              for (char c : got)
                  if (c == '\r') {
                      lines_++;
                      p.send("\r\nERROR\r\n");
                  }
          }) {}
    const char* path() const { return peer_.path(); }
    int lines() const { return lines_; }

  private:
    std::atomic<int> lines_{0};
    PtyPeer peer_;
};
