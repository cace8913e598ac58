#pragma once
// Drive D: of the Windows test prefix: a 20 MB tmpfs that tools/small-drive.sh
// mounts (as root) for the free-space tests. Windows only.
#include <windows.h>

#include <cstdint>
#include <string>

namespace test_support {

constexpr char small_drive[] = "D:\\";
constexpr std::uint64_t small_drive_bytes = 20u << 20;
constexpr char small_drive_missing[] =
    "needs the 20 MB drive D: that tools/small-drive.sh mounts (as root)";

// True when D: is that drive.
inline bool small_drive_ready() {
    ULARGE_INTEGER total;
    return GetDiskFreeSpaceExA(small_drive, nullptr, &total, nullptr) &&
           total.QuadPart == small_drive_bytes;
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
