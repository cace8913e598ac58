#include "zip/central_directory.h"

#include <algorithm>

#include "platform/platform.h"
#include "zip/little_endian.h"
#include "zip/utf8_names.h"
#include "zip/zip64_extra_field.h"
#include "zip/zip_records.h"

namespace {

constexpr std::uint64_t search_window = 66000;

// Index of the end record in the tail, searching from tail - 22 down to 0
// so the occurrence nearest the end of the file wins; false when none.
bool find_end_record(const std::vector<unsigned char>& tail, std::size_t& hit) {
    namespace eocd = zip_record::end_of_directory;
    if (tail.size() < eocd::size) return false;
    for (std::size_t position = tail.size() - eocd::size + 1; position-- > 0;) {
        if (read_le32(tail.data(), position) == eocd::signature) {
            hit = position;
            return true;
        }
    }
    return false;
}

// True when exactly count headers fill the directory_size bytes from
// directory_offset, skipping names, extra fields and comments.
bool holds_exactly(PackageBytes& package, std::uint64_t directory_offset,
                   std::uint64_t directory_size, std::uint64_t count) {
    namespace header = zip_record::directory_header;
    std::vector<unsigned char> skipped;
    std::uint64_t used = 0;
    for (std::uint64_t index = 0; index < count; ++index) {
        unsigned char fixed[header::size] = {};
        if (directory_size - used < header::size ||
            !package.read_at(directory_offset + used, fixed, header::size) ||
            read_le32(fixed, 0) != header::signature) {
            return false;
        }
        const std::size_t rest = std::size_t{read_le16(fixed, header::name_length)} +
                                 read_le16(fixed, header::extra_length) +
                                 read_le16(fixed, header::comment_length);
        used += header::size;
        if (directory_size - used < rest) return false;
        skipped.resize(rest);
        if (!package.read_at(directory_offset + used, skipped.data(), rest)) return false;
        used += rest;
    }
    return used == directory_size;
}

// Replaces the directory location by the one in the Zip64 end record that the
// locator right before the classic end record (at end_record_position) names.
// Without a locator, a count of 0xFFFF with a classic offset may be a plain
// directory of exactly 65,535 entries (as python's zipfile writes one): it
// stands when that many headers fill the size the end record states.
bool read_zip64_location(PackageBytes& package, std::uint64_t end_record_position,
                         std::uint64_t directory_size, std::uint64_t& directory_offset,
                         std::uint64_t& entry_count, std::string& error_message) {
    namespace locator = zip_record::zip64_locator;
    namespace end64 = zip_record::zip64_end_of_directory;
    unsigned char locator_bytes[locator::size] = {};
    if (end_record_position < locator::size ||
        !package.read_at(end_record_position - locator::size, locator_bytes, locator::size) ||
        read_le32(locator_bytes, 0) != locator::signature) {
        if (directory_offset != zip_record::saturated32 &&
            holds_exactly(package, directory_offset, directory_size, entry_count)) {
            return true;
        }
        error_message = "Zip64 package is missing its locator.";
        return false;
    }
    unsigned char record[end64::size] = {};
    const std::uint64_t record_offset = read_le64(locator_bytes, locator::end_record_offset);
    if (!package.read_at(record_offset, record, end64::size) ||
        read_le32(record, 0) != end64::signature) {
        error_message = "Zip64 package has an invalid directory.";
        return false;
    }
    entry_count = read_le64(record, end64::entry_count);
    directory_offset = read_le64(record, end64::directory_offset);
    return true;
}

}  // namespace

bool FilePackageBytes::read_at(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset != position_ && !platform::seek_to(file_, offset)) {
        position_ = UINT64_MAX;
        return false;
    }
    position_ = offset;
    if (count == 0) return true;
    const std::size_t got = std::fread(buffer, 1, count, file_);
    position_ = got == count ? offset + count : UINT64_MAX;
    return got == count;
}

bool HeldPackageBytes::read_at(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset < start_ || offset - start_ > bytes_.size() ||
        bytes_.size() - (offset - start_) < count) {
        return false;
    }
    if (count > 0) bytes_.copy(static_cast<char*>(buffer), count, offset - start_);
    return true;
}

