#pragma once
#include <string>

// One extracted file: the package entry's name relative to the install folder,
// with backslash separators, no leading separator and no drive.
using InstalledFile = std::string;
