// Process flags and the shared record, against the real System V IPC of the machine. Keys
// are derived from the test process id so that tests running side by side never meet.
#include "control/instance_interface.h"
#include "control/program_entry.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

#include <cerrno>
#include <sched.h>
#include <sys/ipc.h>
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

void raw_semvalues(unsigned long key, unsigned short v[2]) {
    int id = semget(static_cast<key_t>(key), 2, 0);
    ASSERT_GE(id, 0);
    v[0] = static_cast<unsigned short>(semctl(id, 0, GETVAL));
    v[1] = static_cast<unsigned short>(semctl(id, 1, GETVAL));
}

void raw_setflag(unsigned long key, unsigned short v0, unsigned short v1) {
    int id = semget(static_cast<key_t>(key), 2, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    ASSERT_EQ(semctl(id, 0, SETVAL, static_cast<int>(v0)), 0);
    ASSERT_EQ(semctl(id, 1, SETVAL, static_cast<int>(v1)), 0);
}

// Removes every semaphore set and segment of the test's keys, whatever the test left.
class IpcTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ii_stop();
        for (int n = 0; n < 16; n++) {
            key_t k = static_cast<key_t>(test_key(n));
            int s = semget(k, 0, 0);
            if (s >= 0) semctl(s, 0, IPC_RMID);
            int m = shmget(k, 0, 0);
            if (m >= 0) shmctl(m, IPC_RMID, nullptr);
        }
    }
};

// An independent reader of the record: its own attachment and raw offsets.
class RawRecord {
  public:
    explicit RawRecord(unsigned long key) {
        int id = shmget(static_cast<key_t>(key), 0, 0);
        if (id >= 0) p_ = static_cast<unsigned char*>(shmat(id, nullptr, SHM_RDONLY));
        if (p_ == reinterpret_cast<unsigned char*>(-1)) p_ = nullptr;
    }
    ~RawRecord() {
        if (p_) shmdt(p_);
    }
    bool ok() const { return p_ != nullptr; }
    unsigned le(size_t off, size_t n) const {
        unsigned v = 0;
        for (size_t i = 0; i < n; i++) v |= static_cast<unsigned>(p_[off + i]) << (8 * i);
        return v;
    }
    unsigned char byte(size_t off) const { return p_[off]; }
    std::string text(size_t off) const { return reinterpret_cast<const char*>(p_ + off); }

  private:
    unsigned char* p_ = nullptr;
};

} // namespace

TEST_F(IpcTest, FlagsHoldThePidOfALiveProcess) {
    unsigned long key = test_key(0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key)) << "a query must not create the flag";
    fl_set(key);
    // Other programs read the pid in two semaphores of fifteen bits each.
    unsigned short v[2], want[2] = {static_cast<unsigned short>(getpid() & 0x7FFF),
                                    static_cast<unsigned short>(getpid() >> 15)};
    raw_semvalues(key, v);
    EXPECT_TRUE(v[0] == want[0] && v[1] == want[1]);
    EXPECT_EQ(fl_holder(key), getpid());
    fl_clear(key);
    EXPECT_FALSE(sem_exists(key));

    // Written by another program; then empty, which removes it.
    raw_setflag(key, want[0], want[1]);
    EXPECT_TRUE(fl_query(key));
    raw_setflag(key, 0, 0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key));

    // Left behind by a process that has gone.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        fl_set(key);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    raw_semvalues(key, v);
    ASSERT_EQ(v[0] | v[1] << 15, child);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key));
}

TEST_F(IpcTest, SmsSignalReportsRisingEdgeOnly) {
    smssignal = test_key(3);
    EXPECT_FALSE(ia_smssignal(0));
    EXPECT_FALSE(ia_smssignal(1));
    EXPECT_TRUE(ia_smssignal(0));
    EXPECT_FALSE(ia_smssignal(0)) << "still set: no new edge";
    EXPECT_FALSE(ia_smssignal(2));
    EXPECT_FALSE(sem_exists(smssignal));
    EXPECT_FALSE(ia_smssignal(0));
    ia_smssignal(1);
    EXPECT_TRUE(ia_smssignal(0));
}

