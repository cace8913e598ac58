#pragma once
// Whether what is about to be written fits the volume it goes to, asked
// before the first byte is written, so that a full disk never leaves half an
// install (or half a package) behind.
#include <cstdint>
#include <string>

// Empty when needed bytes fit the free space of the volume that path would
// be on (asked at the deepest folder of path that exists), and also when the
// system does not say. Otherwise lead, then "\n\nNeeded: N MB\nFree: M MB",
// with MB as 1,048,576 bytes, Needed rounded up and Free down.
std::string disk_space_shortfall(const std::string& lead, const std::string& path,
                                 std::uint64_t needed);
