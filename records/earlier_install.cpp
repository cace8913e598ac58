#include "records/earlier_install.h"

#include <windows.h>

#include "paths/path_operations.h"
#include "platform/platform.h"
#include "records/install_names.h"
#include "records/win32_owners.h"

std::string recorded_install_location() {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall_key, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    char location[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "InstallLocation", nullptr, &type,
                         reinterpret_cast<BYTE*>(location), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return location;
}

// An entry whose folder lost its uninstaller is left over from an install
// that is gone: proposing it would bring back a folder the player removed.
std::string earlier_install_folder() {
    const std::string folder = recorded_install_location();
    if (folder.empty() || !platform::file_exists(join_path(folder, uninstaller_file_name))) return {};
    return folder;
}
