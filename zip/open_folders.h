#pragma once
// The folders and files of an extraction, made through a FolderCache on the
// install folder, every entry named relative to its folder's handle: a
// folder swapped for a link meanwhile is never written through. Both the
// extraction from the package file and the one behind the download make
// their folders and files through this, and only through this.
#include <cstdint>
#include <string>
#include <vector>

#include "paths/folder_cache.h"
#include "paths/install_folder.h"
#include "platform/platform.h"
#include "report/shown_texts.h"

class OpenFolders {
public:
    // install is open already, or is opened (made and checked) when the
    // first entry needs it.
    explicit OpenFolders(InstallFolder& install)
        : install_(install), folders_(install.handle, true) {}
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
    void close_all() { folders_.close_all(); }

    const std::string& install_path() const { return install_.path; }
    // Whether the last open failed at a link.
    bool met_link() const { return met_link_; }

private:
    static constexpr std::uint64_t busy_wait_milliseconds = 2000;

    const platform::FolderHandle* open_install_folder_once(std::string& error_message);

    InstallFolder& install_;
    FolderCache folders_;
    bool met_link_ = false;
};
