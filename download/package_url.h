#pragma once
// Where the package comes from.
#include <string>

// The studio's package host, fixed when the build is configured.
extern const char* const package_base_url;

// package_base_url, a "/" if it lacks one, then the package file name.
std::string package_url();
