// Flags and the shared record against objects that another user placed under their keys
// first. Keys are derived from the test process id, so that test runs never meet.
#include "control/instance_interface.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

#include <pwd.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>

namespace {

unsigned long base_key(int n) {
    return 0x5C000000ul + ((static_cast<unsigned long>(getpid()) & 0xFFFFul) << 8) +
           static_cast<unsigned long>(n) * 16;
}

unsigned long chain(unsigned long key, int n) {
    return ii__chainkey(key, static_cast<unsigned>(geteuid()), n);
}

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

class Ownership : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0 || !getpwnam("nobody")) GTEST_SKIP() << "needs root and nobody";
        inidat.ipcmod = 0;
    }
    void TearDown() override {
        ii_stop();
        for (int k = 0; k < 4; k++)
            for (int n = 0; n < ii__KEYCHAIN; n++)
                for (unsigned uid : {0u, 65534u}) {
                    key_t key = static_cast<key_t>(ii__chainkey(base_key(k), uid, n));
                    int s = semget(key, 0, 0);
                    if (s >= 0) semctl(s, 0, IPC_RMID);
                    int m = shmget(key, 0, 0);
                    if (m >= 0) shmctl(m, IPC_RMID, nullptr);
                }
    }
};

} // namespace

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

TEST_F(Ownership, OwnFlagWithWiderRightsIsDropped) {
    const unsigned long key = base_key(1);
    int id = semget(static_cast<key_t>(key), 2, IPC_CREAT | 0666);
    ASSERT_GE(id, 0);
    ASSERT_EQ(semctl(id, 0, SETVAL, 1), 0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_LT(semget(static_cast<key_t>(key), 0, 0), 0);
    fl_set(key);
    struct semid_ds ds;
    id = semget(static_cast<key_t>(key), 0, 0);
    ASSERT_GE(id, 0) << "made anew under its own key";
    ASSERT_EQ(semctl(id, 0, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.sem_perm.mode & 0777, 0600u);
}

TEST_F(Ownership, ReaderFindsTheOwnRecordBehindAForeignOne) {
    mvliok = base_key(2);
    ASSERT_TRUE(as_nobody([&] {
        int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0666);
        return id >= 0;
    }));
    int own = shmget(static_cast<key_t>(chain(mvliok, 1)), 1024, IPC_CREAT | IPC_EXCL | 0600);
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
