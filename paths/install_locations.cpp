#include "paths/install_locations.h"

#include "paths/path_operations.h"
#include "platform/platform.h"

const char* const package_base_url = QUELLMARK_PACKAGE_BASE_URL;

bool names_a_record(const std::string& relative_path) {
    std::size_t end = 0;
    while (end < relative_path.size() && relative_path[end] != '\\' && relative_path[end] != '/') {
        end = platform::next_character(relative_path, end);
    }
    std::string first = relative_path.substr(0, end);
    while (!first.empty() && (first.back() == '.' || first.back() == ' ')) first.pop_back();
    for (char& c : first) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return first == "quellmarkuninstall.exe" || first == "installed-files.txt";
}

std::string default_install_folder() { return "C:\\Games\\The Annals of Quellmark"; }

bool create_package_folder(platform::FolderHandle& folder, std::string& path) {
    // The name is made relative to the temporary folder's handle: its path
    // may hold characters that the code page has no form for.
    platform::FolderHandle temp;
    std::string temp_path;
    if (platform::open_temp_folder(temp, temp_path) != platform::EntryResult::done) return false;
    // Each draw is 64 bits: a taken name is someone's guess or leftover, and
    // a few draws are plenty.
    for (int draw = 0; draw < 8; ++draw) {
        std::string name;
        if (!random_name("Quellmark-", name)) return false;
        switch (platform::create_new_child_folder(temp, name, folder)) {
            case platform::FolderResult::created: path = join_path(temp_path, name); return true;
            case platform::FolderResult::already_exists: continue;
            case platform::FolderResult::failed: return false;
        }
    }
    return false;
}

std::string package_url() {
    std::string url = package_base_url;
    if (!url.empty() && url.back() != '/') url += '/';
    return url + package_file_name;
}
