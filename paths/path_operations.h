#pragma once
// The path operations the whole program shares. Paths are narrow ANSI text;
// every separator produced here is a single backslash.
#include <string>

#include "platform/platform.h"

// Joins a folder and a name. An empty side, or a name that is itself rooted
// or carries a drive, wins unchanged; nothing else is normalised.
std::string join_path(const std::string& folder, const std::string& name);

// Both separators, '\\' and '/', count alike in every operation below.
inline bool is_separator(char c) { return c == '\\' || c == '/'; }

// Everything before the last '\' or '/', without it; empty when there is none.
// Paths are split by character, so a double-byte character's trail byte that
// is 0x5C never counts as a separator (here or in any operation below).
std::string parent_folder(const std::string& path);

// Everything after the last '\' or '/'; the whole path when there is none.
std::string final_component(const std::string& path);

// The longest relative path, in bytes, that an install writes and lists. A
// longer package entry is unsafe, and a longer manifest line is skipped whole
// rather than read as pieces that could each name some other file.
inline constexpr std::size_t longest_relative_path = 1024;

// True when path may be joined to the install folder: not empty, at most
// longest_relative_path bytes, not rooted, no colon anywhere, no doubled
// separator, and no empty, ".", ".." or device name component. Both separators count; the caller's text is never changed.
// Guards entry names from the package before they are written, and manifest
// lines before they steer a deletion. Touches no file system.
bool is_safe_relative_path(const std::string& path);

// True when one path component is a name Windows opens as a device in any
// folder: CON, PRN, AUX, NUL, COM0-9, LPT0-9, COM and LPT with a superscript
// 1, 2 or 3, CONIN$ and CONOUT$, in any case, with any extension and with
// trailing dots and spaces.
bool is_device_name(const std::string& component);

// True when path's last character is '\' or '/': a folder entry's name. A
// trail byte of a double-byte character does not count.
bool ends_with_separator(const std::string& path);

// prefix and 16 hex digits from the system's random source: a name nobody
// can have made before the one who draws it. False without a random source.
bool random_name(const std::string& prefix, std::string& name);

// Creates every folder of the chain, outermost first, including those that
// exist already. The folders it makes get access (when given); those that
// exist keep theirs. False when a creation fails for any reason other than
// the name being taken; folders made before that stay.
bool create_directory_tree(const std::string& path, platform::AccessDescriptor* access = nullptr);
