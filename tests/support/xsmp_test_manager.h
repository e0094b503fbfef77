// A small X session manager for tests, on libSM's server side. It listens on the ICE local
// transport only (never TCP), talks to the clients that connect, and reports what it sees as
// text lines; a test drives it with text commands. tests/sm builds it as a program.
//
// Events, one line per message: LISTEN <network ids> (at start: the value for SESSION_MANAGER),
// REGISTER <previous id or ->, PROPERTY <name> <first value>, INTERACT_REQUEST <dialog>
// (granted at once unless "hold" was given), INTERACT_DONE <cancel>, SAVE_YOURSELF_DONE
// <success>, CLOSE <reasons>, IOERROR (broken without a close), SYNCED, ERROR <text>.
// Commands for the newest client: "save <shutdown 0|1> <none|errors|any> [fast 0|1]", "hold"
// (grant only on "grant"), "grant", "cancel" (ShutdownCancelled), "die", "sync" (an ICE ping:
// SYNCED follows once every earlier message of the client was reported), "quit".
// A hook command runs through the shell when an event of a given kind arrives, before its line
// is written, so a test can take a snapshot of files at that moment. A client message this
// program has no callback for (save or phase-2 requests, property queries) ends it: the client
// under test sends none.
#pragma once

#include <X11/ICE/ICElib.h>
#include <X11/ICE/ICEutil.h>
#include <X11/SM/SMlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int _IceTransNoListen(const char* protocol);

namespace xsmp_test {

struct manager {
    int cmd_fd = 0, event_fd = 1;
    std::string hook_event, hook_command; // e.g. "INTERACT_DONE" and a shell command
    bool hold = false, quit = false;
    SmsConn client = nullptr; // the newest registered client
    std::vector<IceConn> conns;
    std::string cmd_buffer;

    void event(const std::string& line) {
        if (!hook_command.empty() && (line + " ").rfind(hook_event + " ", 0) == 0 &&
            system(hook_command.c_str()) != 0)
            write_line("ERROR hook failed");
        write_line(line);
    }
    void write_line(std::string line) {
        line += "\n";
        (void)!write(event_fd, line.data(), line.size());
    }
};

inline manager*& current() {
    static manager* m = nullptr;
    return m;
}

inline std::string flag(Bool b) {
    return b ? "1" : "0";
}

inline Status on_register(SmsConn conn, SmPointer, char* previous) {
    current()->event(std::string("REGISTER ") + (previous ? previous : "-"));
    free(previous);
    char* id = SmsGenerateClientID(conn);
    Status st = SmsRegisterClientReply(conn, id ? id : const_cast<char*>("mavlyn-test-client"));
    free(id);
    current()->client = conn;
    return st;
}

inline void on_interact_request(SmsConn conn, SmPointer, int dialog) {
    current()->event("INTERACT_REQUEST " + std::to_string(dialog));
    if (!current()->hold) SmsInteract(conn);
}

inline void on_interact_done(SmsConn, SmPointer, Bool cancel) {
    current()->event("INTERACT_DONE " + flag(cancel));
}

inline void on_save_done(SmsConn, SmPointer, Bool success) {
    current()->event("SAVE_YOURSELF_DONE " + flag(success));
}

inline void on_close(SmsConn conn, SmPointer, int count, char** reasons) {
    std::string line = "CLOSE";
    for (int i = 0; i < count; i++) line += std::string(" ") + (reasons[i] ? reasons[i] : "");
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    if (current()->client == conn) current()->client = nullptr;
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    current()->event(line);
}

inline void on_set_properties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; i++) {
        std::string line = std::string("PROPERTY ") + props[i]->name;
        if (props[i]->num_vals > 0)
            line += " " + std::string(static_cast<const char*>(props[i]->vals[0].value),
                                      static_cast<size_t>(props[i]->vals[0].length));
        current()->event(line);
        SmFreeProperty(props[i]);
    }
    free(props);
}

inline Status on_new_client(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask;
    cb->register_client.callback = on_register;
    cb->interact_request.callback = on_interact_request;
    cb->interact_done.callback = on_interact_done;
    cb->save_yourself_done.callback = on_save_done;
    cb->close_connection.callback = on_close;
    cb->set_properties.callback = on_set_properties;
    return 1;
}

// Only clients on this machine's local transport are let in; there is no cookie file.
inline Bool local_only(char* host) {
    return host && strncmp(host, "local/", 6) == 0 ? True : False;
}

