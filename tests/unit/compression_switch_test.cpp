// The compression switch-off: its control packets byte for byte, and whole passes against a
// speed-manager page and a proxy of the test's own on loopback, with the waits shortened.
#include "config/config_record.h"
#include "connection/compression_switch.h"
#include "control/session_state.h"
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

struct Record {
    unsigned tag;
    std::string value;
};

// Splits a packet into its header fields and records; fails the test on a bad layout.
std::vector<Record> records_of(const unsigned char* p, size_t n) {
    std::vector<Record> out;
    size_t at = 8;
    while (at + 4 <= n) {
        unsigned tag = p[at] << 8 | p[at + 1];
        size_t len = static_cast<size_t>(p[at + 2] << 8 | p[at + 3]);
        EXPECT_LE(at + 4 + len, n);
        out.push_back({tag, std::string(reinterpret_cast<const char*>(p) + at + 4, len)});
        at += 4 + len;
    }
    EXPECT_EQ(at, n) << "records fill the packet exactly";
    return out;
}

// A wait that only gives the loopback peers time to answer.
bool short_wait(int) {
    msleep(100);
    return !programmende_gewuenscht;
}

// Everything a client sends on one connection, until it closes.
std::string read_until_closed(int c, const std::string& first) {
    std::string all = first;
    for (;;) {
        pollfd p{c, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return all;
        char b[512];
        ssize_t n = recv(c, b, sizeof b, 0);
        if (n <= 0) return all;
        all.append(b, static_cast<size_t>(n));
    }
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

TEST(CompressionPackets, ClientDescriptionByteForByte) {
    unsigned char d[kd__DESCRIPTIONLEN];
    memset(d, 0xAA, sizeof d);
    kd__clientdescription(d);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 8), std::string("bmic\x02\x01\x01\x01", 8));
    std::vector<Record> r = records_of(d, sizeof d);
    std::vector<unsigned> tags;
    for (auto& x : r) tags.push_back(x.tag);
    EXPECT_EQ(tags, (std::vector<unsigned>{0x8000, 0x1000, 0x1001, 0x8004, 0x8005, 0x8001, 0x8006,
                                           0x8007, 0x5003, 0x5001, 0x5002, 0x5004, 0x5000, 0x9001,
                                           0x9000, 0x300C, 0x300B, 0x300A, 0x3009, 0x3008, 0x3007,
                                           0x3006, 0x3003, 0x3002, 0x3001, 0x4000}));
    ASSERT_EQ(r.size(), 26u);
    EXPECT_EQ(r[0].value.size(), 36u);
    EXPECT_EQ(r[0].value[8], '-') << "a GUID in text form";
    EXPECT_EQ(r[1].value, "2.1.6");
    EXPECT_EQ(r[2].value, "1");
    EXPECT_EQ(r[3].value, "1024");
    EXPECT_EQ(r[4].value, "768");
    EXPECT_EQ(r[5].value, "Windows XP");
    EXPECT_EQ(r[6].value, "IE");
    EXPECT_EQ(r[7].value, "Outlook Express");
    EXPECT_EQ(r[8].value, std::string("\x20\0\0\0", 4));
    for (int i : {9, 10, 11}) EXPECT_EQ(r[i].value, std::string("\x20\x02\0\0", 4));
    EXPECT_EQ(r[12].value, std::string("\x20\x03\0\0\x20\x01\0\0", 8));
    EXPECT_EQ(r[13].value, std::string("\x21\0\0\0\0", 5));
    EXPECT_EQ(r[14].value, std::string("\x21", 1) + std::string(8, '\0'));
    for (int i = 15; i < 23; i++) EXPECT_EQ(r[i].value, "0");
    EXPECT_EQ(r[23].value, "100");
    EXPECT_EQ(r[24].value, "100");
    EXPECT_EQ(r[25].value.size(), 17u);
    EXPECT_EQ(r[25].value[0], '\x01');

    unsigned char k[kd__KEEPALIVELEN];
    kd__keepalive(k);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(k), 8), std::string("bmic\x02\x03\x00\x08", 8));
}

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

TEST_F(Compression, ProxyProtocolFailsAfterTwoSilentReads) {
    LoopbackServer web([](int c) { say(c, "HTTP/1.0 404 Not Found\r\n\r\n"); });
    std::string received;
    std::mutex m;
    LoopbackServer proxy([&](int c, const std::string& first) {
        say(c, std::string("bmic\x02\x02\x00\x08", 8)); // one answer, then silence
        std::string all = read_until_closed(c, first);
        std::lock_guard<std::mutex> l(m);
        received = all;
    });
    bool confirmed = false, failed = false;
    EXPECT_TRUE(kd__pass(at(web, proxy), short_wait, &confirmed, &failed));
    EXPECT_FALSE(confirmed);
    EXPECT_TRUE(failed);
    msleep(200);
    std::lock_guard<std::mutex> l(m);
    unsigned char d[kd__DESCRIPTIONLEN], k[kd__KEEPALIVELEN];
    kd__clientdescription(d);
    kd__keepalive(k);
    std::string keep(reinterpret_cast<char*>(k), sizeof k);
    EXPECT_EQ(received, std::string(reinterpret_cast<char*>(d), sizeof d) + keep + keep)
        << "description, keep-alive after the answer, keep-alive after the first silence";
    std::string log = read_file("servilog.txt");
    for (const char* line : {"KD 1.", "KD Sending packet 1.", "KD 2.", "KD 7.",
                             "KD 8 bytes receiced.", "KD Sending packet 2.", "KD End."})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
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
