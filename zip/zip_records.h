#pragma once
// Signatures, fixed sizes and field offsets of the ZIP records this program
// reads. Fields are always read through the little-endian readers at these
// offsets, never by laying a struct over the bytes.
#include <cstddef>
#include <cstdint>

namespace zip_record {

constexpr std::uint32_t saturated32 = 0xFFFFFFFFu;
constexpr std::uint16_t saturated16 = 0xFFFFu;

// General-purpose flags of a directory header.
namespace flag {
constexpr std::uint16_t encrypted = 0x0001;
// The name is UTF-8, not the code page of the system that wrote it.
constexpr std::uint16_t utf8_name = 0x0800;
}  // namespace flag

// The compression methods this program extracts.
namespace method {
constexpr std::uint16_t stored = 0;
constexpr std::uint16_t deflated = 8;
}  // namespace method

namespace end_of_directory {
constexpr std::uint32_t signature = 0x06054B50u;
constexpr std::size_t size = 22;
constexpr std::size_t entry_count = 10;
constexpr std::size_t directory_size = 12;
constexpr std::size_t directory_offset = 16;
}  // namespace end_of_directory

namespace zip64_locator {
constexpr std::uint32_t signature = 0x07064B50u;
constexpr std::size_t size = 20;
constexpr std::size_t end_record_offset = 8;
}  // namespace zip64_locator

namespace zip64_end_of_directory {
constexpr std::uint32_t signature = 0x06064B50u;
constexpr std::size_t size = 56;
constexpr std::size_t entry_count = 32;
constexpr std::size_t directory_offset = 48;
}  // namespace zip64_end_of_directory

namespace directory_header {
constexpr std::uint32_t signature = 0x02014B50u;
constexpr std::size_t size = 46;
constexpr std::size_t flags = 8;
constexpr std::size_t method = 10;
constexpr std::size_t crc32 = 16;
constexpr std::size_t compressed_size = 20;
constexpr std::size_t uncompressed_size = 24;
constexpr std::size_t name_length = 28;
constexpr std::size_t extra_length = 30;
constexpr std::size_t comment_length = 32;
constexpr std::size_t local_header_offset = 42;
}  // namespace directory_header

namespace local_header {
constexpr std::uint32_t signature = 0x04034B50u;
constexpr std::size_t size = 30;
constexpr std::size_t name_length = 26;
constexpr std::size_t extra_length = 28;
}  // namespace local_header

namespace extra_field {
constexpr std::uint16_t zip64_tag = 0x0001;
constexpr std::size_t header_size = 4;
constexpr std::size_t tag = 0;
constexpr std::size_t data_size = 2;
}  // namespace extra_field

}  // namespace zip_record
