#include "records/system_paths.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

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

namespace {
// The path made full, in UTF-16 (so that a separator is never the second
// byte of a double-byte character), without a trailing separator unless it is
// a root. Empty when the system cannot make it full.
std::wstring full_wide_path(const std::string& path) {
    if (path.empty()) return {};
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    std::vector<wchar_t> wide(length + 1, L'\0');
    const int count = MultiByteToWideChar(CP_ACP, 0, full, static_cast<int>(length), wide.data(),
                                          static_cast<int>(wide.size()));
    std::wstring result(wide.data(), count > 0 ? static_cast<size_t>(count) : 0);
    while (result.size() > 3 && result.back() == L'\\') result.pop_back();
    return result;
}

bool same_text_ignoring_case(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
}  // namespace

bool same_path(const std::string& a, const std::string& b) {
    const std::wstring full_a = full_wide_path(a);
    return !full_a.empty() && same_text_ignoring_case(full_a, full_wide_path(b));
}

bool lies_inside(const std::string& path, const std::string& folder) {
    const std::wstring full_path = full_wide_path(path);
    std::wstring full_folder = full_wide_path(folder);
    if (full_path.empty() || full_folder.empty()) return false;
    if (full_folder.back() != L'\\') full_folder += L'\\';
    return full_path.size() > full_folder.size() &&
           same_text_ignoring_case(full_path.substr(0, full_folder.size()), full_folder);
}
