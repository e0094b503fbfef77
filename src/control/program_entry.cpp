#include "control/program_entry.h"

#include "control/main_thread.h"
#include "control/session_client.h"
#include "control/warning_thread.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "sms/sms_reception.h"
#include "ui/splash.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <malloc.h>
#include <unistd.h>

namespace {

// The signal record passed from the handler to the initial thread.
struct ReceivedSignal {
    int signo, code, pid;
};
int signalpipe[2] = {-1, -1};

const char* base_name(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool role_word(const char* base, const char* argv1, const char* word) {
    long len = static_cast<long>(strlen(word));
    return memicmp(base, word, len) == 0 || (argv1 && stricmp(argv1, word) == 0);
}

void install_signal_handlers() {
    if (pipe2(signalpipe, O_CLOEXEC) != 0) signalpipe[0] = signalpipe[1] = -1;
    struct sigaction sa {};
    sa.sa_sigaction = endall;
    sa.sa_flags = SA_SIGINFO | SA_NOCLDWAIT;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int shared_ini_first_byte() {
    FILE* f = fopen("/usr/share/mavlyn/mavlyn.ini", "r");
    if (!f) return -1;
    int c = fgetc(f);
    fclose(f);
    return c == EOF ? -1 : c;
}

void choose_working_directory(const char* argv0) {
    char dir[300];
    mt__dirkind kind =
        mt__datadirectory(dir, sizeof dir, argv0, g_get_home_dir(), shared_ini_first_byte());
    if (kind == mt__DIR_NONE) return;
    if (kind == mt__DIR_SHARED || kind == mt__DIR_HOME) ubuntusysdir = true;
    if (kind == mt__DIR_HOME) {
        dir_create(dir);
        file_makerw(dir, false);
    }
    if (chdir(dir) != 0) { /* the program then works where it is */
    }
}

void apply_dir_parameters(int argc, char** argv) {
    for (int i = 1; i < argc; i++)
        if (const char* d = mt__dirparameter(argv[i]))
            if (chdir(d) != 0) { /* ignored, as a failing start directory */
            }
}

void clear_status_lines() {
    for (auto& line : cc_mtext) line[0] = 0;
}

void start_threads() {
    th_createx(mt_gtkthread, nullptr, 1000000);
    th_createx(mt_mainthread, nullptr, 1000000);
    th_create(wa_warningthread, nullptr);
    th_create(sm_msgthread, nullptr);
}

// The initial thread's "sleep forever": it wakes only to log a received signal.
[[noreturn]] void sleep_and_watch_signals() {
    for (;;) {
        ReceivedSignal r;
        ssize_t n = signalpipe[0] >= 0 ? read(signalpipe[0], &r, sizeof r) : -1;
        if (n == static_cast<ssize_t>(sizeof r))
            mt__signalreceived(r.signo, r.code, r.pid);
        else if (n < 0 && errno != EINTR)
            g_usleep(111333000);
    }
}

} // namespace

void endall(int signo, siginfo_t* info, void* /*context*/) {
    int saved = errno;
    ReceivedSignal r{signo, info ? info->si_code : 0, info ? static_cast<int>(info->si_pid) : 0};
    shutdownerlaubt = false;
    if (signalpipe[1] < 0 || write(signalpipe[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
        programmende_gewuenscht = true; // no way to log it; at least end in order (no lock here:
                                        // the sleepers see it when their wait is up)
    errno = saved;
}

void mt__signalreceived(int signo, int code, int pid) {
    char line[100];
    snprintf(line, sizeof line, "Received: signal %i, code %i from process %i.\n", signo, code,
             pid);
    lo_slog(line, "", -1);
    shutdownerlaubt = false;
    th_requestend();
}

bool mt__systembindir(const char* dir) {
    return strcmp(dir, "/usr/bin") == 0 || strcmp(dir, "/usr/local/bin") == 0 ||
           strcmp(dir, "/bin") == 0 || strcmp(dir, "/sbin") == 0;
}

mt__dirkind mt__datadirectory(char* out, size_t n, const char* argv0, const char* home,
                              int sharedfirstbyte) {
    char dir[300];
    strMcpy(dir, argv0 ? argv0 : "");
    char* slash = strrchr(dir, '/');
    if (!slash || !n) return mt__DIR_NONE;
    *slash = 0;
    if (dir[0] == 0) strMcpy(dir, "/"); // a program in the root directory
    if (!mt__systembindir(dir)) {
        strmcpy(out, dir, n);
        return mt__DIR_EXECUTABLE;
    }
    if (sharedfirstbyte > 0 && sharedfirstbyte != '*') {
        strmcpy(out, "/usr/share/mavlyn", n);
        return mt__DIR_SHARED;
    }
    const char* h = home && home[0] ? home : "~";
    char* p = stpmcpy(out, h, n);
    size_t used = static_cast<size_t>(p - out);
    if (used && out[used - 1] != '/') p = stpmcpy(p, "/", n - used);
    used = static_cast<size_t>(p - out);
    stpmcpy(p, "mavlyn", n - used);
    return mt__DIR_HOME;
}

const char* mt__dirparameter(const char* arg) {
    if (!arg || memicmp(arg, "DIR=", 4) != 0) return nullptr;
    arg += 4;
    while (*arg == ' ') arg++;
    return arg;
}

int mt__instanceshift(const char* arg, const char** rest) {
    if (!arg || memicmp(arg, "INSTANCE", 8) != 0) return -1;
    arg += 8;
    while (*arg == '=' || *arg == ' ') arg++;
    if (rest) *rest = arg;
    return (*arg >= '0' && *arg <= '9') ? *arg - '0' : 0;
}

int mt__presetrole(const char* argv0, const char* argv1) {
    const char* base = base_name(argv0 ? argv0 : "");
    if (role_word(base, argv1, "CONTROL")) return FUNKTION_CONTROL;
    if (role_word(base, argv1, "PROFILE")) return FUNKTION_PROFILE;
    if (role_word(base, argv1, "mavlyn_DEBIAN_REMOVE")) return FUNKTION_REMOVE;
    return 0;
}

void mt__parameterwords(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!a || !a[0]) continue;
        const char* rest = nullptr;
        if (stricmp(a, "NOSPLASH") == 0)
            cs_nosplash = true;
        else if (stricmp(a, "MUTE") == 0)
            tonlos = true;
        else if (stricmp(a, "SILENTINSTALL") == 0)
            _silentinstall = true;
        else if (stricmp(a, "STARTTOGGLE") == 0)
            _starttoggle = 1;
        else if (int shift = mt__instanceshift(a, &rest); shift >= 0) {
            lo_slog("INSTANCE: \"%s\"\n", rest, -1);
            unsigned long s = static_cast<unsigned long>(shift);
            aktivsignal += s;
            endesignal += s;
            konfigaktivsignal += s;
            smssignal += s;
            mvliok += s;
        }
    }
}

gpointer mt_gtkthread(gpointer) {
    th_register("gtkthread");
    th_enter();
    gtk_main();
    th_leave();
    cm_end();
    th_unregister(nullptr);
    th_sleepinfinite();
}

void mt_main(int argc, char** argv) {
    // The threads allocate little and seldom: one heap for all of them costs no waiting, while
    // an arena per thread keeps its pages resident for the whole run.
    mallopt(M_ARENA_MAX, 1);
    install_signal_handlers();
    _argc = argc;
    _argv = argv;
    th_guiinit();
    th_enter();
    gtk_init(&argc, &argv);
    th_leave();
    _argc = argc;

    if (argc > 0) choose_working_directory(argv[0]);
    apply_dir_parameters(argc, argv);
    srand(static_cast<unsigned>(time(nullptr)));

    inidat.funktion = 0;
    mt__parameterwords(argc, argv);
    inidat.funktion = mt__presetrole(argc > 0 ? argv[0] : "", argc > 1 ? argv[1] : nullptr);
    if (inidat.funktion == FUNKTION_REMOVE) cs_nosplash = true;

    // The splash part itself hides the window when it is suppressed (NOSPLASH, removal), so
    // one request is enough; the SMS sub-instance starts without it.
    clear_status_lines();
    if (!(argc > 1 && strcmp(argv[1], "SMSCONFIGSUB") == 0)) cs_show(1);

    mt_sessionhook();
    start_threads();
    sleep_and_watch_signals();
}
