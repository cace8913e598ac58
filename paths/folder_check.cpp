#include "paths/folder_check.h"

#include "paths/install_locations.h"
#include "platform/platform.h"

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A character that Windows refuses in any folder name.
bool is_forbidden(char c) {
    return static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == '"' || c == '|' ||
           c == '?' || c == '*' || c == ':';
}

// Length of the next component of text from position, up to a separator or the end.
std::size_t component_length(const std::string& text, std::size_t position) {
    std::size_t end = position;
    while (end < text.size() && !is_separator(text[end])) ++end;
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
    for (std::size_t i = checked_from; i < text.size(); ++i) {
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
    folder = text.folder;
    return {};
}
