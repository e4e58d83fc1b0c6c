// A fresh temporary folder per test, removed with everything in it afterwards.
#pragma once
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + relative, for checking files with the host's own calls.
    std::string host(const std::string& relative) const;

private:
    std::string path_;
};

// Whole-file helpers on host paths ("/" separators, UTF-8 names).
std::string read_host_file(const std::string& path);
void write_host_file(const std::string& path, const std::string& bytes);
bool host_file_exists(const std::string& path);
