#include "zip/extract_package.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <unordered_map>

#include "paths/disk_space.h"
#include "paths/install_folder.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "platform/platform.h"
#include "zip/central_directory.h"
#include "zip/copy_stored_entry.h"
#include "zip/entry_output.h"
#include "zip/inflate_entry.h"
#include "zip/little_endian.h"
#include "zip/utf8_names.h"
#include "zip/zip_records.h"

namespace {

// A name that may be joined to the install folder. A NUL byte would cut the
// path short where the file system sees it, so the file written would differ
// from the name listed (and later removed); it is refused like a ".." step.
bool is_safe_entry_name(const std::string& name) {
    return name.find('\0') == std::string::npos && is_safe_relative_path(name);
}

// Reads the local header at the entry's offset and yields where its data
// starts; false for a short read or a wrong signature.
bool find_entry_data(std::FILE* package, const ZipEntry& entry, std::uint64_t& data_offset) {
    namespace local = zip_record::local_header;
    unsigned char header[local::size] = {};
    if (!read_exact_at(package, entry.local_header_offset, header, local::size) ||
        read_le32(header, 0) != local::signature) {
        return false;
    }
    data_offset = entry.local_header_offset + local::size + read_le16(header, local::name_length) +
                  read_le16(header, local::extra_length);
    return true;
}

// Writes the entry's data to a freshly created target: stored entries are
// copied, deflated ones decoded, other methods refused (the empty file stays).
bool write_entry_data(std::FILE* package, EntryOutput& output, const ZipEntry& entry,
                      StepReport& report, std::string& error_message) {
    switch (entry.method) {
        case 0:
            return copy_stored_entry(package, output, entry.compressed_size, report,
                                     error_message);
        case 8:
            return inflate_entry(package, output, entry.compressed_size, report, entry.name,
                                 error_message);
        default:
            error_message = "The package uses an unsupported zip compression method.\n\nEntry: " +
                            entry.name + "\nMethod: " + std::to_string(entry.method);
            return false;
    }
}

constexpr char link_message[] = "The install folder contains a link to another location: ";
constexpr char folder_failure[] = "Could not create the install folder.";

// The folders of the walk, each open by handle from the moment it was made or
// found, and every entry named relative to its folder's handle: a folder
// swapped for a link meanwhile is never written through. Packages with many
// folders keep only a bounded set open; a folder closed and opened again is
// checked again, as opening it is the check.
class OpenFolders {
public:
    explicit OpenFolders(InstallFolder& install) : install_(install) {}

    // The open folder relative (backslashes, no trailing one; empty for the
    // install folder itself), made where missing. Null on failure, with
    // error_message set.
    const platform::FolderHandle* open(const std::string& relative, std::string& error_message) {
        met_link_ = false;
        if (relative.empty()) return open_install_folder_once(error_message);
        const auto found = held_.find(relative);
        if (found != held_.end()) {
            found->second.last_use = ++uses_;
            return &found->second.handle;
        }
        const size_t cut = relative.find_last_of('\\');
        const std::string above = cut == std::string::npos ? std::string() : relative.substr(0, cut);
        const platform::FolderHandle* parent = open(above, error_message);
        if (!parent) return nullptr;
        platform::FolderHandle child;
        const platform::EntryResult result = platform::open_child_folder(
            *parent, relative.substr(above.empty() ? 0 : cut + 1), true, child);
        if (result != platform::EntryResult::done) {
            met_link_ = result == platform::EntryResult::is_link;
            error_message = met_link_ ? link_message + join_path(install_.path, relative)
                                      : folder_failure;
            return nullptr;
        }
        if (held_.size() >= limit) close_least_used();
        Held& held = held_[relative];
        held.handle = std::move(child);
        held.last_use = ++uses_;
        return &held.handle;
    }

    // Closes every folder below the install folder; they are opened, and
    // checked, again when next needed.
    void close_all() { held_.clear(); }

    const std::string& install_path() const { return install_.path; }
    // Whether the last open failed at a link.
    bool met_link() const { return met_link_; }

private:
    static constexpr size_t limit = 64;
    struct Held {
        platform::FolderHandle handle;
        std::uint64_t last_use = 0;
    };

    const platform::FolderHandle* open_install_folder_once(std::string& error_message) {
        if (install_.handle.is_open()) return &install_.handle;
        const platform::EntryResult result = open_install_folder(install_.path, install_);
        if (result == platform::EntryResult::done) return &install_.handle;
        met_link_ = result == platform::EntryResult::is_link;
        error_message = met_link_ ? link_message + install_.path : folder_failure;
        return nullptr;
    }

    void close_least_used() {
        auto oldest = held_.begin();
        for (auto it = held_.begin(); it != held_.end(); ++it) {
            if (it->second.last_use < oldest->second.last_use) oldest = it;
        }
        held_.erase(oldest);
    }

