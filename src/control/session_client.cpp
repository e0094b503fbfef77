#include "control/session_client.h"

#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"

#include <X11/ICE/ICElib.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

SmcConn sc__conn = nullptr;
GMutex sc__mutex;           // ICE calls come from the GUI thread and from program end
bool sc__saving = false;    // a save-yourself is open: it gets its SaveYourselfDone at the end
bool sc__requested = false; // an interaction was asked for and not yet granted
bool sc__cancelled = false; // the manager called the logout off: no InteractDone any more

// libICE writes with plain write(): a manager that went away would kill the program with
// SIGPIPE. The signal is held back for this thread while ICE runs and a raised one dropped.
class no_sigpipe {
  public:
    no_sigpipe() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
        sigset_t pending;
        sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~no_sigpipe() {
        sigset_t pending;
        sigpending(&pending);
        if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
            timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    no_sigpipe(const no_sigpipe&) = delete;
    no_sigpipe& operator=(const no_sigpipe&) = delete;

  private:
    sigset_t pipe_, old_;
    bool was_pending_ = false;
};

// Closes the connection so that the manager sees an orderly goodbye, not a lost client.
void close_connection() {
    if (!sc__conn) return;
    SmcCloseConnection(sc__conn, 0, nullptr);
    sc__conn = nullptr;
    sc__saving = sc__requested = sc__cancelled = false;
}

// The default ICE handler would exit the process when the session manager goes away.
void ignore_io_error(IceConn) {}

gboolean process_ice_messages(GIOChannel*, GIOCondition, gpointer data) {
    auto conn = static_cast<IceConn>(data);
    no_sigpipe guard;
    g_mutex_lock(&sc__mutex);
    // Program end may have closed the connection while this wake-up was on its way.
    if (!sc__conn || SmcGetIceConnection(sc__conn) != conn) {
        g_mutex_unlock(&sc__mutex);
        return FALSE;
    }
    IceProcessMessagesStatus st = IceProcessMessages(conn, nullptr, nullptr);
    if (st == IceProcessMessagesIOError) close_connection();
    g_mutex_unlock(&sc__mutex);
    return st == IceProcessMessagesIOError ? FALSE : TRUE;
}

void watch_ice_connection(IceConn conn, IcePointer, Bool opening, IcePointer* watch_data) {
    if (opening) {
        GIOChannel* ch = g_io_channel_unix_new(IceConnectionNumber(conn));
        guint id = g_io_add_watch(ch, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                  process_ice_messages, conn);
        g_io_channel_unref(ch);
        *watch_data = GUINT_TO_POINTER(id);
    } else {
        g_source_remove(GPOINTER_TO_UINT(*watch_data));
    }
}

void on_save_yourself(SmcConn conn, SmPointer par, int save_type, Bool shutdown, int interact_style,
                      Bool fast) {
    shutdownproc(conn, par, save_type, shutdown, interact_style, fast);
}

void on_die(SmcConn, SmPointer) {
    th_requestend();
}
void on_save_complete(SmcConn, SmPointer) {}
// The program is ending anyway; it only stops waiting for a grant that will not come.
void on_shutdown_cancelled(SmcConn, SmPointer) {
    sc__cancelled = true;
    sc__requested = false;
}

void set_properties(SmcConn conn) {
    const char* program = _argv && _argv[0] ? _argv[0] : "mavlyn";
    const passwd* pw = getpwuid(getuid());
    const char* user = pw ? pw->pw_name : "";
    char restart_never = SmRestartNever;

    SmPropValue program_value{static_cast<int>(strlen(program)), const_cast<char*>(program)};
    SmPropValue user_value{static_cast<int>(strlen(user)), const_cast<char*>(user)};
    SmPropValue style_value{1, &restart_never};
    SmProp props[] = {
        {const_cast<char*>(SmProgram), const_cast<char*>(SmARRAY8), 1, &program_value},
        {const_cast<char*>(SmUserID), const_cast<char*>(SmARRAY8), 1, &user_value},
        {const_cast<char*>(SmRestartCommand), const_cast<char*>(SmLISTofARRAY8), 1, &program_value},
        {const_cast<char*>(SmCloneCommand), const_cast<char*>(SmLISTofARRAY8), 1, &program_value},
        {const_cast<char*>(SmRestartStyleHint), const_cast<char*>(SmCARD8), 1, &style_value},
    };
    SmProp* list[] = {&props[0], &props[1], &props[2], &props[3], &props[4]};
    SmcSetProperties(conn, 5, list);
}

} // namespace