bool locate_central_directory(PackageBytes& package, std::uint64_t package_size,
                              std::uint64_t& directory_offset, std::uint64_t& entry_count,
                              std::string& error_message) {
    namespace eocd = zip_record::end_of_directory;
    const std::uint64_t tail_size = std::min(package_size, search_window);
    const std::uint64_t tail_start = package_size - tail_size;
    std::vector<unsigned char> tail(static_cast<std::size_t>(tail_size), 0);
    if (!package.read_at(tail_start, tail.data(), tail.size())) {
        error_message = "Could not read zip directory.";
        return false;
    }
    std::size_t hit = 0;
    if (!find_end_record(tail, hit)) {
        error_message = "The downloaded file is not a valid zip package.";
        return false;
    }
    entry_count = read_le16(tail.data(), hit + eocd::entry_count);
    directory_offset = read_le32(tail.data(), hit + eocd::directory_offset);
    if (entry_count != zip_record::saturated16 && directory_offset != zip_record::saturated32) {
        return true;
    }
    const std::uint64_t directory_size = read_le32(tail.data(), hit + eocd::directory_size);
    return read_zip64_location(package, tail_start + hit, directory_size, directory_offset,
                               entry_count, error_message);
}

namespace {

// Reads the header at position into entry; header_length receives the full
// length of the header with its name, extra field and comment.
bool read_directory_header(PackageBytes& package, std::uint64_t position, ZipEntry& entry,
                           std::uint64_t& header_length, std::string& error_message) {
    namespace header = zip_record::directory_header;
    unsigned char fixed[header::size] = {};
    if (!package.read_at(position, fixed, header::size) ||
        read_le32(fixed, 0) != header::signature) {
        error_message = "The zip directory is corrupt.";
        return false;
    }
    entry.flags = read_le16(fixed, header::flags);
    entry.method = read_le16(fixed, header::method);
    entry.crc32 = read_le32(fixed, header::crc32);
    entry.compressed_size = read_le32(fixed, header::compressed_size);
    entry.uncompressed_size = read_le32(fixed, header::uncompressed_size);
    entry.local_header_offset = read_le32(fixed, header::local_header_offset);
    const std::uint16_t name_length = read_le16(fixed, header::name_length);
    const std::uint16_t extra_length = read_le16(fixed, header::extra_length);
    const std::uint16_t comment_length = read_le16(fixed, header::comment_length);

    std::string name(name_length, '\0');
    std::vector<unsigned char> extra(extra_length);
    if (!package.read_at(position + header::size, &name[0], name_length) ||
        !package.read_at(position + header::size + name_length, extra.data(), extra_length)) {
        error_message = "Could not read a zip entry.";
        return false;
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    entry.name = std::move(name);

    const bool saturated = entry.compressed_size == zip_record::saturated32 ||
                           entry.uncompressed_size == zip_record::saturated32 ||
                           entry.local_header_offset == zip_record::saturated32;
    if (saturated && extra_length >= 4) widen_from_zip64_extra(extra.data(), extra.size(), entry);

    header_length = header::size + name_length + extra_length + comment_length;
    return true;
}

}  // namespace

bool read_central_directory(PackageBytes& package, std::uint64_t directory_offset,
                            std::uint64_t entry_count, std::vector<ZipEntry>& entries,
                            std::string& error_message) {
    // The count comes from the package: the list grows with the headers that
    // are really there, never by reserving what the count claims.
    std::uint64_t position = directory_offset;
    for (std::uint64_t index = 0; index < entry_count; ++index) {
        ZipEntry entry;
        std::uint64_t header_length = 0;
        if (!read_directory_header(package, position, entry, header_length, error_message)) {
            return false;
        }
        entries.push_back(std::move(entry));
        position += header_length;
    }
    return true;
}

bool read_package_directory(PackageBytes& package, std::uint64_t package_size,
                            std::uint64_t& directory_offset, std::vector<ZipEntry>& entries,
                            std::string& error_message) {
    std::uint64_t offset = 0;
    std::uint64_t entry_count = 0;
    if (!locate_central_directory(package, package_size, offset, entry_count, error_message)) {
        return false;
    }
    directory_offset = offset;
    return read_central_directory(package, offset, entry_count, entries, error_message) &&
           convert_utf8_names(entries, error_message);
}
