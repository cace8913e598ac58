#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "message_pump.h"

namespace platform {
namespace {
std::function<void()>& pump() {
    static std::function<void()> instance;
    return instance;
}
}  // namespace

void set_message_pump(std::function<void()> callback) { pump() = std::move(callback); }

namespace {
std::string native_path(const std::string& path) {
    std::string native = path;
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}
}  // namespace

FolderResult create_folder(const std::string& path, void*) {
    if (::mkdir(native_path(path).c_str(), 0777) == 0) return FolderResult::created;
    return errno == EEXIST ? FolderResult::already_exists : FolderResult::failed;
}

bool folder_exists(const std::string& path) {
    struct stat info;
    return ::stat(native_path(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool file_exists(const std::string& path) {
    struct stat info;
    return ::stat(native_path(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::FILE* open_file(const std::string& path, const char* mode) {
    return std::fopen(native_path(path).c_str(), mode);
}

bool seek_to(std::FILE* file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool seek_to_end(std::FILE* file) { return ::fseeko(file, 0, SEEK_END) == 0; }

std::int64_t tell(std::FILE* file) { return ::ftello(file); }

void delete_file(const std::string& path) { ::unlink(native_path(path).c_str()); }

std::FILE* create_new_file(const std::string& path) {
    const int descriptor =
        ::open(native_path(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor == -1) return nullptr;
    std::FILE* file = ::fdopen(descriptor, "w+b");
    if (!file) ::close(descriptor);
    return file;
}

void remove_folder(const std::string& path) { ::rmdir(native_path(path).c_str()); }

bool is_link(const std::string& path) {
    struct stat status;
    return ::lstat(native_path(path).c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool random_bytes(void* buffer, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::getrandom(bytes, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool is_same_file(const std::string& path, std::FILE* open_file) {
    struct stat open_identity;
    struct stat other_identity;
    if (::fstat(::fileno(open_file), &open_identity) != 0) return false;
    if (::stat(native_path(path).c_str(), &other_identity) != 0) return false;
    return open_identity.st_dev == other_identity.st_dev &&
           open_identity.st_ino == other_identity.st_ino;
}

bool free_disk_space(const std::string& folder, std::uint64_t& free_bytes) {
    struct statvfs volume;
    if (::statvfs(native_path(folder).c_str(), &volume) != 0) return false;
    free_bytes = static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
    return true;
}

// Host file names are UTF-8 bytes: every character is stored as itself.
bool ansi_from_code_point(std::uint32_t code_point, std::string& ansi) {
    if (code_point < 0x80) {
        ansi += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        ansi += static_cast<char>(0xC0 | (code_point >> 6));
        ansi += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        ansi += static_cast<char>(0xE0 | (code_point >> 12));
        ansi += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        ansi += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        ansi += static_cast<char>(0xF0 | (code_point >> 18));
        ansi += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        ansi += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        ansi += static_cast<char>(0x80 | (code_point & 0x3F));
    }
    return true;
}

std::string temp_folder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir && *dir) ? dir : "/tmp";
    if (folder.size() >= 260) return {};
    if (folder.back() != '/') folder += '/';
    return folder;
}

void drain_message_queue(WindowHandle) {
    if (pump()) pump()();
}

void sleep_milliseconds(unsigned milliseconds) { ::usleep(milliseconds * 1000u); }

std::uint64_t milliseconds_now() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void set_window_text(WindowHandle, const std::string&) {}
std::string window_text(WindowHandle, int) { return {}; }
void show_window(WindowHandle, int) {}
void focus_text_field(WindowHandle) {}
void invalidate_without_erase(WindowHandle, const Rect*) {}
void update_window(WindowHandle) {}
void set_progress_position(WindowHandle, int) {}
void message_box(WindowHandle, const std::string&, const std::string&, unsigned) {}
void delete_bitmap(BitmapHandle) {}
void delete_brush(BrushHandle) {}
void delete_font(FontHandle) {}

}  // namespace platform
