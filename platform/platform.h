#pragma once
// The few operating-system services that the portable code needs. Win32 and
// POSIX each provide one implementation file; the build links the right one.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform_types.h"

namespace platform {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum class FolderResult { created, already_exists, failed };

// Creates one folder (no parents). A name that is already taken, by a folder
// or by a plain file, is `already_exists`: the caller treats both alike.
FolderResult create_folder(const std::string& path);

// True when path names an existing folder; the root of a drive (C:\) or of a
// share (\\server\share\) counts as one.
bool folder_exists(const std::string& path);

// True when path names an existing file (anything but a folder).
bool file_exists(const std::string& path);

// Opens a file with a C stdio mode ("rb", "wb"). Paths use backslashes as on
// Windows; the POSIX build maps them so host tests see the same tree.
std::FILE* open_file(const std::string& path, const char* mode);

// 64-bit positioning on an open stdio file.
bool seek_to(std::FILE* file, std::uint64_t offset);
bool seek_to_end(std::FILE* file);
std::int64_t tell(std::FILE* file);

// Removes a file; callers never act on the outcome.
void delete_file(const std::string& path);

// Creates path as a new file, open for reading and writing ("w+b"). A name
// that is taken, by a file, a folder or a link, fails: nothing that exists is
// opened, and a link at path is never followed. While the file is open, no
// other program may write, rename or delete it (Windows).
std::FILE* create_new_file(const std::string& path);

// Removes an empty folder; a link is removed itself, never what it points
// to. Callers never act on the outcome.
void remove_folder(const std::string& path);

// True when path names a link: on Windows anything that carries a reparse
// point (a junction, a symbolic link, a mount point), elsewhere a symbolic
// link. False when nothing is there.
bool is_link(const std::string& path);

// Fills buffer with size bytes from the system's random source; false when
// it gave none.
bool random_bytes(void* buffer, std::size_t size);

// True when path names the very file that open_file is open on, whatever
// spelling reaches it (another case, a short name, a link). False when path
// names nothing.
bool is_same_file(const std::string& path, std::FILE* open_file);

// The bytes this process may still write to the volume holding folder, which
// must exist. False when the system does not say.
bool free_disk_space(const std::string& folder, std::uint64_t& free_bytes);

// One Unicode character in the system's ANSI code page, exactly or not at
// all: never a look-alike ("best fit") and never the default character. The
// caller passes a Unicode scalar value (no surrogate, at most 0x10FFFF).
bool ansi_from_code_point(std::uint32_t code_point, std::string& ansi);

// The user's temporary folder as the system reports it (with its trailing
// separator), or empty when it is not reported or does not fit 260 bytes.
std::string temp_folder();

// Dispatches every message waiting for this thread's windows; never blocks.
// The keys of dialog (Tab, Enter, Escape) move the focus between its
// controls and press its buttons, as in a dialog box.
void drain_message_queue(WindowHandle dialog = nullptr);

void sleep_milliseconds(unsigned milliseconds);

// A monotonic clock in milliseconds, for spacing out repaints.
std::uint64_t milliseconds_now();

// Window services used by the status operations. A null handle is skipped.
void set_window_text(WindowHandle window, const std::string& text);
// A window's text, read as Unicode and turned into the ANSI code page. False
// when some character has no exact ANSI form (text then holds the default
// character in its place): the person typed something this system's narrow
// paths cannot name.
bool window_text_in_code_page(WindowHandle window, int buffer_characters, std::string& text);
void show_window(WindowHandle window, int show_command);
// Gives a text field the keyboard focus, the caret after its last character.
void focus_text_field(WindowHandle field);
void invalidate_without_erase(WindowHandle window, const Rect* area);
// Paints what is invalid in the window now, without waiting for the queue.
void update_window(WindowHandle window);
void set_progress_position(WindowHandle progress_bar, int position);
void message_box(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style);
void delete_bitmap(BitmapHandle bitmap);
void delete_brush(BrushHandle brush);
void delete_font(FontHandle font);

constexpr int show_hide = 0;
constexpr int show_normal = 5;
constexpr unsigned box_ok = 0x0;
constexpr unsigned box_icon_error = 0x10;
constexpr unsigned box_icon_warning = 0x30;
constexpr unsigned box_icon_information = 0x40;

// Owns one stdio file; closes it once, whichever way the owner leaves.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Flushes and closes the file, leaving file empty. True only when every byte
// written through it reached the system: a full disk often shows only here,
// when the last buffered bytes go out.
inline bool close_file(File& file) {
    std::FILE* raw = file.release();
    if (!raw) return false;
    const bool flushed = std::fflush(raw) == 0;
    const bool closed = std::fclose(raw) == 0;
    return flushed && closed;
}

}  // namespace platform
