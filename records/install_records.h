#pragma once
// The records that make an install usable and removable: the uninstaller
// copy, the all-users shortcuts and the uninstall entry. None reports to the
// user; of their results, the install sequence only notes whether the
// uninstaller copy is complete.
#include <cstdint>
#include <string>

#include "paths/install_folder.h"
#include "records/held_records.h"

// Opens the running program's own file, sharing it for reading only, and
// keeps it open to the end of the run: nobody can change, rename or replace
// it meanwhile, and the uninstaller is copied from this open file, never from
// its path. The open file must prove to be the mapped image
// (file_is_mapped_image); one that does not is let go, and no uninstaller is
// copied. Called first thing at start-up, before any DLL is loaded; the first
// use opens it otherwise.
void hold_running_program();

// Closes the uninstaller, the copy of the running program that take_records
// wrote; true when it holds every byte of the running program. One that does
// not is deleted: a truncated program would only fail when the user tries
// to uninstall.
bool install_uninstaller(const InstallFolder& install_folder, HeldRecords& records);
// The bytes install_uninstaller will write; 0 when the program's own file
// cannot be opened.
std::uint64_t uninstaller_size();
void create_shortcuts(const InstallFolder& install_folder);
bool create_shortcut(const std::string& shortcut_path, const std::string& target_path,
                     const std::string& working_directory);
// The path a shortcut file starts, as stored; empty when it cannot be read.
std::string shortcut_target(const std::string& shortcut_path);
void register_uninstall_entry(const InstallFolder& install_folder);

// Wraps text in double quotes, writing each inner quote as \".
std::string quote_argument(const std::string& text);
