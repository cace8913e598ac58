#pragma once
// What turns one entry's data into its file, block by block, whichever way
// the blocks come: read from the package file, or taken from the download.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "report/step_report.h"
#include "zip/entry_output.h"
#include "zip/zip_entry.h"

// An entry's data goes to its decoder in blocks of this size, counted from
// the data's first byte, whether it is read from the package file or taken
// from the download: a damaged entry then leaves the same bytes on disk
// either way, and Cancel is honoured between the same blocks.
inline constexpr std::size_t entry_block_size = 65536;

// A stored entry that cannot be read or written, its last bytes included.
inline constexpr char stored_copy_failure[] = "Could not extract a stored file.";

class EntryDecoder {
public:
    virtual ~EntryDecoder() = default;
    // The next block of the entry's data. On failure error_message says why,
    // or is the output's wrong-size message.
    virtual bool take(const unsigned char* bytes, std::size_t size,
                      std::string& error_message) = 0;
    // True once the data needs no more bytes; what follows is ignored.
    virtual bool ended() const = 0;
    // Once every byte has been handed over: false, with the message, when the
    // data stopped short of its end.
    virtual bool finish(std::string& error_message) const = 0;
    // The message for data that cannot be read from the package file.
    virtual const char* read_failure() const = 0;
};

// Stored (method 0) data, written as it comes.
class StoredCopy final : public EntryDecoder {
public:
    explicit StoredCopy(EntryOutput& output) : output_(output) {}
    // On failure error_message is stored_copy_failure or the output's
    // wrong-size message.
    bool take(const unsigned char* bytes, std::size_t size, std::string& error_message) override;
    bool ended() const override { return false; }
    bool finish(std::string&) const override { return true; }
    const char* read_failure() const override { return stored_copy_failure; }

private:
    EntryOutput& output_;
};

// The decoder of the entry's method, writing into output; both must outlive
// it. Null with error_message for a method other than stored or deflated
// ("The package uses an unsupported zip compression method.\n\nEntry:
// <name>\nMethod: <method>") or when zlib cannot be set up.
std::unique_ptr<EntryDecoder> make_entry_decoder(const ZipEntry& entry, EntryOutput& output,
                                                 std::string& error_message);

// Feeds size bytes from package (positioned at the entry's data) to decoder
// in blocks of entry_block_size, until they are used up or the decoder needs
// no more, draining the window's queue and honouring Cancel before each block
// after the first (the caller drains before the entry); then finishes it. On
// failure error_message is "Setup was cancelled.", the decoder's read failure
// or its own message.
bool decode_entry_data(std::FILE* package, EntryDecoder& decoder, std::uint64_t size,
                       StepReport& report, std::string& error_message);
