#pragma once
// The records that make an install usable and removable: the uninstaller
// copy, the all-users shortcuts and the uninstall entry. None reports to the
// user; of their results, the install sequence only notes whether the
// uninstaller copy is complete.
#include <cstdint>
#include <string>

bool install_uninstaller(const std::string& install_folder);
// The bytes install_uninstaller will write; 0 when the program's own file
// cannot be found.
std::uint64_t uninstaller_size();
void create_shortcuts(const std::string& install_folder);
bool create_shortcut(const std::string& shortcut_path, const std::string& target_path,
                     const std::string& working_directory);
// The path a shortcut file starts, as stored; empty when it cannot be read.
std::string shortcut_target(const std::string& shortcut_path);
void register_uninstall_entry(const std::string& install_folder);

// Wraps text in double quotes, writing each inner quote as \".
std::string quote_argument(const std::string& text);
