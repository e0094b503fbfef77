// Waiting threads sleep until there is work or an end request, and carry their names in the
// system.
#include "core/session_state.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <atomic>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long an_hour = 3600 * 1000;
std::atomic<bool> work{false};

// The names of this process's threads as top -H shows them.
std::set<std::string> task_names() {
    std::set<std::string> names;
    DIR* d = opendir("/proc/self/task");
    while (dirent* e = d ? readdir(d) : nullptr) {
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name)) names.insert(name);
    }
    if (d) closedir(d);
    return names;
}

} // namespace

TEST(ThreadWaits, AnEndRequestOrNewWorkWakesTheSleeperAtOnce) {
    struct Case {
        const char* what;
        std::function<bool()> sleep;
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
    for (const Case& c : cases) {
        std::mutex m;
        std::vector<std::string> events;
        auto note = [&](const std::string& e) {
            std::lock_guard<std::mutex> lock(m);
            events.push_back(e);
        };
        std::atomic<bool> asleep{false}, finished{false};
        std::thread sleeper([&] {
            asleep = true;
            note(c.sleep() ? "woken by the request" : "woken otherwise");
            finished = true;
        });
        while (!asleep) g_usleep(1000);
        g_usleep(20000); // let it reach its wait; a request before it must not be lost either
        note("request");
        c.wake();
        // A deadline against a lost wake-up, so that a fault fails instead of hanging.
        for (int i = 0; i < 6000 && !finished; i++) g_usleep(10000);
        EXPECT_TRUE(finished) << c.what << " slept on after the request";
        if (finished) {
            sleeper.join();
            EXPECT_EQ(events, (std::vector<std::string>{"request", "woken by the request"}))
                << c.what;
        } else {
            sleeper.detach();
        }
        programmende_gewuenscht = false;
        work = false;
    }
}

TEST(ThreadWaits, RegisteredThreadsCarryTheirNamesInTheSystem) {
    InTempDir tmp;
    std::atomic<int> registered{0};
    std::atomic<bool> release{false};
    std::vector<std::thread> threads;
    for (const char* name : {"warningthread", "cf__settingsupdatethread"})
        threads.emplace_back([&, name] {
            th_reg self = th_register(name);
            registered++;
            while (!release) g_usleep(1000);
            th_unregister(self);
        });
    while (registered < 2) g_usleep(1000);
    std::set<std::string> names = task_names();
    release = true;
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(names.count("warningthread"));
    EXPECT_TRUE(names.count("cf__settingsupd")) << "cut to the 15 characters the system keeps";
}
