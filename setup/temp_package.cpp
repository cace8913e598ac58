#include "setup/temp_package.h"

#include "paths/install_locations.h"
#include "paths/path_operations.h"

namespace {

// A new folder of this run's own in the user's temporary folder (the current
// folder when the system reports none): "Quellmark-" and 16 hex digits from
// the system's random source, so no other program can know the name
// beforehand. A name that is taken is never used; another is drawn. folder
// holds it from its creation, able to delete it; path names it as far as the
// ANSI code page can, for messages.
bool create_package_folder(platform::FolderHandle& folder, std::string& path) {
    // The name is made relative to the temporary folder's handle: its path
    // may hold characters that the code page has no form for.
    platform::FolderHandle temp;
    std::string temp_path;
    if (platform::open_temp_folder(temp, temp_path) != platform::EntryResult::done) return false;
    // Each draw is 64 bits: a taken name is someone's guess or leftover, and
    // a few draws are plenty.
    for (int draw = 0; draw < 8; ++draw) {
        std::string name;
        if (!random_name("Quellmark-", name)) return false;
        switch (platform::create_new_child_folder(temp, name, folder)) {
            case platform::FolderResult::created: path = join_path(temp_path, name); return true;
            case platform::FolderResult::already_exists: continue;
            case platform::FolderResult::failed: return false;
        }
    }
    return false;
}

}  // namespace

bool TempPackage::create() {
    if (!create_package_folder(folder_handle_, folder_)) return false;
    path_ = join_path(folder_, package_file_name);
    // Held from its creation on, and the file named relative to it: whatever
    // the folder's path comes to mean, the file is made, and later deleted,
    // in the folder made here.
    if (platform::create_file_in(folder_handle_, package_file_name, file_) ==
        platform::EntryResult::done) {
        return true;
    }
    file_.reset();
    platform::remove_open_folder(folder_handle_, folder_);
    folder_.clear();
    path_.clear();
    return false;
}

bool TempPackage::holds_nothing() const {
    return !file_ || platform::tell(file_.get()) <= 0;
}

void TempPackage::remove() {
    if (!folder_handle_) return;
    platform::delete_open_file(file_.get(), folder_handle_, package_file_name);
    file_.reset();
    platform::remove_open_folder(folder_handle_, folder_);
}
