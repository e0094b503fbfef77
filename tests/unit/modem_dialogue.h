// Helpers of the tests that talk to a modem: the command lines of a simulator transcript, and
// a modem on a real pseudo-terminal that refuses every command.
#pragma once

#include <atomic>
#include <cstdlib>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/select.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
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
    RefusingModem() {
        if (openpty(&master_, &slave_, name_, nullptr, nullptr) != 0) std::abort();
        struct termios t;
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        thread_ = std::thread([this] { loop(); });
    }
    ~RefusingModem() {
        stop_ = true;
        thread_.join();
        close(master_);
        close(slave_);
    }
    RefusingModem(const RefusingModem&) = delete;
    RefusingModem& operator=(const RefusingModem&) = delete;
    const char* path() const { return name_; }
    int lines() const { return lines_; }

  private:
    void loop() {
        while (!stop_) {
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(master_, &fds);
            struct timeval tv {
                0, 20000
            };
            if (select(master_ + 1, &fds, nullptr, nullptr, &tv) <= 0) continue;
            char buf[512];
            ssize_t n = read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; i++) {
                if (buf[i] != '\r') continue;
                lines_++;
                static const char error[] = "\r\nERROR\r\n";
                if (write(master_, error, sizeof error - 1) < 0) return;
            }
        }
    }
    int master_ = -1, slave_ = -1;
    char name_[256];
    std::atomic<bool> stop_{false};
    std::atomic<int> lines_{0};
    std::thread thread_;
};
