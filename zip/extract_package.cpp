#include "zip/extract_package.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "paths/disk_space.h"
#include "paths/install_folder.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "platform/platform.h"
#include "zip/central_directory.h"
#include "zip/copy_stored_entry.h"
#include "zip/entry_output.h"
#include "zip/entry_steps.h"
#include "zip/inflate_entry.h"
#include "zip/open_folders.h"
#include "zip/little_endian.h"
#include "zip/utf8_names.h"
#include "zip/zip_records.h"

namespace {

// The longest text a message box shows (it shows none of a longer one),
// less room for the message around the name.
constexpr std::size_t longest_name_shown_whole = 32767 - 260;

// A name that may be joined to the install folder. A NUL byte would cut the
// path short where the file system sees it, so the file written would differ
// from the name listed (and later removed); it is refused like a ".." step.
// The records' names belong to the setup: an entry that took one would be
// listed for the uninstaller to delete (its own running image among them),
// or, as a folder, keep the record from being written at all.
bool is_safe_entry_name(const std::string& name) {
    return name.find('\0') == std::string::npos && is_safe_relative_path(name) &&
           !names_a_record(name);
}

// The name as a message box can show it: a name too long for a box is cut
// after its first characters.
std::string shown_entry_name(const std::string& name) {
    constexpr std::size_t shown_at_most = 260;
    if (name.size() <= longest_name_shown_whole) return name;
    std::size_t cut = 0;
    while (cut < name.size()) {
        const std::size_t next = platform::next_character(name, cut);
        if (next > shown_at_most) break;
        cut = next;
    }
    return name.substr(0, cut) + "...";
}

// Reads the local header at the entry's offset and yields where its data
// starts; false for a short read or a wrong signature.
bool find_entry_data(std::FILE* package, const ZipEntry& entry, std::uint64_t& data_offset) {
    namespace local = zip_record::local_header;
    unsigned char header[local::size] = {};
    return read_exact_at(package, entry.local_header_offset, header, local::size) &&
           local_header_data_offset(header, entry, data_offset);
}

// Writes the entry's data to a freshly created target: stored entries are
// copied, deflated ones decoded, other methods refused (the empty file stays).
bool write_entry_data(std::FILE* package, EntryOutput& output, const ZipEntry& entry,
                      StepReport& report, std::string& error_message) {
    if (!check_method(entry, error_message)) return false;
    if (entry.method == 0) {
        return copy_stored_entry(package, output, entry.compressed_size, report, error_message);
    }
    return inflate_entry(package, output, entry.compressed_size, report, entry.name,
                         error_message);
}

// Whether the last component of an entry name could name the package file
// on Windows: its name in any case or with the trailing dots and spaces that
// Windows drops, or a short 8.3 name (which holds a '~'). A name with bytes
// beyond ASCII counts too, as some such characters match ASCII letters when
// case is ignored. Only such names are worth asking the file system about.
bool may_name_package(const std::string& name, const std::string& package_name) {
    std::string last = name.substr(name.find_last_of('\\') + 1);
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    const auto beyond_ascii = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    if (last.find('~') != std::string::npos ||
        std::any_of(last.begin(), last.end(), beyond_ascii)) {
        return true;
    }
    const auto same_letter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return last.size() == package_name.size() &&
           std::equal(last.begin(), last.end(), package_name.begin(), same_letter);
}

// Extracts one file entry below the install folder; the output file is closed
// before this returns, whatever the outcome. Only a file whose every byte
// reached the system, in the size and with the CRC-32 the directory states,
// succeeds.
bool extract_file_entry(std::FILE* package, const ZipEntry& entry, OpenFolders& folders,
                        StepReport& report, std::string& error_message) {
    std::uint64_t data_offset = 0;
    if (!find_entry_data(package, entry, data_offset)) {
        error_message = invalid_local_header;
        return false;
    }
    platform::File output = folders.create_file(entry.name, error_message);
    if (!output) return false;
    // A data offset past the end shows up as a short read of the data.
    platform::seek_to(package, data_offset);
    EntryOutput checked(output.get(), entry);
    if (!write_entry_data(package, checked, entry, report, error_message)) return false;
    return close_entry_output(output, entry, checked, error_message);
}

int progress_for(std::uint64_t index, std::uint64_t count) {
    return static_cast<int>(50 + (49 * index) / count);
}

// Handles one entry of the walk: folders are created, files written and
// listed. Unsafe names (folder entries included) and encrypted entries end
// the walk. Each entry drains the window's queue once before its work, and a
// file's status update is that drain: with tens of thousands of small files,
// each further drain would cost as much as writing a file.
bool extract_entry(std::FILE* package, const std::string& package_name, const ZipEntry& entry,
                   std::uint64_t index, std::uint64_t count, OpenFolders& folders,
                   StepReport& report, std::string& error_message,
                   std::vector<InstalledFile>& installed_files) {
    // A Cancel seen by the last drain of the entry before wins over anything
    // this entry could report.
    if (report.cancel_requested()) {
        error_message = cancelled_message;
        return false;
    }
    const bool is_folder = !entry.name.empty() && entry.name.back() == '\\';
    if (!check_entry(entry, error_message)) return false;
    if (entry.name.empty() || is_folder) {
        report.process_pending_messages();
    } else {
        report.set_status("Installing Quellmark...", entry.name);
    }
    if (report.cancel_requested()) {
        error_message = cancelled_message;
        return false;
    }
    if (entry.name.empty()) return true;
    if (is_folder) return make_folder_entry(folders, entry, error_message);
    if (!check_not_package(folders, entry, package_name, package, error_message)) {
        return false;
    }
    report.set_progress(progress_for(index, count));
    if (!extract_file_entry(package, entry, folders, report, error_message)) {
        return false;
    }
    installed_files.push_back(entry.name);
    return true;
}

bool read_directory(std::FILE* package, std::uint64_t package_size,
                    std::vector<ZipEntry>& entries, std::string& error_message) {
    std::uint64_t directory_offset = 0;
    std::uint64_t entry_count = 0;
    return locate_central_directory(package, package_size, directory_offset, entry_count,
                                    error_message) &&
           read_central_directory(package, directory_offset, entry_count, entries,
                                  error_message) &&
           convert_utf8_names(entries, error_message);
}

// The whole walk over package, an open file named package_name, from the
// entry at first on.
bool extract_open_package(std::FILE* package, const std::string& package_name,
                          InstallFolder& install_folder, StepReport& report,
                          std::string& error_message,
                          std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes,
                          std::size_t first) {
    std::uint64_t package_size = 0;
    if (platform::seek_to_end(package)) {
        const std::int64_t end = platform::tell(package);
        if (end > 0) package_size = static_cast<std::uint64_t>(end);
    }
    std::vector<ZipEntry> entries;
    if (!read_directory(package, package_size, entries, error_message)) return false;
    error_message = install_space_shortfall(entries, install_folder.path, extra_bytes, first);
    if (error_message.empty()) {
        error_message = file_in_use_message(entries, install_folder, package, package_name, first);
    }
    if (!error_message.empty()) return false;
    const std::uint64_t count = entries.size();
    OpenFolders folders(install_folder);
    for (std::uint64_t index = first; index < count; ++index) {
        if (!extract_entry(package, package_name, entries[index], index, count, folders, report,
                           error_message, installed_files)) {
            return false;
        }
    }
    report.set_progress(100);
    return true;
}

}  // namespace

