// Process flags and the shared record, against the real System V IPC of the machine. Keys
// are derived from the test process id so that tests running side by side never meet.
#include "config/config_record.h"
#include "control/instance_interface.h"
#include "control/program_entry.h"
#include "control/session_state.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <string>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Removes every semaphore set and segment of the test's keys, whatever the test left, and
// gives the program its keys and settings back.
class IpcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keys_[0] = aktivsignal;
        keys_[1] = endesignal;
        keys_[2] = konfigaktivsignal;
        keys_[3] = smssignal;
        keys_[4] = mvliok;
        ipcmod_ = inidat.ipcmod;
    }
    void TearDown() override {
        ii_stop();
        aktivsignal = keys_[0];
        endesignal = keys_[1];
        konfigaktivsignal = keys_[2];
        smssignal = keys_[3];
        mvliok = keys_[4];
        inidat.ipcmod = ipcmod_;
        for (int n = 0; n < 16; n++) {
            key_t k = static_cast<key_t>(test_key(n));
            int s = semget(k, 0, 0);
            if (s >= 0) semctl(s, 0, IPC_RMID);
            int m = shmget(k, 0, 0);
            if (m >= 0) shmctl(m, IPC_RMID, nullptr);
        }
    }

  private:
    unsigned long keys_[5] = {};
    int ipcmod_ = 0;
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

TEST(ProcessFlagPid, SplitsIntoFifteenBitHalves) {
    unsigned short h[2];
    ii__pidsplit(40000, h);
    EXPECT_EQ(h[0], 7232);
    EXPECT_EQ(h[1], 1);
    EXPECT_EQ(ii__pidjoin(7232, 1), 40000);
    ii__pidsplit(32767, h);
    EXPECT_EQ(h[0], 32767);
    EXPECT_EQ(h[1], 0);
    ii__pidsplit(4194304, h); // the largest pid Linux allows
    EXPECT_EQ(h[0], 0);
    EXPECT_EQ(h[1], 128);
    EXPECT_EQ(ii__pidjoin(h[0], h[1]), 4194304);
}

TEST(ProcessFlagPid, VersionNumberFromVersionText) {
    EXPECT_EQ(ii__versionnumber("0.4"), 4);
    EXPECT_EQ(ii__versionnumber("1.2"), 258);
    EXPECT_EQ(ii__versionnumber("2"), 512);
    EXPECT_EQ(ii__versionnumber(""), 0);
    EXPECT_EQ(ii__versionnumber(nullptr), 0);
}

TEST_F(IpcTest, RaisedFlagHoldsOwnPidAndClears) {
    unsigned long key = test_key(0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key)) << "a query must not create the flag";

    fl_set(key);
    unsigned short v[2];
    raw_semvalues(key, v);
    unsigned short want[2];
    ii__pidsplit(getpid(), want);
    EXPECT_EQ(v[0], want[0]);
    EXPECT_EQ(v[1], want[1]);
    EXPECT_TRUE(fl_query(key));
    EXPECT_TRUE(fl_query(key)) << "a live flag stays";

    fl_clear(key);
    EXPECT_FALSE(sem_exists(key));
    EXPECT_FALSE(fl_query(key));
    fl_clear(key); // clearing a missing flag is harmless
}

TEST_F(IpcTest, FlagWrittenByAnotherProgramIsReadAsPid) {
    unsigned long key = test_key(1);
    unsigned short h[2];
    ii__pidsplit(getpid(), h);
    raw_setflag(key, h[0], h[1]);
    EXPECT_TRUE(fl_query(key));
    raw_setflag(key, 0, 0);
    EXPECT_FALSE(fl_query(key));
    EXPECT_FALSE(sem_exists(key)) << "an empty flag is removed";
}

