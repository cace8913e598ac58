#pragma once
// One central directory file header, as the extraction needs it.
#include <cstdint>
#include <string>

struct ZipEntry {
    // The stored name bytes with every '/' turned into '\'; a trailing '\'
    // marks a folder entry. No code-page conversion.
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    // Widened from the Zip64 extra field when the 32-bit value is saturated.
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::uint64_t local_header_offset = 0;
};
