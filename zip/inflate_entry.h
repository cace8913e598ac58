#pragma once
// Decoding of one deflated (method 8) package entry.
#include <cstdint>
#include <cstdio>
#include <string>

#include "report/step_report.h"
#include "zip/entry_output.h"

// Decoded bytes that cannot be written, the last ones included.
inline constexpr char inflate_write_failure[] = "Could not write extracted data.";

// Streams compressed_size bytes from package (positioned at the entry's data)
// through raw inflate into output, 64 KiB of input at a time, draining the
// window's queue and honouring Cancel before each input block after the first
// (the caller drains before the entry). True when the deflate stream ended;
// bytes after its end are ignored. Decoding stops at the first byte past the
// entry's stated size. On failure error_message is one of "Could not
// initialize decompression.", "Setup was cancelled.", "Could not read
// compressed data.", "Could not decompress zip entry:\n<name>\n\nzlib error:
// <result>[\n<zlib text>]", inflate_write_failure, the output's wrong-size
// message, or "Could not finish decompressing zip entry:\n<name>\n\nThe
// compressed data ended unexpectedly.". The output stays open.
bool inflate_entry(std::FILE* package, EntryOutput& output, std::uint64_t compressed_size,
                   StepReport& report, const std::string& name, std::string& error_message);
