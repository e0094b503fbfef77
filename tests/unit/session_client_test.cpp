// The session-manager client against a real XSMP session manager (tests/sm, on the ICE local
// transport). The logout that asks to interact is followed through the real program by
// tests/e2e/test_session_logout.sh; here the other requests of a session and its failures.
// The test prelude with GoogleTest first: the X headers define Bool as a macro.
#include "test_support.h"

#include "control/session_client.h"
#include "core/session_state.h"

#include <X11/SM/SMlib.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <glib.h>
#include <poll.h>
#include <sys/wait.h>

namespace {

// Runs the client's side of the main loop, as the GUI thread would, until `done` holds or a
// guard time passes (it only guards against a hang; it is not what is tested).
bool pump_until(const std::function<bool()>& done, int guard_ms = 15000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(guard_ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (!done()) g_usleep(5000);
    }
    return done();
}

// The session manager in a process of its own: commands to its standard input, its event
// lines from its standard output.
class Manager {
  public:
    Manager() {
        int cmd[2], ev[2];
        if (pipe(cmd) != 0 || pipe(ev) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(cmd[0], 0), dup2(ev[1], 1);
            for (int fd = 3; fd < 1024; fd++) close(fd); // no connection of earlier cases
            execl(SESSION_MANAGER_BIN, SESSION_MANAGER_BIN, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(cmd[0]), close(ev[1]);
        cmd_ = cmd[1], ev_ = ev[0];
        std::string listen = wait_for("LISTEN", false);
        if (listen.size() > 7) network_ids = listen.substr(7);
    }
    ~Manager() {
        close(cmd_); // end of commands: the manager ends
        close(ev_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    void send(const std::string& command) {
        std::string line = command + "\n";
        ASSERT_EQ(write(cmd_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    void quit_and_wait() {
        send("quit");
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The next event line whose first word is `kind`; with `pump`, the client's side runs in
    // between. Every line read on the way is kept in seen.
    std::string wait_for(const std::string& kind, bool pump = true) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
                seen.push_back(buffer_.substr(0, nl));
                buffer_.erase(0, nl + 1);
                if ((seen.back() + " ").rfind(kind + " ", 0) == 0) return seen.back();
            }
            while (pump && g_main_context_iteration(nullptr, FALSE)) {
            }
            pollfd p{ev_, POLLIN, 0};
            char buf[512];
            if (poll(&p, 1, 20) > 0) {
                ssize_t n = read(ev_, buf, sizeof buf);
                if (n <= 0) break;
                buffer_.append(buf, static_cast<size_t>(n));
            }
        }
        ADD_FAILURE() << "no " << kind << " from the session manager; seen: " << joined();
        return "";
    }
    bool saw_kind(const std::string& kind) const {
        return joined().find("[" + kind) != std::string::npos;
    }
    std::string joined() const {
        std::string s;
        for (const auto& l : seen) s += "[" + l + "] ";
        return s;
    }
    std::string network_ids;
    std::vector<std::string> seen;

  private:
    pid_t pid_ = -1;
    int cmd_ = -1, ev_ = -1;
    std::string buffer_;
};

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        shutdowninteractionkey = -1;
        shutdowninteractionkeyvalid = programmende_gewuenscht = false;
        env.set("ICEAUTHORITY", tmp.path() + "/iceauth"); // no cookie file of the user
        env.unset("SESSION_MANAGER");                     // never the desktop's own manager
    }
    void TearDown() override { mt_sessioninteractiondone(); } // no connection left behind
    void connect(Manager& sm) {
        env.set("SESSION_MANAGER", sm.network_ids);
        mt_sessionhook();
        sm.wait_for("REGISTER");
    }
    // A logout that allows interaction, up to the moment the client holds the grant.
    void logout(Manager& sm) {
        connect(sm);
        sm.send("save 1 any");
        sm.wait_for("INTERACT_REQUEST");
        ASSERT_TRUE(pump_until([] { return shutdowninteractionkeyvalid; }));
    }
    InTempDir tmp;
    ScopedEnv env;
};

} // namespace

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
    const std::string never = std::string("PROPERTY RestartStyleHint ") + char(SmRestartNever);
    EXPECT_TRUE(sm.saw_kind(never + "]") && sm.saw_kind("REGISTER -") &&
                sm.saw_kind("PROPERTY Program"))
        << sm.joined();
    EXPECT_FALSE(sm.saw_kind("INTERACT_REQUEST")) << sm.joined();
    EXPECT_FALSE(programmende_gewuenscht || shutdowninteractionkeyvalid);
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
    EXPECT_FALSE(sm.saw_kind("IOERROR") || sm.saw_kind("INTERACT_DONE")) << sm.joined();
}

TEST_F(Session, ManagerGoingAwayLeavesTheProgramRunningAndFreeToReconnect) {
    {
        Manager sm;
        connect(sm);
        sm.quit_and_wait();
        // The broken connection is noticed in the main loop; the process lives on.
        pump_until([] { return false; }, 100);
        EXPECT_FALSE(programmende_gewuenscht);
    }
    Manager second;
    connect(second); // registers again with the new manager
    second.send("save 0 none");
    EXPECT_EQ(second.wait_for("SAVE_YOURSELF_DONE"), "SAVE_YOURSELF_DONE 1");
}

TEST_F(Session, LogoutCalledOffStillGetsItsSaveAnswered) {
    Manager sm;
    logout(sm);
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
    logout(sm);
    sm.quit_and_wait();
    // The answers go to a closed socket; that must not kill the program with SIGPIPE.
    mt_sessioninteractiondone();
    EXPECT_FALSE(shutdowninteractionkeyvalid);
    EXPECT_TRUE(programmende_gewuenscht);
}
