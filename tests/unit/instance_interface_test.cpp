// Process flags and the shared record against the machine's System V IPC, on per-test keys.
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

#include <pwd.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>

namespace {

unsigned long test_key(int n) {
    return 0x3A000000ul + ((static_cast<unsigned long>(getpid()) & 0xFFFFFul) << 4) +
           static_cast<unsigned long>(n);
}

bool sem_exists(unsigned long key) {
    return semget(static_cast<key_t>(key), 0, 0) >= 0;
}

bool shm_exists(unsigned long key) {
    return shmget(static_cast<key_t>(key), 0, 0) >= 0;
}

// The pid other programs read from a flag: two semaphores of fifteen bits each.
int flag_pid(unsigned long key) {
    int id = semget(static_cast<key_t>(key), 2, 0);
    int low = id < 0 ? -1 : semctl(id, 0, GETVAL);
    return low < 0 || low > 0x7FFF ? -1 : low | semctl(id, 1, GETVAL) << 15;
}

void set_flag_pid(unsigned long key, int pid) {
    int id = semget(static_cast<key_t>(key), 2, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    ASSERT_EQ(semctl(id, 0, SETVAL, pid & 0x7FFF) | semctl(id, 1, SETVAL, pid >> 15), 0);
}

// Removes every semaphore set and segment of the test's keys, whatever the test left.
class IpcTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ii_stop();
        for (int n = 0; n < 16; n++)
            for (int chained = 0; chained < ii__KEYCHAIN; chained++)
                for (unsigned uid : {0u, 65534u}) {
                    key_t k = static_cast<key_t>(ii__chainkey(test_key(n), uid, chained));
                    int s = semget(k, 0, 0);
                    if (s >= 0) semctl(s, 0, IPC_RMID);
                    int m = shmget(k, 0, 0);
                    if (m >= 0) shmctl(m, IPC_RMID, nullptr);
                }
    }
};

// Runs f as the user nobody in a child; true when f returned true there.
template <typename F> bool as_nobody(F f) {
    const passwd* nobody = getpwnam("nobody");
    pid_t child = fork();
    if (child == 0)
        _exit(nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0 && f() ? 0 : 1);
    int status = 1;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

class Ownership : public IpcTest {
  protected:
    void SetUp() override {
        if (geteuid() != 0 || !getpwnam("nobody")) GTEST_SKIP() << "needs root and nobody";
        inidat.ipcmod = 0;
    }
};

// The record as another program sees it; `size` makes the segment first, as a leftover.
struct Attached {
    explicit Attached(unsigned long key, size_t size = 0) {
        int id = shmget(static_cast<key_t>(key), size, size ? IPC_CREAT | 0600 : 0);
        void* a = id < 0 ? nullptr : shmat(id, nullptr, size ? 0 : SHM_RDONLY);
        p = a == reinterpret_cast<void*>(-1) ? nullptr : static_cast<unsigned char*>(a);
    }
    ~Attached() {
        if (p) shmdt(p);
    }
    unsigned le(size_t off, size_t n) const {
        unsigned v = 0;
        for (size_t i = 0; i < n; i++) v |= static_cast<unsigned>(p[off + i]) << (8 * i);
        return v;
    }
    unsigned char* p = nullptr;
};

} // namespace

TEST_F(IpcTest, FlagsHoldThePidOfALiveProcess) {
    unsigned long key = test_key(0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key)) << "a query must not create the flag";
    fl_set(key);
    EXPECT_EQ(flag_pid(key), getpid());
    EXPECT_EQ(fl_holder(key), getpid());
    fl_clear(key);
    EXPECT_FALSE(sem_exists(key));

    // Written by another program; then empty, which removes it.
    set_flag_pid(key, getpid());
    EXPECT_TRUE(fl_query(key));
    set_flag_pid(key, 0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key));

    // Left behind by a process that has gone.
    pid_t child = fork();
    if (child == 0) {
        fl_set(key);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    ASSERT_EQ(flag_pid(key), child);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key));
}

TEST_F(IpcTest, SmsSignalReportsRisingEdgeOnly) {
    smssignal = test_key(3);
    std::string edges; // 0 asks, 1 sets as an outside program does, 2 removes
    for (int v : {0, 1, 0, 0, 2}) edges += ia_smssignal(v) ? '^' : '.';
    EXPECT_FALSE(sem_exists(smssignal));
    for (int v : {0, 1, 0}) edges += ia_smssignal(v) ? '^' : '.';
    EXPECT_EQ(edges, "..^....^");
}

