#include "paths/install_folder.h"

#include "paths/path_operations.h"

platform::EntryResult open_install_folder(const std::string& path, InstallFolder& folder) {
    folder.handle.reset();
    folder.path = path;
    folder.protected_access = false;
    // Folders the setup makes in the chain are its own, and a folder users may
    // rename above the install would let them move it: they get the list too.
    // A folder that was there before keeps its list.
    platform::AccessDescriptor access(platform::AccessList::install_folder);
    if (!create_directory_tree(path, &access)) return platform::EntryResult::failed;
    const platform::EntryResult opened =
        platform::open_folder(path, folder.handle, platform::FolderUse::protectable);
    if (opened != platform::EntryResult::done) return opened;
    folder.protected_access = access.built() && platform::protect_install_folder(folder.handle);
    return opened;
}