bool extract_package(const std::string& package_path, const std::string& install_folder,
                     StepReport& report, std::string& error_message,
                     std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes) {
    platform::File package(platform::open_file(package_path, "rb"));
    if (!package) {
        error_message = "Could not open the downloaded package.";
        return false;
    }
    const std::string package_name = package_path.substr(package_path.find_last_of("\\/") + 1);
    // Opened, and checked, when the first entry needs it.
    InstallFolder folder;
    folder.path = install_folder;
    return extract_open_package(package.get(), package_name, folder, report, error_message,
                                installed_files, extra_bytes, 0);
}

bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes, std::size_t entries_done) {
    return extract_open_package(package, package_file_name, install_folder, report,
                                error_message, installed_files, extra_bytes, entries_done);
}

bool read_checked_directory(std::FILE* package, std::uint64_t package_size,
                            const std::string& install_folder, std::uint64_t extra_bytes,
                            std::vector<ZipEntry>& entries, std::string& error_message) {
    if (!read_directory(package, package_size, entries, error_message)) return false;
    error_message = install_space_shortfall(entries, install_folder, extra_bytes);
    return error_message.empty();
}

std::string file_in_use_message(const std::vector<ZipEntry>& entries,
                                InstallFolder& install_folder, std::FILE* package,
                                const std::string& package_name, std::size_t first) {
    OpenFolders folders(install_folder);
    std::vector<std::string> names;
    std::string unused;
    for (std::size_t index = first; index < entries.size(); ++index) {
        const ZipEntry& entry = entries[index];
        if (is_file_entry(entry) && is_safe_entry_name(entry.name) &&
            check_not_package(folders, entry, package_name, package, unused)) {
            names.push_back(entry.name);
        }
    }
    const std::string busy = folders.first_file_in_use(names);
    if (busy.empty()) return {};
    return std::string(game_running_message) + "\n" + join_path(install_folder.path, busy);
}

