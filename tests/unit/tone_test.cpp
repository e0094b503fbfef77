// Tone signals played into a sound server of the test's own, whose null sink is recorded back.
#include "core/session_state.h"
#include "foundation/tone.h"
#include "test_support.h"

#include <csignal>
#include <sys/wait.h>

namespace {

// Runs args as a child with its output to a file; ended by its pid.
pid_t spawn(std::vector<std::string> args, const std::string& out) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0 && freopen(out.c_str(), "w", stdout)) execvp(argv[0], argv.data());
    if (pid == 0) _exit(127);
    return pid;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
}

// A pulseaudio of our own with a null sink, reached through PULSE_SERVER.
class SoundServer {
  public:
    SoundServer() {
        env_.set("HOME", dir_.path());
        env_.set("XDG_RUNTIME_DIR", dir_.path());
        std::string socket = dir_.path() + "/native";
        pid_ = spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                      "--disallow-exit", "--system=false",
                      "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
                      "--load=module-null-sink sink_name=null"},
                     dir_.path() + "/log");
        env_.set("PULSE_SERVER", "unix:" + socket);
        for (int i = 0; i < 400 && !ready(); i++) usleep(50000);
    }
    ~SoundServer() { stop(pid_); }
    bool ready() const { return system("pactl list short sinks 2>/dev/null | grep -q null") == 0; }

    // The samples of the null sink while beep(fq, dur) plays.
    std::vector<unsigned char> record(int fq, int dur) {
        std::string raw = dir_.path() + "/tone.raw";
        pid_t rec = spawn({"parec", "--device=null.monitor", "--format=u8", "--rate=20000",
                           "--channels=1", "--raw", "--latency-msec=20"},
                          raw);
        usleep(500000); // the recorder connects before the tone starts
        EXPECT_TRUE(beep(fq, dur));
        usleep(300000);
        stop(rec);
        std::ifstream f(raw, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }

  private:
    InTempDir dir_;
    ScopedEnv env_;
    pid_t pid_ = -1;
};

// The frequency (rising crossings of the middle line) and the length of the part that sounds.
std::pair<double, size_t> heard(const std::vector<unsigned char>& s) {
    size_t first = 0, last = 0;
    for (size_t i = 0; i < s.size(); i++)
        if (std::abs(s[i] - 128) > 20) {
            if (!first) first = i;
            last = i;
        }
    int crossings = 0;
    for (size_t i = first + 1; i <= last; i++) crossings += s[i - 1] < 128 && s[i] >= 128;
    if (last <= first) return {0, 0};
    return {crossings * double(beep__RATE) / double(last - first), last - first};
}

} // namespace

TEST(Tone, RecordedToneHasTheAskedFrequencyAndLength) {
    SoundServer server;
    ASSERT_TRUE(server.ready()) << "pulseaudio did not start";
    tonlos = false;
    struct {
        int fq, dur;
        double hertz;
        size_t samples;
    } cases[] = {{1000, 800, 1000, 16000}, {9000, 10, 5000, 1000}, {50, 300, 100, 6000}};
    for (const auto& c : cases) {
        auto [hertz, samples] = heard(server.record(c.fq, c.dur));
        EXPECT_NEAR(hertz, c.hertz, c.hertz * 0.03) << c.fq;
        // The server may clip a few hundredths of a second; a 10 ms tone still sounds longer.
        EXPECT_GT(samples + 700, c.samples) << c.fq;
        EXPECT_LT(samples, c.samples + 600) << c.fq;
    }
}
