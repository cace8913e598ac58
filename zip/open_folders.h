#pragma once
// The folders of an extraction, each open by handle from the moment it was
// made or found, and every entry named relative to its folder's handle: a
// folder swapped for a link meanwhile is never written through. Packages with
// many folders keep only a bounded set open; a folder closed and opened again
// is checked again, as opening it is the check. Both the extraction from the
// package file and the one behind the download make their folders and files
// through this, and only through this.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "paths/install_folder.h"
#include "platform/platform.h"

inline constexpr char install_link_message[] =
    "The install folder contains a link to another location: ";
// Followed by a line break and the full path of the file in use.
inline constexpr char game_running_message[] =
    "The game is still running. Close it, then press Install again.";

class OpenFolders {
public:
    // install is open already, or is opened (made and checked) when the
    // first entry needs it.
    explicit OpenFolders(InstallFolder& install) : install_(install) {}
    OpenFolders(const OpenFolders&) = delete;
    OpenFolders& operator=(const OpenFolders&) = delete;

    // The open folder relative (backslashes, no trailing one; empty for the
    // install folder itself), made where missing. Null on failure, with
    // error_message set.
    const platform::FolderHandle* open(const std::string& relative, std::string& error_message);

    // Creates the file name (relative to the install folder) afresh for
    // writing, relative to its folder. A plain file in its place (a hard link
    // too) is deleted and replaced, never written through; a link there is
    // refused with the link message. Null with error_message on failure.
    platform::File create_file(const std::string& name, std::string& error_message);

    // Whether anything (a file, a folder, a link) holds the name now; the
    // folders on the way are made. In a folder this walk made, nothing can
    // have been there before it, so nothing is asked.
    bool holds(const std::string& name);

    // Deletes the file name through its own handle; a link there is left.
    void delete_file(const std::string& name);

    // The first file of names (relative to the install folder) that another
    // program holds open so that it cannot be replaced; empty when none is.
    // Nothing is made: a folder that is missing holds no such file.
    std::string first_file_in_use(const std::vector<std::string>& names);

    // Closes every folder below the install folder; they are opened, and
    // checked, again when next needed.
    void close_all() { held_.clear(); }

    const std::string& install_path() const { return install_.path; }
    // Whether the last open failed at a link.
    bool met_link() const { return met_link_; }

private:
    // Enough for a package that spreads its files over a few hundred folders
    // in turn: each folder closed and opened again is checked again, which
    // under Wine costs about as much as writing a small file.
    static constexpr std::size_t limit = 256;
    static constexpr std::uint64_t busy_wait_milliseconds = 2000;
    struct Held {
        platform::FolderHandle handle;
        std::uint64_t last_use = 0;
    };

    const platform::FolderHandle* open_install_folder_once(std::string& error_message);
    void close_least_used();
    // Whether folder, or a folder above it, was made by this walk.
    bool was_made(const std::string& folder) const;

    InstallFolder& install_;
    std::unordered_map<std::string, Held> held_;
    std::unordered_set<std::string> made_;  // the topmost folders this walk created
    std::uint64_t uses_ = 0;
    bool met_link_ = false;
};
