#include "platform/platform.h"

#include "platform/kernel_handle.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <vector>

// RtlGenRandom by its export name. Declared here to be reached through its
// import pointer, as the setup's own stubs provide it.
extern "C" __declspec(dllimport) BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG size);

// The native file call, the one that names an entry relative to an open
// folder. Its structures are declared here rather than taken from winternl.h,
// whose declaration of the function would not go through an import pointer.
namespace native {
struct UnicodeText {
    USHORT length;
    USHORT maximum_length;
    PWSTR buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE root_directory;
    UnicodeText* object_name;
    ULONG attributes;
    PVOID security_descriptor;
    PVOID security_quality_of_service;
};
struct IoStatus {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
}  // namespace native
namespace native {
// FILE_RENAME_INFORMATION, one name unit given.
struct RenameInformation {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    ULONG name_length;
    WCHAR name[1];
};
constexpr int file_rename_information = 10;
}  // namespace native
extern "C" __declspec(dllimport) LONG NTAPI NtSetInformationFile(
    HANDLE file, native::IoStatus* status, PVOID information, ULONG length, int information_class);
extern "C" __declspec(dllimport) LONG NTAPI NtCreateFile(
    HANDLE* file, ACCESS_MASK access, native::ObjectAttributes* attributes,
    native::IoStatus* status, LARGE_INTEGER* allocation_size, ULONG file_attributes, ULONG share,
    ULONG disposition, ULONG options, PVOID extended_attributes, ULONG extended_length);

namespace platform {

FolderResult create_folder(const std::string& path, void* security_attributes) {
    if (CreateDirectoryA(path.c_str(), static_cast<SECURITY_ATTRIBUTES*>(security_attributes))) {
        return FolderResult::created;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? FolderResult::already_exists
                                                  : FolderResult::failed;
}

bool folder_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::FILE* open_file(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool seek_to(std::FILE* file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool seek_to_end(std::FILE* file) { return _fseeki64(file, 0, SEEK_END) == 0; }

std::int64_t tell(std::FILE* file) { return _ftelli64(file); }

bool cut_file_here(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const __int64 position = _ftelli64(file);
    return position >= 0 && _chsize_s(_fileno(file), position) == 0;
}

namespace {
namespace status {
constexpr LONG success = 0;
constexpr LONG object_name_invalid = static_cast<LONG>(0xC0000033);
constexpr LONG object_name_not_found = static_cast<LONG>(0xC0000034);
constexpr LONG object_name_collision = static_cast<LONG>(0xC0000035);
constexpr LONG object_path_not_found = static_cast<LONG>(0xC000003A);
constexpr LONG file_is_a_directory = static_cast<LONG>(0xC00000BA);
constexpr LONG not_a_directory = static_cast<LONG>(0xC0000103);
constexpr LONG sharing_violation = static_cast<LONG>(0xC0000043);
}  // namespace status

namespace option {
constexpr ULONG directory_file = 0x00000001;
constexpr ULONG synchronous_io = 0x00000020;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG non_directory_file = 0x00000040;
constexpr ULONG open_reparse_point = 0x00200000;
}  // namespace option

namespace disposition {
constexpr ULONG open = 1;
constexpr ULONG create = 2;
constexpr ULONG open_if = 3;
}  // namespace disposition

constexpr ULONG case_insensitive = 0x40;  // OBJ_CASE_INSENSITIVE

HANDLE handle_of(const FolderHandle& folder) { return reinterpret_cast<HANDLE>(folder.get()); }

using Handle = KernelHandle;

// name in UTF-16, one component: empty for a name the code page cannot read,
// one that holds a separator once read by character, or one that is no name.
std::wstring component_name(const std::string& name) {
    if (name.empty() || name.size() > 32767) return {};
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(),
                                          static_cast<int>(name.size()), nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                        &wide[0], units);
    // Windows programs cannot name an entry that ends in a dot or a space: the
    // system drops those when it reads their paths. So this name, as the
    // others know it, is the one made.
    while (!wide.empty() && (wide.back() == L'.' || wide.back() == L' ')) wide.pop_back();
    if (wide.empty() || wide.find_first_of(L"\\/") != std::wstring::npos) return {};
    return wide;
}

// Opens name relative to folder (or, without one, name as a full native
// path). The entry itself is opened, never what a reparse point names.
LONG open_relative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                   ULONG how, ULONG options, Handle& opened, void* security = nullptr) {
    native::UnicodeText text;
    text.buffer = const_cast<PWSTR>(name.c_str());
    text.length = text.maximum_length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    native::ObjectAttributes attributes = {sizeof attributes, folder, &text, case_insensitive,
                                           security, nullptr};
    native::IoStatus io = {};
    HANDLE raw = nullptr;
    const LONG result =
        NtCreateFile(&raw, access | SYNCHRONIZE, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, share, how,
                     options | option::synchronous_io | option::open_reparse_point, nullptr, 0);
    opened.reset(result == status::success ? raw : nullptr);
    return result;
}

EntryResult result_of(LONG result) {
    switch (result) {
        case status::success: return EntryResult::done;
        case status::object_name_not_found:
        case status::object_path_not_found: return EntryResult::missing;
        case status::file_is_a_directory:
        case status::not_a_directory: return EntryResult::wrong_kind;
        case status::sharing_violation: return EntryResult::in_use;
        default: return EntryResult::failed;
    }
}

// The handle's path on its volume, as the file system names it.
std::wstring path_of(HANDLE handle) {
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t));
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                         static_cast<DWORD>(buffer.size()))) {
            return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
        }
        if (GetLastError() != ERROR_MORE_DATA) return {};
        buffer.resize(sizeof(FILE_NAME_INFO) + info->FileNameLength + sizeof(wchar_t));
    }
    return {};
}

