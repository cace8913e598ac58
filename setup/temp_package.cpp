#include "setup/temp_package.h"

#include "paths/install_locations.h"
#include "paths/path_operations.h"

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
