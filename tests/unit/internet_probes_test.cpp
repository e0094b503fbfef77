// The HTTP client, the probes and the compression switch-off against loopback peers.
#include "connection/compression_switch.h"
#include "connection/internet_probes.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "test_support.h"

#include <atomic>
#include <poll.h>
#include <thread>

namespace {

std::string base64(const std::string& in) {
    std::vector<char> b(in.size() * 4 / 3 + 5);
    memcpy(b.data(), in.c_str(), in.size() + 1);
    iz__base64(b.data());
    return b.data();
}

class Probes : public ::testing::Test {
  protected:
    void SetUp() override { fresh_record(); }
    InTempDir tmp;
};

} // namespace

TEST(ProbesPure, Base64UrlsAndRequests) {
    // Pairs of a text and its encoding.
    const std::string b64[] = {"",     "",         "f",      "Zg==",     "fo",           "Zm8=",
                               "foob", "Zm9vYg==", "foobar", "Zm9vYmFy", "\xff\xfe\x01", "//4B"};
    for (size_t i = 0; i < std::size(b64); i += 2) EXPECT_EQ(base64(b64[i]), b64[i + 1]);
    std::string host, path;
    int port;
    ASSERT_TRUE(iz__splitUrl("http://speed.example/cgi/set?x=1", &host, &port, &path));
    EXPECT_EQ(host + ":" + std::to_string(port) + "/" + path, "speed.example:80/cgi/set?x=1");
    ASSERT_TRUE(iz__splitUrl("127.0.0.1:8080/a", &host, &port, &path));
    EXPECT_EQ(port, 8080);
    EXPECT_FALSE(iz__splitUrl("http://host:99999/", &host, &port, &path));
    EXPECT_FALSE(iz__splitUrl("http:///path", &host, &port, &path));
    ASSERT_TRUE(iz__splitUrl(("h/" + std::string(400, 'p')).c_str(), &host, &port, &path));
    EXPECT_EQ(path.size(), 258u) << "the address is cut at 260 characters";
}

TEST_F(Probes, LongCredentialsAreEncodedAndThePasswordIsNeverLogged) {
    std::string user(600, 'u'), pass(700, 'p');
    std::string r = iz__request("h", "", user.c_str(), pass.c_str());
    std::string cred = base64(user + ":" + pass);
    EXPECT_NE(r.find("Authorization: Basic " + cred + "\r\n\r\n"), std::string::npos);
    std::string log = read_file("servilog.txt");
    EXPECT_EQ(log.find("ppppp"), std::string::npos);
    EXPECT_EQ(log.find(cred), std::string::npos);
}

TEST_F(Probes, PageInPiecesUntilTwoSecondsOfSilence) {
    LoopbackServer s([](int c) {
        say(c, "HTTP/1.1 200 OK\r\n\r\nfirst ");
        msleep(800);
        say(c, "second ");
        msleep(1200);
        say(c, "third");
        msleep(3500);
        say(c, "after");
    });
    char* page = iz_httpget(s.url("page").c_str(), "me", "secret", 8000, 0, false);
    EXPECT_STREQ(page, "HTTP/1.1 200 OK\r\n\r\nfirst second third");
    free(page);
}

TEST_F(Probes, NoAnswerNoServerOrNoRequestGiveNull) {
    LoopbackServer silent([](int) { msleep(1500); });
    EXPECT_EQ(iz_httpget(silent.url("").c_str(), nullptr, nullptr, 1000, 0, false), nullptr);
    std::string refused;
    {
        LoopbackServer gone([](int) {});
        refused = gone.url("");
    }
    EXPECT_EQ(iz_httpget(refused.c_str(), nullptr, nullptr, 1, 0, false), nullptr);
    // A request without waiting for its answer still reaches the server.
    LoopbackServer fire([](int c) { say(c, "HTTP/1.1 200 OK\r\n\r\nignored"); });
    EXPECT_EQ(iz_httpget(fire.url("apply.cgi?x=1").c_str(), nullptr, nullptr, 0, 0, false),
              nullptr);
    for (int i = 0; i < 100 && fire.requests().empty(); i++) msleep(50);
    ASSERT_EQ(fire.requests().size(), 1u);
    EXPECT_EQ(fire.requests()[0].rfind("GET /apply.cgi?x=1 HTTP/1.1\r\n", 0), 0u);
}

TEST_F(Probes, PingRunsOnlyWithAPlainAddress) {
    FakeCommands fake(tmp.path(), {"ping"}, "1 packets transmitted, 1 received, 0% packet loss");
    for (const char* bad : {"127.0.0.1; touch hacked", "127.0.0.1 -f", "$(reboot)", ""})
        EXPECT_FALSE(iz_ping(bad, 1000)) << bad;
    EXPECT_EQ(fake.calls(), "") << "nothing reached the shell";
    EXPECT_TRUE(iz_ping("127.0.0.1", 600));
    EXPECT_TRUE(iz_ping("host_1-a.example", 200000));
    EXPECT_EQ(fake.calls(),
              "ping -q -c 1 -s 1 -W 1 127.0.0.1\nping -q -c 1 -s 1 -W 99 host_1-a.example\n");
}

TEST_F(Probes, PauseAddressesHoldTheProbeCursor) {
    SavedValues keep(iz__dnsneu, cn_dnsbremse);
    iz__dnsneu = true;
    // "999.3": three calls without probing; the brake holds the cursor for the first two.
    for (int i = 0; i < 3; i++) {
        EXPECT_FALSE(iz_dnsecho("999.3", false));
        EXPECT_EQ(cn_dnsbremse, i < 2) << i;
    }
    // "999.0" and "999.1" (and values out of range) stop the probing on that entry for good.
    for (const char* stop : {"999.0", "999.1", "999.250"})
        for (int i = 0; i < 4; i++) EXPECT_TRUE(!iz_dnsecho(stop, true) && cn_dnsbremse) << stop;
    EXPECT_TRUE(iz_ipok("999.7"));
    EXPECT_FALSE(iz_ipok("999.x") || iz_ipok("9999.1") || iz_dnsecho("", true));
}

// Run by test_probes.sh without and with a loopback name server.
TEST(ProbesInSandbox, DnsProbeCountsANonexistentNameAsReached) {
    const char* dns = getenv("MAVLYN_TEST_DNS");
    if (!getenv("SB") || !dns) GTEST_SKIP() << "runs inside tests/e2e/test_probes.sh";
    SavedValues keep(iz__dnsneu, cn_dnsbremse);
    iz__dnsneu = true;
    const bool server = strcmp(dns, "server") == 0;
    EXPECT_EQ(iz_dnsecho("999.111", true), server);
    EXPECT_FALSE(server && cn_dnsbremse);
}

TEST_F(Probes, CompressionSwitchThatHangsEndsOnRequest) {
    onlinezeit = 5;
    bool confirmed = false, failed = false;
    // A listener whose queue is full leaves further connection requests unanswered.
    int l = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(l, reinterpret_cast<sockaddr*>(&a), len), 0);
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
        auto short_wait = [](int) { return msleep(100), !programmende_gewuenscht; };
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
