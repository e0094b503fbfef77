// Starts the simulated modem as a child process for one test and ends it again (by its pid):
//   ModemSim sim({"--profile", "huawei", "--set", "pin=1234"});
//   cm_open(sim.port(0).c_str(), 3); ... sim.transcript() holds every command line received.
// The device behaves as its maker's does, only its SIM is up at once (a stick plugged in long
// before), unless the test sets sim_start_ms itself.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef MODEMSIM_BIN
#error "MODEMSIM_BIN must name the simulator binary"
#endif

class ModemSim {
  public:
    explicit ModemSim(std::vector<std::string> args) {
        char dir[] = "/tmp/modemsim-test-XXXXXX";
        if (!mkdtemp(dir)) return;
        dir_ = dir;
        std::vector<std::string> all{MODEMSIM_BIN,     "--transcript",    dir_ + "/transcript",
                                     "--control-fifo", dir_ + "/control", "--set",
                                     "sim_start_ms=0"};
        all.insert(all.end(), args.begin(), args.end());
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        FILE* banner = fdopen(out[0], "r");
        char line[512];
        while (banner && fgets(line, sizeof line, banner)) {
            std::string l(line, strcspn(line, "\n"));
            if (l.rfind("PORT ", 0) == 0) ports_.push_back(l.substr(l.rfind(' ') + 1));
            if ((ready_ = l.rfind("READY", 0) == 0)) break;
        }
        if (banner) fclose(banner);
    }
    ~ModemSim() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    bool ready() const { return ready_; }
    std::string port(size_t i) const { return i < ports_.size() ? ports_[i] : std::string(); }
    size_t ports() const { return ports_.size(); }

    // Every command line received so far, one per line ("<port>\t<line>").
    std::string transcript() const {
        std::ifstream f(dir_ + "/transcript");
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    // One control command ("set KEY=VALUE", "sms ...", "ring ...", "drop", ...).
    bool control(const std::string& command) const {
        std::ofstream f(dir_ + "/control");
        f << command << "\n";
        return static_cast<bool>(f.flush());
    }

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string dir_;
    std::vector<std::string> ports_;
};
