#pragma once
// The install folder once it is open and checked: its handle, held until the
// run ends so nobody can rename, remove or replace the folder meanwhile, and
// its path for messages and records. Every step that makes or writes
// something in it names that entry relative to the handle, never by a path
// resolved again.
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Told the name (relative to the install folder) of every file that is
// about to be made below it, before the file exists: a run that is killed
// at any point has named each file it made.
class FileLedger {
public:
    virtual void file_to_be_made(const std::string& name) = 0;
    // The bytes the list of installed files gives name, which the free
    // space must hold beside the file itself.
    virtual std::uint64_t listed_bytes(const std::string& name) const = 0;

protected:
    ~FileLedger() = default;
};

struct InstallFolder {
    platform::FolderHandle handle;
    std::string path;
    // The folder carries the install's owner and protected access list, so
    // no standard user can replace what later runs elevated from it.
    bool protected_access = false;
    // When set, every extracted file is named to it first.
    FileLedger* ledger = nullptr;
};

// Makes the chain of path, a full path, by path (the folders above are not
// the install's own), then opens the folder itself and checks it through its
// handle. The folders it makes, and the install folder itself, get the
// install folder's access list (protected_access tells whether all did).
// done, or is_link when a link stands in its place, or another result when it
// cannot be made or opened.
platform::EntryResult open_install_folder(const std::string& path, InstallFolder& folder);
