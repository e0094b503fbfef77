#include "connection/compression_switch.h"

#include "foundation/handles.h"

#include "connection/internet_probes.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// The operator's endpoints. The speed-manager server is reached by name, the proxy by its
// address inside the operator's network.
const kd__endpoints kd__operator = {"speedmanager.vodafone.de", 80, "10.192.0.41", 4201};

namespace {

const size_t receive_size = 20000;

// Writes one record: tag, value length (both big-endian) and the value.
unsigned char* put_record(unsigned char* p, unsigned tag, const void* value, size_t len) {
    *p++ = static_cast<unsigned char>(tag >> 8);
    *p++ = static_cast<unsigned char>(tag);
    *p++ = static_cast<unsigned char>(len >> 8);
    *p++ = static_cast<unsigned char>(len);
    memcpy(p, value, len);
    return p + len;
}

unsigned char* put_header(unsigned char* p, int type, size_t total) {
    memcpy(p, "bmic", 4);
    p[4] = 2;
    p[5] = static_cast<unsigned char>(type);
    p[6] = static_cast<unsigned char>(total >> 8);
    p[7] = static_cast<unsigned char>(total);
    return p + 8;
}

bool thread_end() {
    return programmende_gewuenscht || th_queryterminate();
}

// The operator's servers may sit behind a network that drops packets: a connection is given
// up after this long, and at once when the thread is to end.
const int connect_timeout_ms = 10000;

// A socket connected to host:port, or -1.
int connect_to(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* ai = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &ai) != 0 || !ai) return -1;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bool ok = fd >= 0 && (connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 || errno == EINPROGRESS);
    freeaddrinfo(ai);
    for (int waited = 0; ok; waited += 500) {
        pollfd p{fd, POLLOUT, 0};
        int r = poll(&p, 1, 500);
        if (r > 0) {
            int err = 0;
            socklen_t len = sizeof err;
            ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
            break;
        }
        ok = (r == 0 || errno == EINTR) && waited < connect_timeout_ms && !thread_end();
    }
    if (!ok) {
        if (fd >= 0) close(fd);
        return -1;
    }
    // Blocking from here on, but a send never waits longer than a few seconds.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