// Is entry, just opened as name in folder, that very entry, and no link?
// Windows opens a reparse point itself, which shows in its attributes. A
// system that follows a link all the same (Wine with a Unix symbolic link)
// shows it only by where the handle ended up: not in folder under name.
EntryResult check_entry(HANDLE folder, const std::wstring& name, HANDLE entry, bool want_folder) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag)) {
        return EntryResult::failed;
    }
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryResult::is_link;
    std::wstring expected = path_of(folder);
    if (expected.empty()) return EntryResult::failed;
    if (expected.back() != L'\\') expected += L'\\';
    expected += name;
    const std::wstring actual = path_of(entry);
    if (CompareStringOrdinal(actual.data(), static_cast<int>(actual.size()), expected.data(),
                             static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL) {
        return EntryResult::is_link;
    }
    const bool is_folder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return is_folder == want_folder ? EntryResult::done : EntryResult::wrong_kind;
}

// Opens what holds name in folder as itself, able to delete it, and checks
// it: done when it is the kind wanted and no link.
EntryResult open_existing(HANDLE folder, const std::wstring& name, bool want_folder,
                          Handle& opened) {
    const LONG result = open_relative(
        folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition::open, 0, opened);
    if (result != status::success) return result_of(result);
    const EntryResult checked = check_entry(folder, name, opened.get(), want_folder);
    if (checked != EntryResult::done) opened.reset();
    return checked;
}

// Marks the open entry for deletion; it goes when its last handle closes.
bool mark_for_deletion(HANDLE entry) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(entry, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// The same for a file the read-only attribute keeps from deletion: the
// administrator may take that attribute off, so it stops no replacement.
bool mark_for_replacement(HANDLE entry) {
    if (mark_for_deletion(entry)) return true;
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic) &&
           mark_for_deletion(entry);
}

