#include "platform/platform.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <vector>

// RtlGenRandom by its export name. Declared here to be reached through its
// import pointer, as the setup's own stubs provide it.
extern "C" __declspec(dllimport) BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG size);

namespace platform {

FolderResult create_folder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return FolderResult::created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? FolderResult::already_exists
                                                  : FolderResult::failed;
}

bool folder_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
