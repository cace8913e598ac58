#include "paths/path_operations.h"

#include "platform/platform.h"

namespace {
bool is_separator(char c) { return c == '\\' || c == '/'; }
}  // namespace

std::string join_path(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    if (name.size() > 1 && name[1] == ':') return name;
    if (is_separator(name[0])) return name;
    if (is_separator(folder.back())) return folder + name;
    return folder + '\\' + name;
}

std::string parent_folder(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

bool is_safe_relative_path(const std::string& path) {
    if (path.empty()) return false;
    if (path[0] == '\\' || path[0] == '/') return false;
    if (path.find(':') != std::string::npos) return false;

    std::string copy = path;
    for (char& c : copy) {
        if (c == '/') c = '\\';
    }
    if (copy.find("\\\\") != std::string::npos) return false;

    // Split the way a line reader would: a trailing separator ends the last
    // component without starting an empty one.
    size_t start = 0;
    while (start < copy.size()) {
        size_t end = copy.find('\\', start);
        if (end == std::string::npos) end = copy.size();
        const std::string component = copy.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        start = end + 1;
    }
    return true;
}

bool create_directory_tree(const std::string& path, FolderMemory* memory) {
    if (path.empty()) return true;

    std::string built;
    std::string component;
    size_t position = 0;
    if (path.size() > 1 && path[1] == ':') {
        built = path.substr(0, 2);
        position = 2;
    }
    // Keep the root: one backslash after a drive, two before a server name.
    while (position < path.size() && is_separator(path[position])) {
        built += '\\';
        ++position;
    }

    for (; position <= path.size(); ++position) {
        const bool at_end = position == path.size();
        if (!at_end && !is_separator(path[position])) {
            component += path[position];
            continue;
        }
        if (component.empty()) continue;
        if (!built.empty() && built.back() != '\\') built += '\\';
        built += component;
        component.clear();
        if (memory && memory->holds(built)) continue;
        if (platform::create_folder(built) == platform::FolderResult::failed) return false;
        if (memory) memory->remember(built);
    }
    return true;
}

std::string link_crossed_below(const std::string& folder, const std::string& relative_path,
                               const FolderMemory* checked) {
    for (size_t end = relative_path.find_first_of("\\/"); end != std::string::npos;
         end = relative_path.find_first_of("\\/", end + 1)) {
        const std::string crossed = join_path(folder, relative_path.substr(0, end));
        if (checked && checked->holds(crossed)) continue;
        if (platform::is_link(crossed)) return crossed;
    }
    return {};
}
