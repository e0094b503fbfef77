#include "io_loop.h"

#include "codec.h"
#include "scenario.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

namespace modemsim {

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(std::exchange(o.fd_, -1));
    return *this;
}

UniqueFd::~UniqueFd() {
    reset();
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

namespace {

// The line settings a client finds on first open: raw, so that no echo of the pty itself
// gets in the way of the modem's own.
void make_raw(int master) {
    termios t{};
    if (tcgetattr(master, &t) != 0) return;
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
}

std::string errno_text(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

IoLoop::IoLoop(Modem& modem) : modem_(modem) {}

IoLoop::~IoLoop() {
    cleanup();
}

std::int64_t IoLoop::now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool IoLoop::open_ports(std::string& error) {
    for (std::size_t i = 0; i < modem_.port_count(); ++i) {
        UniqueFd m(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
        if (!m || grantpt(m.get()) != 0 || unlockpt(m.get()) != 0) {
            error = errno_text("posix_openpt");
            return false;
        }
        const char* name = ptsname(m.get());
        if (!name) {
            error = errno_text("ptsname");
            return false;
        }
        make_raw(m.get());
        fcntl(m.get(), F_SETFD, FD_CLOEXEC);
        ports_.push_back({std::move(m), name, false, {}});
    }
    return true;
}

bool IoLoop::add_link(std::size_t port, const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
        fs::remove(p, ec);
    } else if (fs::exists(fs::symlink_status(p, ec))) {
        error = path + " exists and is not a symlink";
        return false;
    }
    if (symlink(ports_.at(port).slave.c_str(), path.c_str()) != 0) {
        error = errno_text(("symlink " + path).c_str());
        return false;
    }
    links_.emplace_back(port, path);
    return true;
}

bool IoLoop::open_control_socket(const std::string& path, std::string& error) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        error = "control socket path too long";
        return false;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = errno_text("socket");
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str()); // a socket left by an earlier run
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd.get(), 8) != 0) {
        error = errno_text(("bind " + path).c_str());
        return false;
    }
    control_listen_ = std::move(fd);
    control_path_ = path;
    return true;
}

bool IoLoop::open_control_fifo(const std::string& path, std::string& error) {
    struct stat sb {};
    if (stat(path.c_str(), &sb) != 0) {
        if (mkfifo(path.c_str(), 0600) != 0) {
            error = errno_text(("mkfifo " + path).c_str());
            return false;
        }
        fifo_created_ = true;
    } else if (!S_ISFIFO(sb.st_mode)) {
        error = path + " exists and is not a FIFO";
        return false;
    }
    fifo_.fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    // Holding a writer ourselves keeps the FIFO from reporting end-of-file between writers.
    fifo_keepalive_.reset(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fifo_.fd || !fifo_keepalive_) {
        error = errno_text(("open " + path).c_str());
        return false;
    }
    fifo_path_ = path;
    return true;
}

void IoLoop::trace(std::size_t port, const char* dir, std::string_view bytes) {
    if (!trace_ || bytes.empty()) return;
    std::fprintf(trace_, "%zu %s %s\n", port, dir, escape_bytes(bytes).c_str());
    std::fflush(trace_);
}

void IoLoop::run_once(int timeout_ms) {
    std::vector<pollfd> fds;
    std::vector<std::size_t> port_of;
    bool any_gone = false;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].client_gone) {
            any_gone = true;
            continue;
        }
        short events = POLLIN;
        if (!ports_[i].pending.empty()) events |= POLLOUT;
        fds.push_back({ports_[i].master.get(), events, 0});
        port_of.push_back(i);
    }
    std::size_t control_at = fds.size();
    if (control_listen_) fds.push_back({control_listen_.get(), POLLIN, 0});
    std::size_t clients_at = fds.size();
    for (auto& c : control_clients_) fds.push_back({c.fd.get(), POLLIN, 0});
    std::size_t fifo_at = fds.size();
    if (fifo_.fd) fds.push_back({fifo_.fd.get(), POLLIN, 0});

    // Ports whose client went away are looked at again every 50 ms.
    int wait = any_gone ? std::min(timeout_ms, 50) : timeout_ms;
    int n = poll(fds.data(), fds.size(), wait);
    if (n < 0 && errno != EINTR) return;

    for (std::size_t k = 0; k < port_of.size() && n > 0; ++k) {
        if (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) read_port(port_of[k]);
    }
    if (control_listen_ && n > 0 && (fds[control_at].revents & POLLIN)) accept_control();
    for (std::size_t k = 0; k < control_clients_.size() && n > 0; ++k) {
        if (clients_at + k < fifo_at && fds[clients_at + k].revents & (POLLIN | POLLHUP))
            read_control(control_clients_[k], true);
    }
    std::erase_if(control_clients_, [](const ControlClient& c) { return !c.fd; });
    if (fifo_.fd && n > 0 && (fds[fifo_at].revents & POLLIN)) read_control(fifo_, false);

    for (std::size_t i = 0; i < ports_.size(); ++i)
        if (ports_[i].client_gone) check_reopened(i);

    modem_.tick(now_ms());
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        std::string out = modem_.take_output(i);
        if (ports_[i].client_gone) continue; // nobody listens: a real line drops it too
        trace(i, "<", out);
        ports_[i].pending += out;
        if (ports_[i].pending.size() > kPendingMax)
            ports_[i].pending.erase(0, ports_[i].pending.size() - kPendingMax);
        flush_port(i);
    }
}

