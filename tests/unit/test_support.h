// Helpers shared by the unit tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

// Runs each test in a fresh empty working directory, as the program runs in its own.
class InTempDir {
  public:
    InTempDir() {
        char tmpl[] = "/tmp/mavlyn-unit-XXXXXX";
        dir_ = mkdtemp(tmpl);
        if (getcwd(old_, sizeof old_) == nullptr) old_[0] = 0;
        if (chdir(dir_.c_str()) != 0) std::abort();
    }
    ~InTempDir() {
        if (old_[0] && chdir(old_) != 0) std::abort();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& path() const { return dir_; }

  private:
    std::string dir_;
    char old_[4096];
};

inline std::string read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline bool exists(const std::string& name) {
    return access(name.c_str(), F_OK) == 0;
}
