#pragma once
// The two records an install keeps in its folder, taken before the download
// and held, open and nobody else's, until the install writes them: no other
// program can squat their names meanwhile, and what the uninstall entry
// names is always what this run wrote.
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "platform/platform.h"

struct HeldRecords {
    platform::File uninstaller;
    platform::File manifest;
    // The held uninstaller holds every byte of the running program.
    bool uninstaller_copied = false;
};

inline constexpr char unreplaceable_record_message[] =
    "The install folder holds a file that the setup cannot replace: ";

// Takes both names through the install folder's handle, each with its own
// access list. Whatever holds one is replaced when it is a plain file, read-
// only or not; anything else (a folder, a link, a file open elsewhere) makes
// it false, with unreplaceable_record_message and the name's full path. The
// uninstaller copy is written at once and the manifest holds earlier_lines,
// so a run that fails later leaves an earlier install removable; both stay
// open in records.
bool take_records(const InstallFolder& folder, const std::vector<std::string>& earlier_lines,
                  HeldRecords& records, std::string& error_message);

// Ends a run that failed after take_records. Without an earlier install's
// list there, both records go again through their own handles, so a failed
// first install leaves no records; with one, they stay as take_records wrote
// them and the earlier install stays removable.
void drop_records(const InstallFolder& folder, HeldRecords& records, bool earlier_install);
