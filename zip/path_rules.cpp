#include "zip/path_rules.h"

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

std::string parent_folder(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}
