#include "zip/copy_stored_entry.h"

#include <algorithm>
#include <vector>

#include "zip/entry_blocks.h"

bool StoredCopy::take(const unsigned char* bytes, std::size_t size, std::string& error_message) {
    switch (output_.write(bytes, size)) {
        case EntryOutput::Result::written: return true;
        case EntryOutput::Result::write_failed: error_message = stored_copy_failure; return false;
        case EntryOutput::Result::past_stated_size:
            error_message = output_.wrong_size_message();
            return false;
    }
    return false;
}

bool copy_stored_entry(std::FILE* package, EntryOutput& output, std::uint64_t size,
                       StepReport& report, std::string& error_message) {
    if (size == 0) return true;
    std::vector<unsigned char> buffer(entry_block_size);
    StoredCopy copy(output);
    for (std::uint64_t remaining = size; remaining > 0;) {
        // The entry's own start has just drained the queue: blocks after the
        // first drain before they are copied.
        if (remaining != size) {
            report.process_pending_messages();
            if (report.cancel_requested()) {
                error_message = cancelled_message;
                return false;
            }
        }
        const std::size_t block =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, entry_block_size));
        if (std::fread(buffer.data(), 1, block, package) != block) {
            error_message = stored_copy_failure;
            return false;
        }
        if (!copy.take(buffer.data(), block, error_message)) return false;
        remaining -= block;
    }
    return true;
}