bool send_all(int fd, const void* p, size_t n) {
    return send(fd, p, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

// Whatever has arrived, in pieces of up to 20,000 bytes; the bytes read in all.
long read_available(int fd, std::vector<char>& buf) {
    long total = 0;
    for (;;) {
        ssize_t n = recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (n <= 0) return total;
        lo_slog(T("KD Empfange %s%li Bytes.\n", "KD %s%li bytes receiced.\n"), "", n);
        total += n;
    }
}

// The speed-manager page: "gespeichert" confirms that the compression is off. Returns false
// when the thread is to end; *confirmed stays set once a page confirmed.
bool web_step(const kd__endpoints& at, kd__waitfn wait, std::vector<char>& buf, bool* confirmed) {
    for (;;) {
        Fd s;
        s.fd = connect_to(at.webhost, at.webport);
        if (s.fd < 0) return !thread_end();
        std::string request = "GET " + at.webhost + "/m?s=n\r\n";
        if (!send_all(s.fd, request.data(), request.size())) return !thread_end();
        if (!wait(10)) return false;
        ssize_t n = recv(s.fd, buf.data(), buf.size() - 1, MSG_DONTWAIT);
        buf[n > 0 ? static_cast<size_t>(n) : 0] = 0;
        if (n <= 0 || !strstr(buf.data(), "gespeichert")) return true;
        *confirmed = true;
        lo_slogx("KD thread alive. 5\n", "", -1);
        if (!wait(480)) return false;
        lo_slogx("KD thread alive. 6\n", "", -1);
    }
}

// The proxy's control protocol: a client description, then keep-alives while the proxy
// answers. Two silent reads in a row count as failure.
bool control_step(const kd__endpoints& at, kd__waitfn wait, std::vector<char>& buf, bool* failed) {
    lo_slog("KD 1.\n", "", -1);
    Fd s;
    s.fd = connect_to(at.proxy, at.proxyport);
    if (s.fd < 0) return !thread_end();
    unsigned char description[kd__DESCRIPTIONLEN];
    kd__clientdescription(description);
    lo_slog(T("KD Sende Paket 1.\n", "KD Sending packet 1.\n"), "", -1);
    if (!send_all(s.fd, description, sizeof description)) lo_slog("KD write error P1.\n", "", -1);
    if (!wait(1)) return false;
    lo_slog("KD 2.\n", "", -1);
    lo_slog("KD 7.\n", "", -1);
    int silent = 0;
    for (;;) {
        if (!wait(8)) return false;
        if (read_available(s.fd, buf) == 0) {
            *failed = true;
            if (++silent >= 2) return true;
            if (!wait(60)) return false;
        } else {
            silent = 0;
            lo_slogx("KD thread alive. 7\n", "", -1);
            if (!wait(480)) return false;
            lo_slogx("KD thread alive. 8\n", "", -1);
        }
        unsigned char keepalive[kd__KEEPALIVELEN];
        kd__keepalive(keepalive);
        lo_slog(T("KD Sende Paket 2.\n", "KD Sending packet 2.\n"), "", -1);
        bool sent = send_all(s.fd, keepalive, sizeof keepalive);
        if (!wait(1)) return false;
        if (!sent) return true;
    }
}

bool idle_until_online() {
    for (int round = 1;; round++) {
        bool wanted = MODUS('G');
        if (wanted && onlinezeit != 0) return true;
        if (thread_end()) return false;
        if (!wanted) {
            lo_slogx("KD thread alive.\n", "", -1);
            if (th_msleep(15000)) return false;
        } else {
            if (round % 10 == 0) lo_slogx("KD thread alive. 1\n", "", -1);
            if (th_msleep(1500)) return false;
        }
    }
}

gpointer kd__thread(gpointer) {
    lo_slog("KD Start.\n", "", -1);
    th_reg self = th_register("kdthread");
    bool confirmed = false;
    while (idle_until_online()) {
        bool failed = false;
        if (!kd__pass(kd__operator, kd__onlinewait, &confirmed, &failed)) break;
        if (onlinezeit != 0 && failed) iz_kdfehler = true;
        if (!kd__onlinewait(30) || th_msleep(30000)) break;
    }
    th_unregister(self);
    return nullptr;
}

} // namespace

void kd__clientdescription(unsigned char* out) {
    // Value of record 0x4000: 17 bytes, the first 0x01.
    static const unsigned char v4000[17] = {0x01};
    static const unsigned char v5003[] = {0x20, 0, 0, 0};
    static const unsigned char v5001[] = {0x20, 0x02, 0, 0};
    static const unsigned char v5000[] = {0x20, 0x03, 0, 0, 0x20, 0x01, 0, 0};
    static const unsigned char v9001[] = {0x21, 0, 0, 0, 0};
    static const unsigned char v9000[] = {0x21, 0, 0, 0, 0, 0, 0, 0, 0};
    unsigned char* p = put_header(out, 1, kd__DESCRIPTIONLEN);
    p = put_record(p, 0x8000, "6F9619FF-8B86-D011-B42D-00C04FC964FF", 36);
    p = put_record(p, 0x1000, "2.1.6", 5);
    p = put_record(p, 0x1001, "1", 1);
    p = put_record(p, 0x8004, "1024", 4);
    p = put_record(p, 0x8005, "768", 3);
    p = put_record(p, 0x8001, "Windows XP", 10);
    p = put_record(p, 0x8006, "IE", 2);
    p = put_record(p, 0x8007, "Outlook Express", 15);
    p = put_record(p, 0x5003, v5003, 4);
    p = put_record(p, 0x5001, v5001, 4);
    p = put_record(p, 0x5002, v5001, 4);
    p = put_record(p, 0x5004, v5001, 4);
    p = put_record(p, 0x5000, v5000, 8);
    p = put_record(p, 0x9001, v9001, 5);
    p = put_record(p, 0x9000, v9000, 9);
    for (unsigned tag : {0x300C, 0x300B, 0x300A, 0x3009, 0x3008, 0x3007, 0x3006, 0x3003})
        p = put_record(p, tag, "0", 1);
    p = put_record(p, 0x3002, "100", 3);
    p = put_record(p, 0x3001, "100", 3);
    put_record(p, 0x4000, v4000, 17);
}

void kd__keepalive(unsigned char* out) {
    put_header(out, 3, kd__KEEPALIVELEN);
}

bool kd__onlinewait(int seconds) {
    for (int i = 0; i < seconds; i++) {
        if (thread_end()) return false;
        if (onlinezeit == 0) return true; // offline: the rest of the wait passes at once
        msleep(1000);
    }
    return !thread_end();
}

bool kd__pass(const kd__endpoints& at, kd__waitfn wait, bool* confirmed, bool* failed) {
    std::vector<char> buf(receive_size);
    *failed = false;
    if (!wait(2)) return false;
    lo_slogx("KD thread alive. 3\n", "", -1);
    if (!*confirmed && !web_step(at, wait, buf, confirmed)) return false;
    bool go_on = *confirmed || control_step(at, wait, buf, failed);
    lo_slog(T("KD Ende.\n", "KD End.\n"), "", -1);
    if (!go_on) return false;
    return wait(1);
}

void kd_start() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) return;
    th_create(kd__thread, nullptr);
}
