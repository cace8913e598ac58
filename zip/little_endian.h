#pragma once
// Every integer in a ZIP package is little-endian and may sit at any byte
// offset; these read one from a byte buffer without regard to the host's
// byte order or alignment. The caller guarantees the bytes are there.
#include <cstddef>
#include <cstdint>

inline std::uint16_t read_le16(const unsigned char* bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::uint32_t read_le32(const unsigned char* bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(read_le16(bytes, offset)) |
           (static_cast<std::uint32_t>(read_le16(bytes, offset + 2)) << 16);
}

inline std::uint64_t read_le64(const unsigned char* bytes, std::size_t offset) {
    return static_cast<std::uint64_t>(read_le32(bytes, offset)) |
           (static_cast<std::uint64_t>(read_le32(bytes, offset + 4)) << 32);
}
