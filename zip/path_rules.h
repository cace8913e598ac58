#pragma once
// Path rules shared by installing and uninstalling: entry names from the
// package before they are written, and manifest lines before they steer a
// deletion. Neither operation touches the file system.
#include <string>

// True when path may be joined to the install folder: not empty, not rooted,
// no colon anywhere, no doubled separator, and no empty, "." or ".."
// component. Both separators count; the caller's text is never changed.
bool is_safe_relative_path(const std::string& path);

// Everything before the last '\' or '/', without it; empty when there is none.
std::string parent_folder(const std::string& path);