// Opens name in folder, or makes it, as a folder, with the access given.
EntryResult open_folder_entry(HANDLE folder, const std::string& name, bool create,
                              ACCESS_MASK extra_access, FolderHandle& child) {
    child.reset();
    const std::wstring wide = component_name(name);
    if (!folder || wide.empty()) return EntryResult::failed;
    Handle opened;
    // Others may read and add entries (a virus scanner, the game itself), but
    // not delete or rename it while it is held.
    const LONG result = open_relative(
        folder, wide, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | extra_access,
        FILE_SHARE_READ | FILE_SHARE_WRITE, create ? disposition::open_if : disposition::open,
        option::directory_file, opened);
    if (result != status::success) {
        // A link to a file, or one that leads nowhere, fails to open as a
        // folder; its own attributes tell it from a plain file.
        Handle existing;
        const EntryResult found = open_existing(folder, wide, true, existing);
        return found == EntryResult::is_link ? found : result_of(result);
    }
    const EntryResult checked = check_entry(folder, wide, opened.get(), true);
    if (checked != EntryResult::done) return checked;
    child = FolderHandle(reinterpret_cast<std::intptr_t>(opened.release()));
    return EntryResult::done;
}

// Deletes name in folder through its own handle, when it is of the kind
// wanted. A folder must be empty: the system refuses the mark otherwise.
EntryResult delete_entry(const FolderHandle& folder, const std::string& name, bool want_folder) {
    const std::wstring wide = component_name(name);
    if (!folder || wide.empty()) return EntryResult::failed;
    Handle existing;
    const EntryResult found = open_existing(handle_of(folder), wide, want_folder, existing);
    // A file in use stays: that is one the system refuses to delete.
    if (found == EntryResult::in_use) return EntryResult::failed;
    if (found != EntryResult::done) return found;
    return mark_for_deletion(existing.get()) ? EntryResult::done : EntryResult::failed;
}
}  // namespace

void close_folder(std::intptr_t native) { CloseHandle(reinterpret_cast<HANDLE>(native)); }

EntryResult open_child_folder(const FolderHandle& parent, const std::string& name, bool create,
                              FolderHandle& child) {
    if (!parent) {
        child.reset();
        return EntryResult::failed;
    }
    return open_folder_entry(handle_of(parent), name, create, 0, child);
}

