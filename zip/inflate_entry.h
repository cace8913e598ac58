#pragma once
// Decoding of one deflated (method 8) package entry.
#include <cstddef>
#include <memory>
#include <string>

#include "zip/entry_decoder.h"
#include "zip/entry_output.h"

// Decoded bytes that cannot be written, the last ones included.
inline constexpr char inflate_write_failure[] = "Could not write extracted data.";

// One entry's raw-inflate stream, fed its compressed data block by block as
// it is handed over (from the package file or from the download); the state
// between blocks is kept here.
class InflateDecoder final : public EntryDecoder {
public:
    // Both must outlive the decoder.
    InflateDecoder(EntryOutput& output, const std::string& name);
    ~InflateDecoder() override;
    InflateDecoder(const InflateDecoder&) = delete;
    InflateDecoder& operator=(const InflateDecoder&) = delete;

    // False when zlib could not be set up: "Could not initialize
    // decompression.".
    bool ready(std::string& error_message) const;
    // Decodes the next block of compressed data and writes what it yields.
    // On failure error_message is "Could not decompress zip entry:\n<name>
    // \n\nzlib error: <result>[\n<zlib text>]", inflate_write_failure, or the
    // output's wrong-size message.
    bool take(const unsigned char* bytes, std::size_t size, std::string& error_message) override;
    // True once the deflate stream is complete; bytes after its end are
    // ignored and need not be handed over.
    bool ended() const override;
    // Once every compressed byte has been handed over: false with "Could not
    // finish decompressing zip entry:\n<name>\n\nThe compressed data ended
    // unexpectedly." unless the stream ended.
    bool finish(std::string& error_message) const override;
    const char* read_failure() const override { return "Could not read compressed data."; }

    // zlib's stream and the output buffer (inflate_entry.cpp).
    struct State;

private:
    std::unique_ptr<State> state_;
    EntryOutput& output_;
    const std::string& name_;
};
