#include "tests/support/scratch_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

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

#ifdef _WIN32
namespace {
std::string unix_path(const std::string& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) throw std::runtime_error("not running under Wine");
    const std::wstring wide = fs::path(path).wstring();
    char* converted = convert(wide.c_str());
    if (!converted) throw std::runtime_error("no Unix path for " + path);
    std::string result = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

// Wine starts a Unix program as it is, but hands back no handle to wait on:
// done is asked until it holds.
void run_unix(const std::string& program, const std::string& arguments,
              const std::string& done_when_exists) {
    std::string command = program + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        throw std::runtime_error("cannot start " + program);
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    for (int wait = 0; wait < 1000; ++wait) {
        if (GetFileAttributesA(done_when_exists.c_str()) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(10);
    }
    throw std::runtime_error(program + " did not finish");
}

std::string quoted(const std::string& text) { return '"' + text + '"'; }
}  // namespace

void plant_link(const std::string& target, const std::string& link) {
    // The link's parent is named in Unix terms; the link itself may not exist.
    const size_t last = link.find_last_of('\\');
    const std::string at = unix_path(link.substr(0, last)) + "/" + link.substr(last + 1);
    run_unix("/bin/ln", "-s " + quoted(unix_path(target)) + " " + quoted(at), link);
}

void rename_from_outside(const std::string& from, const std::string& to) {
    const size_t last = to.find_last_of('\\');
    const std::string at = unix_path(to.substr(0, last)) + "/" + to.substr(last + 1);
    run_unix("/bin/mv", "-T " + quoted(unix_path(from)) + " " + quoted(at), to);
}
#else
void plant_link(const std::string& target, const std::string& link) {
    fs::create_symlink(fs::path(native(target)), fs::path(native(link)));
}

void rename_from_outside(const std::string& from, const std::string& to) {
    fs::rename(fs::path(native(from)), fs::path(native(to)));
}
#endif

}  // namespace test_support
