// The session-manager client against the XSMP manager of tests/sm (logout: test_session_logout.sh).
// The test prelude with GoogleTest first: the X headers define Bool as a macro.
#include "test_support.h"

#include "control/session_client.h"
#include "core/session_state.h"

#include <X11/SM/SMlib.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <glib.h>
#include <sys/wait.h>

namespace {

// Runs the client's side of the main loop, as the GUI thread would, until `done` holds; the
// guard time only keeps a fault from hanging the binary.
bool pump_until(const std::function<bool()>& done, bool pump = true, int guard_ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(guard_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        while (pump && g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(5000);
    }
    return true;
}

// The session manager: commands to its standard input, its event lines from its output.
class Manager {
  public:
    Manager() {
        const char* argv[] = {SESSION_MANAGER_BIN, nullptr}; // no descriptor of ours inherited
        if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr,
                                      G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_, &cmd_,
                                      &ev_, nullptr, nullptr))
            std::abort();
        fcntl(ev_, F_SETFL, O_NONBLOCK);
        network_ids = wait_for("LISTEN", false).erase(0, 7);
    }
    ~Manager() {
        close(cmd_); // end of commands: the manager ends
        close(ev_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    void send(const std::string& command) {
        const std::string line = command + "\n";
        EXPECT_EQ(write(cmd_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    void quit_and_wait() {
        send("quit");
        waitpid(std::exchange(pid_, -1), nullptr, 0);
    }
    // The next event line whose first word is `kind`; with `pump`, the client's side runs
    // meanwhile. Every line read on the way is added to seen.
    std::string wait_for(const std::string& kind, bool pump = true) {
        std::string found;
        auto arrived = [&] {
            char buf[512];
            for (ssize_t n; (n = read(ev_, buf, sizeof buf)) > 0;)
                buffer_.append(buf, static_cast<size_t>(n));
            for (size_t nl; found.empty() && (nl = buffer_.find('\n')) != std::string::npos;
                 buffer_.erase(0, nl + 1)) {
                seen += "[" + buffer_.substr(0, nl) + "] ";
                if ((buffer_.substr(0, nl) + " ").rfind(kind + " ", 0) == 0)
                    found = buffer_.substr(0, nl);
            }
            return !found.empty();
        };
        if (!pump_until(arrived, pump))
            ADD_FAILURE() << "no " << kind << " from the session manager; seen: " << seen;
        return found;
    }
    bool saw(const std::string& line_start) const {
        return seen.find("[" + line_start) != std::string::npos;
    }
    std::string network_ids, seen;

  private:
    pid_t pid_ = -1;
    int cmd_ = -1, ev_ = -1;
    std::string buffer_;
};

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        env.set("ICEAUTHORITY", tmp.path() + "/iceauth"); // no cookie file of the user
        env.unset("SESSION_MANAGER");                     // never the desktop's own manager
    }
    void TearDown() override { mt_sessioninteractiondone(); } // no connection left behind
    void connect(Manager& manager) {
        env.set("SESSION_MANAGER", manager.network_ids);
        mt_sessionhook();
        manager.wait_for("REGISTER");
    }
    // A logout that allows interaction, up to the moment the client holds the grant.
    void logout(Manager& manager) {
        connect(manager);
        manager.send("save 1 any");
        manager.wait_for("INTERACT_REQUEST");
        ASSERT_TRUE(pump_until([] { return shutdowninteractionkeyvalid; }));
    }
    InTempDir tmp;
    ScopedEnv env;
    Manager sm;
};

} // namespace

// Never restarted; saves without free interaction answered at once; Die ends in order.
TEST_F(Session, RegisteredNeverRestartedAndSavesWithoutInteractionAnswered) {
    connect(sm);
    for (const char* save : {"save 0 any", "save 0 none", "save 1 none", "save 1 errors"}) {
        sm.send(save);
        EXPECT_EQ(sm.wait_for("SAVE_YOURSELF_DONE"), "SAVE_YOURSELF_DONE 1") << save;
    }
    sm.send("sync");
    sm.wait_for("SYNCED");
    const std::string never = std::string("PROPERTY RestartStyleHint ") + char(SmRestartNever);
    EXPECT_TRUE(sm.saw(never + "]") && sm.saw("REGISTER -") && sm.saw("PROPERTY Program"))
        << sm.seen;
    EXPECT_FALSE(sm.saw("INTERACT_REQUEST")) << sm.seen;
    EXPECT_FALSE(programmende_gewuenscht || shutdowninteractionkeyvalid);
    sm.send("die");
    EXPECT_TRUE(pump_until([] { return programmende_gewuenscht; }));
    mt_sessioninteractiondone();
    sm.wait_for("CLOSE", false);
    EXPECT_FALSE(sm.saw("IOERROR") || sm.saw("INTERACT_DONE")) << sm.seen;
}

TEST_F(Session, InteractionGrantedAfterTheMainLoopStoppedIsStillAnswered) {
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

TEST_F(Session, LogoutCalledOffStillGetsItsSaveAnswered) {
    logout(sm);
    sm.send("cancel");
    sm.send("sync");
    sm.wait_for("SYNCED");
    // The end was already under way; it goes on, and the open save is still closed properly.
    EXPECT_TRUE(programmende_gewuenscht);
    mt_sessioninteractiondone();
    EXPECT_EQ(sm.wait_for("SAVE_YOURSELF_DONE", false), "SAVE_YOURSELF_DONE 1");
    sm.wait_for("CLOSE", false);
    EXPECT_FALSE(sm.saw("INTERACT_DONE")) << sm.seen;
}

TEST_F(Session, ManagerGoingAwayNeitherEndsNorKillsTheProgram) {
    connect(sm);
    sm.quit_and_wait();
    // The broken connection is noticed in the main loop; the process lives on.
    pump_until([] { return false; }, true, 100);
    EXPECT_FALSE(programmende_gewuenscht);
    Manager second;
    logout(second); // registered again with the new manager
    second.quit_and_wait();
    // The answers go to a closed socket; that must not kill the program with SIGPIPE.
    mt_sessioninteractiondone();
    EXPECT_FALSE(shutdowninteractionkeyvalid);
    EXPECT_TRUE(programmende_gewuenscht);
}
