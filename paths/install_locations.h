#pragma once
// The fixed names of an install: the package's, the records', and the
// folder proposed to the user.
#include <string>

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
