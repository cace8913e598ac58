#include "platform/platform.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <vector>

// RtlGenRandom by its export name. Declared here to be reached through its
// import pointer, as the setup's own stubs provide it.
extern "C" __declspec(dllimport) BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG size);

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

void delete_file(const std::string& path) { DeleteFileA(path.c_str()); }

std::FILE* create_new_file(const std::string& path) {
    // Others may read (a virus scanner, say) but neither write nor delete nor
    // rename; the reparse-point flag opens a link in the name's place itself,
    // which CREATE_NEW then refuses as taken.
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "w+b");
    if (!file) _close(descriptor);
    return file;
}

void remove_folder(const std::string& path) { RemoveDirectoryA(path.c_str()); }

bool is_link(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool random_bytes(void* buffer, std::size_t size) {
    return SystemFunction036(buffer, static_cast<ULONG>(size)) != FALSE;
}

namespace {
// The volume and file index that identify a file, however it was reached.
// Slow under Wine (the volume is asked of its mount manager every time).
bool identity_of(HANDLE file, BY_HANDLE_FILE_INFORMATION& identity) {
    return file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &identity);
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
    const HANDLE other = CreateFileA(path.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION other_identity;
    const bool known = identity_of(other, other_identity);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
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

std::string temp_folder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, buffer);
    buffer[MAX_PATH - 1] = '\0';
    return buffer;
}

void drain_message_queue(WindowHandle dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void sleep_milliseconds(unsigned milliseconds) { Sleep(milliseconds); }

std::uint64_t milliseconds_now() { return GetTickCount64(); }

void set_window_text(WindowHandle window, const std::string& text) {
    if (window) SetWindowTextA(window, text.c_str());
}

std::string window_text(WindowHandle window, int buffer_bytes) {
    if (!window || buffer_bytes <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(buffer_bytes), '\0');
    GetWindowTextA(window, buffer.data(), buffer_bytes);
    buffer.back() = '\0';
    return buffer.data();
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
