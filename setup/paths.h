#pragma once
// The fixed locations of an install and the path operations the whole
// program shares. Paths are narrow ANSI text; every separator produced here
// is a single backslash.
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

// Joins a folder and a name. An empty side, or a name that is itself rooted
// or carries a drive, wins unchanged; nothing else is normalised.
std::string join_path(const std::string& folder, const std::string& name);

// Creates every folder of the chain, outermost first, including those that
// exist already. False when a creation fails for any reason other than the
// name being taken; folders made before that stay.
bool create_directory_tree(const std::string& path);
