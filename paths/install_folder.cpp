#include "paths/install_folder.h"

#include "paths/path_operations.h"

platform::EntryResult open_install_folder(const std::string& path, InstallFolder& folder) {
    folder.handle.close();
    folder.path = path;
    if (!create_directory_tree(path)) return platform::EntryResult::failed;
    return platform::open_folder(path, folder.handle);
}
