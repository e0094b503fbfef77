// The compression switch-off: passes against a proxy of the test's own on loopback, with the
// waits shortened. A confirming speed-manager page, and the proxy's side of the control
// protocol byte by byte, are followed through the real program by test_router_pages.sh and
// test_router.sh.
#include "connection/compression_switch.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "test_support.h"

#include <atomic>
#include <poll.h>
#include <thread>

namespace {

// A wait that only gives the loopback peers time to answer.
bool short_wait(int) {
    msleep(100);
    return !programmende_gewuenscht;
}

class Compression : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_record();
        onlinezeit = 5;
    }
    InTempDir tmp;
    bool confirmed = false, failed = false;
    const kd__endpoints nobody{"127.0.0.1", 1, "127.0.0.1", 1};
};

} // namespace

TEST_F(Compression, ProxyThatClosesAtOnceOrIsMissing) {
    LoopbackServer web([](int) {});
    LoopbackServer proxy([](int) {}); // closes right after the first bytes
    EXPECT_TRUE(kd__pass({"127.0.0.1", web.port(), "127.0.0.1", proxy.port()}, short_wait,
                         &confirmed, &failed));
    EXPECT_TRUE(failed);
    failed = false;
    EXPECT_TRUE(kd__pass(nobody, short_wait, &confirmed, &failed));
    EXPECT_FALSE(failed) << "no connection, no protocol step to fail";
}

TEST_F(Compression, WaitsPassAtOnceOfflineAndEndOnRequest) {
    onlinezeit = 0;
    EXPECT_TRUE(kd__onlinewait(480));
    onlinezeit = 5;
    programmende_gewuenscht = true;
    EXPECT_FALSE(kd__onlinewait(480));
    EXPECT_FALSE(kd__pass(nobody, kd__onlinewait, &confirmed, &failed));
}

TEST_F(Compression, ConnectionThatHangsEndsOnRequest) {
    // A listener whose queue is full leaves further connection requests unanswered.
    int l = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
    listen(l, 0);
    std::vector<int> accepted;
    for (int i = 0; i < 2; i++) {
        accepted.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(accepted.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::atomic<bool> done{false};
    std::thread pass([&] {
        kd__endpoints e{"127.0.0.1", ntohs(a.sin_port), "127.0.0.1", ntohs(a.sin_port)};
        EXPECT_FALSE(kd__pass(e, short_wait, &confirmed, &failed));
        done = true;
    });
    msleep(500);
    programmende_gewuenscht = true;
    // Room again: a connection still trying would now come through and send its request.
    for (pollfd p{l, POLLIN, 0}; !done || poll(&p, 1, 0) > 0;)
        if (poll(&p, 1, 100) > 0) accepted.push_back(accept(l, nullptr, nullptr));
    pass.join();
    std::string got;
    for (int c : accepted) {
        char b[512];
        ssize_t n = recv(c, b, sizeof b, MSG_DONTWAIT);
        if (n > 0) got.append(b, static_cast<size_t>(n));
        close(c);
    }
    EXPECT_EQ(got, "") << "nothing sent after the end request";
    close(l);
}
