#pragma once
// Stand-ins for every step the install sequence calls, linked in place of the
// real window, download, extraction and records. Each follows the script and
// writes what it was asked into the journal.
#include <cstdint>
#include <string>
#include <vector>

#include "report/installed_file.h"

struct StepScript {
    // The install folder's manifest before the run; none when empty.
    std::vector<std::string> earlier_manifest;
    bool window_created = true;
    bool start_pressed = true;
    // Typed and refused, one per press of Install, before typed_folder.
    std::vector<std::string> refused_folders;
    std::string typed_folder;
    // Made as a plain file when the installing page opens: a name taken
    // after the ready page checked the folder.
    std::string file_made_on_install;
    bool download_succeeds = true;
    bool download_writes_package = true;
    std::string download_message;
    // The extraction ran behind the download (and failed there, unless
    // extraction_succeeds); nothing is extracted from the file then.
    bool extracted_behind = false;
    bool extraction_succeeds = true;
    std::string extraction_message;
    std::vector<InstalledFile> extracted;
    // Written behind the download before it fell back to the file (each file
    // one entry), which then adds extracted.
    std::vector<InstalledFile> extracted_behind_before_fallback;
    bool cancel_during_extraction = false;
    // False: something holds a record's name that cannot be replaced.
    bool records_taken = true;
    bool uninstaller_fails = false;
    bool manifest_fails = false;
    std::uint64_t uninstaller_bytes = 0;
};

struct FinalBox {
    std::string message;
    bool success;
};

struct StepJournal {
    std::vector<std::string> calls;
    std::vector<FinalBox> boxes;
    std::vector<std::string> refusals;
    std::string download_url;
    bool download_had_file = false;
    // What the extraction read from the file the download was handed.
    std::string extracted_package_bytes;
    std::string extract_install_folder;
    bool extract_folder_was_open = false;
    std::uint64_t extract_extra_bytes = 0;
    std::size_t extract_entries_done = 0;
    std::vector<std::string> record_folders;
    std::vector<InstalledFile> manifest;
    std::vector<std::string> taken_earlier_lines;
    bool read_manifest_through_handle = false;
};

// What the stand-in download writes into the package it is handed.
inline constexpr char package_bytes[] = "PK package bytes";

extern StepScript script;
extern StepJournal journal;
void reset_steps();
