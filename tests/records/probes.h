#pragma once
// Looks at what the records left on the system the way any other program
// would: through the registry API, the shell-link objects and the shell
// folders, never through the code under test.
#include <windows.h>

#include <string>
#include <vector>

namespace records_test {

inline constexpr char uninstall_key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\The Annals of Quellmark";
inline constexpr char shortcut_name[] = "The Annals of Quellmark.lnk";
inline constexpr char menu_folder_name[] = "The Annals of Quellmark";

struct RegistryValue {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    std::string bytes;  // raw data, size bytes long
};

bool key_exists(HKEY root, const char* key);
RegistryValue read_value(HKEY root, const char* key, const char* name);
DWORD value_count(HKEY root, const char* key);
void delete_key(HKEY root, const char* key);

// Sets a REG_EXPAND_SZ value, returning the value it replaced (or nothing).
RegistryValue swap_expand_string(HKEY root, const char* key, const char* name,
                                 const std::string& text);
void restore_value(HKEY root, const char* key, const char* name, const RegistryValue& value);

struct Shortcut {
    bool loaded = false;
    std::string target;
    std::string working_directory;
    std::string description;
    std::string arguments;
};

// Loads a .lnk file through IShellLinkA and IPersistFile.
Shortcut load_shortcut(const std::string& path);

// The all-users desktop and Start-menu programs folders as the shell reports
// them now.
std::string common_desktop();
std::string common_programs();
std::string desktop_shortcut();
std::string menu_folder();
std::string menu_shortcut();

// The paths waiting in PendingFileRenameOperations, without their "\??\"
// prefix, and a way to take one out again so no test leaves it behind.
std::vector<std::string> pending_deletions();
void forget_pending_deletion(const std::string& path);
// The whole value as stored, every NUL included; empty when it is missing.
// Setting it empty deletes it.
std::wstring pending_operations();
void set_pending_operations(const std::wstring& data);

std::string running_program();

}  // namespace records_test
