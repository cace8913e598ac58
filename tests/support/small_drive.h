#pragma once
// Small drives of the Windows test prefix, tmpfs mounts that
// tests/tools/small-drive.sh makes (as root) for the free-space tests: D:, 20 MB,
// which tests only read, and E:, 1 MB, which a test may fill. Windows only.
#include <windows.h>

#include <cstdint>
#include <string>

namespace test_support {

constexpr char small_drive[] = "D:\\";
constexpr char spare_drive[] = "E:\\";
constexpr char small_drive_missing[] =
    "needs the small drives D: and E: that tests/tools/small-drive.sh mounts (as root)";

inline bool drive_of_size(const char* root, std::uint64_t bytes) {
    ULARGE_INTEGER total;
    return GetDiskFreeSpaceExA(root, nullptr, &total, nullptr) && total.QuadPart == bytes;
}

// True when D: and E: are those drives.
inline bool small_drive_ready() {
    return drive_of_size(small_drive, 20u << 20) && drive_of_size(spare_drive, 1u << 20);
}

// True when nothing, file or folder, is on D:.
inline bool small_drive_empty() {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA("D:\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") empty = false;
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

}  // namespace test_support
