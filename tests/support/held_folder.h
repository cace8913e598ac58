#pragma once
// An install folder as the install holds it, and its list of installed
// files written and read the install's own way, for tests that start from a
// folder's path.
#include <string>
#include <vector>

#include "paths/install_folder.h"

namespace test_support {

// Open by handle, or not at all when path cannot be opened.
InstallFolder opened(const std::string& path);

// The list taken and written through the folder's handle, as an install
// writes it; false when either fails.
bool write_manifest(const std::string& folder, const std::vector<std::string>& files);

// The list read through the folder's handle; false when it cannot be read.
bool read_manifest(const std::string& folder, std::vector<std::string>& paths);

#ifdef _WIN32
// The uninstaller as an install writes it: taken with the records, then
// closed, or dropped again as a failed run drops it. True when it is whole.
bool install_uninstaller(const std::string& folder);
#endif

}  // namespace test_support
