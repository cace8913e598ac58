#pragma once
// A small ZIP writer for tests: builds packages in memory, entry by entry,
// with the knobs needed to reach every branch of the reader (Zip64 records,
// saturated values, odd extra fields, comments, flags and methods) and with
// the offsets of each record, so a test can corrupt exactly one byte.
#include <cstdint>
#include <string>
#include <vector>

namespace zip_test {

// Raw deflate (no zlib header), as ZIP method 8 stores it.
std::string deflate_raw(const std::string& data, int level = 6);

// Raw deflate of data ended by a full flush instead of a final block: a
// byte-aligned prefix that further blocks may follow.
std::string deflate_raw_flushed(const std::string& data);

// Raw deflate of size zero bytes, made piece by piece: a bomb's payload.
std::string deflate_zeros(std::uint64_t size);

// Little-endian field writers.
void put16(std::string& out, std::uint32_t value);
void put32(std::string& out, std::uint32_t value);
void put64(std::string& out, std::uint64_t value);
void poke32(std::string& bytes, std::size_t offset, std::uint32_t value);

struct Entry {
    std::string name;
    std::string data;              // what the extracted file must hold
    std::uint16_t method = 0;      // 8 deflates data; any other value stores it as is
    std::uint16_t flags = 0;
    bool use_payload = false;      // write payload instead of the encoded data
    std::string payload;
    // Zip64: the three 32-bit header values become 0xFFFFFFFF; with
    // zip64_extra the real values follow in a Zip64 extra field.
    bool zip64 = false;
    bool zip64_extra = true;
    std::string extra_before;      // extra fields ahead of the Zip64 one
    std::string comment;
    std::string local_extra;       // the local header's own extra field
    // When set, the header's compressed size (or the Zip64 one) says this.
    bool override_compressed_size = false;
    std::uint64_t compressed_size = 0;
    // When set, the headers state this size or CRC-32 instead of the data's.
    bool override_uncompressed_size = false;
    std::uint64_t uncompressed_size = 0;
    bool override_crc = false;
    std::uint32_t crc = 0;
    // Flag bit 3: zeros in the local header, the values in a data descriptor
    // after the data (and in the directory).
    bool data_descriptor = false;
};

struct Options {
    std::string prefix;            // bytes ahead of the first local header
    std::string comment;           // end record comment
    bool zip64_end = false;        // write the Zip64 end record and locator
    bool saturate_count = true;    // with zip64_end: classic count 0xFFFF
    bool saturate_offset = true;   // with zip64_end: classic offset 0xFFFFFFFF
    bool write_locator = true;
    bool override_count = false;   // end record (both kinds) entry count
    std::uint64_t count = 0;
};

struct Layout {
    std::vector<std::uint64_t> local_headers;
    std::vector<std::uint64_t> directory_headers;
    std::uint64_t directory = 0;
    std::uint64_t zip64_end = 0;
    std::uint64_t locator = 0;
    std::uint64_t end_record = 0;
};

std::string build_zip(const std::vector<Entry>& entries, const Options& options = {},
                      Layout* layout = nullptr);

// Convenience builders.
Entry stored(const std::string& name, const std::string& data);
Entry deflated(const std::string& name, const std::string& data);
Entry folder(const std::string& name);

// Deterministic bytes: random-looking, or highly compressible.
std::string noise(std::size_t size, std::uint32_t seed);
std::string repetitive(std::size_t size);

}  // namespace zip_test