TEST_F(IpcTest, CreatedRecordHeadOwnerOnlyAndBoundedTexts) {
    mvliok = test_key(5);
    inidat.ipcmod = 0;
    inidat.headerv = 1234;
    inidat.headervoffset = 5678;
    inidat.headert = 4321;
    ii_start(true);
    ASSERT_NE(mvliow, nullptr);
    struct shmid_ds ds;
    ASSERT_EQ(shmctl(ii__mvlioid, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0600u) << "without a setting only the owner may use it";
    EXPECT_EQ(ds.shm_segsz, 1024u);
    RawRecord raw(mvliok);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.le(0, 4), 984u);
    EXPECT_EQ(raw.le(4, 2), 3u);
    EXPECT_EQ(raw.le(6, 2), 4u) << "version 0.4";
    EXPECT_EQ(raw.le(124, 4), 1239u) << "volume with the offset in kB";
    EXPECT_EQ(raw.le(128, 4), 4321u);
    MVLIOw(volume, 0u);
    MVLIOw(time, 0u);
    for (size_t off = 8; off < 984; off++) ASSERT_EQ(raw.byte(off), 0) << "offset " << off;
    MVLIOs(network_name, std::string(70, 'x').c_str());
    EXPECT_EQ(raw.text(154), std::string(31, 'x'));
    EXPECT_EQ(raw.byte(186), 0) << "the field behind is untouched";

    MVLIOw(process_counter, 12u);
    ii_stop();
    EXPECT_EQ(raw.le(120, 4), 0u) << "readers see that the main instance left";
    MVLIOw(process_counter, 13u); // no record: nothing happens
    EXPECT_EQ(raw.le(120, 4), 0u);
}

TEST_F(IpcTest, LeftoverSegmentIsTakenOverWithTheConfiguredPermissions) {
    mvliok = test_key(13);
    int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    auto* seg = static_cast<unsigned char*>(shmat(id, nullptr, 0));
    ASSERT_NE(seg, reinterpret_cast<unsigned char*>(-1));
    memset(seg, 0xA5, 1024);
    shmdt(seg);
    // IPC_EXCL among the configured bits must not keep the new instance from its record.
    inidat.ipcmod = 02644;
    inidat.headerv = inidat.headervoffset = inidat.headert = 0;
    ii_start(true);
    ASSERT_EQ(ii__mvlioid, id);
    RawRecord raw(mvliok);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.le(0, 4), 984u);
    for (size_t off = 8; off < 984; off++) ASSERT_EQ(raw.byte(off), 0) << "offset " << off;
    ii_stop();
    EXPECT_FALSE(shm_exists(mvliok)) << "gone once the last reader detached";
    inidat.ipcmod = 0644;
    ii_start(true);
    struct shmid_ds ds;
    ASSERT_EQ(shmctl(ii__mvlioid, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0644u);
}

TEST_F(IpcTest, ReaderWritesOnlyTheCommandAndLeavesTheRecordInPlace) {
    mvliok = test_key(10);
    ii_start(false);
    EXPECT_EQ(mvlior, nullptr) << "no record yet: none";
    int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    auto* seg = static_cast<unsigned char*>(shmat(id, nullptr, 0));
    ASSERT_NE(seg, reinterpret_cast<unsigned char*>(-1));
    seg[120] = 5; // the main instance's change counter
    ii_start(false);
    ASSERT_NE(mvlior, nullptr);
    EXPECT_TRUE(mvlior_rw && ii_commandrecord()) << "may send commands";
    EXPECT_EQ(mvliow, nullptr) << "but the status fields are the main instance's";
    const std::vector<unsigned char> before(seg, seg + 984);
    MVLIOs(mini_message, "own text");
    MVLIOw(process_counter, 6u);
    EXPECT_EQ(std::vector<unsigned char>(seg, seg + 984), before);
    ii_stop();
    EXPECT_TRUE(shm_exists(mvliok)) << "a reader must not take the record away";
    EXPECT_EQ(seg[120], 5) << "a reader that ends must not report the main instance gone";
    shmdt(seg);
}

TEST(InstanceKeys, InstanceTwoMovesFlagsAndRecordForOutsidePrograms) {
    // In an IPC namespace of its own, so the program's real keys can be used.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWIPC) != 0) _exit(77);
        char a0[] = "mavlyn", a1[] = "INSTANCE=2";
        char* argv[] = {a0, a1, nullptr};
        mt__parameterwords(2, argv);
        fl_set(aktivsignal);
        fl_set(endesignal);
        fl_set(konfigaktivsignal);
        ia_smssignal(1);
        ii_start(true);
        bool ok = ia_instance_isactive() && ia_configinstance_isactive();
        for (unsigned long k : {0x4B564FA0ul, 0x4B564FB0ul, 0x4B564FC0ul, 0x4B564FD0ul})
            ok = ok && sem_exists(k + 2) && !sem_exists(k);
        ok = ok && shm_exists(0x4B564FF2) && !shm_exists(0x4B564FF0);
        ii_stop();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no IPC namespace of our own";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "flags and record not at their keys + 2";
}