TEST_F(IpcTest, FlagOfDeadProcessReadsFalseAndIsRemoved) {
    unsigned long key = test_key(2);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        fl_set(key);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    unsigned short v[2];
    raw_semvalues(key, v);
    ASSERT_EQ(ii__pidjoin(v[0], v[1]), child) << "the child's pid was stored";

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

TEST_F(IpcTest, ShiftedKeysAreUsedForFlagsAndRecord) {
    // As the INSTANCE parameter leaves them: every key moved by the same digit.
    aktivsignal = test_key(4) + 2;
    konfigaktivsignal = test_key(8) + 2;
    mvliok = test_key(12) + 2;
    EXPECT_EQ(ia_instance_message(), 0) << "no main instance: no message";

    fl_set(aktivsignal);
    EXPECT_TRUE(sem_exists(test_key(6)));
    EXPECT_FALSE(sem_exists(test_key(4)));
    EXPECT_TRUE(ia_instance_isactive());
    EXPECT_FALSE(ia_configinstance_isactive());
    fl_set(konfigaktivsignal);
    EXPECT_TRUE(ia_configinstance_isactive());

    ii_start(true);
    EXPECT_TRUE(shm_exists(test_key(14)));
    EXPECT_FALSE(shm_exists(test_key(12)));
}

TEST_F(IpcTest, CreatedRecordReadByRawOffsets) {
    mvliok = test_key(5);
    inidat.ipcmod = 0;
    inidat.headerv = 1234;
    inidat.headervoffset = 5678;
    inidat.headert = 4321;
    ii_start(true);
    ASSERT_NE(mvliow, nullptr);
    EXPECT_TRUE(mvlior_rw);
    struct shmid_ds ds;
    ASSERT_EQ(shmctl(ii__mvlioid, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0600u) << "without a setting only the owner may use it";

    RawRecord raw(mvliok);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.le(0, 4), 984u);
    EXPECT_EQ(raw.le(4, 2), 3u);
    EXPECT_EQ(raw.le(6, 2), 4u);
    EXPECT_EQ(raw.le(124, 4), 1239u);
    EXPECT_EQ(raw.le(128, 4), 4321u);
    for (size_t off = 8; off < 984; off++)
        if (off < 124 || off >= 132) {
            ASSERT_EQ(raw.byte(off), 0) << "offset " << off;
        }

    MVLIOw(process_counter, 0x01020304u);
    MVLIOw(online_time, 77u);
    MVLIOw(offline_time, 88u);
    MVLIOw(upspeed, 70000u);
    MVLIOw(downspeed, 123456u);
    MVLIOw(opmode, 6);
    MVLIOw(signal_raw, 17);
    MVLIOw(signal_percent, 55);
    MVLIOw(signal_dbm, -85);
    MVLIOw(battery, 90);
    MVLIOw(vicon_status, 1);
    MVLIOw(ticon_status, 2);
    MVLIOw(hicon_status, 9);
    MVLIOw(ticon_value, 45u);
    EXPECT_EQ(raw.le(120, 4), 0x01020304u);
    EXPECT_EQ(raw.le(132, 4), 77u);
    EXPECT_EQ(raw.le(136, 4), 88u);
    EXPECT_EQ(raw.le(140, 4), 70000u);
    EXPECT_EQ(raw.le(144, 4), 123456u);
    EXPECT_EQ(raw.byte(148), 6);
    EXPECT_EQ(raw.byte(149), 17);
    EXPECT_EQ(raw.byte(150), 55);
    EXPECT_EQ(raw.byte(151), 0);
    EXPECT_EQ(raw.le(152, 2), 0x10000u - 85);
    EXPECT_EQ(raw.byte(350), 90);
    EXPECT_EQ(raw.byte(356), 1);
    EXPECT_EQ(raw.byte(357), 2);
    EXPECT_EQ(raw.byte(358), 9);
    EXPECT_EQ(raw.byte(359), 0);
    EXPECT_EQ(raw.le(360, 4), 45u);
    EXPECT_EQ(raw.le(364, 4), 0u);
}

TEST_F(IpcTest, TextFieldsAreCutToTheirSizeAtTheirOffsets) {
    mvliok = test_key(6);
    ii_start(true);
    RawRecord raw(mvliok);
    ASSERT_TRUE(raw.ok());
    const std::string longtext(700, 'x');
    struct Field {
        size_t off, size;
        std::function<void(const char*)> write;
    };
    // In ascending order, so the byte behind each field is still untouched when checked.
    const std::vector<Field> fields = {
        {20, 100, [](const char* s) { MVLIOs(command, s); }},
        {154, 32, [](const char* s) { MVLIOs(network_name, s); }},
        {186, 7, [](const char* s) { MVLIOs(plmn, s); }},
        {193, 5, [](const char* s) { MVLIOs(lac, s); }},
        {198, 5, [](const char* s) { MVLIOs(cid, s); }},
        {203, 65, [](const char* s) { MVLIOs(message, s); }},
        {268, 49, [](const char* s) { MVLIOs(mini_message, s); }},
        {317, 33, [](const char* s) { MVLIOs(error_message, s); }},
        {351, 5, [](const char* s) { MVLIOs(rnc, s); }},
        {384, 600, [](const char* s) { MVLIOs(answer, s); }},
    };
    for (const auto& f : fields) {
        f.write(longtext.c_str());
        EXPECT_EQ(raw.text(f.off), std::string(f.size - 1, 'x')) << "offset " << f.off;
        if (f.off + f.size < 984) {
            EXPECT_EQ(raw.byte(f.off + f.size), 0) << "behind " << f.off;
        }
    }
    MVLIOs(network_name, "Telekom");
    EXPECT_EQ(raw.text(154), "Telekom");
}

TEST_F(IpcTest, StopZeroesCounterAndRemovesSegment) {
    mvliok = test_key(7);
    ii_start(true);
    {
        RawRecord raw(mvliok);
        ASSERT_TRUE(raw.ok());
        MVLIOw(process_counter, 12u);
        ii_stop();
        EXPECT_EQ(raw.le(120, 4), 0u) << "readers see that the main instance left";
        EXPECT_EQ(mvliow, nullptr);
        EXPECT_EQ(mvlior, nullptr);
        MVLIOw(process_counter, 13u); // no record: nothing happens
        MVLIOs(answer, "x");
        EXPECT_EQ(raw.le(120, 4), 0u);
    }
    EXPECT_FALSE(shm_exists(mvliok)) << "gone once the last reader detached";
}

TEST_F(IpcTest, CreatorHonoursConfiguredPermissions) {
    mvliok = test_key(8);
    inidat.ipcmod = 0644;
    ii_start(true);
    inidat.ipcmod = 0;
    ASSERT_GE(ii__mvlioid, 0);
    struct shmid_ds ds;
    ASSERT_EQ(shmctl(ii__mvlioid, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0644u);
    EXPECT_EQ(ds.shm_segsz, 1024u);
    int first = ii__mvlioid;
    ii_start(true); // already attached: nothing changes
    EXPECT_EQ(ii__mvlioid, first);
}

TEST_F(IpcTest, ReaderWithoutSegmentRunsWithoutRecord) {
    mvliok = test_key(9);
    ii_start(false);
    EXPECT_EQ(mvlior, nullptr);
    EXPECT_EQ(mvliow, nullptr);
    EXPECT_EQ(ii__mvlioid, -1);
    MVLIOs(command, "mavlyn_END");
    EXPECT_FALSE(shm_exists(mvliok));
}

TEST_F(IpcTest, ReaderAttachesReadWriteAndLeavesTheRecordInPlace) {
    mvliok = test_key(10);
    int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    ii_start(false);
    ASSERT_NE(mvlior, nullptr);
    EXPECT_TRUE(mvlior_rw);
    MVLIOs(command, "mavlyn_CONNECT");
    RawRecord raw(mvliok);
    EXPECT_EQ(raw.text(20), "mavlyn_CONNECT");
    auto* seg = static_cast<unsigned char*>(shmat(id, nullptr, 0));
    ASSERT_NE(seg, reinterpret_cast<unsigned char*>(-1));
    seg[120] = 5; // the main instance's change counter
    ii_stop();
    EXPECT_TRUE(shm_exists(mvliok)) << "a reader must not take the record away";
    EXPECT_EQ(raw.le(120, 4), 5u) << "a reader that ends must not report the main instance gone";
    shmdt(seg);

    // Later readers still find the record.
    ii_start(false);
    EXPECT_NE(mvlior, nullptr);
}

TEST_F(IpcTest, LeftoverSegmentOfACrashedInstanceIsTakenOverAndCleared) {
    mvliok = test_key(13);
    int id = shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0600);
    ASSERT_GE(id, 0);
    auto* seg = static_cast<unsigned char*>(shmat(id, nullptr, 0));
    ASSERT_NE(seg, reinterpret_cast<unsigned char*>(-1));
    memset(seg, 0xA5, 1024);
    shmdt(seg);

    // IPC_EXCL among the configured bits must not keep the new instance from its record.
    inidat.ipcmod = 02644;
    inidat.headerv = 0;
    inidat.headervoffset = 0;
    inidat.headert = 0;
    ii_start(true);
    ASSERT_EQ(ii__mvlioid, id);
    ASSERT_NE(mvliow, nullptr);
    RawRecord raw(mvliok);
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(raw.le(0, 4), 984u);
    EXPECT_EQ(raw.le(4, 2), 3u);
    EXPECT_EQ(raw.le(6, 2), 4u);
    for (size_t off = 8; off < 984; off++) ASSERT_EQ(raw.byte(off), 0) << "offset " << off;
}

TEST(InstanceKeys, InstanceTwoMovesFlagsAndRecordForOutsidePrograms) {
    // In an IPC namespace of its own, so the program's real keys can be used.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWIPC) != 0) _exit(77);
        char dir[] = "/tmp/mavlyn-instance-XXXXXX";
        if (!mkdtemp(dir) || chdir(dir) != 0) _exit(2);
        aktivsignal = 0x4B564FA0;
        endesignal = 0x4B564FB0;
        konfigaktivsignal = 0x4B564FC0;
        smssignal = 0x4B564FD0;
        mvliok = 0x4B564FF0;
        char a0[] = "mavlyn", a1[] = "INSTANCE=2";
        char* argv[] = {a0, a1, nullptr};
        mt__parameterwords(2, argv);
        fl_set(aktivsignal);
        fl_set(endesignal);
        fl_set(konfigaktivsignal);
        ia_smssignal(1);
        ii_start(true);
        int bad = 0;
        const unsigned long flags[] = {0x4B564FA0, 0x4B564FB0, 0x4B564FC0, 0x4B564FD0};
        for (unsigned long k : flags) {
            if (!sem_exists(k + 2)) bad |= 4;
            if (sem_exists(k)) bad |= 8;
        }
        if (!shm_exists(0x4B564FF2) || shm_exists(0x4B564FF0)) bad |= 16;
        if (!ia_instance_isactive() || !ia_configinstance_isactive()) bad |= 32;
        ii_stop();
        if (system(("rm -rf " + std::string(dir)).c_str()) != 0) bad |= 64;
        _exit(bad);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no IPC namespace of our own";
    EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "a flag is missing at its key + 2";
    EXPECT_EQ(WEXITSTATUS(status) & 8, 0) << "a flag was raised at its unshifted key";
    EXPECT_EQ(WEXITSTATUS(status) & 16, 0) << "the record is not at 0x4B564FF0 + 2";
    EXPECT_EQ(WEXITSTATUS(status) & 32, 0) << "the queries do not see the shifted flags";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

namespace {

// Acts as another user for the scope; the test runs as root and gets root back.
class EffectiveUser {
  public:
    EffectiveUser(uid_t uid, gid_t gid) { ok_ = setegid(gid) == 0 && seteuid(uid) == 0; }
    ~EffectiveUser() {
        if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
    }
    bool ok() const { return ok_; }

  private:
    bool ok_ = false;
};

} // namespace

TEST_F(IpcTest, ForeignSegmentOfMode0640IsNeverAttached) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root and the user nobody";
    const uid_t owner = nobody->pw_uid;
    const gid_t group = nobody->pw_gid;
    mvliok = test_key(11);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(group) != 0 || setuid(owner) != 0) _exit(2);
        _exit(shmget(static_cast<key_t>(mvliok), 1024, IPC_CREAT | 0640) >= 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int id = shmget(static_cast<key_t>(mvliok), 0, 0);
    ASSERT_GE(id, 0);
    auto* seg = static_cast<char*>(shmat(id, nullptr, 0));
    ASSERT_NE(seg, reinterpret_cast<char*>(-1));
    strcpy(seg + 154, "Foreign net");
    const std::vector<char> before(seg, seg + 1024);

    {
        // Same group as the owner, so the group's read permission applies.
        EffectiveUser reader(owner - 1, group);
        ASSERT_TRUE(reader.ok());
        ii_start(false);
        EXPECT_EQ(mvlior, nullptr) << "another user's record could tell anything";
        MVLIOs(command, "mavlyn_END");
        MVLIOw(process_counter, 99u);
        ii_stop();
    }
    EXPECT_EQ(std::vector<char>(seg, seg + 1024), before);
    shmdt(seg);
    EXPECT_TRUE(shm_exists(mvliok));
}
