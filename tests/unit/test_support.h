// Helpers shared by the unit tests, and the headers every one of them uses.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <unistd.h>
#include <vector>

// Runs each test in a fresh empty working directory, as the program runs in its own.
class InTempDir {
  public:
    InTempDir() {
        std::string tmpl = std::filesystem::temp_directory_path() / "mavlyn-unit-XXXXXX";
        dir_ = mkdtemp(tmpl.data());
        std::filesystem::current_path(dir_);
    }
    ~InTempDir() {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& path() const { return dir_; }

  private:
    const std::filesystem::path old_ = std::filesystem::current_path();
    std::string dir_;
};

// Keeps a copy of each given variable and puts it back when it goes out of scope:
//   SavedValues keep(inidat, _de);
class SavedValues {
  public:
    template <class... T> explicit SavedValues(T&... vars) { (keep(vars), ...); }
    ~SavedValues() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            std::memcpy(it->where, it->bytes.data(), it->bytes.size());
    }
    SavedValues(const SavedValues&) = delete;
    SavedValues& operator=(const SavedValues&) = delete;

    template <class T> void keep(T& var) {
        static_assert(std::is_trivially_copyable_v<T>);
        const char* p = reinterpret_cast<const char*>(&var);
        saved_.push_back({&var, std::vector<char>(p, p + sizeof var)});
    }

  private:
    struct Saved {
        void* where;
        std::vector<char> bytes;
    };
    std::vector<Saved> saved_;
};

// Sets environment variables for a scope and puts the old values back.
class ScopedEnv {
  public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void set(const char* name, const std::string& value) {
        save(name);
        setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        save(name);
        unsetenv(name);
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->second ? setenv(it->first, it->second->c_str(), 1) : unsetenv(it->first);
    }

  private:
    void save(const char* name) {
        const char* old = getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// For a case whose work cannot be undone within a process (the end of all threads, say), begin
// with `if (!in_fresh_process()) return rerun_in_fresh_process();`: the case runs again alone in
// a new process of this binary, and fails when that fails.
bool in_fresh_process();
void rerun_in_fresh_process();

inline std::string read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void write_file(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
}

inline bool exists(const std::string& name) {
    return access(name.c_str(), F_OK) == 0;
}

// The names in a folder, none when it is missing.
inline std::vector<std::string> folder_names(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        names.push_back(e.path().filename());
    return names;
}

// The configuration record at its defaults with the given option letters on ("P": the
// service log), English, no end requested. The unit binary puts all of it back after a test.
void fresh_record(const char* options = "P");

// Stand-ins for the named commands, first in PATH while this lives: each appends its name and
// arguments to a file that calls() reads, and prints `output` (a line without single quotes).
class FakeCommands {
  public:
    FakeCommands(const std::string& dir, std::vector<std::string> names,
                 const std::string& output = "")
        : bin_(dir + "/fake-bin"), calls_(dir + "/fake-calls") {
        std::filesystem::create_directories(bin_);
        for (const auto& n : names) {
            std::ofstream(bin_ + "/" + n) << "#!/bin/sh\necho " << n << " \"$@\" >>'" << calls_
                                          << "'\nprintf '%s\\n' '" << output << "'\n";
            std::filesystem::permissions(bin_ + "/" + n, std::filesystem::perms::owner_all);
        }
        env_.set("PATH", bin_ + ":" + getenv("PATH"));
    }
    std::string calls() const { return read_file(calls_); }

  private:
    std::string bin_, calls_;
    ScopedEnv env_;
};