inline void run_command(manager& m, const std::string& line) {
    char word[32] = "", style[32] = "";
    int shutdown = 0, fast = 0;
    int n = sscanf(line.c_str(), "%31s %d %31s %d", word, &shutdown, style, &fast);
    const std::string w = n > 0 ? word : "";
    const int interact = w == "save" && strcmp(style, "any") == 0      ? SmInteractStyleAny
                         : w == "save" && strcmp(style, "errors") == 0 ? SmInteractStyleErrors
                                                                       : SmInteractStyleNone;
    IceConn ice = m.client ? SmsGetIceConnection(m.client) : nullptr;
    if (w == "quit")
        m.quit = true;
    else if (w == "hold")
        m.hold = true;
    else if (!m.client)
        m.event("ERROR no client for " + w);
    else if (w == "save" && n >= 3)
        SmsSaveYourself(m.client, SmSaveBoth, shutdown ? True : False, interact,
                        fast ? True : False);
    else if (w == "grant")
        SmsInteract(m.client);
    else if (w == "cancel")
        SmsShutdownCancelled(m.client);
    else if (w == "die")
        SmsDie(m.client);
    else if (w == "sync") {
        IcePing(ice, [](IceConn, IcePointer) { current()->event("SYNCED"); }, nullptr);
        IceFlush(ice);
    } else
        m.event("ERROR unknown command " + line);
}

// Messages of one client connection; a broken one is reported and dropped.
inline void serve(manager& m, IceConn c) {
    IceProcessMessagesStatus st = IceProcessMessages(c, nullptr, nullptr);
    if (st == IceProcessMessagesSuccess) return;
    if (st == IceProcessMessagesIOError) {
        m.event("IOERROR");
        if (m.client && SmsGetIceConnection(m.client) == c)
            SmsCleanUp(m.client), m.client = nullptr;
        IceSetShutdownNegotiation(c, False);
        IceCloseConnection(c);
    }
    m.conns.erase(std::remove(m.conns.begin(), m.conns.end(), c), m.conns.end());
}

inline void accept_client(manager& m, IceListenObj listen) {
    IceAcceptStatus as;
    IceConn c = IceAcceptConnection(listen, &as);
    if (!c || as != IceAcceptSuccess) return;
    while (IceConnectionStatus(c) == IceConnectPending &&
           IceProcessMessages(c, nullptr, nullptr) != IceProcessMessagesIOError) {
    }
    if (IceConnectionStatus(c) == IceConnectAccepted)
        m.conns.push_back(c);
    else
        IceCloseConnection(c);
}

// Reads what arrived on the command descriptor; false at its end.
inline bool read_commands(manager& m) {
    char buf[512];
    ssize_t n = read(m.cmd_fd, buf, sizeof buf);
    if (n <= 0) return false;
    m.cmd_buffer.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = m.cmd_buffer.find('\n')) != std::string::npos;) {
        std::string line = m.cmd_buffer.substr(0, nl);
        m.cmd_buffer.erase(0, nl + 1);
        if (!line.empty()) run_command(m, line);
    }
    return true;
}

// Listens on the local transport alone (no TCP listener, not even on loopback); gives the
// network ids, or "" after an ERROR event.
inline std::string listen_locally(manager& m, int* count, IceListenObj** listens) {
    char error[256] = "";
    if (!SmsInitialize("mavlyn-tests", "1.0", on_new_client, nullptr, local_only, sizeof error,
                       error)) {
        m.event(std::string("ERROR SmsInitialize ") + error);
        return "";
    }
    for (const char* tcp : {"tcp", "inet", "inet6"}) _IceTransNoListen(tcp);
    if (!IceListenForConnections(count, listens, sizeof error, error) || *count == 0) {
        m.event(std::string("ERROR IceListenForConnections ") + error);
        return "";
    }
    for (int i = 0; i < *count; i++) IceSetHostBasedAuthProc((*listens)[i], local_only);
    char* ids = IceComposeNetworkIdList(*count, *listens);
    std::string idlist = ids ? ids : "";
    free(ids);
    std::stringstream ids_read(idlist);
    for (std::string id; std::getline(ids_read, id, ',');)
        if (id.rfind("local/", 0) != 0 && id.rfind("unix/", 0) != 0) {
            m.event("ERROR non-local transport " + id);
            return "";
        }
    return idlist;
}

// Runs until "quit" or the end of the command stream; returns the process status.
inline int run(manager& m) {
    current() = &m;
    signal(SIGPIPE, SIG_IGN); // a client that is gone is reported, not fatal
    IceSetIOErrorHandler([](IceConn) {});
    int count = 0;
    IceListenObj* listens = nullptr;
    std::string ids = listen_locally(m, &count, &listens);
    if (ids.empty()) return 2;
    m.event("LISTEN " + ids);
    while (!m.quit) {
        std::vector<pollfd> fds{{m.cmd_fd, POLLIN, 0}};
        for (int i = 0; i < count; i++)
            fds.push_back({IceGetListenConnectionNumber(listens[i]), POLLIN, 0});
        const std::vector<IceConn> conns = m.conns;
        for (IceConn c : conns) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        for (size_t i = 0; i < conns.size(); i++)
            if (fds[1 + count + i].revents) serve(m, conns[i]);
        for (int i = 0; i < count; i++)
            if (fds[1 + i].revents) accept_client(m, listens[i]);
        if (fds[0].revents && !read_commands(m)) break;
    }
    IceFreeListenObjs(count, listens);
    return 0;
}

} // namespace xsmp_test
