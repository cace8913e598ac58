#include "records/manifest_log.h"

#include <cstdio>

#include "records/install_names.h"

namespace {
// A package entry of the list's own name replaces the list: it is let go
// first, as the final list replaces that file again.
bool names_the_list(const std::string& name) {
    constexpr std::size_t length = sizeof manifest_file_name - 1;
    if (name.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != manifest_file_name[i]) return false;
    }
    return true;
}
}  // namespace

void ManifestLog::file_to_be_made(const std::string& name) {
    if (given_up_) return;
    if (names_the_list(name)) {
        close();
        given_up_ = true;
        return;
    }
    if (!file_) {
        // It steers the elevated uninstaller's deletions: only administrators may change it.
        const platform::AccessDescriptor access(platform::AccessList::manifest);
        if (platform::create_file_in(folder_.handle, manifest_file_name, file_, &access) !=
            platform::EntryResult::done) {
            given_up_ = true;
            return;
        }
        for (const std::string& line : earlier_lines_) {
            std::fprintf(file_.get(), "%s\r\n", line.c_str());
        }
    }
    // Flushed line by line: the file is made right after, and a kill then
    // must find its line with the system already.
    if (std::fprintf(file_.get(), "%s\r\n", name.c_str()) < 0 || std::fflush(file_.get()) != 0) {
        close();
        given_up_ = true;
    }
}

void ManifestLog::close() {
    if (file_) platform::close_file(file_);
}
