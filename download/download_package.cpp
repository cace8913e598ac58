#include "download/download_package.h"

bool download_package(const std::string&, const std::string&, SetupWindow&,
                      std::string& error_message) {
    error_message = "This build cannot download the package yet.";
    return false;
}