EntryResult open_folder(const std::string& path, FolderHandle& folder, FolderUse use) {
    folder.reset();
    std::string trimmed = path;
    while (trimmed.size() > 3 && (trimmed.back() == '\\' || trimmed.back() == '/')) {
        trimmed.pop_back();
    }
    // The last separator read by character: a double-byte name may hold a
    // 0x5C trail byte.
    const int units = MultiByteToWideChar(CP_ACP, 0, trimmed.data(), static_cast<int>(trimmed.size()),
                                    nullptr, 0);
    if (units <= 0) return EntryResult::failed;
    std::wstring full(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, trimmed.data(), static_cast<int>(trimmed.size()), &full[0],
                        units);
    const size_t last = full.find_last_of(L"\\/");
    if (last == std::wstring::npos) return EntryResult::failed;
    if (last + 1 == full.size()) {
        // A drive's root is no link, and has no parent to be found in.
        const HANDLE root = CreateFileW(full.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (root == INVALID_HANDLE_VALUE) return EntryResult::failed;
        folder = FolderHandle(reinterpret_cast<std::intptr_t>(root));
        return EntryResult::done;
    }
    // A drive's root keeps its separator; any other folder goes without.
    const std::wstring above = full.substr(0, last == 2 && full[1] == L':' ? last + 1 : last);
    const Handle parent(taken_from(
        CreateFileW(above.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (!parent) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? EntryResult::missing
                   : EntryResult::failed;
    }
    const int length = WideCharToMultiByte(CP_ACP, 0, full.data() + last + 1,
                                     static_cast<int>(full.size() - last - 1), nullptr, 0,
                                     nullptr, nullptr);
    std::string name(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_ACP, 0, full.data() + last + 1,
                            static_cast<int>(full.size() - last - 1), &name[0], length, nullptr,
                            nullptr);
    }
    const ACCESS_MASK extra = use == FolderUse::removable     ? DELETE
                              : use == FolderUse::protectable ? READ_CONTROL | WRITE_DAC | WRITE_OWNER
                                                              : 0;
    return open_folder_entry(parent.get(), name, false, extra, folder);
}

EntryResult open_temp_folder(FolderHandle& folder, std::string& shown) {
    folder.reset();
    shown.clear();
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring path = length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : L".\\";
    const HANDLE opened =
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return EntryResult::failed;
    folder = FolderHandle(reinterpret_cast<std::intptr_t>(opened));
    if (length == 0 || length > MAX_PATH) return EntryResult::done;  // shown as a relative path
    const int bytes = WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                          nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        shown.assign(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &shown[0],
                            bytes, nullptr, nullptr);
    }
    return EntryResult::done;
}

FolderResult create_new_child_folder(const FolderHandle& parent, const std::string& name,
                                     FolderHandle& child) {
    child.reset();
    const std::wstring wide = component_name(name);
    if (!parent || wide.empty()) return FolderResult::failed;
    Handle opened;
    const LONG result = open_relative(
        handle_of(parent), wide, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | DELETE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, disposition::create, option::directory_file, opened);
    if (result == status::object_name_collision) return FolderResult::already_exists;
    if (result != status::success) return FolderResult::failed;
    child = FolderHandle(reinterpret_cast<std::intptr_t>(opened.release()));
    return FolderResult::created;
}

EntryResult remove_folder_in(const FolderHandle& parent, const std::string& name) {
    return delete_entry(parent, name, true);
}

EntryResult delete_file_in(const FolderHandle& parent, const std::string& name) {
    return delete_entry(parent, name, false);
}

bool remove_open_folder(FolderHandle& folder, const std::string&) {
    if (!folder) return false;
    const bool marked = mark_for_deletion(handle_of(folder));
    folder.reset();
    return marked;
}

namespace {
// What holds name in folder when it cannot be opened for deletion: a plain
// file held elsewhere is in use; a folder (the walk holds its own open) or a
// link is what it is.
EntryResult in_use_or_other(HANDLE folder, const std::wstring& name) {
    Handle probe;
    if (open_relative(folder, name, FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition::open,
                      0, probe) != status::success) {
        return EntryResult::in_use;
    }
    const EntryResult checked = check_entry(folder, name, probe.get(), false);
    return checked == EntryResult::done ? EntryResult::in_use : checked;
}
}  // namespace

EntryResult create_file_in(const FolderHandle& parent, const std::string& name, File& file,
                           const AccessDescriptor* access) {
    file.reset();
    const std::wstring wide = component_name(name);
    if (!parent || wide.empty()) return EntryResult::failed;
    // Asked for and not built, the file would silently take what its folder
    // grants: better not made.
    void* security = access ? access->security_descriptor() : nullptr;
    if (access && !security) return EntryResult::failed;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Handle opened;
        // Others may read (a virus scanner, say) but neither write nor delete
        // nor rename. DELETE lets the owner delete it through this handle.
        const LONG result = open_relative(handle_of(parent), wide,
                                          GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                          disposition::create, option::non_directory_file, opened,
                                          security);
        if (result == status::success) {
            const int descriptor =
                _open_osfhandle(reinterpret_cast<intptr_t>(opened.get()), _O_RDWR | _O_BINARY);
            if (descriptor == -1) return EntryResult::failed;
            opened.release();  // the descriptor closes it
            file.reset(_fdopen(descriptor, "w+b"));
            if (!file) {
                _close(descriptor);
                return EntryResult::failed;
            }
            return EntryResult::done;
        }
        if (result != status::object_name_collision || attempt > 0) return result_of(result);
        // Only now is the name looked at: a fresh install pays nothing for it.
        Handle existing;
        const EntryResult found = open_existing(handle_of(parent), wide, false, existing);
        if (found == EntryResult::missing) continue;
        if (found == EntryResult::in_use) return in_use_or_other(handle_of(parent), wide);
        if (found != EntryResult::done) return found;
        // Closed at the end of this pass: the name is free once it is.
        if (!mark_for_replacement(existing.get())) return EntryResult::failed;
    }
    return EntryResult::failed;
}

