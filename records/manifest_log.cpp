#include "records/manifest_log.h"

#include <cstdio>

#include "report/phase_clock.h"

void ManifestLog::file_to_be_made(const std::string& name) {
    PhaseTimer listing(Phase::listing);
    named_any_ = true;
    if (given_up_ || !list_) return;
    // Flushed line by line: the file is made right after, and a kill then
    // must find its line with the system already.
    if (std::fprintf(list_.get(), "%s\r\n", name.c_str()) < 0 || std::fflush(list_.get()) != 0)
        given_up_ = true;
}