// An instance of before left its record: taken over, cleared below its head, gone with us.
TEST_F(IpcTest, LeftoverRecordTakenOverWithItsHeadAndBoundedTexts) {
    mvliok = test_key(5);
    {
        Attached left(mvliok, 1024);
        ASSERT_TRUE(left.p);
        memset(left.p, 0xA5, 1024);
    }
    const int id = shmget(static_cast<key_t>(mvliok), 0, 0);
    inidat.ipcmod = 02644; // IPC_EXCL among the configured bits must not keep it from its record
    inidat.headerv = 1234;
    inidat.headervoffset = 5678;
    inidat.headert = 4321;
    ii_start(true);
    ASSERT_EQ(ii__mvlioid, id);
    Attached raw(mvliok);
    ASSERT_TRUE(raw.p);
    EXPECT_EQ(raw.le(0, 4), 984u);
    EXPECT_EQ(raw.le(4, 2), 3u);
    EXPECT_EQ(raw.le(6, 2), 4u) << "version 0.4";
    EXPECT_EQ(raw.le(124, 4), 1239u) << "volume with the offset in kB";
    EXPECT_EQ(raw.le(128, 4), 4321u);
    MVLIOw(volume, 0u);
    MVLIOw(time, 0u);
    for (size_t off = 8; off < 984; off++) ASSERT_EQ(raw.p[off], 0) << "offset " << off;
    MVLIOs(network_name, std::string(70, 'x').c_str());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw.p + 154)), std::string(31, 'x'));
    EXPECT_EQ(raw.p[186], 0) << "the field behind is untouched";
    ii_stop();
    EXPECT_FALSE(shm_exists(mvliok)) << "gone with the instance";
    inidat.ipcmod = 0644;
    ii_start(true);
    struct shmid_ds ds;
    ASSERT_EQ(shmctl(ii__mvlioid, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0644u);
    EXPECT_EQ(ds.shm_segsz, 1024u);
}

TEST_F(IpcTest, ReaderMaySendCommandsAndLeavesTheRecordInPlace) {
    mvliok = test_key(10);
    Attached main_instance(mvliok, 1024);
    ASSERT_TRUE(main_instance.p);
    main_instance.p[120] = 5; // the main instance's change counter
    ii_start(false);
    ASSERT_NE(mvlior, nullptr);
    EXPECT_TRUE(mvlior_rw && ii_commandrecord()) << "may send commands";
    EXPECT_EQ(mvliow, nullptr) << "but the status fields are the main instance's";
    MVLIOw(process_counter, 6u);
    ii_stop();
    EXPECT_TRUE(shm_exists(mvliok)) << "a reader must not take the record away";
    EXPECT_EQ(main_instance.p[120], 5)
        << "a reader that ends must not report the main instance gone";
}

TEST(OwnershipRules, OnlyOwnObjectsWithinTheConfiguredRights) {
    struct {
        ii__ipcowner o;
        unsigned allowed;
        bool used;
    } table[] = {
        {{1000, 1000, 0600}, 0600, true},  // as the program makes it
        {{1000, 1000, 0400}, 0600, true},  // narrower
        {{1000, 1000, 0666}, 0600, false}, // anybody may have written into it
        {{1000, 1000, 0644}, 0644, true},  // IPC=0644
        {{1000, 1000, 0660}, 0644, false}, // group write beyond IPC=0644
        {{1001, 1001, 0600}, 0600, false}, // another user's
        {{1000, 1001, 0600}, 0600, false}, // made by another user and handed over: still theirs
        {{1001, 1000, 0600}, 0600, false},
    };
    for (auto& row : table)
        EXPECT_EQ(ii__trusted(row.o, 1000, row.allowed), row.used)
            << row.o.uid << " " << row.o.cuid << " " << std::oct << row.o.mode;
}

TEST_F(Ownership, ReaderFindsTheOwnRecordBehindAForeignOne) {
    mvliok = test_key(2);
    ASSERT_TRUE(as_nobody([&] {
        int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0666);
        return id >= 0;
    }));
    int own = shmget(static_cast<key_t>(ii__chainkey(mvliok, geteuid(), 1)), 1024,
                     IPC_CREAT | IPC_EXCL | 0600);
    ASSERT_GE(own, 0);
    ii_start(false);
    ASSERT_NE(mvlior, nullptr);
    EXPECT_EQ(ii__mvlioid, own);
    MVLIOs(command, "mavlyn_END");
    ii_stop();
    int foreign = shmget(static_cast<key_t>(mvliok), 0, 0);
    auto* seg = static_cast<const char*>(shmat(foreign, nullptr, SHM_RDONLY));
    ASSERT_NE(seg, reinterpret_cast<const char*>(-1));
    EXPECT_EQ(seg[20], 0) << "no command went to the other user";
    shmdt(seg);
}
