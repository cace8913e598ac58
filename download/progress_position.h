#pragma once
#include <cstdint>

// Where the bar stands after received_total bytes of a body announced as
// content_length bytes (which must not be 0): the download's half of the bar,
// 0 to 50, or more when the body outgrows its announcement. The product is
// formed in 64 bits: in 32 it would overflow past 85,899,345 bytes.
inline std::uint32_t download_progress_position(std::uint64_t received_total,
                                                std::uint64_t content_length) {
    return static_cast<std::uint32_t>(received_total * 50u / content_length);
}
