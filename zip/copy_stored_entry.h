#pragma once
// Copying of one stored (method 0) package entry.
#include <cstdint>
#include <cstdio>
#include <string>

#include "report/step_report.h"
#include "zip/entry_output.h"

// A stored entry that cannot be read or written, its last bytes included.
inline constexpr char stored_copy_failure[] = "Could not extract a stored file.";

// Copies size bytes from package (positioned at the entry's data) to output in
// blocks of 64 KiB, draining the window's queue and honouring Cancel before
// each block after the first (the caller drains before the entry). A size of
// 0 returns true at once. On failure error_message is "Setup was cancelled.",
// stored_copy_failure, or the output's wrong-size message when size runs past
// the entry's stated size.
bool copy_stored_entry(std::FILE* package, EntryOutput& output, std::uint64_t size,
                       StepReport& report, std::string& error_message);
