// The compression switch-off: whole passes against a speed-manager page and a proxy of the
// test's own on loopback, with the waits shortened. (The proxy's side of the control protocol
// is checked byte by byte in the router scenario.)
#include "connection/compression_switch.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "test_support.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// A wait that only gives the loopback peers time to answer.
bool short_wait(int) {
    msleep(100);
    return !programmende_gewuenscht;
}

class Compression : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('P') = 1;
        programmende_gewuenscht = false;
        _de = false;
        onlinezeit = 5;
    }
    void TearDown() override { onlinezeit = 0; }
    kd__endpoints at(const LoopbackServer& web, const LoopbackServer& proxy) {
        return {"127.0.0.1", web.port(), "127.0.0.1", proxy.port()};
    }
    InTempDir tmp;
};

} // namespace

TEST_F(Compression, ConfirmedSpeedManagerPageLeavesTheProxyAlone) {
    int pages = 0;
    std::mutex m;
    LoopbackServer web([&](int c) {
        std::lock_guard<std::mutex> l(m);
        say(c, ++pages == 1 ? "<html>Einstellung gespeichert</html>" : "<html>Fehler</html>");
    });
    LoopbackServer proxy([](int) {});
    kd__endpoints e = at(web, proxy);
    bool confirmed = false, failed = false;
    EXPECT_TRUE(kd__pass(e, short_wait, &confirmed, &failed));
    EXPECT_TRUE(confirmed);
    EXPECT_FALSE(failed);
    ASSERT_EQ(web.requests().size(), 2u) << "asked again after the confirmation";
    EXPECT_EQ(web.requests()[0], "GET 127.0.0.1/m?s=n\r\n");
    EXPECT_TRUE(proxy.requests().empty());
    // Later passes do nothing once the page confirmed.
    EXPECT_TRUE(kd__pass(e, short_wait, &confirmed, &failed));
    EXPECT_EQ(web.requests().size(), 2u);
    EXPECT_NE(read_file("servilog.txt").find("KD End."), std::string::npos);
}

TEST_F(Compression, ProxyThatClosesAtOnceOrIsMissing) {
    LoopbackServer web([](int) {});
    LoopbackServer proxy([](int) {}); // closes right after the first bytes
    bool confirmed = false, failed = false;
    EXPECT_TRUE(kd__pass(at(web, proxy), short_wait, &confirmed, &failed));
    EXPECT_TRUE(failed);
    kd__endpoints none{"127.0.0.1", 1, "127.0.0.1", 1};
    failed = false;
    EXPECT_TRUE(kd__pass(none, short_wait, &confirmed, &failed));
    EXPECT_FALSE(failed) << "no connection, no protocol step to fail";
}

TEST_F(Compression, WaitsPassAtOnceOfflineAndEndOnRequest) {
    onlinezeit = 0;
    EXPECT_TRUE(kd__onlinewait(480));
    onlinezeit = 5;
    programmende_gewuenscht = true;
    EXPECT_FALSE(kd__onlinewait(480));
    bool confirmed = false, failed = false;
    kd__endpoints none{"127.0.0.1", 1, "127.0.0.1", 1};
    EXPECT_FALSE(kd__pass(none, kd__onlinewait, &confirmed, &failed));
    programmende_gewuenscht = false;
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
    std::vector<int> queued;
    for (int i = 0; i < 2; i++) {
        queued.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(queued.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::atomic<bool> done{false};
    std::thread pass([&] {
        bool confirmed = false, failed = false;
        kd__endpoints e{"127.0.0.1", ntohs(a.sin_port), "127.0.0.1", ntohs(a.sin_port)};
        EXPECT_FALSE(kd__pass(e, short_wait, &confirmed, &failed));
        done = true;
    });
    msleep(500);
    programmende_gewuenscht = true;
    // Room again: a connection still trying would now come through and send its request.
    std::vector<int> accepted = queued;
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
    programmende_gewuenscht = false;
}
