#include "setup/temp_package.h"

#include "paths/install_locations.h"
#include "paths/path_operations.h"

bool TempPackage::create() {
    folder_ = create_package_folder();
    if (folder_.empty()) return false;
    path_ = join_path(folder_, package_file_name);
    file_.reset(platform::create_new_file(path_));
    // The folder was made new a moment ago; it can only be a link now if
    // another program swapped it in between, and then the file was made
    // elsewhere. Once the file is open, the folder can no longer be moved.
    if (file_ && !platform::is_link(folder_)) return true;
    if (file_) {
        file_.reset();
    } else {
        platform::remove_folder(folder_);
    }
    folder_.clear();
    path_.clear();
    return false;
}

bool TempPackage::holds_nothing() const {
    return !file_ || platform::tell(file_.get()) <= 0;
}

void TempPackage::remove() {
    if (folder_.empty()) return;
    file_.reset();
    // Closed, the folder could be swapped; a link in its place is left alone.
    if (platform::is_link(folder_)) return;
    platform::delete_file(path_);
    platform::remove_folder(folder_);
}
