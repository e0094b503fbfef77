#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/threads.h"
#include "test_support.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A thread that registers under a name, reports its handle and waits to be released.
struct Worker {
    std::string name;
    std::atomic<th_reg> handle{nullptr};
    std::atomic<bool> registered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> unregister_ok{false};
    GThread* thread = nullptr;

    static gpointer run(gpointer p) {
        auto* w = static_cast<Worker*>(p);
        w->handle = th_register(w->name.c_str());
        w->registered = true;
        while (!w->release) g_usleep(1000);
        if (w->handle) w->unregister_ok = th_unregister(nullptr);
        return nullptr;
    }
    void start() {
        thread = g_thread_new(name.c_str(), run, this);
        while (!registered) g_usleep(1000);
    }
    void stop() {
        release = true;
        g_thread_join(thread);
    }
};

} // namespace

TEST(Registry, ThirtyNodesThenFullThenReuse) {
    InTempDir tmp;
    iv_inidefaults();
    MODUS('P') = 1;
    // Threads of the process that live on (the lock monitor) keep their nodes.
    const int taken = th__count();
    const int free_nodes = 30 - taken;
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 0; i <= free_nodes; i++) {
        workers.push_back(std::make_unique<Worker>());
        workers.back()->name = "worker" + std::to_string(i);
        workers.back()->start();
    }
    for (int i = 0; i < free_nodes; i++) ASSERT_NE(workers[i]->handle.load(), nullptr) << i;
    EXPECT_EQ(workers[free_nodes]->handle.load(), nullptr) << "the 31st registration fails";
    EXPECT_EQ(th__count(), 30);
    EXPECT_NE(read_file("servilog.txt").find("th_register: no free node available."),
              std::string::npos);

    th_reg freed = workers[7]->handle;
    workers[7]->stop();
    EXPECT_TRUE(workers[7]->unregister_ok);
    EXPECT_FALSE(th_unregister(freed)) << "a handle that was already unregistered";
    EXPECT_NE(read_file("servilog.txt").find("th_unregister: handle invalid."), std::string::npos);

    Worker again;
    again.name = "a-name-of-twenty-ch";
    again.start();
    EXPECT_EQ(again.handle.load(), freed) << "the freed node is taken again";
    EXPECT_STREQ(again.handle.load()->name, "a-name-of-twent") << "names are cut at 15";
    again.stop();
    for (int i = 0; i <= free_nodes; i++)
        if (i != 7) workers[i]->stop();
    EXPECT_EQ(th__count(), taken);
    int dummy;
    EXPECT_FALSE(th_unregister(reinterpret_cast<th_reg>(&dummy))) << "not a node of the registry";
    iv_inidefaults();
}

TEST(Registry, SelfLookupAndUnnamed) {
    EXPECT_EQ(th__self(), nullptr);
    th_reg me = th_register(nullptr);
    ASSERT_NE(me, nullptr);
    EXPECT_STREQ(me->name, "*unnamed thread") << "cut to the 15 characters of a name";
    EXPECT_EQ(th__self(), me);
    EXPECT_TRUE(th_unregister(nullptr));
    EXPECT_EQ(th__self(), nullptr);
    EXPECT_FALSE(th_unregister(nullptr));
}

TEST(Sleeps, ProgramEndWithinHalfASecond) {
    programmende_gewuenscht = false;
    EXPECT_FALSE(th_msleep(0));
    EXPECT_FALSE(th_msleepx(120));

    GThread* setter = g_thread_new(
        "setter",
        [](gpointer) -> gpointer {
            g_usleep(100000);
            programmende_gewuenscht = true;
            return nullptr;
        },
        nullptr);
    // An hour's sleep: without the cut the case runs into its time-out.
    EXPECT_FALSE(th_msleepx(3600 * 1000)) << "false: the end was requested";
    g_thread_join(setter);
    programmende_gewuenscht = false;
}

TEST(Sleeps, TerminateEndsSleepsAndThreads) {
    if (!in_fresh_process()) return rerun_in_fresh_process(); // the end cannot be undone
    InTempDir tmp;
    iv_inidefaults();
    MODUS('P') = 1;
    static std::atomic<bool> after_exit{false};
    th_create(
        [](gpointer) -> gpointer {
            th_register("sleeper");
            th_msleepexit(60000);
            after_exit = true; // never reached while terminating
            return nullptr;
        },
        nullptr);
    while (th__count() == 0) g_usleep(1000);

    EXPECT_TRUE(th_terminate(5000)) << "the sleeper leaves the registry";
    EXPECT_TRUE(th_queryterminate());
    EXPECT_TRUE(th_msleep(10000)) << "returns at once after terminate";
    EXPECT_TRUE(th_msleepx(10000));
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("th_msleepexit: exiting \"sleeper\""), std::string::npos);
    th_msleepexit(10);
    EXPECT_NE(read_file("servilog.txt").find("th_msleepexit: thread was not registered"),
              std::string::npos);

    th_register("stubborn");
    EXPECT_FALSE(th_terminate(300)) << "a thread still registered";
    EXPECT_NE(read_file("servilog.txt").find("th_terminate error: \"stubborn\" is still runing."),
              std::string::npos);
    th_unregister(nullptr);
    EXPECT_FALSE(after_exit);
    iv_inidefaults();
}

TEST(LockStatistics, EntryValuesAndLine) {
    EXPECT_EQ(th__statvalue(1, true, 123), 1100123u);
    EXPECT_EQ(th__statvalue(1999, false, 654321), 999254321u)
        << "counter mod 1000, line mod 100000";
    EXPECT_EQ(th__statvalue(1000, true, 5), 100005u) << "after 1000 operations the counter is 000";

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

TEST(LockStatistics, EnterLeaveRecordRing) {
    for (int i = 0; i < 40; i++) {
        th_enter();
        th_leave();
    }
    int used = 0;
    for (int i = 0; i < th__statMAX; i++) used += th__stat[i] != 0;
    EXPECT_EQ(used, 30) << "a ring of 30; the last two entries stay 0";
    EXPECT_EQ(th__stat[30], 0u);
    EXPECT_EQ(th__stat[31], 0u);
    int enters = 0, leaves = 0;
    for (int i = 0; i < 30; i++) {
        unsigned kind = th__stat[i] / 100000 % 10;
        enters += kind == 1;
        leaves += kind == 2;
    }
    EXPECT_EQ(enters, 15);
    EXPECT_EQ(leaves, 15);
}