std::string install_space_shortfall(const std::vector<ZipEntry>& entries,
                                    const std::string& install_folder, std::uint64_t extra_bytes,
                                    std::size_t first) {
    // The sizes come from the package: a sum that would wrap stays at the top.
    const auto add = [](std::uint64_t a, std::uint64_t b) {
        return a + b < a ? UINT64_MAX : a + b;
    };
    std::uint64_t needed = extra_bytes;
    for (std::size_t index = first; index < entries.size(); ++index) {
        const ZipEntry& entry = entries[index];
        if (!is_file_entry(entry)) continue;
        needed = add(add(needed, entry.uncompressed_size), entry.name.size() + 2);
    }
    return disk_space_shortfall("There is not enough free disk space to install Quellmark.",
                                install_folder, needed);
}

bool is_file_entry(const ZipEntry& entry) {
    return !entry.name.empty() && entry.name.back() != '\\';
}

bool check_entry(const ZipEntry& entry, std::string& error_message) {
    if (entry.name.empty()) return true;
    if (!is_safe_entry_name(entry.name)) {
        error_message = "The package contains an unsafe path: " + shown_entry_name(entry.name);
        return false;
    }
    if (entry.flags & 0x0001) {
        error_message = "The package is encrypted, which is not supported.";
        return false;
    }
    return true;
}

bool make_folder_entry(OpenFolders& folders, const ZipEntry& entry, std::string& error_message) {
    // A folder that cannot be made shows when a file is written into it; a
    // link ends the walk here.
    std::string folder_message;
    if (folders.open(entry.name.substr(0, entry.name.size() - 1), folder_message) ||
        !folders.met_link()) {
        return true;
    }
    error_message = folder_message;
    return false;
}

bool check_not_package(const OpenFolders& folders, const ZipEntry& entry,
                       const std::string& package_name, std::FILE* package,
                       std::string& error_message) {
    // With the temporary folder chosen as the install folder, an entry named
    // like the package would overwrite the file being read. The file system
    // tells whether the target is the package, however its path is spelt.
    if (may_name_package(entry.name, package_name) &&
        platform::is_same_file(join_path(folders.install_path(), entry.name), package)) {
        error_message = "The package contains an unsafe path: " + entry.name;
        return false;
    }
    return true;
}

bool local_header_data_offset(const unsigned char* header, const ZipEntry& entry,
                              std::uint64_t& data_offset) {
    namespace local = zip_record::local_header;
    if (read_le32(header, 0) != local::signature) return false;
    data_offset = entry.local_header_offset + local::size + read_le16(header, local::name_length) +
                  read_le16(header, local::extra_length);
    return true;
}

bool check_method(const ZipEntry& entry, std::string& error_message) {
    if (entry.method == 0 || entry.method == 8) return true;
    error_message = "The package uses an unsupported zip compression method.\n\nEntry: " +
                    entry.name + "\nMethod: " + std::to_string(entry.method);
    return false;
}

bool close_entry_output(platform::File& output, const ZipEntry& entry,
                        const EntryOutput& checked, std::string& error_message) {
    if (!platform::close_file(output)) {
        error_message = entry.method == 0 ? stored_copy_failure : inflate_write_failure;
        return false;
    }
    return checked.matches_directory(error_message);
}
