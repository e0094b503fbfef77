// A small X session manager for the tests (libSM's server side) on the ICE local transport
// alone, for local clients only. Commands on standard input, one line each, go to the newest
// client: "save <shutdown 0|1> <none|errors|any>", "hold" (grant interaction only on "grant"),
// "grant", "cancel", "die", "sync" (an ICE ping: SYNCED follows once every earlier message of
// the client was reported), "quit". What it sees goes to standard output, one line each:
// LISTEN <network ids for SESSION_MANAGER>, REGISTER <previous id or ->, PROPERTY <name>
// <first value>, INTERACT_REQUEST <dialog>, INTERACT_DONE <cancel>, SAVE_YOURSELF_DONE
// <success>, CLOSE <reasons>, IOERROR (broken without a close), SYNCED, ERROR <text>.
//   mavlyn_test_session_manager [--hook EVENT COMMAND]
// runs COMMAND through the shell when EVENT arrives, before its line is written, so that a
// scenario can take a snapshot of files at that moment.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int _IceTransNoListen(const char* protocol);

namespace {

std::string hook_event, hook_command, commands;
bool hold = false, quit = false;
SmsConn client = nullptr; // the newest registered client
std::vector<IceConn> conns;

void say(std::string line) {
    line += "\n";
    (void)!write(1, line.data(), line.size());
}

void event(const std::string& line) {
    if (!hook_command.empty() && (line + " ").rfind(hook_event + " ", 0) == 0 &&
        system(hook_command.c_str()) != 0)
        say("ERROR hook failed");
    say(line);
}

Status on_register(SmsConn conn, SmPointer, char* previous) {
    event(std::string("REGISTER ") + (previous ? previous : "-"));
    free(previous);
    char* id = SmsGenerateClientID(conn);
    Status st = SmsRegisterClientReply(conn, id ? id : const_cast<char*>("mavlyn-test-client"));
    free(id);
    client = conn;
    return st;
}

void on_interact_request(SmsConn conn, SmPointer, int dialog) {
    event("INTERACT_REQUEST " + std::to_string(dialog));
    if (!hold) SmsInteract(conn);
}

void on_close(SmsConn conn, SmPointer, int count, char** reasons) {
    std::string line = "CLOSE";
    for (int i = 0; i < count; i++) line += std::string(" ") + (reasons[i] ? reasons[i] : "");
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    if (client == conn) client = nullptr;
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    event(line);
}

void on_set_properties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; i++) {
        std::string line = std::string("PROPERTY ") + props[i]->name;
        if (props[i]->num_vals > 0)
            line += " " + std::string(static_cast<const char*>(props[i]->vals[0].value),
                                      static_cast<size_t>(props[i]->vals[0].length));
        event(line);
        SmFreeProperty(props[i]);
    }
    free(props);
}

Status on_new_client(SmsConn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask;
    cb->register_client.callback = on_register;
    cb->interact_request.callback = on_interact_request;
    cb->interact_done.callback = [](SmsConn, SmPointer, Bool cancel) {
        event("INTERACT_DONE " + std::to_string(cancel != 0));
    };
    cb->save_yourself_done.callback = [](SmsConn, SmPointer, Bool success) {
        event("SAVE_YOURSELF_DONE " + std::to_string(success != 0));
    };
    cb->close_connection.callback = on_close;
    cb->set_properties.callback = on_set_properties;
    return 1;
}

// Only clients on this machine's local transport are let in; there is no cookie file.
Bool local_only(char* host) {
    return host && strncmp(host, "local/", 6) == 0 ? True : False;
}

