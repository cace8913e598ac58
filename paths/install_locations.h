#pragma once
// The fixed locations of an install: where the package comes from, where it
// is kept while it is extracted, and the folder proposed to the user.
#include <string>

#include "platform/platform.h"

// The studio's package host, fixed when the build is configured.
extern const char* const package_base_url;
inline constexpr char package_file_name[] = "QuellmarkFull.zip";

// The records an install keeps in the root of its folder. The uninstaller
// trusts both, so nothing else may ever take their names there.
inline constexpr char uninstaller_file_name[] = "QuellmarkUninstall.exe";
inline constexpr char manifest_file_name[] = "installed-files.txt";

// True when the first component of relative_path names one of the records
// as Windows would open it: in any ASCII case, trailing dots and spaces
// dropped.
bool names_a_record(const std::string& relative_path);

// "C:\Games\The Annals of Quellmark".
std::string default_install_folder();

// Makes a new folder of this run's own for the package, in the user's
// temporary folder (the current folder when the system reports none):
// "Quellmark-" and 16 hex digits from the system's random source, so no other
// program can know the name beforehand. A name that is taken is never used;
// another is drawn. folder holds it from its creation, able to delete it;
// path names it as far as the ANSI code page can, for messages. False when
// no folder could be made.
bool create_package_folder(platform::FolderHandle& folder, std::string& path);

// package_base_url, a "/" if it lacks one, then the package file name.
std::string package_url();
