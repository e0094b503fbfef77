// The far end of a real pseudo-terminal for tests of the modem side: what the program writes
// arrives here, and a responder decides what the "modem" sends back.
#pragma once

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

class PtyPeer {
  public:
    using Responder = std::function<void(PtyPeer&, const std::string& received)>;

    explicit PtyPeer(Responder r) : respond_(std::move(r)) {
        if (openpty(&master_, &slave_, name_, nullptr, nullptr) != 0) std::abort();
        struct termios t;
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        thread_ = std::thread([this] { loop(); });
    }
    ~PtyPeer() {
        stop_ = true;
        thread_.join();
        close(master_);
        close(slave_);
    }
    const char* path() const { return name_; }
    void send(const void* p, size_t n) {
        if (write(master_, p, n) != static_cast<ssize_t>(n)) std::abort();
    }
    void send(const std::string& s) { send(s.data(), s.size()); }
    std::string received() {
        std::lock_guard<std::mutex> l(m_);
        return all_;
    }

  private:
    void loop() {
        while (!stop_) {
            char buf[2048];
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            std::string chunk(buf, static_cast<size_t>(n));
            {
                std::lock_guard<std::mutex> l(m_);
                all_ += chunk;
            }
            if (respond_) respond_(*this, chunk);
        }
    }
    int master_ = -1, slave_ = -1;
    char name_[256];
    Responder respond_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex m_;
    std::string all_;
};
