#include "zip/extract_package.h"

bool extract_package(const std::string&, const std::string&, SetupWindow&,
                     std::string& error_message, std::vector<InstalledFile>&) {
    error_message = "This build cannot extract packages yet.";
    return false;
}
