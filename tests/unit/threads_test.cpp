// The thread registry, sleeps cut short, the terminate step, the GUI lock.
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <atomic>
#include <functional>
#include <thread>

namespace {

// An unnamed thread that registers under a name, reports its handle and waits to be released.
struct Worker {
    std::atomic<th_reg> handle{nullptr};
    std::atomic<bool> registered{false}, release{false};
    std::thread thread;

    explicit Worker(const std::string& name)
        : thread([this, name] {
              handle = th_register(name.c_str());
              registered = true;
              while (!release) g_usleep(1000);
              if (handle) th_unregister(nullptr);
          }) {
        while (!registered) g_usleep(1000);
    }
    ~Worker() {
        release = true;
        thread.join();
    }
};

} // namespace

TEST(Registry, FullThenFreedNodeReusedAndNamesCutForTheSystem) {
    InTempDir tmp;
    fresh_record();
    const int before = th__count(); // threads other tests left registered (th__monitor)
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = before; i <= 30; i++)
        workers.push_back(std::make_unique<Worker>("w" + std::to_string(i)));
    EXPECT_EQ(workers.back()->handle.load(), nullptr) << "the 31st registration fails";
    EXPECT_EQ(th__count(), 30);
    th_reg freed = workers[0]->handle;
    workers.erase(workers.begin());
    EXPECT_FALSE(th_unregister(freed)) << "a handle that was already unregistered";
    Worker again("cf__settingsupdatethread");
    EXPECT_EQ(again.handle.load(), freed) << "the freed node is taken again";
    EXPECT_STREQ(again.handle.load()->name, "cf__settingsupd") << "names are cut at 15";
    std::string names; // the threads' names as top -H shows them, each after a '['
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        names += "[" + read_file(task.path() / "comm");
    EXPECT_NE(names.find("[w29\n"), std::string::npos) << names;
    EXPECT_NE(names.find("[cf__settingsupd\n"), std::string::npos) << names;
    int dummy;
    EXPECT_FALSE(th_unregister(reinterpret_cast<th_reg>(&dummy))) << "not a node of the registry";
}

TEST(Sleeps, AnEndRequestOrNewWorkWakesTheSleeperAtOnce) {
    constexpr unsigned long an_hour = 3600 * 1000;
    static std::atomic<bool> work{false};
    struct {
        const char* what;
        std::function<bool()> sleep; // true: woken by the request
        std::function<void()> wake;
    } cases[] = {
        {"msleepx", [] { return msleepx(an_hour); }, th_requestend},
        {"th_msleepx", [] { return !th_msleepx(an_hour); }, th_requestend},
        {"th_waitfor", [] { return th_waitfor(an_hour, [] { return work.load(); }); },
         [] {
             work = true;
             th_wakeall();
         }},
    };
    for (const auto& c : cases) {
        std::atomic<bool> requested{false}, finished{false}, by_request{false};
        std::thread sleeper([&] {
            by_request = c.sleep() && requested;
            finished = true;
        });
        g_usleep(20000); // let it reach its wait; a request before it must not be lost either
        requested = true;
        c.wake();
        // A deadline against a lost wake-up, so that a fault fails instead of hanging.
        for (int i = 0; i < 6000 && !finished; i++) g_usleep(10000);
        EXPECT_TRUE(finished && by_request) << c.what;
        finished ? sleeper.join() : sleeper.detach();
        programmende_gewuenscht = false;
        work = false;
    }
}

TEST(Sleeps, TerminateEndsSleepersForGood) {
    if (!in_fresh_process()) return rerun_in_fresh_process(); // the end cannot be undone
    InTempDir tmp;
    fresh_record();
    const int before = th__count();
    th_create(
        [](gpointer) -> gpointer {
            th_register("sleeper");
            th_msleepexit(3600 * 1000);
            return nullptr;
        },
        nullptr);
    while (th__count() == before) g_usleep(1000);
    EXPECT_TRUE(th_terminate(5000)) << "the sleeper leaves the registry";
    EXPECT_TRUE(th_msleep(3600 * 1000) && th_msleepx(3600 * 1000)) << "at once after terminate";
}

TEST(GuiLock, NestedOrForeignUseIsReportedAndDoesNotHang) {
    if (!in_fresh_process()) return rerun_in_fresh_process(); // the lock is set up for good
    InTempDir tmp;
    iv_inidefaults();
    th_guiinit();
    th_enter();
    EXPECT_TRUE(th__guilockheld());
    th_enter(); // a fault of the caller: reported, and the inner pair does nothing
    th_leave();
    EXPECT_TRUE(th__guilockheld());
    EXPECT_EQ(th__guilockfaults, 1);
    th_leave();
    EXPECT_FALSE(th__guilockheld());
    th_leave(); // not held
    EXPECT_EQ(th__guilockfaults, 2);
}