void run_command(const std::string& line) {
    std::istringstream words(line);
    std::string w, style;
    int shutdown = 0;
    words >> w >> shutdown >> style;
    if (w == "quit")
        quit = true;
    else if (w == "hold")
        hold = true;
    else if (!client)
        return; // the test waits in vain, and shows what it saw
    else if (w == "save")
        SmsSaveYourself(client, SmSaveBoth, shutdown ? True : False,
                        style == "any"      ? SmInteractStyleAny
                        : style == "errors" ? SmInteractStyleErrors
                                            : SmInteractStyleNone,
                        False);
    else if (w == "grant")
        SmsInteract(client);
    else if (w == "cancel")
        SmsShutdownCancelled(client);
    else if (w == "die")
        SmsDie(client);
    else if (w == "sync") {
        IceConn ice = SmsGetIceConnection(client);
        IcePing(
            ice, [](IceConn, IcePointer) { event("SYNCED"); }, nullptr);
        IceFlush(ice);
    }
}

// Messages of one client connection; a broken one is reported and dropped.
void serve(IceConn c) {
    IceProcessMessagesStatus st = IceProcessMessages(c, nullptr, nullptr);
    if (st == IceProcessMessagesSuccess) return;
    if (st == IceProcessMessagesIOError) {
        event("IOERROR");
        if (client && SmsGetIceConnection(client) == c) SmsCleanUp(client), client = nullptr;
        IceSetShutdownNegotiation(c, False);
        IceCloseConnection(c);
    }
    conns.erase(std::remove(conns.begin(), conns.end(), c), conns.end());
}

// Runs the commands that arrived on standard input; false at its end.
bool read_commands() {
    char buf[512];
    ssize_t n = read(0, buf, sizeof buf);
    if (n <= 0) return false;
    commands.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = commands.find('\n')) != std::string::npos; commands.erase(0, nl + 1))
        if (nl > 0) run_command(commands.substr(0, nl));
    return true;
}

// Listens on the local transport alone (no TCP listener, not even on loopback); gives the
// network ids, or "" after an ERROR event.
std::string listen_locally(int* count, IceListenObj** listens) {
    char error[256] = "";
    if (!SmsInitialize("mavlyn-tests", "1.0", on_new_client, nullptr, local_only, sizeof error,
                       error))
        return event(std::string("ERROR SmsInitialize ") + error), "";
    for (const char* tcp : {"tcp", "inet", "inet6"}) _IceTransNoListen(tcp);
    if (!IceListenForConnections(count, listens, sizeof error, error) || *count == 0)
        return event(std::string("ERROR IceListenForConnections ") + error), "";
    for (int i = 0; i < *count; i++) IceSetHostBasedAuthProc((*listens)[i], local_only);
    char* ids = IceComposeNetworkIdList(*count, *listens);
    std::string idlist = ids ? ids : "";
    free(ids);
    std::istringstream ids_read(idlist);
    for (std::string id; std::getline(ids_read, id, ',');)
        if (id.rfind("local/", 0) != 0 && id.rfind("unix/", 0) != 0)
            return event("ERROR non-local transport " + id), "";
    return idlist;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "--hook") == 0) {
        hook_event = argv[2];
        hook_command = argv[3];
    } else if (argc != 1) {
        fprintf(stderr, "usage: %s [--hook EVENT COMMAND]\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN); // a client that is gone is reported, not fatal
    IceSetIOErrorHandler([](IceConn) {});
    int count = 0;
    IceListenObj* listens = nullptr;
    std::string ids = listen_locally(&count, &listens);
    if (ids.empty()) return 2;
    event("LISTEN " + ids);
    while (!quit) {
        std::vector<pollfd> fds{{0, POLLIN, 0}};
        for (int i = 0; i < count; i++)
            fds.push_back({IceGetListenConnectionNumber(listens[i]), POLLIN, 0});
        const std::vector<IceConn> open = conns;
        for (IceConn c : open) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        for (size_t i = 0; i < open.size(); i++)
            if (fds[1 + count + i].revents) serve(open[i]);
        IceAcceptStatus accepted; // the set-up of a new connection goes on in serve()
        for (int i = 0; i < count; i++)
            if (IceConn c =
                    fds[1 + i].revents ? IceAcceptConnection(listens[i], &accepted) : nullptr)
                conns.push_back(c);
        if (fds[0].revents && !read_commands()) break;
    }
    IceFreeListenObjs(count, listens);
    return 0;
}
