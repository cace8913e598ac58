#pragma once
// The product's download into a package named by its path, made first as
// the install makes its package: the file is closed afterwards, and removed
// after a cancel or a failure that left it empty, as the install removes its
// package then.
#include <string>

#include "download/download_package.h"

bool download_package(const std::string& package_url, const std::string& package_path,
                      PackageDirectory& directory, StepReport& report, std::string& error_message);

// The same with a directory that reads nothing: the package arrives whole,
// and no one is handed its blocks.
bool download_package(const std::string& package_url, const std::string& package_path,
                      StepReport& report, std::string& error_message);
