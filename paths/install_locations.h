#pragma once
// The fixed locations of an install: where the package comes from, where it
// is kept while it is extracted, and the folder proposed to the user.
#include <string>

// The studio's package host, fixed when the build is configured.
extern const char* const package_base_url;
inline constexpr char package_file_name[] = "QuellmarkFull.zip";

// "C:\Games\The Annals of Quellmark".
std::string default_install_folder();

// Makes a new folder of this run's own for the package, in the user's
// temporary folder (relative to the current folder when the system reports
// none): "Quellmark-" and 16 hex digits from the system's random source, so
// no other program can know the name beforehand. A name that is taken is
// never used; another is drawn. Empty when no folder could be made.
std::string create_package_folder();

// package_base_url, a "/" if it lacks one, then the package file name.
std::string package_url();
