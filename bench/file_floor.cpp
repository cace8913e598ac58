// What Wine itself charges for the files of a package: creates each listed
// file with CreateFileA, one WriteFile of its size and CloseHandle, folders as
// needed, and nothing else (no package read, no decompression, no window).
// The list has one "SIZE RELATIVE\PATH" line per file. Prints the files, the
// seconds and the microseconds per file, on one line.
//
// With "handles", the files are made the setup's way instead: each folder
// opened or made relative to its parent's open handle and each file created
// relative to its folder's (the platform layer's calls), written through
// stdio and closed. The difference is what naming by handle costs per file.
//
//   file_floor LIST_FILE TARGET_FOLDER [handles]
#include <windows.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// The folder relative (no trailing separator; empty for the target) open,
// made where missing; every folder stays open, as a package's few do.
const platform::FolderHandle* open_folder(std::map<std::string, platform::FolderHandle>& open,
                                          const std::string& relative) {
    const auto known = open.find(relative);
    if (known != open.end()) return &known->second;
    const size_t cut = relative.find_last_of('\\');
    const platform::FolderHandle* parent =
        open_folder(open, cut == std::string::npos ? std::string() : relative.substr(0, cut));
    if (!parent) return nullptr;
    platform::FolderHandle child;
    if (platform::open_child_folder(*parent, relative.substr(cut == std::string::npos ? 0 : cut + 1),
                                    true, child) != platform::EntryResult::done) {
        return nullptr;
    }
    return &open.emplace(relative, std::move(child)).first->second;
}

bool write_through_handles(const std::string& target,
                           const std::vector<std::pair<unsigned long, std::string>>& files,
                           const std::vector<char>& data) {
    CreateDirectoryA(target.c_str(), nullptr);
    std::map<std::string, platform::FolderHandle> open;
    if (platform::open_folder(target, open[""]) != platform::EntryResult::done) return false;
    for (const auto& file : files) {
        const size_t cut = file.second.find_last_of('\\');
        const platform::FolderHandle* folder =
            open_folder(open, cut == std::string::npos ? std::string() : file.second.substr(0, cut));
        platform::File output;
        if (!folder || platform::create_file_in(*folder, file.second.substr(cut + 1), output) !=
                           platform::EntryResult::done) {
            return false;
        }
        for (unsigned long left = file.first; left > 0;) {
            const size_t chunk = left < data.size() ? left : data.size();
            if (std::fwrite(data.data(), 1, chunk, output.get()) != chunk) return false;
            left -= static_cast<unsigned long>(chunk);
        }
        if (!platform::close_file(output)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool handles = argc == 4 && std::string(argv[3]) == "handles";
    if (argc != 3 && !handles) {
        std::fprintf(stderr, "usage: file_floor LIST_FILE TARGET_FOLDER [handles]\n");
        return 2;
    }
    std::FILE* list = std::fopen(argv[1], "r");
    if (!list) return 1;
    std::vector<std::pair<unsigned long, std::string>> files;
    char line[1024];
    while (std::fgets(line, sizeof line, list)) {
        unsigned long size = 0;
        char name[1000] = {};
        if (std::sscanf(line, "%lu %999[^\r\n]", &size, name) == 2) files.emplace_back(size, name);
    }
    std::fclose(list);
    std::vector<char> data(1 << 20, 'q');
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::set<std::string> made;
    if (handles && !write_through_handles(argv[2], files, data)) return 1;
    for (const auto& file : handles ? decltype(files)() : files) {
        const std::string path = std::string(argv[2]) + "\\" + file.second;
        const std::string folder = path.substr(0, path.find_last_of('\\'));
        if (made.insert(folder).second) {
            for (size_t at = std::string(argv[2]).size(); at != std::string::npos;
                 at = folder.find('\\', at + 1)) {
                CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
            }
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return 1;
        for (unsigned long left = file.first; left > 0;) {
            const DWORD chunk = left < data.size() ? left : static_cast<DWORD>(data.size());
            DWORD written = 0;
            if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written != chunk) return 1;
            left -= chunk;
        }
        CloseHandle(handle);
    }
    QueryPerformanceCounter(&end);
    const double seconds =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("files=%zu\tseconds=%.3f\tus_per_file=%.1f\n", files.size(), seconds,
                files.empty() ? 0.0 : seconds * 1e6 / static_cast<double>(files.size()));
    return 0;
}
