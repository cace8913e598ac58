#pragma once
// The steps of one entry that the extraction from the package file and the
// extraction behind the download share, so that both make the same checks,
// with the same messages, in the same order.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "zip/entry_output.h"
#include "zip/open_folders.h"
#include "zip/zip_entry.h"

// A file entry, as opposed to a folder entry or one with an empty name.
bool is_file_entry(const ZipEntry& entry);

// A name that may be joined to the install folder.
bool is_safe_entry_name(const std::string& name);

// What ends the extraction at an entry before anything of it is made: an
// unsafe name or encryption. Entries with an empty name always pass.
bool check_entry_allowed(const ZipEntry& entry, std::string& error_message);

// A folder entry's folders; false only for a link found on the way.
bool make_folder_entry(OpenFolders& folders, const ZipEntry& entry, std::string& error_message);

// False, with the unsafe-path message, when the file entry's target is the
// package file itself (named package_name, open as package).
bool check_not_package(const OpenFolders& folders, const ZipEntry& entry,
                       const std::string& package_name, std::FILE* package,
                       std::string& error_message);

// The entry's local header (its fixed part, zip_record::local_header::size
// bytes): false for a wrong signature, else where the entry's data starts.
bool local_header_data_offset(const unsigned char* header, const ZipEntry& entry,
                              std::uint64_t& data_offset);
inline constexpr char invalid_local_header[] = "A zip entry has an invalid local header.";

// Closes the entry's written target; only a file whose every byte reached the
// system, in the size and with the CRC-32 the directory states, passes.
bool close_entry_output(platform::File& target, const ZipEntry& entry,
                        const EntryOutput& output, std::string& error_message);
