#pragma once
// The folders below one open folder, each opened relative to its parent's
// handle and held: while it is held, its name is never resolved again, so
// nothing can be swapped in between a check and what is done through it. A
// link in a folder's place is never opened as a folder. Only a bounded set
// stays open, the least recently used going first; a folder opened again is
// checked again, as opening it is the check. Paths are split by character.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.h"

class FolderCache {
public:
    // With make, a missing folder is made where it is needed; without, a
    // folder that cannot be opened is remembered as such, so the many names
    // below it cost no further look.
    FolderCache(const platform::FolderHandle& root, bool make) : root_(root), make_(make) {}
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    // The open folder that relative names ("" for the root), or null when
    // the root is not open or a folder on the way is missing (without make),
    // a link, or cannot be made. On null, refused (when given) gets the
    // relative folder where the walk stopped, and last_result() why.
    const platform::FolderHandle* open(const std::string& relative,
                                       std::string* refused = nullptr);
    platform::EntryResult last_result() const { return last_result_; }

    // Whether folder, or a folder above it, was made by this cache: nothing
    // can have been there before it.
    bool was_made(const std::string& folder) const;

    // Lets go of every folder, so they can be removed, or are checked again.
    void close_all() { held_.clear(); }

private:
    // Enough for a package that spreads its files over a few hundred folders
    // in turn: each folder closed and opened again is checked again, which
    // under Wine costs about as much as writing a small file.
    static constexpr std::size_t limit = 256;
    struct Held {
        platform::FolderHandle handle;  // closed: the folder could not be opened, for result
        platform::EntryResult result = platform::EntryResult::done;
        std::uint64_t last_use = 0;
    };

    Held& hold(std::string prefix, platform::FolderHandle handle, platform::EntryResult result);
    void close_least_used();

    const platform::FolderHandle& root_;
    const bool make_;
    std::unordered_map<std::string, Held> held_;
    std::unordered_set<std::string> made_;  // the topmost folders this cache made
    std::uint64_t uses_ = 0;
    platform::EntryResult last_result_ = platform::EntryResult::done;
};