void mt_sessionhook() {
    const char* sm = getenv("SESSION_MANAGER");
    if (!sm || !*sm || sc__conn) return;
    static bool watching = false;
    if (!watching) {
        // ICE keeps a list of these: a second hook after a lost manager must not add another.
        IceSetIOErrorHandler(ignore_io_error);
        IceAddConnectionWatch(watch_ice_connection, nullptr);
        watching = true;
    }

    SmcCallbacks cb{};
    cb.save_yourself.callback = on_save_yourself;
    cb.save_yourself.client_data = reinterpret_cast<SmPointer>(&sc__conn);
    cb.die.callback = on_die;
    cb.save_complete.callback = on_save_complete;
    cb.shutdown_cancelled.callback = on_shutdown_cancelled;
    char* client_id = nullptr;
    char error[256] = "";
    no_sigpipe guard;
    unsigned long mask = SmcSaveYourselfProcMask | SmcDieProcMask | SmcSaveCompleteProcMask |
                         SmcShutdownCancelledProcMask;
    g_mutex_lock(&sc__mutex);
    sc__conn = SmcOpenConnection(nullptr, nullptr, SmProtoMajor, SmProtoMinor, mask, &cb, nullptr,
                                 &client_id, sizeof error, error);
    if (sc__conn) set_properties(sc__conn);
    g_mutex_unlock(&sc__mutex);
    if (!sc__conn) lo_slog("Session manager: %s\n", error, -1);
    free(client_id);
}

// Runs inside IceProcessMessages, with sc__mutex held.
bool shutdownproc(SmcConn conn, SmPointer par, int, bool shutdown, int interact_style, bool) {
    if (!par || !shutdown || interact_style != SmInteractStyleAny) {
        SmcSaveYourselfDone(conn, True);
        return true;
    }
    if (SmcInteractRequest(conn, SmDialogNormal, shutdowninteract, par)) {
        sc__saving = sc__requested = true;
        sc__cancelled = false;
    } else {
        SmcSaveYourselfDone(conn, True); // no interaction: the logout goes on while we end
    }
    th_requestend();
    return true;
}

void shutdowninteract(SmcConn, SmPointer) {
    sc__requested = false;
    shutdowninteractionkey = 1;
    shutdowninteractionkeyvalid = true;
}

// Program end calls this as its last step, when the GUI loop no longer reads the manager's
// messages. A grant still on its way is read here, for a bounded time, because the manager
// waits for our InteractDone before the logout goes on.
void mt_sessioninteractiondone() {
    no_sigpipe guard;
    g_mutex_lock(&sc__mutex);
    if (sc__conn && sc__requested && !shutdowninteractionkeyvalid) {
        IceConn ice = SmcGetIceConnection(sc__conn);
        gint64 deadline = g_get_monotonic_time() + 10 * G_TIME_SPAN_SECOND;
        while (sc__conn && sc__requested && !shutdowninteractionkeyvalid) {
            gint64 left = (deadline - g_get_monotonic_time()) / 1000;
            if (left <= 0) break;
            pollfd p{IceConnectionNumber(ice), POLLIN, 0};
            int r = poll(&p, 1, static_cast<int>(left));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            if (IceProcessMessages(ice, nullptr, nullptr) == IceProcessMessagesIOError)
                close_connection();
        }
    }
    if (sc__conn) {
        if (shutdowninteractionkeyvalid && !sc__cancelled) SmcInteractDone(sc__conn, False);
        if (sc__saving) SmcSaveYourselfDone(sc__conn, True);
        close_connection();
    }
    shutdowninteractionkeyvalid = false;
    g_mutex_unlock(&sc__mutex);
}
