#include "zip/open_folders.h"

#include "paths/path_operations.h"

namespace {

constexpr char folder_failure[] = "Could not create the install folder.";

// The folder part of name (empty at the top) and its last component, split
// by character: a double-byte character's trail byte 0x5C is no separator.
void split_name(const std::string& name, std::string& folder, std::string& file_name) {
    folder = parent_folder(name);
    file_name = final_component(name);
}

// Where each component of name ends (a separator's offset, and the name's
// end last), found character by character like split_name.
std::vector<std::size_t> component_ends(const std::string& name) {
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < name.size(); at = platform::next_character(name, at)) {
        if (name[at] == '\\') ends.push_back(at);
    }
    ends.push_back(name.size());
    return ends;
}

}  // namespace

// Walks down from the deepest folder held already, one component at a time:
// a name of many thousand folders costs neither stack nor a copy per level.
const platform::FolderHandle* OpenFolders::open(const std::string& relative,
                                                std::string& error_message) {
    met_link_ = false;
    const platform::FolderHandle* parent = open_install_folder_once(error_message);
    if (!parent || relative.empty()) return parent;
    // The components still to open begin after the deepest held one.
    const std::vector<std::size_t> ends = component_ends(relative);
    std::size_t first = 0;
    for (std::size_t i = ends.size(); i-- > 0;) {
        const auto found = held_.find(relative.substr(0, ends[i]));
        if (found != held_.end()) {
            found->second.last_use = ++uses_;
            if (i + 1 == ends.size()) return &found->second.handle;
            parent = &found->second.handle;
            first = i + 1;
            break;
        }
    }
    bool below_made = first > 0 && was_made(relative.substr(0, ends[first - 1]));
    for (std::size_t i = first; i < ends.size(); ++i) {
        const std::size_t start = i == 0 ? 0 : ends[i - 1] + 1, end = ends[i];
        const std::string name = relative.substr(start, end - start);
        std::string prefix = relative.substr(0, end);
        platform::FolderHandle child;
        platform::EntryResult result = platform::open_child_folder(*parent, name, false, child);
        if (result == platform::EntryResult::missing) {
            result = platform::open_child_folder(*parent, name, true, child);
            // Everything below a folder this walk made is made by it too.
            if (result == platform::EntryResult::done && !below_made) {
                made_.insert(prefix);
                below_made = true;
            }
        }
        if (result != platform::EntryResult::done) {
            met_link_ = result == platform::EntryResult::is_link;
            error_message = met_link_ ? install_link_message + join_path(install_.path, prefix)
                                      : folder_failure;
            return nullptr;
        }
        // The folder just opened above is the newest, so never the one closed.
        if (held_.size() >= limit) close_least_used();
        Held& held = held_[std::move(prefix)];
        held.handle = std::move(child);
        held.last_use = ++uses_;
        parent = &held.handle;
    }
    return parent;
}

bool OpenFolders::was_made(const std::string& folder) const {
    if (made_.empty() || folder.empty()) return false;
    for (std::size_t end : component_ends(folder)) {
        if (made_.count(folder.substr(0, end)) > 0) return true;
    }
    return false;
}

// If the file cannot be created, a folder may have been removed behind the
// walk's back, so the folders are opened anew and the file tried once more.
platform::File OpenFolders::create_file(const std::string& name, std::string& error_message) {
    std::string folder, file_name;
    split_name(name, folder, file_name);
    const std::string target = join_path(install_.path, name);
    if (install_.ledger) install_.ledger->file_to_be_made(name);
    // A file that another program holds (a virus scanner looks at new files
    // for a moment) is tried again for a while; the game itself holds on.
    const std::uint64_t busy_until = platform::milliseconds_now() + busy_wait_milliseconds;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) close_all();
        const platform::FolderHandle* parent = open(folder, error_message);
        if (!parent) return nullptr;
        platform::File output;
        platform::EntryResult result = platform::create_file_in(*parent, file_name, output);
        while (result == platform::EntryResult::in_use &&
               platform::milliseconds_now() < busy_until) {
            platform::sleep_milliseconds(50);
            result = platform::create_file_in(*parent, file_name, output);
        }
        if (result == platform::EntryResult::in_use) {
            error_message = std::string(game_running_message) + "\n" + target;
            return nullptr;
        }
        if (result == platform::EntryResult::done) return output;
        if (result == platform::EntryResult::is_link) {
            error_message = install_link_message + target;
            return nullptr;
        }
        if (result == platform::EntryResult::wrong_kind) break;
    }
    error_message = "Could not write: " + target;
    return nullptr;
}

// Opening the name as a folder, without making it, looks at it through its
// own handle: only an empty name answers missing.
bool OpenFolders::holds(const std::string& name) {
    std::string folder, file_name, unused;
    split_name(name, folder, file_name);
    const platform::FolderHandle* parent = open(folder, unused);
    if (!parent || was_made(folder)) return false;
    platform::FolderHandle probe;
    return platform::open_child_folder(*parent, file_name, false, probe) !=
           platform::EntryResult::missing;
}

void OpenFolders::delete_file(const std::string& name) {
    std::string folder, file_name, unused;
    split_name(name, folder, file_name);
    const platform::FolderHandle* parent = open(folder, unused);
    if (parent) platform::delete_file_in(*parent, file_name);
}

std::string OpenFolders::first_file_in_use(const std::vector<std::string>& names) {
    std::string unused;
    const platform::FolderHandle* install = open_install_folder_once(unused);
    if (!install) return {};
    // Each folder looked at once; a missing one is remembered as closed.
    std::unordered_map<std::string, platform::FolderHandle> seen;
    for (const std::string& name : names) {
        if (seen.size() >= limit) seen.clear();
        std::string folder, file_name;
        split_name(name, folder, file_name);
        const platform::FolderHandle* parent = install;
        std::size_t start = 0;
        for (std::size_t end : folder.empty() ? std::vector<std::size_t>() : component_ends(folder)) {
            if (!parent) break;
            const std::string prefix = folder.substr(0, end);
            auto found = seen.find(prefix);
            if (found == seen.end()) {
                found = seen.emplace(prefix, platform::FolderHandle()).first;
                platform::open_child_folder(*parent, folder.substr(start, end - start), false,
                                            found->second);
            }
            parent = found->second ? &found->second : nullptr;
            start = end + 1;
        }
        if (parent && platform::file_in_use(*parent, file_name)) return name;
    }
    return {};
}

const platform::FolderHandle* OpenFolders::open_install_folder_once(std::string& error_message) {
    if (install_.handle) return &install_.handle;
    const platform::EntryResult result = open_install_folder(install_.path, install_);
    if (result == platform::EntryResult::done) return &install_.handle;
    met_link_ = result == platform::EntryResult::is_link;
    error_message = met_link_ ? install_link_message + install_.path : folder_failure;
    return nullptr;
}

void OpenFolders::close_least_used() {
    auto oldest = held_.begin();
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->second.last_use < oldest->second.last_use) oldest = it;
    }
    held_.erase(oldest);
}
