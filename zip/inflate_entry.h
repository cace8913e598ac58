#pragma once
// Decoding of one deflated (method 8) package entry.
#include <cstdint>
#include <cstdio>
#include <string>

#include "ui/setup_window.h"

// Streams compressed_size bytes from package (positioned at the entry's data)
// through raw inflate into output, 64 KiB of input at a time, draining the
// window's queue and honouring Cancel before each input block after the first
// (the caller drains before the entry). True when the
// deflate stream ended; bytes after its end are ignored. On failure
// error_message is one of "Could not initialize decompression.", "Setup was
// cancelled.", "Could not read compressed data.", "Could not decompress zip
// entry:\n<name>\n\nzlib error: <result>[\n<zlib text>]", "Could not write
// extracted data." or "Could not finish decompressing zip entry:\n<name>\n\n
// The compressed data ended unexpectedly.". The output stays open.
bool inflate_entry(std::FILE* package, std::FILE* output, std::uint64_t compressed_size,
                   SetupWindow& window, const std::string& name, std::string& error_message);
