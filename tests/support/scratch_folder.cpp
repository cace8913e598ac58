#include "tests/support/scratch_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace test_support {

std::string native(const std::string& path) {
    std::string result = path;
    if (fs::path::preferred_separator == '/') {
        for (char& c : result) {
            if (c == '\\') c = '/';
        }
    }
    return result;
}

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() /
                      ("qm-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    path_ = folder.string();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(fs::path(path_), ignored);
}

std::string ScratchFolder::at(const std::string& relative) const {
    return path_ + (fs::path::preferred_separator == '/' ? "/" : "\\") + native(relative);
}

bool file_exists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(native(path)), error);
}

bool folder_exists(const std::string& path) {
    std::error_code error;
    return fs::is_directory(fs::path(native(path)), error);
}

std::string read_file(const std::string& path) {
    std::ifstream in(native(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(native(path), std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void make_folders(const std::string& path) { fs::create_directories(fs::path(native(path))); }

}  // namespace test_support
