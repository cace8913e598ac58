#pragma once
// Uninstall mode: removes what an install made, after the user confirms.
#include <string>
#include <vector>

#include "platform/platform.h"

// Returns the process exit code: 1 when the install folder cannot be
// determined, 0 otherwise (also when the user declines).
int run_uninstall();

// The folder holding the running program; empty when it cannot be found.
std::string module_folder();

void remove_shortcuts(const std::string& install_folder);
void remove_installed_directories(const platform::FolderHandle& install_folder,
                                  const std::vector<std::string>& manifest_paths);
