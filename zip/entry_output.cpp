#include "zip/entry_output.h"

#include "zip/crc32.h"

EntryOutput::Result EntryOutput::write(const unsigned char* bytes, std::size_t count) {
    const bool fits = count <= room();
    const std::size_t allowed = fits ? count : static_cast<std::size_t>(room());
    if (allowed > 0) {
        if (std::fwrite(bytes, 1, allowed, file_) != allowed) return Result::write_failed;
        crc_ = update_crc32(crc_, bytes, allowed);
        written_ += allowed;
    }
    return fits ? Result::written : Result::past_stated_size;
}

bool EntryOutput::matches_directory(std::string& error_message) const {
    if (written_ != entry_.uncompressed_size) {
        error_message = wrong_size_message();
        return false;
    }
    if (crc_ != entry_.crc32) {
        error_message =
            "The package is damaged: an entry does not match its checksum.\n\nEntry: " +
            entry_.name;
        return false;
    }
    return true;
}

std::string EntryOutput::wrong_size_message() const {
    return "The package is damaged: an entry is not the size its directory states.\n\nEntry: " +
           entry_.name;
}
