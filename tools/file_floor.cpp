// What Wine itself charges for the files of a package: creates each listed
// file with CreateFileA, one WriteFile of its size and CloseHandle, folders as
// needed, and nothing else (no package read, no decompression, no window).
// The list has one "SIZE RELATIVE\PATH" line per file. Prints the files, the
// seconds and the microseconds per file, on one line.
//
//   file_floor LIST_FILE TARGET_FOLDER
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: file_floor LIST_FILE TARGET_FOLDER\n");
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
    for (const auto& file : files) {
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
