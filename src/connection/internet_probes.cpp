#include "connection/internet_probes.h"

#include "foundation/handles.h"

#include "connection/compression_switch.h"
#include "core/program_services.h"
#include "core/session_state.h"
#include "core/user_contact.h"
#include "foundation/logging.h"
#include "foundation/utilities.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <glib.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

bool iz__dnsneu = true;
bool cn_dnsbremse = false;
bool iz_kdfehler = false;

namespace {

const char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool is_address_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

std::string base36(unsigned v) {
    const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    do {
        s.insert(s.begin(), digits[v % 36]);
        v /= 36;
    } while (v);
    return s;
}

// Opens a non-blocking TCP connection and waits up to ms for it; -1 on failure.
int connect_within(const std::string& host, int port, int ms) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* ai = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &ai) != 0 || !ai) {
        lo_slog("HTTP GET URL: host not found\n", "", -1);
        return -1;
    }
    Fd s;
    s.fd = socket(ai->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s.fd < 0) {
        freeaddrinfo(ai);
        return -1;
    }
    fcntl(s.fd, F_SETFL, fcntl(s.fd, F_GETFL) | O_NONBLOCK);
    int r = connect(s.fd, ai->ai_addr, ai->ai_addrlen);
    freeaddrinfo(ai);
    if (r < 0 && errno != EINPROGRESS && errno != EWOULDBLOCK) {
        lo_slog("HTTP GET URL: not EWOULDBLOCK and not EINPROGRESS\n", "", -1);
        return -1;
    }
    fd_set w;
    FD_ZERO(&w);
    FD_SET(s.fd, &w);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    int n = select(s.fd + 1, nullptr, &w, nullptr, &tv);
    if (n < 0) {
        lo_slog("HTTP GET URL: select failed\n", "", -1);
        return -1;
    }
    if (n == 0) {
        lo_slog("HTTP GET URL: timeout\n", "", -1);
        return -1;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
        lo_slog("HTTP GET URL: connection failed\n", "", -1);
        return -1;
    }
    int fd = s.fd;
    s.fd = -1;
    return fd;
}

bool send_all(int fd, const std::string& text) {
    size_t done = 0;
    for (int tries = 0; done < text.size() && tries < 100; tries++) {
        ssize_t w = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (w > 0)
            done += static_cast<size_t>(w);
        else if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else
            msleep(10);
    }
    return done == text.size();
}

// Receives in rounds of 100 ms; 2 s of silence after data, or the server closing, end the
// transfer.
std::vector<char> receive(int fd, int ms) {
    std::vector<char> buf;
    size_t got = 0;
    int rounds = (ms + 99) / 100;
    while (rounds-- > 0 && !programmende_gewuenscht && got < iz__MAXBYTES) {
        msleep(100);
        if (buf.size() - got < 10000) buf.resize(got + 40000 + 10);
        char probe;
        ssize_t peeked = recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0) break; // the server closed: nothing more can come
        if (peeked < 0) continue;
        size_t room = buf.size() - got - 10;
        if (room > iz__MAXBYTES - got) room = iz__MAXBYTES - got;
        ssize_t n = recv(fd, buf.data() + got, room, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<size_t>(n);
            rounds = 20;
        }
    }
    msleep(100);
    buf.resize(got);
    return buf;
}

char* get_once(const char* url, const char* user, const char* pass, int ms, bool meld) {
    lo_slog("HTTP GET URL: %s\n", url, -1);
    std::string host, path;
    int port;
    if (!iz__splitUrl(url, &host, &port, &path)) return nullptr;
    Fd s;
    // A request sent without waiting for its answer still needs its connection.
    s.fd = connect_within(host, port, ms > 0 ? ms : 1000);
    if (s.fd < 0) return nullptr;
    if (meld) cs_show(21);
    if (!send_all(s.fd, iz__request(host, path, user, pass))) return nullptr;
    std::vector<char> body = receive(s.fd, ms);
    if (body.empty()) return nullptr;
    char* text = static_cast<char*>(malloc(body.size() + 1));
    if (!text) return nullptr;
    memcpy(text, body.data(), body.size());
    text[body.size()] = 0;
    return text;
}

} // namespace

