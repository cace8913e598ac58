#include "zip/entry_steps.h"

#include <algorithm>
#include <cctype>

#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "report/phase_clock.h"
#include "zip/entry_decoder.h"
#include "zip/inflate_entry.h"
#include "zip/little_endian.h"
#include "zip/zip_records.h"

namespace {

// The longest text a message box shows (it shows none of a longer one),
// less room for the message around the name.
constexpr std::size_t longest_name_shown_whole = 32767 - 260;

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

// Whether the last component of an entry name could name the package file
// on Windows: its name in any case or with the trailing dots and spaces that
// Windows drops, or a short 8.3 name (which holds a '~'). A name with bytes
// beyond ASCII counts too, as some such characters match ASCII letters when
// case is ignored. Only such names are worth asking the file system about.
bool may_name_package(const std::string& name, const std::string& package_name) {
    std::string last = final_component(name);
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

}  // namespace

bool is_file_entry(const ZipEntry& entry) {
    return !entry.name.empty() && entry.name.back() != '\\';
}

// A NUL byte would cut the path short where the file system sees it, so the
// file written would differ from the name listed (and later removed); it is
// refused like a ".." step. The records' names belong to the setup: an entry
// that took one would be listed for the uninstaller to delete (its own
// running image among them), or, as a folder, keep the record from being
// written at all.
bool is_safe_entry_name(const std::string& name) {
    return name.find('\0') == std::string::npos && is_safe_relative_path(name) &&
           !names_a_record(name);
}

bool check_entry_allowed(const ZipEntry& entry, std::string& error_message) {
    if (entry.name.empty()) return true;
    if (!is_safe_entry_name(entry.name)) {
        error_message = "The package contains an unsafe path: " + shown_entry_name(entry.name);
        return false;
    }
    if (entry.flags & zip_record::flag::encrypted) {
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

bool close_entry_output(platform::File& target, const ZipEntry& entry,
                        const EntryOutput& output, std::string& error_message) {
    PhaseTimer files(Phase::files);
    if (!platform::close_file(target)) {
        error_message =
            entry.method == zip_record::method::stored ? stored_copy_failure : inflate_write_failure;
        return false;
    }
    return output.matches_directory(error_message);
}
