#include "records/uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "paths/folder_cache.h"
#include "paths/path_operations.h"
#include "records/earlier_install.h"
#include "records/install_names.h"
#include "records/install_records.h"
#include "records/manifest.h"
#include "records/system_paths.h"
#include "records/win32_owners.h"
#include "report/shown_texts.h"

namespace {
constexpr char confirmation_text[] = "Remove The Annals of Quellmark from this computer?";
constexpr char completion_text[] = "The Annals of Quellmark was removed.";
constexpr char unreadable_list_text[] =
    "The list of installed files could not be read, so nothing was removed.\n\n"
    "To remove the game, delete its folder:\n";
constexpr char files_in_use_text[] =
    "Some files could not be removed. Close the game and run the uninstall again.";
constexpr char list_not_updated_text[] =
    "The list of installed files could not be updated, so the uninstall entry was kept. Run "
    "the uninstall again to finish.";
// A box has room for a few paths; the rest are counted.
constexpr std::size_t named_files_at_most = 10;

// Every box but the confirmation has only OK.
void show_box(const std::string& text, UINT icon) {
    MessageBoxA(nullptr, text.c_str(), uninstall_caption, MB_OK | icon);
}

bool user_confirms() {
    return MessageBoxA(nullptr, confirmation_text, uninstall_caption, MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

// Deletes every listed file through its folder's handle and returns the
// lines of those that stay (in use, or access denied). A file already gone
// counts as removed; a line that leads through a link, or names one, would
// reach outside the install folder: it is skipped, and not kept either.
std::vector<std::string> delete_listed_files(FolderCache& folders,
                                             const std::vector<std::string>& manifest_paths) {
    std::vector<std::string> kept;
    for (const std::string& path : manifest_paths) {
        const platform::FolderHandle* folder = folders.open(parent_folder(path));
        if (!folder) continue;
        if (platform::delete_file_in(*folder, final_component(path)) ==
            platform::EntryResult::failed) {
            kept.push_back(path);
        }
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
    const std::string location = recorded_install_location();
    return !location.empty() && same_path(location, folder);
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

// Tries every folder that held a listed file, deepest first, each through
// its own handle and only when empty, so anything the game wrote later keeps
// its folder and every folder above it. A folder beneath a link, or a link in
// a folder's place, is left alone.
void remove_installed_directories(const platform::FolderHandle& install_folder,
                                  const std::vector<std::string>& manifest_paths) {
    for (const std::string& folder : folders_to_try(manifest_paths)) {
        FolderCache parents(install_folder, false);
        const platform::FolderHandle* parent = parents.open(parent_folder(folder));
        if (parent) platform::remove_folder_in(*parent, final_component(folder));
    }
}
}  // namespace

// Asks once, then removes the listed files, the manifest, the shortcuts and
// the uninstall key (those of this install only) and the emptied folders,
// schedules the program's own file for deletion and reports. 1 when the
// install folder is unknown (no box), when the list cannot be read (nothing
// is removed), when listed files stay (the records stay with them, the list
// replaced by one naming exactly those files, so a second run can finish the
// job), and when the list cannot be replaced or deleted (the records stay).
int run_uninstall() {
    const std::string install_folder = module_folder();
    if (install_folder.empty()) return 1;
    if (!user_confirms()) return 0;

    // Held, and checked to be no link, until the uninstall ends: every entry
    // below is reached from this handle.
    InstallFolder held;
    held.path = install_folder;
    platform::FolderHandle& root = held.handle;
    std::vector<std::string> manifest_paths;
    if (platform::open_folder(install_folder, root, platform::FolderUse::removable) !=
            platform::EntryResult::done ||
        !read_manifest(held, manifest_paths)) {
        // Without its list the uninstaller cannot tell the game's files from
        // anything else; removing the records would leave them unfindable.
        show_box(unreadable_list_text + install_folder, MB_ICONERROR);
        return 1;
    }
    // Each folder is opened once, relative to its parent's handle, and held
    // while its entries go: nothing can be swapped in between.
    FolderCache folders(root, false);
    const std::vector<std::string> kept = delete_listed_files(folders, manifest_paths);
    folders.close_all();
    if (!kept.empty()) {
        std::string message = files_in_use_message(install_folder, kept);
        if (!replace_manifest(held, kept)) message += std::string("\n\n") + list_not_updated_text;
        remove_installed_directories(root, manifest_paths);
        show_box(message, MB_ICONWARNING);
        return 1;
    }
    // A list that stays names files already gone: the records stay with it,
    // and the next run, finding nothing left to delete, finishes.
    const platform::EntryResult list = platform::delete_file_in(root, manifest_file_name);
    if (list != platform::EntryResult::done && list != platform::EntryResult::missing) {
        remove_installed_directories(root, manifest_paths);
        show_box(list_not_updated_text, MB_ICONWARNING);
        return 1;
    }
    remove_shortcuts(install_folder);
    if (entry_names_folder(install_folder)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall_key);
    remove_installed_directories(root, manifest_paths);
    platform::remove_open_folder(root, install_folder);
    schedule_own_deletion();
    show_box(completion_text, MB_ICONINFORMATION);
    return 0;
}
