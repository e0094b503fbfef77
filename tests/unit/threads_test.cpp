// The thread registry, the terminate step, and the GUI lock with its statistics.
#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/threads.h"
#include "test_support.h"

#include <atomic>
#include <gdk/gdk.h>

namespace {

// A thread that registers under a name, reports its handle and waits to be released.
struct Worker {
    std::string name;
    std::atomic<th_reg> handle{nullptr};
    std::atomic<bool> registered{false}, release{false}, unregister_ok{false};
    GThread* thread = nullptr;

    static gpointer run(gpointer p) {
        auto* w = static_cast<Worker*>(p);
        w->handle = th_register(w->name.c_str());
        w->registered = true;
        while (!w->release) g_usleep(1000);
        if (w->handle) w->unregister_ok = th_unregister(nullptr);
        return nullptr;
    }
    explicit Worker(std::string n) : name(std::move(n)) {
        thread = g_thread_new(name.c_str(), run, this);
        while (!registered) g_usleep(1000);
    }
    ~Worker() {
        release = true;
        g_thread_join(thread);
    }
};

} // namespace

TEST(Registry, FullThenFreedNodeReused) {
    InTempDir tmp;
    fresh_record();
    const int before = th__count(); // threads other tests left registered (th__monitor)
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = before; i <= 30; i++)
        workers.push_back(std::make_unique<Worker>("w" + std::to_string(i)));
    EXPECT_EQ(workers.back()->handle.load(), nullptr) << "the 31st registration fails";
    EXPECT_EQ(th__count(), 30);
    EXPECT_NE(read_file("servilog.txt").find("th_register: no free node available."),
              std::string::npos);
    th_reg freed = workers[0]->handle;
    workers.erase(workers.begin());
    EXPECT_FALSE(th_unregister(freed)) << "a handle that was already unregistered";
    Worker again("a-name-of-twenty-ch");
    EXPECT_EQ(again.handle.load(), freed) << "the freed node is taken again";
    EXPECT_STREQ(again.handle.load()->name, "a-name-of-twent") << "names are cut at 15";
    int dummy;
    EXPECT_FALSE(th_unregister(reinterpret_cast<th_reg>(&dummy))) << "not a node of the registry";
    workers.clear();
}

TEST(Sleeps, ProgramEndCutsASleepAndTerminateEndsSleepersForGood) {
    GThread* setter = g_thread_new(
        "setter",
        [](gpointer) -> gpointer {
            g_usleep(100000);
            th_requestend();
            return nullptr;
        },
        nullptr);
    // An hour's sleep: without the cut the case runs into its time-out.
    EXPECT_FALSE(th_msleepx(3600 * 1000)) << "false: the end was requested";
    g_thread_join(setter);
    programmende_gewuenscht = false;

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
    th_register("stubborn");
    EXPECT_FALSE(th_terminate(300));
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("th_msleepexit: exiting \"sleeper\""), std::string::npos);
    EXPECT_NE(log.find("th_terminate error: \"stubborn\" is still runing."), std::string::npos);
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
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("!GUI lock taken again by the thread that holds it"), std::string::npos);
    EXPECT_NE(log.find("!GUI lock released by a thread that does not hold it."), std::string::npos);
}

TEST(LockStatistics, LineOfTheLastEntries) {
    guint32 stat[th__statMAX] = {};
    stat[0] = th__statvalue(5, true, 10);
    stat[1] = th__statvalue(5, false, 12);
    stat[2] = th__statvalue(4, true, 99);
    stat[3] = th__statvalue(999, true, 7); // from across the wrap: skipped
    char line[800];
    th__statline(stat, line, sizeof line);
    EXPECT_STREQ(line, "GTK thread locks (nnnxlllll for counter, enter/leave, line number):"
                       " 4E00099 5E00010 5L00012\n");
}
