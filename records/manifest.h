#pragma once
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "records/held_records.h"
#include "report/installed_file.h"

// Writes "installed-files.txt" in the install folder, one CR LF line per file.
// False when the file cannot be opened, or when any byte of it, the last
// buffered ones included, does not reach the system.
bool write_manifest(const std::string& install_folder, const std::vector<InstalledFile>& files);

// Replaces the manifest in the open install folder by lines, as a new file
// beside it renamed over it, so the list is always either the old one or the
// new one whole. False when the manifest stays as it was.
bool replace_manifest(const InstallFolder& install_folder, const std::vector<std::string>& lines);

// Takes the manifest's name through the install folder's handle into
// records, holding earlier_lines, as take_records describes; false when the
// name cannot be taken.
bool take_manifest(const InstallFolder& install_folder,
                   const std::vector<std::string>& earlier_lines, HeldRecords& records);
// Writes files into the manifest records holds, in place of what it held,
// and closes it. False when it was not held or a byte did not reach the
// system.
bool write_manifest(HeldRecords& records, const std::vector<InstalledFile>& files);

// Appends every safe line of the manifest to paths, as stored, reading it
// relative to the open install folder: a link in its place is never read
// through. False when the manifest cannot be opened (paths untouched).
bool read_manifest(const platform::FolderHandle& install_folder, std::vector<std::string>& paths);
// The same, the install folder opened by its path first.
bool read_manifest(const std::string& install_folder, std::vector<std::string>& paths);

// Appends to files, in their order, the lines of an earlier manifest whose
// files still exist below install_folder, leaving out every line that files
// (or an earlier line) already names. A reinstall from a smaller package then
// still lists what the earlier packages put there, for the uninstaller.
void keep_earlier_files(const std::string& install_folder,
                        const std::vector<std::string>& earlier_lines,
                        std::vector<InstalledFile>& files);
