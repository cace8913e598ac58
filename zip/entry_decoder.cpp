#include "zip/entry_decoder.h"

#include <algorithm>
#include <vector>

#include "zip/inflate_entry.h"
#include "zip/zip_records.h"

bool StoredCopy::take(const unsigned char* bytes, std::size_t size, std::string& error_message) {
    return output_.write(bytes, size, stored_copy_failure, error_message);
}

std::unique_ptr<EntryDecoder> make_entry_decoder(const ZipEntry& entry, EntryOutput& output,
                                                 std::string& error_message) {
    if (entry.method == zip_record::method::stored) return std::make_unique<StoredCopy>(output);
    if (entry.method != zip_record::method::deflated) {
        error_message = "The package uses an unsupported zip compression method.\n\nEntry: " +
                        entry.name + "\nMethod: " + std::to_string(entry.method);
        return nullptr;
    }
    auto inflater = std::make_unique<InflateDecoder>(output, entry.name);
    if (!inflater->ready(error_message)) return nullptr;
    return inflater;
}

bool decode_entry_data(std::FILE* package, EntryDecoder& decoder, std::uint64_t size,
                       StepReport& report, std::string& error_message) {
    std::vector<unsigned char> buffer(entry_block_size);
    for (std::uint64_t remaining = size; remaining > 0 && !decoder.ended();) {
        // The entry's own start has just drained the queue: blocks after the
        // first drain before they are read.
        if (remaining != size) {
            report.process_pending_messages();
            if (cancelled(report, error_message)) return false;
        }
        const std::size_t block =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, entry_block_size));
        if (std::fread(buffer.data(), 1, block, package) != block) {
            error_message = decoder.read_failure();
            return false;
        }
        if (!decoder.take(buffer.data(), block, error_message)) return false;
        remaining -= block;
    }
    return decoder.finish(error_message);
}
