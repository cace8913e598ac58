#pragma once
// The install folder once it is open and checked: its handle, held until the
// run ends so nobody can rename, remove or replace the folder meanwhile, and
// its path for messages and records. Every step that makes or writes
// something in it names that entry relative to the handle, never by a path
// resolved again.
#include <string>

#include "platform/platform.h"

struct InstallFolder {
    platform::FolderHandle handle;
    std::string path;
};

// Makes the chain of path, a full path, by path (the folders above are not
// the install's own), then opens the folder itself and checks it through its
// handle. done, or is_link when a link stands in its place, or another
// result when it cannot be made or opened.
platform::EntryResult open_install_folder(const std::string& path, InstallFolder& folder);
