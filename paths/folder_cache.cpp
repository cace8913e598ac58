#include "paths/folder_cache.h"

#include <vector>

#include "paths/path_operations.h"

namespace {
// Where each component of path ends (a separator's offset, and the path's
// end last), found character by character.
std::vector<std::size_t> component_ends(const std::string& path) {
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < path.size(); at = platform::next_character(path, at)) {
        if (is_separator(path[at])) ends.push_back(at);
    }
    ends.push_back(path.size());
    return ends;
}
}  // namespace

// Walks down from the deepest folder held already, one component at a time:
// a name of many thousand folders costs neither stack nor a copy per level.
const platform::FolderHandle* FolderCache::open(const std::string& relative,
                                                std::string* refused) {
    last_result_ = root_ ? platform::EntryResult::done : platform::EntryResult::failed;
    if (!root_ || relative.empty()) return root_ ? &root_ : nullptr;
    const std::vector<std::size_t> ends = component_ends(relative);
    const platform::FolderHandle* parent = &root_;
    std::size_t first = 0;
    for (std::size_t i = ends.size(); i-- > 0;) {
        const auto found = held_.find(relative.substr(0, ends[i]));
        if (found == held_.end()) continue;
        found->second.last_use = ++uses_;
        if (!found->second.handle) {
            last_result_ = found->second.result;
            if (refused) *refused = found->first;
            return nullptr;
        }
        if (i + 1 == ends.size()) return &found->second.handle;
        parent = &found->second.handle;
        first = i + 1;
        break;
    }
    bool below_made = first > 0 && was_made(relative.substr(0, ends[first - 1]));
    for (std::size_t i = first; i < ends.size(); ++i) {
        const std::size_t start = i == 0 ? 0 : ends[i - 1] + 1;
        std::string prefix = relative.substr(0, ends[i]);
        const std::string name = relative.substr(start, ends[i] - start);
        platform::FolderHandle child;
        platform::EntryResult result = platform::open_child_folder(*parent, name, false, child);
        if (result == platform::EntryResult::missing && make_) {
            result = platform::open_child_folder(*parent, name, true, child);
            // Everything below a folder this cache made is made by it too.
            if (result == platform::EntryResult::done && !below_made) {
                made_.insert(prefix);
                below_made = true;
            }
        }
        if (result != platform::EntryResult::done) {
            last_result_ = result;
            if (refused) *refused = prefix;
            // A cache that makes folders tries again on the next open.
            if (!make_) hold(std::move(prefix), std::move(child), result);
            return nullptr;
        }
        parent = &hold(std::move(prefix), std::move(child), result).handle;
    }
    return parent;
}

FolderCache::Held& FolderCache::hold(std::string prefix, platform::FolderHandle handle,
                                     platform::EntryResult result) {
    // The folder opened just above is the newest, so never the one closed.
    if (held_.size() >= limit) close_least_used();
    Held& held = held_[std::move(prefix)];
    held.handle = std::move(handle);
    held.result = result;
    held.last_use = ++uses_;
    return held;
}

bool FolderCache::was_made(const std::string& folder) const {
    if (made_.empty() || folder.empty()) return false;
    for (std::size_t end : component_ends(folder)) {
        if (made_.count(folder.substr(0, end)) > 0) return true;
    }
    return false;
}

void FolderCache::close_least_used() {
    auto oldest = held_.begin();
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->second.last_use < oldest->second.last_use) oldest = it;
    }
    held_.erase(oldest);
}
