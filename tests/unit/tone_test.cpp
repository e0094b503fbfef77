// Tone signals: the wave table, and real playback into a sound server of the test's own whose
// null sink is recorded back.
#include "control/session_state.h"
#include "foundation/tone.h"
#include "test_support.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Runs argv as a child with its output to file; ended by its pid.
pid_t spawn(const std::vector<std::string>& args, const std::string& out) {
    pid_t pid = fork();
    if (pid == 0) {
        FILE* f = fopen(out.c_str(), "w");
        if (f) dup2(fileno(f), 1);
        std::vector<char*> argv;
        for (auto a : args) argv.push_back(strdup(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// A pulseaudio of our own with a null sink, reached through PULSE_SERVER.
class SoundServer {
  public:
    SoundServer() : dir_("/tmp/mavlyn-pulse-" + std::to_string(getpid())) {
        mkdir(dir_.c_str(), 0700);
        setenv("HOME", dir_.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        std::string socket = dir_ + "/native";
        pid_ = spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                      "--disallow-exit", "--system=false",
                      "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
                      "--load=module-null-sink sink_name=null"},
                     dir_ + "/log");
        setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
        for (int i = 0; i < 200 && !ready(); i++) usleep(50000);
    }
    ~SoundServer() {
        stop(pid_);
        unsetenv("PULSE_SERVER");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    bool ready() const { return system("pactl list short sinks 2>/dev/null | grep -q null") == 0; }
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_;
    pid_t pid_ = -1;
};

// The dominant frequency of recorded unsigned 8-bit samples, by rising crossings of the
// middle line over the part that carries sound.
double measured_frequency(const std::vector<unsigned char>& s, int rate) {
    size_t first = 0, last = 0;
    for (size_t i = 0; i < s.size(); i++)
        if (std::abs(s[i] - 128) > 20) {
            if (!first) first = i;
            last = i;
        }
    int crossings = 0;
    for (size_t i = first + 1; i <= last; i++)
        if (s[i - 1] < 128 && s[i] >= 128) crossings++;
    return last > first ? crossings * static_cast<double>(rate) / static_cast<double>(last - first)
                        : 0;
}

} // namespace

TEST(Tone, TriangleTableBetween64And191) {
    const unsigned char* t = beep__table(1000);
    // 1000 Hz: 25.6 phase steps per sample, 20 samples a period.
    EXPECT_EQ(t[0], 128);  // phase 0: the centre
    EXPECT_EQ(t[1], 140);  // phase 25
    EXPECT_EQ(t[5], 191);  // phase 128: the top
    EXPECT_EQ(t[10], 127); // phase 256: just below the centre on the way down
    EXPECT_EQ(t[15], 64);  // phase 384: the bottom
    EXPECT_EQ(t[20], 128); // the next period
    for (int i = 0; i < beep__TABLELEN; i++) {
        ASSERT_GE(t[i], 64) << i;
        ASSERT_LE(t[i], 191) << i;
    }
    t = beep__table(100); // 200 samples a period
    EXPECT_EQ(t[50], 191);
    EXPECT_EQ(t[150], 64);
}

TEST(Tone, TableRebuiltOnlyForANewFrequency) {
    beep__table(440);
    unsigned long n = beep__tablebuilds();
    beep__table(440);
    EXPECT_EQ(beep__tablebuilds(), n);
    beep__table(880);
    EXPECT_EQ(beep__tablebuilds(), n + 1);
}

TEST(Tone, FrequencyAndDurationAreClamped) {
    int f;
    size_t n;
    beep__plan(50, 10, &f, &n);
    EXPECT_EQ(f, 100);
    EXPECT_EQ(n, 1000u);
    beep__plan(9000, 99999, &f, &n);
    EXPECT_EQ(f, 5000);
    EXPECT_EQ(n, 100000u);
    beep__plan(600, 300, &f, &n);
    EXPECT_EQ(f, 600);
    EXPECT_EQ(n, 6000u);
}

TEST(Tone, MutedOrWithoutServerNothingPlays) {
    InTempDir tmp;
    setenv("PULSE_SERVER", ("unix:" + tmp.path() + "/no-server").c_str(), 1);
    tonlos = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(beep(600, 50));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "muted: not even opened";
    tonlos = false;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(beep(600, 50));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("mavlyn: pa_simple_new(): ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    unsetenv("PULSE_SERVER");
}

TEST(Tone, RecordedToneHasTheAskedFrequency) {
    SoundServer server;
    ASSERT_TRUE(server.ready()) << "pulseaudio did not start";
    tonlos = false;
    std::string raw = server.dir() + "/tone.raw";
    pid_t rec = spawn({"parec", "--device=null.monitor", "--format=u8", "--rate=20000",
                       "--channels=1", "--raw", "--latency-msec=20"},
                      raw);
    usleep(500000); // the recorder connects before the tone starts
    EXPECT_TRUE(beep(1000, 800));
    usleep(300000);
    stop(rec);
    std::ifstream f(raw, std::ios::binary);
    std::vector<unsigned char> s((std::istreambuf_iterator<char>(f)),
                                 std::istreambuf_iterator<char>());
    ASSERT_GT(s.size(), 10000u);
    EXPECT_NEAR(measured_frequency(s, 20000), 1000.0, 30.0);
}
