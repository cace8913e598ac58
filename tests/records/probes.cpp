#include "tests/records/probes.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace records_test {
namespace {
constexpr char session_manager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t pending_value[] = L"PendingFileRenameOperations";

struct OpenKey {
    HKEY key = nullptr;
    OpenKey(HKEY root, const char* path, REGSAM access) {
        if (RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) key = nullptr;
    }
    ~OpenKey() {
        if (key) RegCloseKey(key);
    }
};

std::string shell_folder(int csidl) {
    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer) != S_OK) return {};
    return buffer;
}

std::wstring wide(const std::string& text) {
    std::wstring result(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0],
                                      static_cast<int>(result.size()));
    result.resize(n > 0 ? n - 1 : 0);
    return result;
}

std::string narrow(const std::wstring& text) {
    std::string result(text.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &result[0],
                                      static_cast<int>(result.size()), nullptr, nullptr);
    result.resize(n > 0 ? n - 1 : 0);
    return result;
}

// The value as its strings, split at every NUL of its stored size: a
// deletion is a path followed by an empty string, which a double-NUL reader
// would take for the end.
std::vector<std::wstring> read_pending() {
    std::vector<std::wstring> strings;
    const std::wstring data = pending_operations();
    size_t start = 0;
    while (start < data.size()) {
        const size_t end = data.find(L'\0', start);
        const size_t stop = end == std::wstring::npos ? data.size() : end;
        strings.push_back(data.substr(start, stop - start));
        start = stop + 1;
    }
    return strings;
}

std::string without_nt_prefix(const std::wstring& path) {
    const std::wstring prefix = L"\\??\\";
    if (path.compare(0, prefix.size(), prefix) == 0) return narrow(path.substr(prefix.size()));
    return narrow(path);
}

template <typename Interface>
struct Released {
    Interface* pointer = nullptr;
    ~Released() {
        if (pointer) pointer->Release();
    }
};
}  // namespace

bool key_exists(HKEY root, const char* key) { return OpenKey(root, key, KEY_READ).key != nullptr; }

RegistryValue read_value(HKEY root, const char* key, const char* name) {
    RegistryValue value;
    OpenKey open(root, key, KEY_READ);
    if (!open.key) return value;
    if (RegQueryValueExA(open.key, name, nullptr, &value.type, nullptr, &value.size) !=
        ERROR_SUCCESS) {
        return value;
    }
    value.bytes.assign(value.size, '\0');
    DWORD size = value.size;
    value.found = RegQueryValueExA(open.key, name, nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(&value.bytes[0]), &size) ==
                  ERROR_SUCCESS;
    return value;
}

DWORD value_count(HKEY root, const char* key) {
    OpenKey open(root, key, KEY_READ);
    DWORD count = 0;
    if (open.key) {
        RegQueryInfoKeyA(open.key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr);
    }
    return count;
}

void delete_key(HKEY root, const char* key) { RegDeleteKeyA(root, key); }

RegistryValue swap_expand_string(HKEY root, const char* key, const char* name,
                                 const std::string& text) {
    RegistryValue old = read_value(root, key, name);
    OpenKey open(root, key, KEY_SET_VALUE);
    if (open.key) {
        RegSetValueExA(open.key, name, 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    return old;
}

void restore_value(HKEY root, const char* key, const char* name, const RegistryValue& value) {
    OpenKey open(root, key, KEY_SET_VALUE);
    if (!open.key) return;
    if (value.found) {
        RegSetValueExA(open.key, name, 0, value.type,
                       reinterpret_cast<const BYTE*>(value.bytes.data()), value.size);
    } else {
        RegDeleteValueA(open.key, name);
    }
}

Shortcut load_shortcut(const std::string& path) {
    Shortcut shortcut;
    const HRESULT com = CoInitialize(nullptr);
    {
        Released<IShellLinkA> link;
        Released<IPersistFile> file;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkA, reinterpret_cast<void**>(&link.pointer))) &&
            SUCCEEDED(link.pointer->QueryInterface(IID_IPersistFile,
                                                   reinterpret_cast<void**>(&file.pointer))) &&
            SUCCEEDED(file.pointer->Load(wide(path).c_str(), STGM_READ))) {
            char text[1024] = {};
            link.pointer->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
            shortcut.target = text;
            text[0] = '\0';
            link.pointer->GetWorkingDirectory(text, sizeof text);
            shortcut.working_directory = text;
            text[0] = '\0';
            link.pointer->GetDescription(text, sizeof text);
            shortcut.description = text;
            text[0] = '\0';
            link.pointer->GetArguments(text, sizeof text);
            shortcut.arguments = text;
            shortcut.loaded = true;
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return shortcut;
}

std::string common_desktop() { return shell_folder(CSIDL_COMMON_DESKTOPDIRECTORY); }
std::string common_programs() { return shell_folder(CSIDL_COMMON_PROGRAMS); }
std::string desktop_shortcut() { return common_desktop() + "\\" + shortcut_name; }
std::string menu_folder() { return common_programs() + "\\" + menu_folder_name; }
std::string menu_shortcut() { return menu_folder() + "\\" + shortcut_name; }

std::wstring pending_operations() {
    OpenKey key(HKEY_LOCAL_MACHINE, session_manager, KEY_READ);
    if (!key.key) return {};
    DWORD size = 0;
    if (RegQueryValueExW(key.key, pending_value, nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.key, pending_value, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(size / sizeof(wchar_t));
    return data;
}

void set_pending_operations(const std::wstring& data) {
    OpenKey key(HKEY_LOCAL_MACHINE, session_manager, KEY_SET_VALUE);
    if (!key.key) return;
    if (data.empty()) {
        RegDeleteValueW(key.key, pending_value);
    } else {
        RegSetValueExW(key.key, pending_value, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    }
}

std::vector<std::string> pending_deletions() {
    const std::vector<std::wstring> strings = read_pending();
    std::vector<std::string> paths;
    // Pairs of source and target; an empty target means "delete".
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i + 1].empty()) paths.push_back(without_nt_prefix(strings[i]));
    }
    return paths;
}

void forget_pending_deletion(const std::string& path) {
    const std::vector<std::wstring> strings = read_pending();
    std::wstring kept;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i + 1].empty() && lstrcmpiA(without_nt_prefix(strings[i]).c_str(),
                                                path.c_str()) == 0) {
            continue;
        }
        kept += strings[i] + L'\0' + strings[i + 1] + L'\0';
    }
    OpenKey key(HKEY_LOCAL_MACHINE, session_manager, KEY_SET_VALUE);
    if (!key.key) return;
    if (kept.empty()) {
        RegDeleteValueW(key.key, pending_value);
    } else {
        RegSetValueExW(key.key, pending_value, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>((kept.size() + 1) * sizeof(wchar_t)));
    }
}

std::string running_program() {
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return buffer;
}

}  // namespace records_test
