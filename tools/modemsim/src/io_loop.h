// The I/O side: one pseudo-terminal per simulated port, the control channel, and the poll
// loop that moves bytes between them and the Modem.
#pragma once

#include "modem.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace modemsim {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

class IoLoop {
  public:
    explicit IoLoop(Modem& modem);
    ~IoLoop();

    // One pty per modem port; false with a message on failure.
    bool open_ports(std::string& error);
    const std::string& slave_path(std::size_t port) const { return ports_.at(port).slave; }
    // A symlink at `path` to the slave of `port`; replaced if it is a symlink already.
    bool add_link(std::size_t port, const std::string& path, std::string& error);
    bool open_control_socket(const std::string& path, std::string& error);
    bool open_control_fifo(const std::string& path, std::string& error);
    void set_trace(std::FILE* trace) { trace_ = trace; }

    // One round: wait up to `timeout_ms` for input, feed it, deliver due output.
    void run_once(int timeout_ms);
    bool quit_requested() const { return quit_; }
    // Removes links, the control socket and a FIFO created here.
    void cleanup();

    static std::int64_t now_ms();

  private:
    struct PtyPort {
        UniqueFd master;
        std::string slave;
        bool client_gone = false; // the client closed the slave; waiting for it to reopen
        std::string pending;      // output not yet accepted by the pty
    };
    struct ControlClient {
        UniqueFd fd;
        std::string in;
    };
    static constexpr std::size_t kPendingMax = 256 * 1024;
    static constexpr std::size_t kControlLineMax = 4096;

    void read_port(std::size_t i);
    void flush_port(std::size_t i);
    void check_reopened(std::size_t i);
    void accept_control();
    void read_control(ControlClient& c, bool reply);
    void trace(std::size_t port, const char* dir, std::string_view bytes);

    Modem& modem_;
    std::vector<PtyPort> ports_;
    std::vector<std::pair<std::size_t, std::string>> links_;
    UniqueFd control_listen_;
    std::string control_path_;
    std::vector<ControlClient> control_clients_;
    ControlClient fifo_;
    UniqueFd fifo_keepalive_;
    std::string fifo_path_;
    bool fifo_created_ = false;
    std::FILE* trace_ = nullptr;
    bool quit_ = false;
};

} // namespace modemsim