int iz__timeoutms(int timeout) {
    if (timeout == 1) return 2000;
    if (timeout == 2) return 8000;
    return timeout;
}

bool iz__splitUrl(const char* url, std::string* host, int* port, std::string* path) {
    if (!url) return false;
    std::string u(url);
    if (u.compare(0, 7, "http://") == 0) u.erase(0, 7);
    if (u.size() > 260) u.resize(260);
    size_t slash = u.find('/');
    *host = u.substr(0, slash);
    *path = slash == std::string::npos ? "" : u.substr(slash + 1);
    *port = 80;
    size_t colon = host->find(':');
    if (colon != std::string::npos) {
        char* end = nullptr;
        long p = strtol(host->c_str() + colon + 1, &end, 10);
        if (!end || *end || p < 1 || p > 65535) return false;
        *port = static_cast<int>(p);
        host->resize(colon);
    }
    return !host->empty();
}

std::string iz__request(const std::string& host, const std::string& path, const char* user,
                        const char* pass) {
    std::string r = "GET /" + path + " HTTP/1.1\r\nHost: " + host + "\r\n";
    if (!user || !pass || !user[0] || !pass[0]) return r + "\r\n";
    std::string credentials = std::string(user) + ":" + pass;
    // The password never reaches the log, in plain text nor encoded.
    std::string shown = "Authorization: Basic " + std::string(user) + ":xxxx";
    lo_slog("HTTP %s\n", shown.c_str(), -1);
    std::vector<char> b(credentials.size() * 4 / 3 + 8);
    memcpy(b.data(), credentials.c_str(), credentials.size() + 1);
    iz__base64(b.data());
    lo_slog("HTTP %s\n", "Authorization: Basic xxxx", -1);
    return r + "Authorization: Basic " + b.data() + "\r\n\r\n";
}

std::string iz__frameaddress(const char* body) {
    const char* mark = "<frame src=\"http://";
    const char* p = body ? strstr(body, mark) : nullptr;
    if (!p) return "";
    p += strlen("<frame src=\"");
    const char* q = strchr(p, '"');
    return q ? std::string(p, static_cast<size_t>(q - p)) : "";
}

char* iz_httpget(const char* url, const char* user, const char* pass, int timeout, int frame,
                 bool meld) {
    if (timeout < 0 || !url) return nullptr;
    int ms = iz__timeoutms(timeout);
    // Following a frame, the credentials are not sent.
    bool auth = frame != 1;
    char* body = get_once(url, auth ? user : nullptr, auth ? pass : nullptr, ms, meld);
    if (frame != 1 || !body) return body;
    std::string next = iz__frameaddress(body);
    if (next.empty()) return body;
    free(body);
    return get_once(next.c_str(), nullptr, nullptr, ms, meld);
}

void iz_httpbrowse(const char* url) {
    if (!url || !url[0]) return;
    // Started without a shell, so nothing in the address is run as a command.
    gchar* argv[] = {const_cast<gchar*>("firefox"), const_cast<gchar*>(url), nullptr};
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                       &error)) {
        lo_slog("Cannot start the web browser: %s\n", error ? error->message : "", -1);
        if (error) g_error_free(error);
    }
}

bool iz__addressok(const char* ip) {
    if (!ip || !ip[0]) return false;
    for (const char* p = ip; *p; p++)
        if (!is_address_char(*p)) return false;
    return true;
}

int iz__pingseconds(int waittime) {
    int w = (max(waittime, 1000) + 800) / 1000;
    return w > 99 ? 99 : w;
}

