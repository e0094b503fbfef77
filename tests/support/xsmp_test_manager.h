// A small X session manager for tests, built on libSM's server side. It listens on the ICE
// local transport only (never TCP), talks to the clients that connect, and reports what it
// sees as text lines; a test drives it with text commands. Header-only, so the unit tests can
// run it in a forked child and tests/sm builds the same code as a stand-alone program for the
// whole-program scenarios.
//
// Lines written to the event descriptor, one per message received:
//   LISTEN <network ids>          once, at start: the value for SESSION_MANAGER
//   REGISTER <previous id or ->   a client registered (answered with a fresh id)
//   PROPERTY <name> <value>       for each property a client set (first value only)
//   INTERACT_REQUEST <dialog>     answered with Interact at once, unless "hold" was given
//   INTERACT_DONE <cancel>        0 or 1
//   SAVE_YOURSELF_REQUEST <type> <shutdown> <style> <fast> <global>
//   PHASE2_REQUEST
//   SAVE_YOURSELF_DONE <success>  0 or 1
//   CLOSE <reason...>             the client closed its connection
//   IOERROR                       the connection broke without a close
//   SYNCED                        answer to "sync" (see below)
//   ERROR <text>
// Commands read from the command descriptor, one per line (for the newest client):
//   save <shutdown 0|1> <style none|errors|any> [fast 0|1]   SaveYourself, save type "both"
//   grant            the Interact held back by "hold"
//   hold             from now on answer InteractRequest only on "grant"
//   cancel           ShutdownCancelled
//   die              Die
//   sync             an ICE ping; SYNCED follows once the client answered it, so every message
//                    the client sent before it had read the ping has been reported by then
//   quit             end at once, dropping the connections
// An optional hook command runs through the shell when an event of a given kind arrives,
// before anything else is done, so a test can take a snapshot of files at that moment.
#pragma once

#include <X11/ICE/ICElib.h>
#include <X11/ICE/ICEutil.h>
#include <X11/SM/SMlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int _IceTransNoListen(const char* protocol);

namespace xsmp_test {

struct manager {
    int cmd_fd = 0;
    int event_fd = 1;
    std::string hook_event; // e.g. "INTERACT_DONE"
    std::string hook_command;
    bool hold = false;
    bool quit = false;
    SmsConn client = nullptr; // the newest registered client
    std::vector<IceConn> conns;
    std::string cmd_buffer;

    void event(const std::string& line) {
        if (!hook_command.empty() && line.compare(0, hook_event.size(), hook_event) == 0 &&
            (line.size() == hook_event.size() || line[hook_event.size()] == ' ')) {
            if (system(hook_command.c_str()) != 0) {
                std::string err = "ERROR hook failed\n";
                (void)!write(event_fd, err.data(), err.size());
            }
        }
        std::string l = line + "\n";
        (void)!write(event_fd, l.data(), l.size());
    }
};

inline manager*& current() {
    static manager* m = nullptr;
    return m;
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
    current()->event("INTERACT_DONE " + std::to_string(cancel ? 1 : 0));
}

inline void on_save_request(SmsConn, SmPointer, int type, Bool shutdown, int style, Bool fast,
                            Bool global) {
    current()->event("SAVE_YOURSELF_REQUEST " + std::to_string(type) + " " +
                     std::to_string(shutdown ? 1 : 0) + " " + std::to_string(style) + " " +
                     std::to_string(fast ? 1 : 0) + " " + std::to_string(global ? 1 : 0));
}

inline void on_phase2_request(SmsConn conn, SmPointer) {
    current()->event("PHASE2_REQUEST");
    SmsSaveYourselfPhase2(conn);
}

inline void on_save_done(SmsConn, SmPointer, Bool success) {
    current()->event("SAVE_YOURSELF_DONE " + std::to_string(success ? 1 : 0));
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

inline void on_delete_properties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; i++) free(names[i]);
    free(names);
}

inline void on_get_properties(SmsConn conn, SmPointer) {
    SmsReturnProperties(conn, 0, nullptr);
}

inline Status on_new_client(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    cb->register_client.callback = on_register;
    cb->interact_request.callback = on_interact_request;
    cb->interact_done.callback = on_interact_done;
    cb->save_yourself_request.callback = on_save_request;
    cb->save_yourself_phase2_request.callback = on_phase2_request;
    cb->save_yourself_done.callback = on_save_done;
    cb->close_connection.callback = on_close;
    cb->set_properties.callback = on_set_properties;
    cb->delete_properties.callback = on_delete_properties;
    cb->get_properties.callback = on_get_properties;
    return 1;
}

// Only clients on this machine's local transport are let in; there is no cookie file.
inline Bool local_only(char* host) {
    return host && strncmp(host, "local/", 6) == 0 ? True : False;
}

inline void ignore_io_error(IceConn) {}

inline void on_ping_reply(IceConn, IcePointer) {
    current()->event("SYNCED");
}

