#pragma once
// One central directory file header, as the extraction needs it.
#include <cstdint>
#include <string>

struct ZipEntry {
    // The stored name bytes with every '/' turned into '\'; a trailing '\'
    // marks a folder entry. Names flagged UTF-8 are converted to the ANSI
    // code page by convert_utf8_names before extraction looks at them.
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    // The directory's CRC-32 of the uncompressed data. Data descriptors do
    // not matter here: the directory always holds the final values.
    std::uint32_t crc32 = 0;
    // Widened from the Zip64 extra field when the 32-bit value is saturated.
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::uint64_t local_header_offset = 0;
};
