#pragma once
// The two places the records ask the system for: the running program's own
// file and the all-users shell folders.
#include <string>

// Full path of the running program; empty when the system does not report it
// or it does not fit 260 bytes (a cut-off path names some other file).
std::string running_program_path();

// The all-users shell folder with the given CSIDL, asked with no owner, no
// token and flags 0. False unless the system answers exactly S_OK.
bool common_folder(int csidl, std::string& folder);
