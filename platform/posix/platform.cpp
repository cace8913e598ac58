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

bool cut_file_here(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const off_t position = ::ftello(file);
    return position >= 0 && ::ftruncate(::fileno(file), position) == 0;
}

void close_folder(std::intptr_t native) { ::close(static_cast<int>(native)); }

namespace {
int descriptor(const FolderHandle& folder) { return static_cast<int>(folder.get()); }

void close_descriptor(int descriptor) { ::close(descriptor); }
using Descriptor = Owner<int, close_descriptor, -1>;

bool is_one_component(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/") == std::string::npos;
}

// What holds name in folder, never following a link; after a failed open,
// for the reason.
EntryResult classify(int folder, const std::string& name, bool want_folder) {
    struct stat status;
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? EntryResult::missing : EntryResult::failed;
    }
    if (S_ISLNK(status.st_mode)) return EntryResult::is_link;
    if (S_ISDIR(status.st_mode) != want_folder) return EntryResult::wrong_kind;
    return EntryResult::failed;
}
}  // namespace

EntryResult open_child_folder(const FolderHandle& parent, const std::string& name, bool create,
                              FolderHandle& child) {
    child.reset();
    if (!parent || !is_one_component(name)) return EntryResult::failed;
    if (create) ::mkdirat(descriptor(parent), name.c_str(), 0777);
    const int opened = ::openat(descriptor(parent), name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened == -1) return classify(descriptor(parent), name, true);
    child = FolderHandle(opened);
    return EntryResult::done;
}

// Nothing here keeps another program from deleting a file.
bool file_in_use(const FolderHandle&, const std::string&) { return false; }

EntryResult open_temp_folder(FolderHandle& folder, std::string& shown) {
    folder.reset();
    const char* dir = std::getenv("TMPDIR");
    shown = (dir && *dir) ? dir : "/tmp";
    const int opened = ::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened == -1) return EntryResult::failed;
    if (shown.back() != '/') shown += '/';
    folder = FolderHandle(opened);
    return EntryResult::done;
}

FolderResult create_new_child_folder(const FolderHandle& parent, const std::string& name,
                                     FolderHandle& child) {
    child.reset();
    if (!parent || !is_one_component(name)) return FolderResult::failed;
    if (::mkdirat(descriptor(parent), name.c_str(), 0700) != 0) {
        return errno == EEXIST ? FolderResult::already_exists : FolderResult::failed;
    }
    const int opened = ::openat(descriptor(parent), name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened == -1) return FolderResult::failed;
    child = FolderHandle(opened);
    return FolderResult::created;
}

EntryResult open_folder(const std::string& path, FolderHandle& folder, FolderUse) {
    folder.reset();
    std::string native = native_path(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    const size_t last = native.find_last_of('/');
    if (last == std::string::npos || last + 1 == native.size()) return EntryResult::failed;
    const std::string above = last == 0 ? "/" : native.substr(0, last);
    const int parent = ::open(above.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent == -1) return errno == ENOENT ? EntryResult::missing : EntryResult::failed;
    const FolderHandle held(parent);
    return open_child_folder(held, native.substr(last + 1), false, folder);
}

EntryResult remove_folder_in(const FolderHandle& parent, const std::string& name) {
    if (!parent || !is_one_component(name)) return EntryResult::failed;
    struct stat status;
    if (::fstatat(descriptor(parent), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? EntryResult::missing : EntryResult::failed;
    }
    if (S_ISLNK(status.st_mode)) return EntryResult::is_link;
    if (!S_ISDIR(status.st_mode)) return EntryResult::wrong_kind;
    return ::unlinkat(descriptor(parent), name.c_str(), AT_REMOVEDIR) == 0 ? EntryResult::done
                                                                            : EntryResult::failed;
}

EntryResult delete_file_in(const FolderHandle& parent, const std::string& name) {
    if (!parent || !is_one_component(name)) return EntryResult::failed;
    struct stat status;
    if (::fstatat(descriptor(parent), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? EntryResult::missing : EntryResult::failed;
    }
    if (S_ISLNK(status.st_mode)) return EntryResult::is_link;
    if (S_ISDIR(status.st_mode)) return EntryResult::wrong_kind;
    return ::unlinkat(descriptor(parent), name.c_str(), 0) == 0 ? EntryResult::done
                                                                 : EntryResult::failed;
}

// A descriptor cannot delete what it is open on: the folder goes by name once
// closed.
bool remove_open_folder(FolderHandle& folder, const std::string& path) {
    if (!folder) return false;
    folder.reset();
    return ::rmdir(native_path(path).c_str()) == 0;
}

// Access lists are a Windows matter: the file keeps the owner-only mode.
EntryResult create_file_in(const FolderHandle& parent, const std::string& name, File& file,
                           const AccessDescriptor*) {
    file.reset();
    if (!parent || !is_one_component(name)) return EntryResult::failed;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Descriptor opened(::openat(descriptor(parent), name.c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (opened) {
            file.reset(::fdopen(opened.get(), "w+b"));
            if (!file) return EntryResult::failed;
            opened.release();  // the stream closes it
            return EntryResult::done;
        }
        if (errno != EEXIST || attempt > 0) break;
        const EntryResult removed = delete_file_in(parent, name);
        if (removed != EntryResult::done && removed != EntryResult::missing) return removed;
    }
    return EntryResult::failed;
}

EntryResult open_file_in(const FolderHandle& parent, const std::string& name, File& file) {
    file.reset();
    if (!parent || !is_one_component(name)) return EntryResult::failed;
    Descriptor opened(::openat(descriptor(parent), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened) return classify(descriptor(parent), name, false);
    struct stat status;
    if (::fstat(opened.get(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? EntryResult::wrong_kind : EntryResult::failed;
    }
    file.reset(::fdopen(opened.get(), "rb"));
    if (!file) return EntryResult::failed;
    opened.release();  // the stream closes it
    return EntryResult::done;
}

bool rename_open_file(std::FILE* file, const FolderHandle& folder, const std::string& file_name,
                      const std::string& name) {
    if (!file || !folder || !is_one_component(name) || std::fflush(file) != 0) {
        return false;
    }
    return ::renameat(descriptor(folder), file_name.c_str(), descriptor(folder), name.c_str()) == 0;
}

bool delete_open_file(std::FILE*, const FolderHandle& folder, const std::string& name) {
    return delete_file_in(folder, name) == EntryResult::done;
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
bool window_text_in_code_page(WindowHandle, int, std::string& text) {
    text.clear();
    return true;
}
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
