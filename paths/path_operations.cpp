#include "paths/path_operations.h"

#include "platform/platform.h"

#include <array>

namespace {
// Paths are walked by character, never by byte: in a double-byte code page
// the trail byte of a character may be 0x5C, which is no separator there.
std::size_t last_separator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i = platform::next_character(path, i)) {
        if (is_separator(path[i])) last = i;
    }
    return last;
}

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The superscript digits one, two and three as the ANSI code page spells
// them (empty where it has none): names are checked after their conversion.
const std::array<std::string, 3>& superscript_digits() {
    static const std::array<std::string, 3> digits = [] {
        std::string one, two, three;
        platform::ansi_from_code_point(0xB9, one);
        platform::ansi_from_code_point(0xB2, two);
        platform::ansi_from_code_point(0xB3, three);
        return std::array<std::string, 3>{one, two, three};
    }();
    return digits;
}
}  // namespace

bool ends_with_separator(const std::string& path) {
    const std::size_t last = last_separator(path);
    return last != std::string::npos && last + 1 == path.size();
}

bool is_device_name(const std::string& component) {
    // Windows reads only what comes before the first dot, without the
    // spaces that end it: "con", "CON.txt", "Con .log" and "CON.." alike.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = ascii_upper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (base == device) return true;
    }
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string number = base.substr(3);
    if (number.size() == 1 && number[0] >= '0' && number[0] <= '9') return true;
    for (const std::string& superscript : superscript_digits()) {
        if (!superscript.empty() && number == superscript) return true;
    }
    return false;
}

std::string join_path(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    if (name.size() > 1 && name[1] == ':') return name;
    if (is_separator(name[0])) return name;
    if (ends_with_separator(folder)) return folder + name;
    return folder + '\\' + name;
}

std::string parent_folder(const std::string& path) {
    const size_t last = last_separator(path);
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string final_component(const std::string& path) {
    const size_t last = last_separator(path);
    return last == std::string::npos ? path : path.substr(last + 1);
}

bool is_safe_relative_path(const std::string& path) {
    if (path.empty() || path.size() > longest_relative_path) return false;
    if (is_separator(path[0])) return false;
    // No double-byte code page has ':' among its trail bytes.
    if (path.find(':') != std::string::npos) return false;

    // Split the way a line reader would: a trailing separator ends the last
    // component without starting an empty one. Either separator counts, so a
    // doubled one of any kind gives an empty component.
    std::size_t start = 0;
    for (std::size_t i = 0;; i = platform::next_character(path, i)) {
        const bool at_end = i >= path.size();
        if (!at_end && !is_separator(path[i])) continue;
        if (at_end && start == i && start > 0) return true;
        const std::string component = path.substr(start, i - start);
        if (component.empty() || component == "." || component == ".." ||
            is_device_name(component)) {
            return false;
        }
        if (at_end) return true;
        start = i + 1;
    }
}

bool create_directory_tree(const std::string& path, platform::AccessDescriptor* access) {
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

    void* attributes = access ? access->security_attributes() : nullptr;
    for (std::size_t next = 0; position <= path.size(); position = next) {
        const bool at_end = position == path.size();
        next = at_end ? position + 1 : platform::next_character(path, position);
        if (!at_end && !is_separator(path[position])) {
            component.append(path, position, next - position);
            continue;
        }
        if (component.empty()) continue;
        if (!built.empty() && !ends_with_separator(built)) built += '\\';
        built += component;
        component.clear();
        if (platform::create_folder(built, attributes) == platform::FolderResult::failed) {
            return false;
        }
    }
    return true;
}

bool random_name(const std::string& prefix, std::string& name) {
    unsigned char bytes[8];
    if (!platform::random_bytes(bytes, sizeof bytes)) return false;
    name = prefix;
    for (unsigned char byte : bytes) {
        name += "0123456789ABCDEF"[byte >> 4];
        name += "0123456789ABCDEF"[byte & 15];
    }
    return true;
}
