#include "paths/disk_space.h"

#include "paths/path_operations.h"
#include "platform/platform.h"

namespace {
constexpr std::uint64_t megabyte = 1048576;

bool free_space_below(const std::string& path, std::uint64_t& free_bytes) {
    for (std::string folder = path; !folder.empty(); folder = parent_folder(folder)) {
        if (platform::free_disk_space(folder, free_bytes)) return true;
    }
    return false;
}
}  // namespace

std::string disk_space_shortfall(const std::string& lead, const std::string& path,
                                 std::uint64_t needed) {
    std::uint64_t free_bytes = 0;
    if (!free_space_below(path, free_bytes) || needed <= free_bytes) return {};
    const std::uint64_t needed_mb = needed / megabyte + (needed % megabyte != 0);
    return lead + "\n\nNeeded: " + std::to_string(needed_mb) +
           " MB\nFree: " + std::to_string(free_bytes / megabyte) + " MB";
}
