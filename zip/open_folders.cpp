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

}  // namespace

const platform::FolderHandle* OpenFolders::open(const std::string& relative,
                                                std::string& error_message) {
    met_link_ = false;
    if (relative.empty()) return open_install_folder_once(error_message);
    const auto found = held_.find(relative);
    if (found != held_.end()) {
        found->second.last_use = ++uses_;
        return &found->second.handle;
    }
    std::string above, name;
    split_name(relative, above, name);
    const platform::FolderHandle* parent = open(above, error_message);
    if (!parent) return nullptr;
    platform::FolderHandle child;
    platform::EntryResult result = platform::open_child_folder(*parent, name, false, child);
    if (result == platform::EntryResult::missing) {
        result = platform::open_child_folder(*parent, name, true, child);
        if (result == platform::EntryResult::done) made_.insert(relative);
    }
    if (result != platform::EntryResult::done) {
        met_link_ = result == platform::EntryResult::is_link;
        error_message = met_link_ ? install_link_message + join_path(install_.path, relative)
                                  : folder_failure;
        return nullptr;
    }
    if (held_.size() >= limit) close_least_used();
    Held& held = held_[relative];
    held.handle = std::move(child);
    held.last_use = ++uses_;
    return &held.handle;
}

// If the file cannot be created, a folder may have been removed behind the
// walk's back, so the folders are opened anew and the file tried once more.
platform::File OpenFolders::create_file(const std::string& name, std::string& error_message) {
    std::string folder, file_name;
    split_name(name, folder, file_name);
    const std::string target = join_path(install_.path, name);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) close_all();
        const platform::FolderHandle* parent = open(folder, error_message);
        if (!parent) return nullptr;
        platform::File output;
        const platform::EntryResult result = platform::create_file_in(*parent, file_name, output);
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
    if (!parent || made_.count(folder) > 0) return false;
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

const platform::FolderHandle* OpenFolders::open_install_folder_once(std::string& error_message) {
    if (install_.handle.is_open()) return &install_.handle;
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
