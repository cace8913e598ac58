#pragma once
// Stand-ins for every step the install sequence calls, linked in place of the
// real window, download, extraction and records. Each follows the script and
// writes what it was asked into the journal.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/installed_file.h"

struct StepScript {
    bool window_created = true;
    bool start_pressed = true;
    // Typed and refused, one per press of Install, before typed_folder.
    std::vector<std::string> refused_folders;
    std::string typed_folder;
    bool download_succeeds = true;
    bool download_writes_package = true;
    std::string download_message;
    // The extraction ran behind the download (and failed there, unless
    // extraction_succeeds); nothing is extracted from the file then.
    bool extracted_behind = false;
    bool extraction_succeeds = true;
    std::string extraction_message;
    std::vector<InstalledFile> extracted;
    bool cancel_during_extraction = false;
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
    std::uint64_t extract_extra_bytes = 0;
    std::vector<std::string> record_folders;
    size_t manifest_entries = 0;
};

// What the stand-in download writes into the package it is handed.
inline constexpr char package_bytes[] = "PK package bytes";

extern StepScript script;
extern StepJournal journal;
void reset_steps();
