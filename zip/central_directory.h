#pragma once
// Reading a package's central directory: where it is, and its headers in
// order. Nothing here reads entry data, checks a name or closes the package.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zip/zip_entry.h"

// Where the directory is read from: the package file, or the package's tail
// held in memory before the body has arrived.
class PackageBytes {
public:
    // Exactly count bytes from offset (from the package's start); false when
    // they are not all there.
    virtual bool read_at(std::uint64_t offset, void* buffer, std::size_t count) = 0;

protected:
    ~PackageBytes() = default;
};

// The package file, read where asked; a read that goes on where the last one
// ended costs no seek, so walking the headers in order reads sequentially.
class FilePackageBytes final : public PackageBytes {
public:
    explicit FilePackageBytes(std::FILE* file) : file_(file) {}
    bool read_at(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    std::FILE* file_;
    std::uint64_t position_ = UINT64_MAX;
};

// The bytes of a package from start on, held in memory; nothing before start.
class HeldPackageBytes final : public PackageBytes {
public:
    HeldPackageBytes(std::uint64_t start, const std::string& bytes)
        : start_(start), bytes_(bytes) {}
    bool read_at(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    std::uint64_t start_;
    const std::string& bytes_;
};

// Finds the end of central directory record within the last 66000 bytes
// (following the Zip64 locator and end record when the classic record is
// saturated) and yields the directory offset and entry count. On failure
// error_message is one of: "Could not read zip directory.", "The downloaded
// file is not a valid zip package.", "Zip64 package is missing its
// locator.", "Zip64 package has an invalid directory.".
bool locate_central_directory(PackageBytes& package, std::uint64_t package_size,
                              std::uint64_t& directory_offset, std::uint64_t& entry_count,
                              std::string& error_message);

// Walks entry_count headers from directory_offset, appending one ZipEntry per
// header. On failure error_message is "The zip directory is corrupt." or
// "Could not read a zip entry."; entries already appended stay.
bool read_central_directory(PackageBytes& package, std::uint64_t directory_offset,
                            std::uint64_t entry_count, std::vector<ZipEntry>& entries,
                            std::string& error_message);

// The two above, then convert_utf8_names: the package's entries in directory
// order, as the extraction sees them. On failure error_message is the first
// failing step's; directory_offset is where the directory starts once the end
// records have named it, and is untouched until then.
bool read_package_directory(PackageBytes& package, std::uint64_t package_size,
                            std::uint64_t& directory_offset, std::vector<ZipEntry>& entries,
                            std::string& error_message);
