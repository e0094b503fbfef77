// A small TCP server on 127.0.0.1 for tests of the program's web clients: one connection at
// a time, the first chunk of each request recorded, serve() answers on the client socket.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class LoopbackServer {
  public:
    // serve() gets each client socket, and in the second form the request that arrived first.
    explicit LoopbackServer(std::function<void(int)> serve)
        : LoopbackServer([serve](int c, const std::string&) { serve(c); }) {}
    explicit LoopbackServer(std::function<void(int, const std::string&)> serve)
        : serve_(std::move(serve)) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), len) != 0) std::abort();
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listen_, 4);
        thread_ = std::thread([this] {
            for (int c; !stop_ && (c = accept(listen_, nullptr, nullptr)) >= 0; close(c)) {
                char req[4096];
                ssize_t n = recv(c, req, sizeof req, 0);
                std::string text(req, n > 0 ? static_cast<size_t>(n) : 0);
                {
                    std::lock_guard<std::mutex> l(m_);
                    requests_.push_back(text);
                }
                serve_(c, text);
            }
        });
    }
    ~LoopbackServer() {
        stop_ = true;
        shutdown(listen_, SHUT_RDWR);
        close(listen_);
        thread_.join();
    }
    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> l(m_);
        return requests_;
    }

  private:
    std::mutex m_;
    std::vector<std::string> requests_;
    std::function<void(int, const std::string&)> serve_;
    int listen_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

inline void say(int fd, const std::string& s) {
    (void)!send(fd, s.data(), s.size(), MSG_NOSIGNAL);
}
