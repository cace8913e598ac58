#pragma once
// What the records ask the system for: the running program's own file, the
// all-users shell folders, and whether two paths name the same place.
#include <string>

// Full path of the running program; empty when the system does not report it
// or it does not fit 260 bytes (a cut-off path names some other file).
std::string running_program_path();

// The all-users shell folder with the given CSIDL, asked with no owner, no
// token and flags 0. False unless the system answers exactly S_OK.
bool common_folder(int csidl, std::string& folder);

// True when both paths name the same place once made full by the system
// (separators, "." and ".." steps, a trailing separator), compared without
// regard to case.
bool same_path(const std::string& a, const std::string& b);

// True when path, made full, lies somewhere inside folder.
bool lies_inside(const std::string& path, const std::string& folder);
