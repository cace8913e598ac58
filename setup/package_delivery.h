#pragma once
// The download with the extraction behind it: the package's directory is
// read and checked first, then each entry is written while its bytes arrive.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "report/step_report.h"
#include "report/installed_file.h"

enum class Delivery {
    extracted,          // every entry is written: installed_files lists them
    downloaded,         // the whole package is in the file: extract the rest from there
    download_failed,    // error_message is the download's
    unverified,         // the package is not what its publisher signed; the part received stays
    extraction_failed,  // error_message is the extraction's; the part received stays
};

// Fetches package_url into package (named package_path, made by the caller
// and empty) and extracts it into install_folder behind the download where
// it can; the space check counts extra_bytes as extract_package does. When
// downloaded, the first entries_done entries are installed already, their
// files in installed_files, for extract_package to go on from.
Delivery deliver_package(const std::string& package_url, const std::string& package_path,
                         std::FILE* package, InstallFolder& install_folder,
                         std::uint64_t extra_bytes, StepReport& report,
                         std::string& error_message, std::vector<InstalledFile>& installed_files,
                         std::size_t& entries_done);
