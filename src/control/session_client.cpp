#include "control/session_client.h"

#include "control/session_state.h"
#include "foundation/logging.h"

#include <X11/ICE/ICElib.h>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <pwd.h>
#include <unistd.h>

namespace {

SmcConn sc__conn = nullptr;
GMutex sc__mutex; // ICE calls come from the GUI thread and from program end

// The default ICE handler would exit the process when the session manager goes away.
void ignore_io_error(IceConn) {}

gboolean process_ice_messages(GIOChannel*, GIOCondition, gpointer data) {
    auto conn = static_cast<IceConn>(data);
    g_mutex_lock(&sc__mutex);
    IceProcessMessagesStatus st = IceProcessMessages(conn, nullptr, nullptr);
    if (st == IceProcessMessagesIOError && sc__conn) {
        SmcCloseConnection(sc__conn, 0, nullptr);
        sc__conn = nullptr;
    }
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
    programmende_gewuenscht = true;
}
void on_save_complete(SmcConn, SmPointer) {}
void on_shutdown_cancelled(SmcConn, SmPointer) {}

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
    IceSetIOErrorHandler(ignore_io_error);
    IceAddConnectionWatch(watch_ice_connection, nullptr);

    SmcCallbacks cb{};
    cb.save_yourself.callback = on_save_yourself;
    cb.save_yourself.client_data = reinterpret_cast<SmPointer>(&sc__conn);
    cb.die.callback = on_die;
    cb.save_complete.callback = on_save_complete;
    cb.shutdown_cancelled.callback = on_shutdown_cancelled;
    char* client_id = nullptr;
    char error[256] = "";
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
    if (!SmcInteractRequest(conn, SmDialogNormal, shutdowninteract, par))
        SmcSaveYourselfDone(conn, True); // no interaction: the logout goes on while we end
    programmende_gewuenscht = true;
    return true;
}

void shutdowninteract(SmcConn, SmPointer) {
    shutdowninteractionkey = 1;
    shutdowninteractionkeyvalid = true;
}

void mt_sessioninteractiondone() {
    if (!shutdowninteractionkeyvalid) return;
    shutdowninteractionkeyvalid = false;
    g_mutex_lock(&sc__mutex);
    if (sc__conn) {
        SmcInteractDone(sc__conn, False);
        SmcSaveYourselfDone(sc__conn, True);
        IceFlush(SmcGetIceConnection(sc__conn));
    }
    g_mutex_unlock(&sc__mutex);
}
