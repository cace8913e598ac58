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

}  // namespace test_support
