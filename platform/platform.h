#pragma once
// The few operating-system services that the portable code needs. Win32 and
// POSIX each provide one implementation file; the build links the right one.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/owner.h"
#include "platform_types.h"

namespace platform {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum class FolderResult { created, already_exists, failed };

// Creates one folder (no parents), with security_attributes when given (see
// AccessDescriptor). A name that is already taken, by a folder or by a plain
// file, is `already_exists`: the caller treats both alike.
FolderResult create_folder(const std::string& path, void* security_attributes = nullptr);

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
// Flushes the file and cuts it at the current position: what an earlier,
// longer write left beyond it goes. False when a byte did not reach the
// system or the size could not be set.
bool cut_file_here(std::FILE* file);

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

// Where the character after the one at position begins in ANSI text: two
// bytes on for a lead byte of a double-byte code page (932, 936, 949, 950),
// whose trail byte may be 0x5C, the backslash; otherwise one. Never past the
// end of text.
std::size_t next_character(const std::string& text, std::size_t position);

// What the elevated setup leaves behind for later elevated runs gets an
// access list of its own: owned by Administrators, protected from what the
// folders above grant.
//   install_folder: SYSTEM and Administrators full control; Users read and
//     execute on it and below; Authenticated Users may add files and folders
//     to it and to every folder below it, and whoever makes an entry below
//     it has full control of that entry alone (CREATOR OWNER), so nobody but
//     Administrators may change, rename or delete what the setup made.
//   uninstaller: SYSTEM and Administrators full control, Users read and execute.
//   manifest: SYSTEM and Administrators full control, Users read.
enum class AccessList { install_folder, uninstaller, manifest };

// One access list built as a security descriptor, for creating a folder or
// a file with it. Off Windows nothing is built and creation keeps the
// system's default, which counts as success.
class AccessDescriptor {
public:
    explicit AccessDescriptor(AccessList list);
    ~AccessDescriptor();
    AccessDescriptor(const AccessDescriptor&) = delete;
    AccessDescriptor& operator=(const AccessDescriptor&) = delete;

