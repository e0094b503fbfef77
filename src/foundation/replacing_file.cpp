#include "foundation/replacing_file.h"

#include "foundation/logging.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> counter{0};

// A link is replaced through its target, so the link stays a link.
std::string resolved(const char* path) {
    struct stat st;
    char buf[PATH_MAX];
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && realpath(path, buf)) return buf;
    return path;
}

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void sync_folder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// A temporary file of a process that was killed while writing is removed by the next writer.
void remove_leftovers(const std::string& folder, const std::string& name) {
    const std::string prefix = "." + name + ".";
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return;
    while (struct dirent* e = readdir(d)) {
        std::string f = e->d_name;
        if (f.size() <= prefix.size() + 4 || f.compare(0, prefix.size(), prefix) != 0 ||
            f.compare(f.size() - 4, 4, ".tmp") != 0)
            continue;
        long pid = strtol(f.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) continue;
        unlink((folder + f).c_str());
    }
    closedir(d);
}

void report(const std::string& target) {
    lo_slog("!%s could not be written; the previous file is kept.\n", target.c_str(), -1);
}

} // namespace

ReplacingFile::ReplacingFile(const char* path) : target_(resolved(path)) {
    std::string folder = folder_of(target_);
    if (folder == ".") folder = "";
    remove_leftovers(folder, name_of(target_));
    int fd = -1;
    for (int tries = 0; tries < 100 && fd < 0; tries++) {
        temp_ = folder + "." + name_of(target_) + "." + std::to_string(getpid()) + "-" +
                std::to_string(counter.fetch_add(1)) + ".tmp";
        // The user's alone, as every file the program makes; an old file keeps its mode.
        fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temp_.clear();
        failed_ = true;
        return;
    }
    struct stat st;
    if (stat(target_.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
    f_ = fdopen(fd, "w");
    if (!f_) {
        close(fd);
        unlink(temp_.c_str());
        temp_.clear();
        failed_ = true;
    }
}

ReplacingFile::~ReplacingFile() {
    if (f_) fclose(f_);
    if (!temp_.empty()) unlink(temp_.c_str());
}

bool ReplacingFile::commit() {
    bool ok = !failed_ && f_;
    if (f_) {
        ok = fflush(f_) == 0 && !ferror(f_) && fsync(fileno(f_)) == 0 && ok;
        ok = fclose(f_) == 0 && ok;
        f_ = nullptr;
    }
    if (ok) ok = rename(temp_.c_str(), target_.c_str()) == 0;
    if (ok) {
        temp_.clear();
        sync_folder(folder_of(target_));
        return true;
    }
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    report(target_);
    return false;
}

bool file_replace(const char* path, const std::string& content) {
    ReplacingFile f(path);
    if (f.get()) fwrite(content.data(), 1, content.size(), f.get());
    return f.commit();
}
