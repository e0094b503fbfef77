// Owners of C handles, closed at the end of their scope: a FILE* (fclose), a DIR* (closedir),
// a descriptor (close) and a pipe from popen (pclose).
#pragma once

#include <cstdio>
#include <dirent.h>
#include <memory>
#include <unistd.h>

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// A descriptor; -1 holds none.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

// A pipe from popen; null holds none.
struct Pipe {
    FILE* f = nullptr;
    ~Pipe() {
        if (f) pclose(f);
    }
};
