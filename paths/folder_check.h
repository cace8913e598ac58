#pragma once
// The rules that a folder typed on the ready page must pass before anything
// is made: the text rules alone (no file system), and the whole check, which
// also asks whether the drive or the share is there.
#include <cstddef>
#include <string>

// Room kept after the install folder for the longest entry path a package
// may reasonably hold, so that every installed file's full path, with its
// terminating zero, fits the system's 260-character limit.
inline constexpr std::size_t package_entry_budget = 100;
inline constexpr std::size_t longest_install_folder = 260 - 1 - package_entry_budget - 1;

enum class FolderTextProblem { none, empty, not_full_path, bad_character, too_long };

struct FolderText {
    FolderTextProblem problem = FolderTextProblem::none;
    std::string folder;      // the typed text without leading and trailing blanks
    std::string root;        // "C:\" or "\\server\share\": set once the text is a full path
    char bad_character = 0;  // the first character no folder name may hold
};

// Applies the text rules in order: not empty once trimmed of blanks and tabs;
// a full path (a drive letter, a colon and a separator, or "\\server\share"),
// with no "." or ".." component; no character that a folder name cannot
// hold; at most longest_install_folder characters. Either separator counts.
FolderText read_folder_text(const std::string& typed);

// Empty when typed names a folder that can be installed into, which is then
// in folder (trimmed, otherwise as typed). Otherwise the text for the box:
// what is wrong, then what to type instead.
std::string install_folder_problem(const std::string& typed, std::string& folder);
