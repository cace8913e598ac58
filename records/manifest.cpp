#include "records/manifest.h"

#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "paths/folder_cache.h"
#include "paths/path_operations.h"
#include "platform/platform.h"
#include "records/install_names.h"

namespace {
// One read takes the longest path the install writes with its line end and
// a few bytes more; a line that does not end within it is skipped whole.
constexpr int line_buffer_bytes = static_cast<int>(longest_relative_path) + 16;

// Two lines name the same file when they differ only in ASCII case or in
// which separator they use, as the file system sees them.
std::string same_file_key(const std::string& line) {
    std::string key = line;
    for (char& c : key) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// Drops every trailing CR and LF, in any mix; nothing else is trimmed.
void strip_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
}

// It steers the elevated uninstaller's deletions: only administrators may change it.
bool create_manifest(const InstallFolder& install_folder, platform::File& file) {
    const platform::AccessDescriptor access(platform::AccessList::manifest);
    return platform::create_file_in(install_folder.handle, manifest_file_name, file, &access) ==
           platform::EntryResult::done;
}

// Writes the lines from the file's start and cuts off what a longer list
// wrote before; the file stays open.
bool rewrite_lines(std::FILE* file, const std::vector<std::string>& lines) {
    if (!platform::seek_to(file, 0)) return false;
    bool written = true;
    for (const std::string& line : lines) {
        if (std::fprintf(file, "%s\r\n", line.c_str()) < 0) written = false;
    }
    return platform::cut_file_here(file) && written;
}
}  // namespace

bool replace_manifest(const InstallFolder& install_folder, const std::vector<std::string>& lines) {
    // A name of this run's own beside the list: no one can have made it before.
    std::string name;
    if (!random_name("installed-files-", name)) return false;
    name += ".new";
    const platform::AccessDescriptor access(platform::AccessList::manifest);
    platform::File file;
    if (platform::create_file_in(install_folder.handle, name, file, &access) !=
        platform::EntryResult::done) {
        return false;
    }
    if (rewrite_lines(file.get(), lines) &&
        platform::rename_open_file(file.get(), install_folder.handle, name, manifest_file_name)) {
        return platform::close_file(file);
    }
    platform::delete_open_file(file.get(), install_folder.handle, name);
    return false;
}

bool take_manifest(const InstallFolder& install_folder,
                   const std::vector<std::string>& earlier_lines, HeldRecords& records) {
    if (!create_manifest(install_folder, records.manifest)) return false;
    // Not written is no reason to stop: the final list is written again.
    rewrite_lines(records.manifest.get(), earlier_lines);
    return true;
}

bool write_manifest(HeldRecords& records, const std::vector<InstalledFile>& files) {
    if (!records.manifest) return false;
    const bool written = rewrite_lines(records.manifest.get(), files);
    return platform::close_file(records.manifest) && written;
}

// Reads the manifest line by line, strips the line ends, and keeps each line
// that passes is_safe_relative_path exactly as stored. A line naming a
// record is left out: the uninstaller removes those itself, and its own
// running image would otherwise fail every run.
bool read_manifest(const InstallFolder& install_folder, std::vector<std::string>& paths) {
    platform::File file;
    if (platform::open_file_in(install_folder.handle, manifest_file_name, file) !=
        platform::EntryResult::done) {
        return false;
    }
    char buffer[line_buffer_bytes];
    bool in_long_line = false;
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        std::string line(buffer, std::strlen(buffer));
        const bool ends_line = !line.empty() && line.back() == '\n';
        // The pieces of a line too long for the buffer are none of them a path.
        const bool piece_of_long_line = in_long_line || (!ends_line && !std::feof(file.get()));
        in_long_line = !ends_line && piece_of_long_line;
        if (piece_of_long_line) continue;
        strip_line_end(line);
        if (is_safe_relative_path(line) && !names_a_record(line)) paths.push_back(line);
    }
    return true;
}

// Only lines not named already are looked for on disk: a reinstall of the
// same package asks the file system nothing. Opened as a folder, a plain file
// answers wrong_kind; a link in its place is no file of the install.
void keep_earlier_files(const InstallFolder& install_folder,
                        const std::vector<std::string>& earlier_lines,
                        std::vector<InstalledFile>& files) {
    std::unordered_set<std::string> named;
    for (const InstalledFile& file : files) named.insert(same_file_key(file));
    FolderCache folders(install_folder.handle, false);
    for (const std::string& line : earlier_lines) {
        if (!is_safe_relative_path(line)) continue;
        if (!named.insert(same_file_key(line)).second) continue;
        const platform::FolderHandle* folder = folders.open(parent_folder(line));
        platform::FolderHandle probe;
        if (folder && platform::open_child_folder(*folder, final_component(line), false, probe) ==
                          platform::EntryResult::wrong_kind) {
            files.push_back(line);
        }
    }
}
