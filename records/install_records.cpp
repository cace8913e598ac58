#include "records/install_records.h"

bool install_uninstaller(const std::string&) { return false; }
void create_shortcuts(const std::string&) {}
bool create_shortcut(const std::string&, const std::string&, const std::string&) { return false; }
void register_uninstall_entry(const std::string&) {}

std::string quote_argument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}