    // False when the system could not build it (Windows only).
    bool built() const;
    // A SECURITY_ATTRIBUTES for CreateDirectoryA and CreateFileA, and the
    // descriptor itself for an object's attributes (NtCreateFile); null when
    // not built, and always off Windows.
    void* security_attributes();
    void* security_descriptor() const;
    // The descriptor as the system writes it back in text (SDDL); empty when
    // not built, and off Windows.
    std::string text() const;

private:
    struct Built;
    [[maybe_unused]] Built* built_ = nullptr;  // unused off Windows
};



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

// What became of an entry named relative to an open folder. is_link: a
// link (on Windows anything with a reparse point) stood in the name's place,
// or the name led somewhere else than into the folder; nothing was done
// through it. wrong_kind: a file where a folder was asked for, or the other
// way round. in_use: another program holds the entry open without sharing
// its deletion (Windows), so it cannot be replaced now.
enum class EntryResult { done, missing, is_link, wrong_kind, in_use, failed };

// One open folder: on Windows a handle that shares reading and writing but
// not deletion, so while it is held nobody can rename, remove or replace the
// folder; elsewhere a descriptor. Entries are then named relative to it, so
// what happens to the path above it no longer matters.
void close_folder(std::intptr_t native);
using FolderHandle = Owner<std::intptr_t, close_folder, -1>;

// Opens the existing folder path, a full path, and checks it: its parent is
// reached by path (a games folder moved elsewhere by a junction keeps
// working), the folder itself as one entry of that parent, as in
// open_child_folder. With removable, the handle may also delete the folder
// (remove_open_folder); nobody else may then open it at all unless they
// share deletion. With protectable, it may change the folder's owner and
// access list (protect_install_folder).
enum class FolderUse { entries, removable, protectable };
EntryResult open_folder(const std::string& path, FolderHandle& folder,
                        FolderUse use = FolderUse::entries);

// Opens, or with create makes when missing, the folder name (one component,
// no separator) in parent, and checks it through its own handle: a link in
// its place is never followed.
EntryResult open_child_folder(const FolderHandle& parent, const std::string& name, bool create,
                              FolderHandle& child);

// Deletes the folder name in parent through its own handle when it is
// empty; a link in its place is left alone (is_link), a folder with anything
// in it is failed.
EntryResult remove_folder_in(const FolderHandle& parent, const std::string& name);

// Deletes the file name in parent through its own handle. A link in its
// place is left alone (is_link); a file in use, or one the system refuses to
// delete, is failed.
EntryResult delete_file_in(const FolderHandle& parent, const std::string& name);

// Removes the open folder, which must be empty, through its own handle and
// closes it; path only names it for systems that delete by name. False when
// it stays.
bool remove_open_folder(FolderHandle& folder, const std::string& path);

// Opens the user's temporary folder as the system reports it, reached in
// UTF-16 on Windows, so that a folder the ANSI code page cannot name still
// opens (the current folder when the system reports none). shown gets its
// path, with its trailing separator, as far as the code page can show it:
// for messages only, never to be opened.
EntryResult open_temp_folder(FolderHandle& folder, std::string& shown);

// Makes the folder name (one component) in parent, which must not exist yet,
// and holds it through the handle that made it, able to delete it
// (remove_open_folder). A name taken by anything is already_exists.
FolderResult create_new_child_folder(const FolderHandle& parent, const std::string& name,
                                     FolderHandle& child);

// Gives the folder, open with protectable, the install folder's owner and
// protected access list (AccessList::install_folder), on that folder alone:
// what exists below it keeps its lists, and what is made below it later
// inherits. Off Windows nothing is done and the answer is true.
bool protect_install_folder(const FolderHandle& folder);

constexpr int show_hide = 0;
constexpr int show_normal = 5;
constexpr unsigned box_ok = 0x0;
constexpr unsigned box_icon_error = 0x10;
constexpr unsigned box_icon_warning = 0x30;
constexpr unsigned box_icon_information = 0x40;

// One stdio file. close_file is the close that reports a lost byte.
inline void close_stdio(std::FILE* file) { std::fclose(file); }
using File = Owner<std::FILE*, close_stdio>;

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

// Creates the file name in parent, open for reading and writing ("w+b"),
// nobody else writing, deleting or renaming it while it is open (Windows).
// What already holds the name is examined through its own handle first: a
// plain file, read-only or not, is deleted and the name made anew; a link is never followed or
// deleted (is_link), a folder is wrong_kind. With access, the new file gets
// that owner and access list or is not made at all (failed).
EntryResult create_file_in(const FolderHandle& parent, const std::string& name, File& file,
                           const AccessDescriptor* access = nullptr);

// Opens the existing plain file name in parent for reading ("rb"), nobody
// else writing, deleting or renaming it while it is open (Windows). A link in
// its place is never followed (is_link), a folder is wrong_kind, an empty
// name is missing.
EntryResult open_file_in(const FolderHandle& parent, const std::string& name, File& file);

// Renames file, open from create_file_in as file_name in folder, to name in
// the same folder, relative to the folder's handle, replacing what holds
// name when that is a plain file nobody else has open. False when it keeps
// its name.
bool rename_open_file(std::FILE* file, const FolderHandle& folder, const std::string& file_name,
                      const std::string& name);
// True when another program holds the file name in folder open without
// sharing its deletion, so that create_file_in could not replace it now
// (Windows; never elsewhere). A missing name is not in use.
bool file_in_use(const FolderHandle& folder, const std::string& name);

// Deletes file, open from create_file_in as name in folder, through its own
// handle: it is gone once closed. False when it stays.
bool delete_open_file(std::FILE* file, const FolderHandle& folder, const std::string& name);

}  // namespace platform
