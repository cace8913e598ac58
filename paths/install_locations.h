#pragma once
// The fixed locations of an install: where the package comes from, where it
// is kept while it is extracted, and the folder proposed to the user.
#include <string>

// The studio's package host, fixed when the build is configured.
extern const char* const package_base_url;
inline constexpr char package_file_name[] = "QuellmarkFull.zip";

// "C:\Games\The Annals of Quellmark".
std::string default_install_folder();

// The package file in the user's temporary folder; the bare file name when the
// system reports no temporary folder.
std::string temp_package_path();

// package_base_url, a "/" if it lacks one, then the package file name.
std::string package_url();
