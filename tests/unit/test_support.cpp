// Process-wide set-up of the unit test binary.
#include "test_support.h"

#include "core/config_record.h"
#include "core/session_state.h"
#include "core/status_lines.h"

#include <cstdio>
#include <memory>
#include <sched.h>
#include <sys/wait.h>

namespace {

std::string current_case() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// System V semaphores and shared memory of the tests live in an IPC namespace of this
// process, so two test runs on one machine (or a running mavlyn) never meet on a key.
// Without the right to unshare, the machine's namespace is used as before.
[[maybe_unused]] const bool private_ipc = unshare(CLONE_NEWIPC) == 0;

// Every test leaves the session globals as it found them, and runs as a start of its own.
class RestoreSessionGlobals : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // The state of a program run (core/session_state.h): requests, pause state, time
        // counters, network, cell, device, program entry, keys, session manager and roles; the
        // configuration record with its file names and the status lines.
        saved_ = std::make_unique<SavedValues>(
            programmende_gewuenscht, unterbrechung_gewuenscht, prepaid_gewuenscht,
            prepaidaufladen_gewuenscht, ba_gewuenscht, update_gewuenscht, verbindenverboten,
            verbindeneinmal, shutdownerlaubt, ruhestatus, onlinezeit, offlinezeit, offlinezeita,
            offlinezeitring, inaktivzeit, onlinezeit_vorher, inicounterglobal, plmn, lac, ucid,
            cidkurz, rnc, plmn_alt, lac_alt, ucid_alt, netzfremd, homezonestatus, homezonezaehler,
            akkufuellstand, maxgrenze, maxgrenzes, mtextba, mtextsigd, mtextup, mtextdown,
            smssignalstatus, geraet, novatelu740, linksys, secportmanuell, tonlos, _de, comzeit,
            _argc, _argv, ubuntusysdir, cs_nosplash, _silentinstall, _starttoggle, aktivsignal,
            endesignal, konfigaktivsignal, smssignal, mvliok, shutdowninteractionkey,
            shutdowninteractionkeyvalid, mainwindow, smsbutton, prepaids, porttreiber1,
            porttreiber2, connlogdatei, inititel, konsoleaktiv, endsessionstatus, installsub,
            smsconfigsub, configtab, configsub, configaktiv, configinfo, configkbvreset,
            configtreset, inidat, inidatei, settingsdatei, headerdaten, _inidatneu, inidatgueltig,
            fefo, cc_mtext);
        starts_ += 1000; // room for the restarts a test makes itself
        inicounterglobal = starts_;
    }
    void OnTestEnd(const ::testing::TestInfo&) override { saved_.reset(); }
    std::unique_ptr<SavedValues> saved_;
    int starts_ = 0;
};

[[maybe_unused]] const bool restore_registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RestoreSessionGlobals);
    return true;
}();

} // namespace

void fresh_record(const char* options) {
    iv_inidefaults();
    for (const char* o = options; *o; o++) MODUS(*o) = 1;
    _de = false;
    programmende_gewuenscht = false;
}

bool in_fresh_process() {
    const char* fresh = getenv("MAVLYN_TEST_FRESH");
    return fresh && current_case() == fresh;
}

void rerun_in_fresh_process() {
    std::string name = current_case();
    std::string out = std::filesystem::temp_directory_path() /
                      ("mavlyn-fresh-" + std::to_string(getpid()) + ".txt");
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (FILE* f = fopen(out.c_str(), "w")) dup2(fileno(f), 1), dup2(fileno(f), 2);
        unsetenv("GTEST_TOTAL_SHARDS");
        unsetenv("GTEST_SHARD_INDEX");
        setenv("MAVLYN_TEST_FRESH", name.c_str(), 1);
        std::string filter = "--gtest_filter=" + name;
        execl("/proc/self/exe", "unit_tests", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::string log = read_file(out);
    std::remove(out.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name << " in a fresh process:\n"
                                                               << log;
}