EntryResult open_file_in(const FolderHandle& parent, const std::string& name, File& file) {
    file.reset();
    const std::wstring wide = component_name(name);
    if (!parent || wide.empty()) return EntryResult::failed;
    Handle opened;
    const LONG result = open_relative(handle_of(parent), wide, GENERIC_READ, FILE_SHARE_READ,
                                      disposition::open, option::non_directory_file, opened);
    if (result != status::success) return result_of(result);
    const EntryResult checked = check_entry(handle_of(parent), wide, opened.get(), false);
    if (checked != EntryResult::done) return checked;
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(opened.get()), _O_RDONLY | _O_BINARY);
    if (descriptor == -1) return EntryResult::failed;
    opened.release();  // the descriptor closes it
    file.reset(_fdopen(descriptor, "rb"));
    if (file) return EntryResult::done;
    _close(descriptor);
    return EntryResult::failed;
}

// The new name is given relative to the folder's handle, so the rename goes
// nowhere but into that folder, whatever became of its path.
bool rename_open_file(std::FILE* file, const FolderHandle& folder, const std::string&,
                      const std::string& name) {
    const std::wstring wide = component_name(name);
    if (!file || !folder || wide.empty() || std::fflush(file) != 0) return false;
    std::vector<unsigned char> buffer(sizeof(native::RenameInformation) +
                                      wide.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<native::RenameInformation*>(buffer.data());
    rename->replace_if_exists = TRUE;
    rename->root_directory = handle_of(folder);
    rename->name_length = static_cast<ULONG>(wide.size() * sizeof(wchar_t));
    std::copy(wide.begin(), wide.end(), rename->name);
    native::IoStatus io = {};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return NtSetInformationFile(handle, &io, rename, static_cast<ULONG>(buffer.size()),
                                native::file_rename_information) == status::success;
}

bool file_in_use(const FolderHandle& folder, const std::string& name) {
    const std::wstring wide = component_name(name);
    if (!folder || wide.empty()) return false;
    Handle opened;
    const LONG result = open_relative(handle_of(folder), wide, DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      disposition::open, option::non_directory_file, opened);
    return result == status::sharing_violation;
}

bool delete_open_file(std::FILE* file, const FolderHandle&, const std::string&) {
    if (!file) return false;
    return mark_for_deletion(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

bool random_bytes(void* buffer, std::size_t size) {
    return SystemFunction036(buffer, static_cast<ULONG>(size)) != FALSE;
}

namespace {
// The volume and file index that identify a file, however it was reached.
// Slow under Wine (the volume is asked of its mount manager every time).
bool identity_of(HANDLE file, BY_HANDLE_FILE_INFORMATION& identity) {
    return file && file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &identity);
}
}  // namespace

bool is_same_file(const std::string& path, std::FILE* open_file) {
    // Nearly every path names no file, or one of another size: two quick
    // questions settle those before the identities are compared.
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) return false;
    const std::uint64_t size =
        (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    const __int64 open_size = _filelengthi64(_fileno(open_file));
    if (open_size < 0 || static_cast<std::uint64_t>(open_size) != size) return false;

    BY_HANDLE_FILE_INFORMATION open_identity;
    const HANDLE open_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(open_file)));
    if (!identity_of(open_handle, open_identity)) return false;
    // No access asked, every kind of sharing granted: opening only to look
    // must not fail because the package is open, nor disturb it.
    const Handle other(taken_from(CreateFileA(path.c_str(), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                              nullptr)));
    BY_HANDLE_FILE_INFORMATION other_identity;
    const bool known = identity_of(other.get(), other_identity);
    return known && open_identity.dwVolumeSerialNumber == other_identity.dwVolumeSerialNumber &&
           open_identity.nFileIndexHigh == other_identity.nFileIndexHigh &&
           open_identity.nFileIndexLow == other_identity.nFileIndexLow;
}

bool free_disk_space(const std::string& folder, std::uint64_t& free_bytes) {
    // A bare drive ("D:") would mean that drive's current folder; with the
    // separator it is a folder like any other.
    std::string directory = folder;
    if (directory.empty() || (directory.back() != '\\' && directory.back() != '/')) {
        directory += '\\';
    }
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) return false;
    free_bytes = available.QuadPart;
    return true;
}

