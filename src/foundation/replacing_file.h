// Files the program rewrites as a whole (mavlyn.ini, profile.ini, the phone book, the
// statistics and settings files) are written beside the old one and then renamed over it:
// a full disk, a crash or a kill during the write leaves the old file, never half a new one.
#pragma once

#include <cstdio>
#include <string>

class ReplacingFile {
  public:
    // Opens a temporary file in the folder of path (of the file a link points to).
    explicit ReplacingFile(const char* path);
    // Without a commit the temporary file goes and the old file stays.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The stream to write to; null when no temporary file could be made.
    FILE* get() const { return f_; }
    // Flushes, syncs and renames the new file over the old one, which keeps its permissions.
    // False when anything failed: the old file is left as it was, and the service log says so.
    bool commit();

  private:
    std::string target_, temp_;
    FILE* f_ = nullptr;
    bool failed_ = false;
};

// The whole content into path, the same way.
bool file_replace(const char* path, const std::string& content);