inline void run_command(manager& m, const std::string& line) {
    char word[32] = "", style[32] = "";
    int shutdown = 0, fast = 0;
    int n = sscanf(line.c_str(), "%31s %d %31s %d", word, &shutdown, style, &fast);
    std::string w = n > 0 ? word : "";
    if (w == "quit") {
        m.quit = true;
    } else if (w == "hold") {
        m.hold = true;
    } else if (!m.client) {
        m.event("ERROR no client for " + w);
    } else if (w == "save" && n >= 3) {
        int s = strcmp(style, "any") == 0      ? SmInteractStyleAny
                : strcmp(style, "errors") == 0 ? SmInteractStyleErrors
                                               : SmInteractStyleNone;
        SmsSaveYourself(m.client, SmSaveBoth, shutdown ? True : False, s, fast ? True : False);
    } else if (w == "grant") {
        SmsInteract(m.client);
    } else if (w == "cancel") {
        SmsShutdownCancelled(m.client);
    } else if (w == "die") {
        SmsDie(m.client);
    } else if (w == "sync") {
        IcePing(SmsGetIceConnection(m.client), on_ping_reply, nullptr);
        IceFlush(SmsGetIceConnection(m.client));
    } else {
        m.event("ERROR unknown command " + line);
    }
}

// Runs until "quit" or the end of the command stream; returns the process status.
inline int run(manager& m) {
    current() = &m;
    signal(SIGPIPE, SIG_IGN); // a client that is gone is reported, not fatal
    IceSetIOErrorHandler(ignore_io_error);
    char error[256] = "";
    if (!SmsInitialize("mavlyn-tests", "1.0", on_new_client, nullptr, local_only, sizeof error,
                       error)) {
        m.event(std::string("ERROR SmsInitialize ") + error);
        return 2;
    }
    // Local transport only: no TCP listener, not even on loopback.
    _IceTransNoListen("tcp");
    _IceTransNoListen("inet");
    _IceTransNoListen("inet6");
    int count = 0;
    IceListenObj* listens = nullptr;
    if (!IceListenForConnections(&count, &listens, sizeof error, error) || count == 0) {
        m.event(std::string("ERROR IceListenForConnections ") + error);
        return 2;
    }
    for (int i = 0; i < count; i++) IceSetHostBasedAuthProc(listens[i], local_only);
    char* ids = IceComposeNetworkIdList(count, listens);
    std::string idlist = ids ? ids : "";
    free(ids);
    for (size_t pos = 0; pos < idlist.size();) {
        size_t end = idlist.find(',', pos);
        if (end == std::string::npos) end = idlist.size();
        std::string id = idlist.substr(pos, end - pos);
        if (id.compare(0, 6, "local/") != 0 && id.compare(0, 5, "unix/") != 0) {
            m.event("ERROR non-local transport " + id);
            return 2;
        }
        pos = end + 1;
    }
    m.event("LISTEN " + idlist);

    while (!m.quit) {
        std::vector<pollfd> fds;
        fds.push_back({m.cmd_fd, POLLIN, 0});
        for (int i = 0; i < count; i++)
            fds.push_back({IceGetListenConnectionNumber(listens[i]), POLLIN, 0});
        for (IceConn c : m.conns) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;

        std::vector<IceConn> conns = m.conns;
        for (size_t i = 0; i < conns.size(); i++) {
            if (!fds[1 + count + i].revents) continue;
            IceProcessMessagesStatus st = IceProcessMessages(conns[i], nullptr, nullptr);
            if (st == IceProcessMessagesSuccess) continue;
            if (st == IceProcessMessagesIOError) {
                m.event("IOERROR");
                if (m.client && SmsGetIceConnection(m.client) == conns[i]) {
                    SmsCleanUp(m.client);
                    m.client = nullptr;
                }
                IceSetShutdownNegotiation(conns[i], False);
                IceCloseConnection(conns[i]);
            }
            for (size_t k = 0; k < m.conns.size(); k++)
                if (m.conns[k] == conns[i]) m.conns.erase(m.conns.begin() + k);
        }
        for (int i = 0; i < count; i++) {
            if (!fds[1 + i].revents) continue;
            IceAcceptStatus as;
            IceConn c = IceAcceptConnection(listens[i], &as);
            if (!c || as != IceAcceptSuccess) continue;
            IceConnectStatus cs;
            while ((cs = IceConnectionStatus(c)) == IceConnectPending)
                if (IceProcessMessages(c, nullptr, nullptr) == IceProcessMessagesIOError) break;
            if (IceConnectionStatus(c) == IceConnectAccepted)
                m.conns.push_back(c);
            else
                IceCloseConnection(c);
        }
        if (fds[0].revents) {
            char buf[512];
            ssize_t n = read(m.cmd_fd, buf, sizeof buf);
            if (n <= 0) break;
            m.cmd_buffer.append(buf, static_cast<size_t>(n));
            size_t nl;
            while ((nl = m.cmd_buffer.find('\n')) != std::string::npos) {
                std::string line = m.cmd_buffer.substr(0, nl);
                m.cmd_buffer.erase(0, nl + 1);
                if (!line.empty()) run_command(m, line);
            }
        }
    }
    IceFreeListenObjs(count, listens);
    return 0;
}

} // namespace xsmp_test