bool ansi_from_code_point(std::uint32_t code_point, std::string& ansi) {
    wchar_t units[2];
    int unit_count = 1;
    if (code_point >= 0x10000) {
        const std::uint32_t offset = code_point - 0x10000;
        units[0] = static_cast<wchar_t>(0xD800 + (offset >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
        unit_count = 2;
    } else {
        units[0] = static_cast<wchar_t>(code_point);
    }
    char bytes[8];
    int length = 0;
    if (GetACP() == CP_UTF8) {
        // A system set to UTF-8 stores every character; that code page takes
        // neither the flag nor the default-character report.
        length = WideCharToMultiByte(CP_UTF8, 0, units, unit_count, bytes, sizeof bytes, nullptr,
                                     nullptr);
    } else {
        // Best fit would turn a fullwidth full stop or backslash into '.' or
        // '\', so a harmless name could gain a ".." step.
        BOOL used_default = FALSE;
        length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, unit_count, bytes,
                                     sizeof bytes, nullptr, &used_default);
        if (used_default) return false;
    }
    if (length <= 0) return false;
    ansi.append(bytes, static_cast<std::size_t>(length));
    return true;
}

void drain_message_queue(WindowHandle dialog) {
    // Taken and handed on as Unicode: typed characters reach the folder
    // field whole, even those the ANSI code page has no form for, so that
    // reading the field can tell them apart from a typed '?'.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && IsDialogMessageW(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void sleep_milliseconds(unsigned milliseconds) { Sleep(milliseconds); }

std::uint64_t milliseconds_now() { return GetTickCount64(); }

void set_window_text(WindowHandle window, const std::string& text) {
    if (window) SetWindowTextA(window, text.c_str());
}

bool window_text_in_code_page(WindowHandle window, int buffer_characters, std::string& text) {
    text.clear();
    if (!window || buffer_characters <= 0) return true;
    std::vector<wchar_t> wide(static_cast<size_t>(buffer_characters), L'\0');
    const int length = GetWindowTextW(window, wide.data(), buffer_characters);
    if (length <= 0) return true;
    // No look-alikes: a best-fit letter would name some other folder. A
    // system set to UTF-8 stores every character but a lone surrogate, and
    // that code page refuses both the best-fit flag and the default-character
    // report: it is asked to fail on what it cannot store instead.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* const report = utf8 ? nullptr : &lost;
    const int bytes =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, report);
    if (bytes <= 0) return false;
    text.resize(static_cast<size_t>(bytes));
    if (WideCharToMultiByte(CP_ACP, flags, wide.data(), length, &text[0], bytes, nullptr,
                            report) != bytes) {
        text.clear();
        return false;
    }
    return !lost;
}

void show_window(WindowHandle window, int show_command) {
    if (window) ShowWindow(window, show_command);
}

void focus_text_field(WindowHandle field) {
    if (!field) return;
    SetFocus(field);
    // Positions past the end are cut to the text's length: the caret goes there.
    constexpr WPARAM past_the_end = 0x7FFFFFFF;
    SendMessageA(field, EM_SETSEL, past_the_end, past_the_end);
}

void invalidate_without_erase(WindowHandle window, const Rect* area) {
    if (!window) return;
    if (area) {
        RECT rect = {area->left, area->top, area->right, area->bottom};
        InvalidateRect(window, &rect, FALSE);
    } else {
        InvalidateRect(window, nullptr, FALSE);
    }
}

void update_window(WindowHandle window) {
    if (window) UpdateWindow(window);
}

void set_progress_position(WindowHandle progress_bar, int position) {
    if (progress_bar) SendMessageA(progress_bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void message_box(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style) {
    MessageBoxA(owner, text.c_str(), caption.c_str(), style);
}

void delete_bitmap(BitmapHandle bitmap) {
    if (bitmap) DeleteObject(bitmap);
}

void delete_brush(BrushHandle brush) {
    if (brush) DeleteObject(brush);
}

void delete_font(FontHandle font) {
    if (font) DeleteObject(font);
}

}  // namespace platform