bool iz_ping(const char* ip, int waittime) {
    // The address reaches the shell, so it is checked before anything runs.
    static thread_local char lastchecked[100] = "";
    if (!ip || !ip[0]) return false;
    if (strcmp(ip, lastchecked) != 0) {
        if (!iz__addressok(ip) || strlen(ip) >= sizeof lastchecked) return false;
        strMcpy(lastchecked, ip);
    }
    std::string cmd =
        "ping -q -c 1 -s 1 -W " + std::to_string(iz__pingseconds(waittime)) + " " + ip + " 2>&1";
    Pipe p;
    p.f = popen(cmd.c_str(), "r");
    if (!p.f) return false;
    char line[136];
    while (fgets(line, sizeof line, p.f))
        if (strstr(line, " 0% packet loss")) return true;
    return false;
}

bool iz_ipok(const char* ip) {
    return ip && strncmp(ip, "999.", 4) == 0 && ip[4] >= '0' && ip[4] <= '9';
}

int iz__pausenumber(const char* ip) {
    long n = strtol(ip + 4, nullptr, 10);
    if (n == 111) return 111;
    return n < 0 || n > 99 ? 0 : static_cast<int>(n);
}

std::string iz__randomhost(unsigned (*next)()) {
    std::string h = "www.";
    h += static_cast<char>('a' + next() % 26);
    const char* seps[] = {"0", "1", ""};
    for (const char* sep : seps) h += base36(36 + next() % (1295 - 36 + 1)) + sep;
    return h + ".com";
}

namespace {

unsigned next_random() {
    return static_cast<unsigned>(g_random_int());
}

// The DNS server was reached when it answered, even that the name does not exist.
bool dns_reached() {
    g_random_set_seed(static_cast<guint32>(time(nullptr)));
    std::string host = iz__randomhost(next_random);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* ai = nullptr;
    int r = getaddrinfo(host.c_str(), nullptr, &hints, &ai);
    if (ai) freeaddrinfo(ai);
    return r == 0 || r == EAI_NONAME;
}

} // namespace

bool iz_dnsecho(const char* ip, bool waitforanswer) {
    static int pause = 0;
    if (!ip || !ip[0]) return false;
    lo_slog("Ping: %s\n", ip, -1);
    if (iz__dnsneu) {
        pause = 0;
        iz__dnsneu = false;
    }
    cn_dnsbremse = false;
    if (pause > 0) {
        if (--pause > 0) cn_dnsbremse = true;
        return false;
    }
    if (!iz_ipok(ip)) return iz_ping(ip, waitforanswer ? 3000 : 600);
    int n = iz__pausenumber(ip);
    if (n == 111) return dns_reached();
    if (n > 0) pause = n - 1;
    cn_dnsbremse = true;
    return false;
}

void iz__base64(char* t) {
    size_t n = strlen(t);
    size_t out = (n + 2) / 3 * 4;
    t[out] = 0;
    // From the end backwards, so the text is not overwritten before it is read.
    size_t groups = (n + 2) / 3;
    for (size_t g = groups; g-- > 0;) {
        size_t i = g * 3;
        unsigned a = static_cast<unsigned char>(t[i]);
        unsigned b = i + 1 < n ? static_cast<unsigned char>(t[i + 1]) : 0;
        unsigned c = i + 2 < n ? static_cast<unsigned char>(t[i + 2]) : 0;
        unsigned v = (a << 16) | (b << 8) | c;
        char* o = t + g * 4;
        o[0] = base64_alphabet[(v >> 18) & 63];
        o[1] = base64_alphabet[(v >> 12) & 63];
        o[2] = i + 1 < n ? base64_alphabet[(v >> 6) & 63] : '=';
        o[3] = i + 2 < n ? base64_alphabet[v & 63] : '=';
    }
}

void iz_ini() {
    iz__dnsneu = true;
    cn_dnsbremse = false;
    kd_start();
}

void iz_end() {}
