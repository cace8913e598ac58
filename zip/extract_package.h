#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "report/step_report.h"
#include "zip/installed_file.h"
#include "zip/zip_entry.h"

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
// entry needs it. The first entries_done entries in directory order are
// installed already (behind the download), their files listed in
// installed_files: they are neither written again nor counted for space.
bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes = 0, std::size_t entries_done = 0);

// Reads the directory of package (package_size bytes; only its tail is read)
// and checks it as the extraction does before its first file: the entries in
// directory order with their names converted, then the free space for them,
// their manifest lines and extra_bytes on the install folder's volume. On
// false, error_message is the extraction's message.
bool read_checked_directory(std::FILE* package, std::uint64_t package_size,
                            const std::string& install_folder, std::uint64_t extra_bytes,
                            std::vector<ZipEntry>& entries, std::string& error_message);

// Empty when no file that the entries from first on would replace in
// install_folder is held open by another program (the game still running);
// otherwise "The game is still running. Close it, then press Install
// again.", a line break and the first such file's full path. Nothing is made.
// An entry that names package (the open package file, named package_name)
// is passed over: the extraction refuses it in its turn.
std::string file_in_use_message(const std::vector<ZipEntry>& entries,
                                InstallFolder& install_folder, std::FILE* package,
                                const std::string& package_name, std::size_t first = 0);

// Empty when the files of the entries from first on, their manifest lines
// (each name with CR LF) and extra_bytes fit the install folder's volume;
// otherwise the message.
std::string install_space_shortfall(const std::vector<ZipEntry>& entries,
                                    const std::string& install_folder, std::uint64_t extra_bytes,
                                    std::size_t first = 0);
