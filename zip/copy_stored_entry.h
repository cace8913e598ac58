#pragma once
// Copying of one stored (method 0) package entry.
#include <cstdint>
#include <cstdio>
#include <string>

#include "ui/setup_window.h"

// Copies size bytes from package (positioned at the entry's data) to output in
// blocks of 64 KiB, draining the window's queue and honouring Cancel before
// each block after the first (the caller drains before the entry). A size of 0 returns true at once. On failure error_message is
// "Setup was cancelled." or "Could not extract a stored file.".
bool copy_stored_entry(std::FILE* package, std::FILE* output, std::uint64_t size,
                       SetupWindow& window, std::string& error_message);
