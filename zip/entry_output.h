#pragma once
// Where the bytes of one file entry go on their way to disk: the open target,
// a running CRC-32 of everything written, and the entry's stated size as a
// hard cap. A damaged or hostile entry (a deflate bomb) can never put more on
// disk than its directory header announced.
#include <cstdint>
#include <cstdio>
#include <string>

#include "zip/zip_entry.h"

class EntryOutput {
public:
    // Both must outlive the output.
    EntryOutput(std::FILE* file, const ZipEntry& entry) : file_(file), entry_(entry) {}

    // Writes count bytes. Of bytes that would pass the stated size, only the
    // part that fits is written, and error_message is the wrong-size message:
    // "The package is damaged: an entry is not the size its directory
    // states.\n\nEntry: " and the entry's name. Bytes that do not reach the
    // file leave write_failure.
    bool write(const unsigned char* bytes, std::size_t count, const char* write_failure,
               std::string& error_message);

    // How many more bytes the stated size allows.
    std::uint64_t room() const { return entry_.uncompressed_size - written_; }

    // Once the file is complete and closed: its size, then its CRC-32,
    // against the directory's values; on a mismatch error_message says which.
    bool matches_directory(std::string& error_message) const;

private:
    std::string wrong_size_message() const;

    std::FILE* file_;
    const ZipEntry& entry_;
    std::uint64_t written_ = 0;
    std::uint32_t crc_ = 0;
};
