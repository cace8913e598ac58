#pragma once
// Entry names that the package flags as UTF-8 (general-purpose bit 11), as
// python's zipfile, 7-Zip, bsdtar and others write every non-ASCII name.
// The program's paths are ANSI text, so such a name is converted once, right
// after the directory is read, and the path rules, the folders, the files and
// the manifest all see the converted name.
#include <string>
#include <vector>

#include "zip/zip_entry.h"

// Converts every flagged name to the system's ANSI code page, character by
// character and never by best fit; unflagged names keep their bytes. False,
// with error_message "The package contains a name that cannot be stored on
// this system: " and the name with '?' for each character that is not valid
// UTF-8 or has no exact form in the code page, at the first name that cannot
// be converted.
bool convert_utf8_names(std::vector<ZipEntry>& entries, std::string& error_message);
