#include "paths/install_locations.h"

#include "platform/platform.h"

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
