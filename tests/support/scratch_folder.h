#pragma once
// A fresh folder per test, removed with everything in it afterwards.
#include <string>

namespace test_support {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder in the form the code under test takes: on Windows a
    // backslash path, on the host a POSIX path (the host platform layer maps
    // the backslashes that the code appends).
    const std::string& path() const { return path_; }
    // path() joined with a relative name written with backslashes.
    std::string at(const std::string& relative) const;

private:
    std::string path_;
};

// File helpers that accept the backslash paths the code under test produces.
std::string native(const std::string& path);
bool file_exists(const std::string& path);
bool folder_exists(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
void make_folders(const std::string& path);

// What another program of the same user could do meanwhile, done the way the
// file system sees it from outside: a symbolic link at link to target, and a
// rename. Under Wine they run as Unix programs, which no Windows share mode
// stops, and Wine shows the link as a reparse point.
void plant_link(const std::string& target, const std::string& link);
void rename_from_outside(const std::string& from, const std::string& to);

}  // namespace test_support
