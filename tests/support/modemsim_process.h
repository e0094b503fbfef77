// Starts the simulated modem as a child process for one test and ends it again (by its pid).
//
//   ModemSim sim({"--profile", "huawei", "--set", "pin=1234"});
//   ASSERT_TRUE(sim.ready());
//   cm_open(sim.port(0).c_str(), 3);
//   ... sim.transcript() holds every command line the modem received.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>
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
        transcript_ = dir_ + "/transcript";
        control_ = dir_ + "/control";
        std::vector<std::string> all{MODEMSIM_BIN, "--transcript", transcript_, "--control-fifo",
                                     control_};
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
        read_banner(out[0]);
        close(out[0]);
    }
    ~ModemSim() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty()) {
            unlink(transcript_.c_str());
            unlink(control_.c_str());
            rmdir(dir_.c_str());
        }
    }
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    bool ready() const { return ready_; }
    std::string port(size_t i) const { return i < ports_.size() ? ports_[i] : std::string(); }
    size_t ports() const { return ports_.size(); }
    pid_t pid() const { return pid_; }

    // Every command line received so far, one per line.
    std::string transcript() const {
        std::ifstream f(transcript_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    // One control command ("set KEY=VALUE", "sms ...", "ring ...", "drop", ...).
    bool control(const std::string& command) const {
        FILE* f = fopen(control_.c_str(), "w");
        if (!f) return false;
        fprintf(f, "%s\n", command.c_str());
        return fclose(f) == 0;
    }

  private:
    void read_banner(int fd) {
        std::string line;
        char c;
        while (read(fd, &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line.rfind("PORT ", 0) == 0) ports_.push_back(line.substr(line.rfind(' ') + 1));
            if (line.rfind("READY", 0) == 0) {
                ready_ = true;
                return;
            }
            line.clear();
        }
    }

    pid_t pid_ = -1;
    bool ready_ = false;
    std::string dir_, transcript_, control_;
    std::vector<std::string> ports_;
};
