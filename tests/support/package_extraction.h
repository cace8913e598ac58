#pragma once
// The extraction started from paths, as the tests and the benchmark start it;
// the setup itself hands the extraction the open package and install folder.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "platform/platform.h"
#include "records/manifest_log.h"
#include "report/installed_file.h"
#include "report/step_report.h"
#include "zip/zip_entry.h"

namespace test_support {

// An install folder known by its path, opened (made and checked) when the
// first entry needs it. Its list of installed files is counted for the free
// space, as the setup's is, but written nowhere.
struct FolderByPath {
    explicit FolderByPath(const std::string& path) {
        folder.path = path;
        folder.ledger = &log;
    }
    platform::File no_list;
    ManifestLog log{no_list};
    InstallFolder folder;
};

}  // namespace test_support

// Installs the package at package_path into install_folder as the setup's
// extract_package does from the open package; "Could not open the downloaded
// package." when it cannot be opened.
bool extract_package(const std::string& package_path, const std::string& install_folder,
                     StepReport& report, std::string& error_message,
                     std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes = 0);

// Reads the directory of package (package_size bytes; only its tail is read)
// and checks it as the delivery does before the body arrives. On false,
// error_message is the extraction's message.
bool read_checked_directory(std::FILE* package, std::uint64_t package_size,
                            test_support::FolderByPath& install_folder, std::uint64_t extra_bytes,
                            std::vector<ZipEntry>& entries, std::string& error_message);
