#include "records/system_paths.h"

#include <windows.h>
#include <shlobj.h>

std::string running_program_path() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    // A length that fills the buffer means the path was truncated.
    if (length == 0 || length >= MAX_PATH) return {};
    return std::string(buffer, length);
}

bool common_folder(int csidl, std::string& folder) {
    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
    buffer[MAX_PATH - 1] = '\0';
    folder = buffer;
    return true;
}
