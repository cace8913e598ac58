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
    std::string typed_folder;
    bool download_succeeds = true;
    bool download_writes_package = true;
    std::string download_message;
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
    std::string download_url;
    std::string download_path;
    std::string extract_package_path;
    std::string extract_install_folder;
    std::uint64_t extract_extra_bytes = 0;
    std::vector<std::string> record_folders;
    size_t manifest_entries = 0;
};

extern StepScript script;
extern StepJournal journal;
void reset_steps();
