#include "setup/paths.h"

#include "platform/platform.h"

const char* const package_base_url = QUELLMARK_PACKAGE_BASE_URL;

namespace {
bool is_separator(char c) { return c == '\\' || c == '/'; }
}  // namespace

std::string default_install_folder() { return "C:\\Games\\The Annals of Quellmark"; }

std::string temp_package_path() { return join_path(platform::temp_folder(), package_file_name); }

std::string package_url() {
    std::string url = package_base_url;
    if (!url.empty() && url.back() != '/') url += '/';
    return url + package_file_name;
}

std::string join_path(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    if (name.size() > 1 && name[1] == ':') return name;
    if (is_separator(name[0])) return name;
    if (is_separator(folder.back())) return folder + name;
    return folder + '\\' + name;
}

bool create_directory_tree(const std::string& path) {
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
        if (platform::create_folder(built) == platform::FolderResult::failed) return false;
    }
    return true;
}
