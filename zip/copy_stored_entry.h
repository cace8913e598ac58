#pragma once
// Copying of one stored (method 0) package entry.
#include <cstdint>
#include <cstdio>
#include <string>

#include "report/step_report.h"
#include "zip/entry_output.h"

// A stored entry that cannot be read or written, its last bytes included.
inline constexpr char stored_copy_failure[] = "Could not extract a stored file.";

// Writes a stored entry's data as it is handed over, block by block, so the
// package file and a download in progress feed it alike.
class StoredCopy {
public:
    explicit StoredCopy(EntryOutput& output) : output_(output) {}
    // The next block of the entry's data. On failure error_message is
    // stored_copy_failure or the output's wrong-size message.
    bool take(const unsigned char* bytes, std::size_t size, std::string& error_message);

private:
    EntryOutput& output_;
};

// Copies size bytes from package (positioned at the entry's data) to output in
// blocks of 64 KiB, draining the window's queue and honouring Cancel before
// each block after the first (the caller drains before the entry). A size of
// 0 returns true at once. On failure error_message is "Setup was cancelled.",
// stored_copy_failure, or the output's wrong-size message when size runs past
// the entry's stated size.
bool copy_stored_entry(std::FILE* package, EntryOutput& output, std::uint64_t size,
                       StepReport& report, std::string& error_message);