void IoLoop::read_port(std::size_t i) {
    PtyPort& p = ports_[i];
    char buf[4096];
    for (;;) {
        ssize_t r = ::read(p.master.get(), buf, sizeof buf);
        if (r > 0) {
            std::string_view bytes(buf, static_cast<std::size_t>(r));
            trace(i, ">", bytes);
            modem_.feed(i, bytes, now_ms());
            continue;
        }
        if (r < 0 && (errno == EAGAIN || errno == EINTR)) return;
        // EIO: the last client closed the slave. Hang up and wait for the next open.
        p.client_gone = true;
        p.pending.clear();
        modem_.port_closed(i);
        make_raw(p.master.get());
        if (trace_) {
            std::fprintf(trace_, "%zu closed\n", i);
            std::fflush(trace_);
        }
        return;
    }
}

void IoLoop::check_reopened(std::size_t i) {
    pollfd pfd{ports_[i].master.get(), 0, 0};
    if (poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP)) return;
    ports_[i].client_gone = false;
    modem_.take_output(i); // whatever piled up while closed is stale
    if (trace_) {
        std::fprintf(trace_, "%zu opened\n", i);
        std::fflush(trace_);
    }
}

void IoLoop::flush_port(std::size_t i) {
    PtyPort& p = ports_[i];
    while (!p.pending.empty()) {
        ssize_t w = ::write(p.master.get(), p.pending.data(), p.pending.size());
        if (w <= 0) return; // full (EAGAIN) or closed: try again next round
        p.pending.erase(0, static_cast<std::size_t>(w));
    }
}

void IoLoop::accept_control() {
    for (;;) {
        int fd = accept4(control_listen_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        control_clients_.push_back({UniqueFd(fd), {}});
    }
}

void IoLoop::read_control(ControlClient& c, bool reply) {
    char buf[1024];
    for (;;) {
        ssize_t r = ::read(c.fd.get(), buf, sizeof buf);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) {
            if (reply) c.fd.reset();
            break;
        }
        if (r < 0) break;
        c.in.append(buf, static_cast<std::size_t>(r));
        if (c.in.size() > kControlLineMax && c.in.find('\n') == std::string::npos) c.in.clear();
    }
    std::size_t nl;
    while ((nl = c.in.find('\n')) != std::string::npos) {
        std::string line = c.in.substr(0, nl);
        c.in.erase(0, nl + 1);
        ControlResult res = run_control(modem_, line, now_ms());
        if (trace_) {
            std::fprintf(trace_, "control %s -> %s\n", line.c_str(), res.reply.c_str());
            std::fflush(trace_);
        }
        if (reply && c.fd) {
            std::string text = res.reply + "\n";
            if (::send(c.fd.get(), text.data(), text.size(), MSG_NOSIGNAL) < 0) c.fd.reset();
        }
        if (res.quit) quit_ = true;
    }
}

void IoLoop::cleanup() {
    for (auto& [port, path] : links_) {
        char target[4096];
        ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        // Only remove a link that still points at our pty; another instance may own it now.
        if (n > 0 && std::string_view(target, static_cast<std::size_t>(n)) == ports_[port].slave)
            ::unlink(path.c_str());
    }
    links_.clear();
    if (!control_path_.empty()) ::unlink(control_path_.c_str());
    control_path_.clear();
    if (fifo_created_) ::unlink(fifo_path_.c_str());
    fifo_created_ = false;
}

} // namespace modemsim
