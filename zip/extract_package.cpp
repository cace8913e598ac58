#include "zip/extract_package.h"

#include <cstdint>

#include "paths/disk_space.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "platform/platform.h"
#include "zip/central_directory.h"
#include "zip/entry_decoder.h"
#include "zip/entry_output.h"
#include "zip/entry_steps.h"
#include "zip/open_folders.h"
#include "zip/zip_records.h"

namespace {

// Reads the local header at the entry's offset and yields where its data
// starts; false for a short read or a wrong signature.
bool find_entry_data(std::FILE* package, const ZipEntry& entry, std::uint64_t& data_offset) {
    namespace local = zip_record::local_header;
    unsigned char header[local::size] = {};
    FilePackageBytes bytes(package);
    return bytes.read_at(entry.local_header_offset, header, local::size) &&
           local_header_data_offset(header, entry, data_offset);
}

// Extracts one file entry below the install folder; the target file is closed
// before this returns, whatever the outcome. Stored entries are copied,
// deflated ones decoded, other methods refused (the empty file stays). Only a
// file whose every byte reached the system, in the size and with the CRC-32
// the directory states, succeeds.
bool extract_file_entry(std::FILE* package, const ZipEntry& entry, OpenFolders& folders,
                        StepReport& report, std::string& error_message) {
    std::uint64_t data_offset = 0;
    if (!find_entry_data(package, entry, data_offset)) {
        error_message = invalid_local_header;
        return false;
    }
    platform::File target = folders.create_file(entry.name, error_message);
    if (!target) return false;
    // A data offset past the end shows up as a short read of the data.
    platform::seek_to(package, data_offset);
    EntryOutput output(target.get(), entry);
    const std::unique_ptr<EntryDecoder> decoder = make_entry_decoder(entry, output, error_message);
    if (!decoder ||
        !decode_entry_data(package, *decoder, entry.compressed_size, report, error_message)) {
        return false;
    }
    return close_entry_output(target, entry, output, error_message);
}

int progress_for(std::uint64_t index, std::uint64_t count) {
    return static_cast<int>(50 + (49 * index) / count);
}

// Handles one entry of the walk: folders are created, files written and
// listed. Unsafe names (folder entries included) and encrypted entries end
// the walk. Each entry drains the window's queue once before its work, and a
// file's status update is that drain: with tens of thousands of small files,
// each further drain would cost as much as writing a file.
bool extract_entry(std::FILE* package, const ZipEntry& entry, std::uint64_t index,
                   std::uint64_t count, OpenFolders& folders, StepReport& report,
                   std::string& error_message, std::vector<InstalledFile>& installed_files) {
    // A Cancel seen by the last drain of the entry before wins over anything
    // this entry could report.
    if (cancelled(report, error_message)) return false;
    if (!check_entry_allowed(entry, error_message)) return false;
    if (is_file_entry(entry)) {
        report.set_status("Installing Quellmark...", entry.name);
    } else {
        report.process_pending_messages();
    }
    if (cancelled(report, error_message)) return false;
    if (entry.name.empty()) return true;
    if (!is_file_entry(entry)) return make_folder_entry(folders, entry, error_message);
    if (!check_not_package(folders, entry, package_file_name, package, error_message)) {
        return false;
    }
    report.set_progress(progress_for(index, count));
    if (!extract_file_entry(package, entry, folders, report, error_message)) return false;
    installed_files.push_back(entry.name);
    return true;
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
                                    const InstallFolder& install_folder,
                                    std::uint64_t extra_bytes, std::size_t first) {
    // The sizes come from the package: a sum that would wrap stays at the top.
    const auto add = [](std::uint64_t a, std::uint64_t b) {
        return a + b < a ? UINT64_MAX : a + b;
    };
    std::uint64_t needed = extra_bytes;
    for (std::size_t index = first; index < entries.size(); ++index) {
        const ZipEntry& entry = entries[index];
        if (!is_file_entry(entry)) continue;
        const std::uint64_t listed =
            install_folder.ledger ? install_folder.ledger->listed_bytes(entry.name) : 0;
        needed = add(add(needed, entry.uncompressed_size), listed);
    }
    return disk_space_shortfall("There is not enough free disk space to install Quellmark.",
                                install_folder.path, needed);
}

}  // namespace

bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes, std::size_t entries_done) {
    std::uint64_t package_size = 0;
    if (platform::seek_to_end(package)) {
        const std::int64_t end = platform::tell(package);
        if (end > 0) package_size = static_cast<std::uint64_t>(end);
    }
    FilePackageBytes bytes(package);
    std::uint64_t directory_offset = 0;
    std::vector<ZipEntry> entries;
    if (!read_package_directory(bytes, package_size, directory_offset, entries, error_message)) {
        return false;
    }
    error_message = directory_refusal(entries, install_folder, package, package_file_name,
                                      extra_bytes, entries_done);
    if (!error_message.empty()) return false;
    const std::uint64_t count = entries.size();
    OpenFolders folders(install_folder);
    for (std::uint64_t index = entries_done; index < count; ++index) {
        if (!extract_entry(package, entries[index], index, count, folders, report, error_message,
                           installed_files)) {
            return false;
        }
    }
    report.set_progress(100);
    return true;
}

std::string directory_refusal(const std::vector<ZipEntry>& entries, InstallFolder& install_folder,
                              std::FILE* package, const std::string& package_name,
                              std::uint64_t extra_bytes, std::size_t first) {
    std::string refusal = install_space_shortfall(entries, install_folder, extra_bytes, first);
    if (refusal.empty()) {
        refusal = file_in_use_message(entries, install_folder, package, package_name, first);
    }
    return refusal;
}