    InstallFolder& install_;
    std::unordered_map<std::string, Held> held_;
    std::uint64_t uses_ = 0;
    bool met_link_ = false;
};

// Creates the entry's target afresh for writing, relative to its folder. A
// plain file in its name's place (a hard link too) is deleted and replaced,
// never written through; a link there ends the walk. If the file still
// cannot be created, a folder may have been removed behind the walk's back,
// so the folders are opened anew and the file tried once more.
platform::File create_output(OpenFolders& folders, const std::string& name,
                             std::string& error_message) {
    const size_t cut = name.find_last_of('\\');
    const std::string folder = cut == std::string::npos ? std::string() : name.substr(0, cut);
    const std::string file_name = cut == std::string::npos ? name : name.substr(cut + 1);
    const std::string target = join_path(folders.install_path(), name);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) folders.close_all();
        const platform::FolderHandle* parent = folders.open(folder, error_message);
        if (!parent) return nullptr;
        platform::File output;
        const platform::EntryResult result = platform::create_file_in(*parent, file_name, output);
        if (result == platform::EntryResult::done) return output;
        if (result == platform::EntryResult::is_link) {
            error_message = link_message + target;
            return nullptr;
        }
        if (result == platform::EntryResult::wrong_kind) break;
    }
    error_message = "Could not write: " + target;
    return nullptr;
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
        error_message = "A zip entry has an invalid local header.";
        return false;
    }
    platform::File output = create_output(folders, entry.name, error_message);
    if (!output) return false;
    // A data offset past the end shows up as a short read of the data.
    platform::seek_to(package, data_offset);
    EntryOutput checked(output.get(), entry);
    if (!write_entry_data(package, checked, entry, report, error_message)) return false;
    if (!platform::close_file(output)) {
        error_message = entry.method == 0 ? stored_copy_failure : inflate_write_failure;
        return false;
    }
    return checked.matches_directory(error_message);
}

bool is_file_entry(const ZipEntry& entry) {
    return !entry.name.empty() && entry.name.back() != '\\';
}

// Empty when the files, their manifest lines (each name with CR LF) and
// extra_bytes fit the install folder's volume; otherwise the message.
std::string space_shortfall(const std::vector<ZipEntry>& entries,
                            const std::string& install_folder, std::uint64_t extra_bytes) {
    // The sizes come from the package: a sum that would wrap stays at the top.
    const auto add = [](std::uint64_t a, std::uint64_t b) {
        return a + b < a ? UINT64_MAX : a + b;
    };
    std::uint64_t needed = extra_bytes;
    for (const ZipEntry& entry : entries) {
        if (!is_file_entry(entry)) continue;
        needed = add(add(needed, entry.uncompressed_size), entry.name.size() + 2);
    }
    return disk_space_shortfall("There is not enough free disk space to install Quellmark.",
                                install_folder, needed);
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
    if (!entry.name.empty()) {
        if (!is_safe_entry_name(entry.name)) {
            error_message = "The package contains an unsafe path: " + entry.name;
            return false;
        }
        if (entry.flags & 0x0001) {
            error_message = "The package is encrypted, which is not supported.";
            return false;
        }
    }
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
    if (is_folder) {
        // A folder that cannot be made shows when a file is written into it;
        // a link ends the walk here.
        std::string folder_message;
        if (folders.open(entry.name.substr(0, entry.name.size() - 1), folder_message) ||
            !folders.met_link()) {
            return true;
        }
        error_message = folder_message;
        return false;
    }
    // With the temporary folder chosen as the install folder, an entry named
    // like the package would overwrite the file being read. The file system
    // tells whether the target is the package, however its path is spelt.
    if (may_name_package(entry.name, package_name) &&
        platform::is_same_file(join_path(folders.install_path(), entry.name), package)) {
        error_message = "The package contains an unsafe path: " + entry.name;
        return false;
    }
    report.set_progress(progress_for(index, count));
    if (!extract_file_entry(package, entry, folders, report, error_message)) {
        return false;
    }
    installed_files.push_back(entry.name);
    return true;
}

// The whole walk over package, an open file named package_name.
bool extract_open_package(std::FILE* package, const std::string& package_name,
                          InstallFolder& install_folder, StepReport& report,
                          std::string& error_message,
                          std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes) {
    std::uint64_t package_size = 0;
    if (platform::seek_to_end(package)) {
        const std::int64_t end = platform::tell(package);
        if (end > 0) package_size = static_cast<std::uint64_t>(end);
    }
    std::uint64_t directory_offset = 0;
    std::uint64_t entry_count = 0;
    std::vector<ZipEntry> entries;
    if (!locate_central_directory(package, package_size, directory_offset, entry_count,
                                  error_message) ||
        !read_central_directory(package, directory_offset, entry_count, entries,
                                error_message) ||
        !convert_utf8_names(entries, error_message)) {
        return false;
    }
    error_message = space_shortfall(entries, install_folder.path, extra_bytes);
    if (!error_message.empty()) return false;
    const std::uint64_t count = entries.size();
    OpenFolders folders(install_folder);
    for (std::uint64_t index = 0; index < count; ++index) {
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
                                installed_files, extra_bytes);
}

bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport& report,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes) {
    return extract_open_package(package, package_file_name, install_folder, report,
                                error_message, installed_files, extra_bytes);
}
