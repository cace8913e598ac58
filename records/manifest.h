#pragma once
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "records/held_records.h"
#include "report/installed_file.h"

// Replaces the manifest in the open install folder by lines, as a new file
// beside it renamed over it, so the list is always either the old one or the
// new one whole. False when the manifest stays as it was.
bool replace_manifest(const InstallFolder& install_folder, const std::vector<std::string>& lines);

// Takes the manifest's name through the install folder's handle into
// records, holding earlier_lines, as take_records describes; false when the
// name cannot be taken.
bool take_manifest(const InstallFolder& install_folder,
                   const std::vector<std::string>& earlier_lines, HeldRecords& records);
// Writes files into the manifest records holds, one CR LF line each, in
// place of what it held, and closes it. False when it was not held or a
// byte, the last buffered ones included, did not reach the system: a
// cut-short list would later leave files behind on uninstall.
bool write_manifest(HeldRecords& records, const std::vector<InstalledFile>& files);

// Appends every safe line of the manifest to paths, as stored, reading it
// through the open install folder's handle: a link in its place is never
// read through. False when the manifest cannot be opened (paths untouched).
bool read_manifest(const InstallFolder& install_folder, std::vector<std::string>& paths);

// Appends to files, in their order, the lines of an earlier manifest whose
// files still exist below the open install folder, looked at through its
// handle, leaving out every line that files (or an earlier line) already
// names. A reinstall from a smaller package then still lists what the
// earlier packages put there, for the uninstaller.
void keep_earlier_files(const InstallFolder& install_folder,
                        const std::vector<std::string>& earlier_lines,
                        std::vector<InstalledFile>& files);
