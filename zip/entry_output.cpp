#include "zip/entry_output.h"

#include "report/phase_clock.h"
#include "zip/crc32.h"

bool EntryOutput::write(const unsigned char* bytes, std::size_t count, const char* write_failure,
                        std::string& error_message) {
    const bool fits = count <= room();
    const std::size_t allowed = fits ? count : static_cast<std::size_t>(room());
    if (allowed > 0) {
        PhaseTimer writing(Phase::writing);
        if (std::fwrite(bytes, 1, allowed, file_) != allowed) {
            error_message = write_failure;
            return false;
        }
        crc_ = update_crc32(crc_, bytes, allowed);
        written_ += allowed;
    }
    if (!fits) error_message = wrong_size_message();
    return fits;
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
