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
constexpr char unreadable_list_text[] =
    "The list of installed files could not be read, so nothing was removed.\n\n"
    "To remove the game, delete its folder:\n";
constexpr char files_in_use_text[] =
    "Some files could not be removed. Close the game and run the uninstall again.";
// A box has room for a few paths; the rest are counted.
constexpr std::size_t named_files_at_most = 10;

bool user_confirms() {
    return MessageBoxA(nullptr, confirmation_text, uninstall_box_caption, MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

// False only for a file that is still there and could not be deleted (in
// use, or access denied): one that is already gone counts as removed.
bool delete_listed_file(const std::string& install_folder, const std::string& path) {
    if (DeleteFileA(join_path(install_folder, path).c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes every listed file and returns the lines of those that stay. A line
// that leads through a link below the install folder would delete whatever
// the link points to: it is skipped, and not kept either.
std::vector<std::string> delete_listed_files(const std::string& install_folder,
                                             const std::vector<std::string>& manifest_paths) {
    std::vector<std::string> kept;
    for (const std::string& path : manifest_paths) {
        if (!link_crossed_below(install_folder, path).empty()) continue;
        if (!delete_listed_file(install_folder, path)) kept.push_back(path);
    }
    return kept;
}

// Up to named_files_at_most full paths, one a line, then how many more.
std::string files_in_use_message(const std::string& install_folder,
                                 const std::vector<std::string>& kept) {
    std::string message = files_in_use_text;
    message += "\n";
    for (std::size_t i = 0; i < kept.size() && i < named_files_at_most; ++i) {
        message += "\n" + join_path(install_folder, kept[i]);
    }
    if (kept.size() > named_files_at_most) {
        message += "\nand " + std::to_string(kept.size() - named_files_at_most) + " more.";
    }
    return message;
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
// schedules the program's own file for deletion and reports. 1 when the
// install folder is unknown (no box), when the list cannot be read (nothing
// is removed), and when listed files stay (the records stay with them, the
// list naming exactly those files, so a second run can finish the job).
int run_uninstall() {
    const std::string install_folder = module_folder();
    if (install_folder.empty()) return 1;
    if (!user_confirms()) return 0;

    std::vector<std::string> manifest_paths;
    if (!read_manifest(install_folder, manifest_paths)) {
        // Without its list the uninstaller cannot tell the game's files from
        // anything else; removing the records would leave them unfindable.
        MessageBoxA(nullptr, (unreadable_list_text + install_folder).c_str(),
                    uninstall_box_caption, MB_OK | MB_ICONERROR);
        return 1;
    }
    const std::vector<std::string> kept = delete_listed_files(install_folder, manifest_paths);
    if (!kept.empty()) {
        write_manifest(install_folder, kept);
        remove_installed_directories(install_folder, manifest_paths);
        MessageBoxA(nullptr, files_in_use_message(install_folder, kept).c_str(),
                    uninstall_box_caption, MB_OK | MB_ICONWARNING);
        return 1;
    }
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
