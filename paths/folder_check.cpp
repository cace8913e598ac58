#include "paths/folder_check.h"

#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "platform/platform.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A character that Windows refuses in any folder name.
bool is_forbidden(char c) {
    return static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == '"' || c == '|' ||
           c == '?' || c == '*' || c == ':';
}

// Length of the next component of text from position, up to a separator or
// the end. By character: a double-byte character's trail byte may be 0x5C.
std::size_t component_length(const std::string& text, std::size_t position) {
    std::size_t end = position;
    while (end < text.size() && !is_separator(text[end])) end = platform::next_character(text, end);
    return end - position;
}

// The root of a full path and where the rest begins; empty when it has none.
// "\\?\" and "\\.\" name devices, not shares.
std::string root_of(const std::string& text, std::size_t& rest) {
    if (text.size() >= 3 && is_letter(text[0]) && text[1] == ':' && is_separator(text[2])) {
        rest = 3;
        return text.substr(0, 2) + '\\';
    }
    if (text.size() < 2 || !is_separator(text[0]) || !is_separator(text[1])) return {};
    const std::size_t server = component_length(text, 2);
    if (server == 0 || text.substr(2, server) == "?" || text.substr(2, server) == ".") return {};
    const std::size_t share_start = 2 + server + 1;
    if (share_start >= text.size()) return {};
    const std::size_t share = component_length(text, share_start);
    if (share == 0) return {};
    rest = share_start + share;
    return "\\\\" + text.substr(2, server) + '\\' + text.substr(share_start, share) + '\\';
}

bool has_dot_component(const std::string& text, std::size_t position) {
    while (position < text.size()) {
        const std::size_t length = component_length(text, position);
        const std::string component = text.substr(position, length);
        if (component == "." || component == "..") return true;
        position += length + 1;
    }
    return false;
}

std::string instead(const std::string& what) {
    return "\n\nPlease enter " + what + ", such as " + default_install_folder() + ".";
}

// Walks the folders below the root of a full path, outermost first: a
// device name cannot be made into a folder, and a file in the chain (or as
// the folder itself) would only fail after the download. Empty when neither.
std::string chain_problem(const std::string& folder, const std::string& root) {
    std::size_t position = root.size() == 3 ? 3 : 0;
    if (position == 0) {  // past "\\server\share"
        position = 2 + component_length(folder, 2) + 1;
        position += component_length(folder, position);
    }
    while (position < folder.size()) {
        if (is_separator(folder[position])) {
            ++position;
            continue;
        }
        const std::size_t length = component_length(folder, position);
        const std::string component = folder.substr(position, length);
        if (is_device_name(component)) {
            return "\"" + component + "\" is a name that Windows keeps for a device." +
                   instead("a folder path without it");
        }
        const std::string prefix = folder.substr(0, position + length);
        if (platform::file_exists(prefix)) {
            return "\"" + prefix + "\" is a file, not a folder." +
                   instead("the path of a folder");
        }
        position += length;
    }
    return {};
}

}  // namespace

FolderText read_folder_text(const std::string& typed) {
    FolderText result;
    std::size_t first = 0;
    std::size_t end = typed.size();
    while (first < end && is_blank(typed[first])) ++first;
    while (end > first && is_blank(typed[end - 1])) --end;
    result.folder = typed.substr(first, end - first);
    const std::string& text = result.folder;

    if (text.empty()) {
        result.problem = FolderTextProblem::empty;
        return result;
    }
    std::size_t rest = 0;
    result.root = root_of(text, rest);
    if (result.root.empty() || has_dot_component(text, rest)) {
        result.root.clear();
        result.problem = FolderTextProblem::not_full_path;
        return result;
    }
    const std::size_t checked_from = result.root.size() == 3 ? 2 : 0;  // a drive's own colon is fine
    for (std::size_t i = checked_from; i < text.size(); i = platform::next_character(text, i)) {
        if (is_forbidden(text[i])) {
            result.problem = FolderTextProblem::bad_character;
            result.bad_character = text[i];
            return result;
        }
    }
    if (text.size() > longest_install_folder) result.problem = FolderTextProblem::too_long;
    return result;
}

std::string install_folder_problem(const std::string& typed, std::string& folder) {
    const FolderText text = read_folder_text(typed);
    switch (text.problem) {
        case FolderTextProblem::empty:
            return "No install folder was entered." + instead("a full folder path");
        case FolderTextProblem::not_full_path:
            return "\"" + text.folder + "\" is not a full folder path." +
                   instead("a full folder path");
        case FolderTextProblem::bad_character: {
            const bool visible = static_cast<unsigned char>(text.bad_character) >= 32;
            const std::string character =
                visible ? std::string("the character ") + text.bad_character
                        : std::string("a control character");
            return "A folder name cannot contain " + character + "." +
                   instead("a folder path without it");
        }
        case FolderTextProblem::too_long:
            return "The install folder is too long: it has " + std::to_string(text.folder.size()) +
                   " characters, and at most " + std::to_string(longest_install_folder) +
                   " leave room for the game's files." + instead("a shorter folder path");
        case FolderTextProblem::none:
            break;
    }
    if (!platform::folder_exists(text.root)) {
        if (text.root.size() == 3) {
            return "There is no drive " + text.root.substr(0, 2) + " on this computer." +
                   instead("a folder on one of its drives");
        }
        return "The network folder " + text.root.substr(0, text.root.size() - 1) +
               " cannot be reached." + instead("a folder on a drive of this computer");
    }
    const std::string below_root = chain_problem(text.folder, text.root);
    if (!below_root.empty()) return below_root;
    folder = text.folder;
    return {};
}
