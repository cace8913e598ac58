#pragma once
#include <string>

#include "ui/setup_window.h"

// Fetches package_url into package_path, moving the progress bar from 0 to 50.
// True when the whole body is in the file; false with error_message set.
bool download_package(const std::string& package_url, const std::string& package_path,
                      SetupWindow& window, std::string& error_message);
