#pragma once
// The downloaded package of one run. It lives in a new folder of the run's
// own under the user's temporary folder, which every unelevated program of
// the user can write to, so nothing there is taken on trust: the folder and
// the file are both created new, and both stay open from their creation to
// their deletion. While they are open, no other program can write, rename or
// delete the file, nor move or replace its folder, so the bytes extracted are
// the bytes downloaded, and what is deleted is what was made.
#include <cstdio>
#include <string>

#include "platform/platform.h"

class TempPackage {
public:
    TempPackage() = default;
    TempPackage(const TempPackage&) = delete;
    TempPackage& operator=(const TempPackage&) = delete;

    // Makes the folder, named at random in the user's temporary folder, and
    // "QuellmarkFull.zip" in it, open for reading and writing. False when
    // either cannot be made; nothing of it stays then.
    bool create();

    // The open file; null before create and after a failed one.
    std::FILE* file() const { return file_.get(); }
    // Its full path, for the message that keeps it.
    const std::string& path() const { return path_; }
    // True when nothing was written to it (or it was never made).
    bool holds_nothing() const;

    // Deletes the file and its folder through their own handles.
    void remove();

private:
    std::string folder_;
    platform::FolderHandle folder_handle_;
    std::string path_;
    platform::File file_;
};
