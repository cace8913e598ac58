#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "report/installed_file.h"
#include "report/step_report.h"
#include "zip/zip_entry.h"

// Installs package, a file the caller holds open and keeps open, into
// install_folder, in directory order, moving the progress bar from 50 to 100.
// install_folder is open already, or is opened (made and checked) when the
// first entry needs it. The first entries_done entries in directory order are
// installed already (behind the download), their files listed in
// installed_files: they are neither written again nor counted for space.
// Nothing is made unless the directory passes directory_refusal, whose
// message is then the extraction's. Returns true when every entry was
// handled; on false, error_message holds the reason and installed_files every
// file completed before the failure. Nothing is rolled back. Every folder and
// file is made relative to its folder's open handle, so none is made or
// written through a link, the install folder included: one found ends the
// extraction with "The install folder contains a link to another location: "
// and the link's full path.
bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes = 0, std::size_t entries_done = 0);

// Empty when the entries from first on may be installed into install_folder;
// otherwise why not, as the extraction says it before its first file:
// - when their files, the list's bytes for each (as the install folder's
//   ledger counts them; none without one) and extra_bytes (what the install
//   writes beside them) do not fit the free space of its volume, the message
//   from disk_space_shortfall;
// - when a file they would replace is held open by another program (the game
//   still running), "The game is still running. Close it, then press Install
//   again.", a line break and the first such file's full path.
// Nothing is made. An entry that names package (the open package file, named
// package_name) is passed over: the extraction refuses it in its turn.
std::string directory_refusal(const std::vector<ZipEntry>& entries, InstallFolder& install_folder,
                              std::FILE* package, const std::string& package_name,
                              std::uint64_t extra_bytes, std::size_t first = 0);
