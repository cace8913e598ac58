#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "report/step_report.h"
#include "zip/installed_file.h"

// Installs the package at package_path into install_folder, in directory
// order, moving the progress bar from 50 to 100. Before any file is created,
// the entries' sizes, their manifest lines and extra_bytes (what the install
// writes beside them) must fit the free space of the install folder's volume.
// Returns true when every entry was handled; on false, error_message holds
// the reason and installed_files every file completed before the failure.
// Nothing is rolled back. Every folder and file is made relative to its
// folder's open handle, so none is made or written through a link, the
// install folder included: one found ends the extraction with "The install
// folder contains a link to another location: " and the link's full path.
bool extract_package(const std::string& package_path, const std::string& install_folder,
                     StepReport& report, std::string& error_message,
                     std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes = 0);

// The same from package, a file the caller holds open and keeps open, into
// install_folder, open already or opened (made and checked) when the first
// entry needs it.
bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes = 0);
