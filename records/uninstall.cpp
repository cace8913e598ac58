#include "records/uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "paths/path_operations.h"
#include "records/install_names.h"
#include "records/install_records.h"
#include "records/manifest.h"
#include "records/system_paths.h"
#include "records/win32_owners.h"

namespace {
constexpr char confirmation_text[] = "Remove The Annals of Quellmark from this computer?";
constexpr char completion_text[] = "The Annals of Quellmark was removed.";

bool user_confirms() {
    return MessageBoxA(nullptr, confirmation_text, uninstall_box_caption, MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

// A line that leads through a link below the install folder would delete
// whatever the link points to: it is skipped.
void delete_listed_files(const std::string& install_folder,
                         const std::vector<std::string>& manifest_paths) {
    for (const std::string& path : manifest_paths) {
        if (!link_crossed_below(install_folder, path).empty()) continue;
        DeleteFileA(join_path(install_folder, path).c_str());
    }
}

// True when the uninstall entry records folder as its install location: a
// later install elsewhere owns the entry otherwise.
bool entry_names_folder(const std::string& folder) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall_key, 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS) {
        return false;
    }
    char location[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "InstallLocation", nullptr, &type,
                         reinterpret_cast<BYTE*>(location), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    return same_path(location, folder);
}

// Deletes a shortcut that starts something inside own_folder; one that a
// later install pointed elsewhere is left.
void remove_own_shortcut(const std::string& shortcut, const std::string& own_folder) {
    if (lies_inside(shortcut_target(shortcut), own_folder)) DeleteFileA(shortcut.c_str());
}

// The running program cannot delete itself; the system does it at the next
// restart.
void schedule_own_deletion() {
    const std::string program = running_program_path();
    if (!program.empty()) MoveFileExA(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Every ancestor folder of every listed file, each distinct text once,
// longest first so that a folder always comes before its parent.
std::vector<std::string> folders_to_try(const std::vector<std::string>& manifest_paths) {
    std::vector<std::string> folders;
    for (const std::string& path : manifest_paths) {
        for (std::string folder = parent_folder(path); !folder.empty();
             folder = parent_folder(folder)) {
            folders.push_back(folder);
        }
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return folders;
}
}  // namespace

// Asks once, then removes the listed files, the shortcuts and the uninstall
// key (those of this install only), the manifest and the emptied folders,
// schedules the program's own file for deletion and reports. 1 only when the
// install folder is unknown.
int run_uninstall() {
    const std::string install_folder = module_folder();
    if (install_folder.empty()) return 1;
    if (!user_confirms()) return 0;

    std::vector<std::string> manifest_paths;
    read_manifest(install_folder, manifest_paths);
    delete_listed_files(install_folder, manifest_paths);
    remove_shortcuts(install_folder);
    if (entry_names_folder(install_folder)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall_key);
    DeleteFileA(join_path(install_folder, manifest_file_name).c_str());
    remove_installed_directories(install_folder, manifest_paths);
    schedule_own_deletion();
    MessageBoxA(nullptr, completion_text, uninstall_box_caption, MB_OK | MB_ICONINFORMATION);
    return 0;
}

// The uninstaller's own folder is the install folder; the registry is never
// asked.
std::string module_folder() {
    const std::string program = running_program_path();
    if (program.empty()) return {};
    return parent_folder(program);
}

// Deletes both shortcuts, if they start something inside install_folder, and
// the Start-menu folder if that leaves it empty. A shell folder that cannot
// be resolved skips its part.
void remove_shortcuts(const std::string& install_folder) {
    std::string desktop;
    if (common_folder(CSIDL_COMMON_DESKTOPDIRECTORY, desktop)) {
        remove_own_shortcut(join_path(desktop, shortcut_file_name), install_folder);
    }
    std::string programs;
    if (common_folder(CSIDL_COMMON_PROGRAMS, programs)) {
        const std::string menu_folder = join_path(programs, start_menu_folder_name);
        remove_own_shortcut(join_path(menu_folder, shortcut_file_name), install_folder);
        RemoveDirectoryA(menu_folder.c_str());
    }
}

// Tries every folder that held a listed file, deepest first, then the install
// folder. The system removes only empty folders, so anything the game wrote
// later keeps its folder and every folder above it. A folder beneath a link
// is skipped; the link itself may go, which removes only the link.
void remove_installed_directories(const std::string& install_folder,
                                  const std::vector<std::string>& manifest_paths) {
    for (const std::string& folder : folders_to_try(manifest_paths)) {
        if (!link_crossed_below(install_folder, folder).empty()) continue;
        RemoveDirectoryA(join_path(install_folder, folder).c_str());
    }
    RemoveDirectoryA(install_folder.c_str());
}
