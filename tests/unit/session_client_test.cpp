// The session-manager client against a real XSMP session manager (libSM's server side, in a
// child process on the ICE local transport): a logout asks to interact, ends the program,
// and lets the logout go on only after the end work; a plain checkpoint ends nothing.
// GoogleTest first: the X headers define Bool as a macro.
#include <gtest/gtest.h>

#include "control/session_client.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"
#include "foundation/utilities.h"
#include "test_support.h"
#include "xsmp_test_manager.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <vector>

namespace {

// Starts this binary anew with the one case `name` in it, as a fresh process: no thread or
// registration is left from earlier cases. MAVLYN_TEST_ROLE tells the case it is wanted.
pid_t start_case(const char* name, const char* role, std::vector<int> keep_fds = {}) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    for (int fd = 3; fd < 1024; fd++)
        if (std::find(keep_fds.begin(), keep_fds.end(), fd) == keep_fds.end()) close(fd);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    unsetenv("GTEST_TOTAL_SHARDS");
    unsetenv("GTEST_SHARD_INDEX");
    setenv("MAVLYN_TEST_ROLE", role, 1);
    std::string filter = std::string("--gtest_filter=") + name;
    execl("/proc/self/exe", "unit_tests", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

bool wanted_as(const char* role) {
    const char* r = getenv("MAVLYN_TEST_ROLE");
    return r && strcmp(r, role) == 0;
}

// The manager in a process of its own; commands and events go through two pipes.
class Manager {
  public:
    Manager() {
        int cmd[2], ev[2];
        if (pipe(cmd) != 0 || pipe(ev) != 0) std::abort();
        setenv("XSMP_MANAGER_FDS", (std::to_string(cmd[0]) + " " + std::to_string(ev[1])).c_str(),
               1);
        // A fresh process image: the manager must not share libICE's state with a process
        // that has been a client.
        pid_ = start_case("SessionProcess.Manager", "manager", {cmd[0], ev[1]});
        unsetenv("XSMP_MANAGER_FDS");
        close(cmd[0]);
        close(ev[1]);
        cmd_ = cmd[1];
        ev_ = ev[0];
        std::string listen = wait_for("LISTEN", false);
        if (listen.size() > 7) network_ids_ = listen.substr(7);
    }
    ~Manager() {
        if (cmd_ >= 0) close(cmd_); // end of commands: the manager ends
        if (ev_ >= 0) close(ev_);
        int status;
        waitpid(pid_, &status, 0);
    }
    const std::string& network_ids() const { return network_ids_; }

    void send(const std::string& command) {
        std::string line = command + "\n";
        ASSERT_EQ(write(cmd_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    void quit_and_wait() {
        send("quit");
        int status;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    // The next event line whose first word is `kind`; every line read on the way is kept in
    // seen(). With `pump`, the client's side runs in between, as the GUI thread's main loop
    // would run it. A deadline only guards against a hang; it is not what is tested.
    std::string wait_for(const std::string& kind, bool pump = true) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            size_t nl;
            while ((nl = buffer_.find('\n')) != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                seen_.push_back(line);
                if (line.compare(0, kind.size(), kind) == 0 &&
                    (line.size() == kind.size() || line[kind.size()] == ' '))
                    return line;
            }
            if (pump)
                while (g_main_context_iteration(nullptr, FALSE)) {
                }
            pollfd p{ev_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buf[512];
                ssize_t n = read(ev_, buf, sizeof buf);
                if (n <= 0) break;
                buffer_.append(buf, static_cast<size_t>(n));
            }
        }
        ADD_FAILURE() << "no " << kind << " from the session manager; seen: " << joined();
        return "";
    }
    bool saw(const std::string& line) const {
        return std::find(seen_.begin(), seen_.end(), line) != seen_.end();
    }
    bool saw_kind(const std::string& kind) const {
        return std::any_of(seen_.begin(), seen_.end(), [&](const std::string& l) {
            return l.compare(0, kind.size(), kind) == 0;
        });
    }
    std::string joined() const {
        std::string s;
        for (const auto& l : seen_) s += "[" + l + "] ";
        return s;
    }

  private:
    pid_t pid_ = -1;
    int cmd_ = -1, ev_ = -1;
    std::string buffer_;
    std::string network_ids_;
    std::vector<std::string> seen_;
};

// Runs the client's side of the main loop until `done` holds (or a guard deadline passes).
bool pump_until(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (!done()) g_usleep(5000);
    }
    return done();
}

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        programmende_gewuenscht = false;
        shutdowninteractionkey = -1;
        shutdowninteractionkeyvalid = false;
        // No cookie file of the user is read or written.
        env.set("ICEAUTHORITY", tmp.path() + "/iceauth");
        env.unset("SESSION_MANAGER"); // never the desktop's own manager
    }
    void TearDown() override {
        mt_sessioninteractiondone(); // leaves no connection to the next test
    }
    void connect(Manager& sm) {
        env.set("SESSION_MANAGER", sm.network_ids());
        mt_sessionhook();
        sm.wait_for("REGISTER");
    }
    InTempDir tmp;
    ScopedEnv env;
};

// Not a test of its own: the body of the manager process that Manager starts.
TEST(SessionProcess, Manager) {
    if (!wanted_as("manager")) GTEST_SKIP() << "only run as the session manager of the tests below";
    xsmp_test::manager m;
    if (sscanf(getenv("XSMP_MANAGER_FDS"), "%d %d", &m.cmd_fd, &m.event_fd) != 2) _exit(2);
    _exit(xsmp_test::run(m));
}

// The logout that asks to interact is followed through the real program by
// tests/e2e/test_session_logout.sh; here the other requests of a session and its failures.

// Registered as a program the session must not start again (a second dial-up manager);
// checkpoints and shutdowns that allow no free interaction are answered at once, nothing is
// asked, the program goes on; the manager's Die still ends it in order.
TEST_F(Session, RegisteredNeverRestartedAndSavesWithoutInteractionAnswered) {
    Manager sm;
    connect(sm);
    for (const char* save : {"save 0 any", "save 0 none", "save 1 none", "save 1 errors"}) {
        sm.send(save);
        EXPECT_EQ(sm.wait_for("SAVE_YOURSELF_DONE"), "SAVE_YOURSELF_DONE 1") << save;
    }
    sm.send("sync");
    sm.wait_for("SYNCED");
    EXPECT_TRUE(sm.saw("REGISTER -")) << sm.joined();
    EXPECT_TRUE(sm.saw_kind("PROPERTY Program")) << sm.joined();
    EXPECT_TRUE(sm.saw(std::string("PROPERTY RestartStyleHint ") + char(SmRestartNever)))
        << sm.joined();
    EXPECT_FALSE(sm.saw_kind("INTERACT_REQUEST")) << sm.joined();
    EXPECT_FALSE(programmende_gewuenscht);
    EXPECT_FALSE(shutdowninteractionkeyvalid);
    sm.send("die");
    EXPECT_TRUE(pump_until([] { return programmende_gewuenscht; }));
}

TEST_F(Session, InteractionGrantedAfterTheMainLoopStoppedIsStillAnswered) {
    Manager sm;
    connect(sm);
    sm.send("hold");
    sm.send("save 1 any");
    sm.wait_for("INTERACT_REQUEST");
    ASSERT_TRUE(pump_until([] { return programmende_gewuenscht; }));
    EXPECT_FALSE(shutdowninteractionkeyvalid);

    // The end work is over and the GUI loop has quit before the manager lets us interact:
    // program end must still take the grant and answer it, or the logout hangs on us.
    sm.send("grant");
    mt_sessioninteractiondone();
    EXPECT_EQ(sm.wait_for("INTERACT_DONE", false), "INTERACT_DONE 0");
    EXPECT_EQ(sm.wait_for("SAVE_YOURSELF_DONE", false), "SAVE_YOURSELF_DONE 1");
    sm.wait_for("CLOSE", false);
}

TEST_F(Session, ProgramEndClosesTheConnectionEvenWithoutAnInteraction) {
    mt_sessionhook(); // no session manager: nothing happens
    mt_sessioninteractiondone();
    EXPECT_FALSE(programmende_gewuenscht);
    Manager sm;
    connect(sm);
    mt_sessioninteractiondone();
    sm.wait_for("CLOSE", false);
    EXPECT_FALSE(sm.saw_kind("IOERROR")) << sm.joined();
    EXPECT_FALSE(sm.saw_kind("INTERACT_DONE")) << sm.joined();
}

TEST_F(Session, ManagerGoingAwayLeavesTheProgramRunningAndFreeToReconnect) {
    {
        Manager sm;
        connect(sm);
        sm.quit_and_wait();
        // The broken connection is noticed in the main loop; the process lives on.
        for (int i = 0; i < 50; i++) {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            g_usleep(2000);
        }
        EXPECT_FALSE(programmende_gewuenscht);
    }
    Manager second;
    connect(second); // registers again with the new manager
    second.send("save 0 none");
    EXPECT_EQ(second.wait_for("SAVE_YOURSELF_DONE"), "SAVE_YOURSELF_DONE 1");
}

TEST_F(Session, LogoutCalledOffStillGetsItsSaveAnswered) {
    Manager sm;
    connect(sm);
    sm.send("save 1 any");
    sm.wait_for("INTERACT_REQUEST");
    ASSERT_TRUE(pump_until([] { return shutdowninteractionkeyvalid; }));
    sm.send("cancel");
    sm.send("sync");
    sm.wait_for("SYNCED");
    // The end was already under way; it goes on, and the open save is still closed properly.
    EXPECT_TRUE(programmende_gewuenscht);
    mt_sessioninteractiondone();
    EXPECT_EQ(sm.wait_for("SAVE_YOURSELF_DONE", false), "SAVE_YOURSELF_DONE 1");
    sm.wait_for("CLOSE", false);
    EXPECT_FALSE(sm.saw_kind("INTERACT_DONE")) << sm.joined();
}

TEST_F(Session, ProgramEndSurvivesAManagerThatIsAlreadyGone) {
    Manager sm;
    connect(sm);
    sm.send("save 1 any");
    sm.wait_for("INTERACT_REQUEST");
    ASSERT_TRUE(pump_until([] { return shutdowninteractionkeyvalid; }));
    sm.quit_and_wait();
    // The answers go to a closed socket; that must not kill the program with SIGPIPE.
    mt_sessioninteractiondone();
    EXPECT_FALSE(shutdowninteractionkeyvalid);
    EXPECT_TRUE(programmende_gewuenscht);
}

} // namespace
