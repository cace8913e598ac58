#include "zip/open_folders.h"

#include "paths/path_operations.h"
#include "report/phase_clock.h"

namespace {
constexpr char folder_failure[] = "Could not create the install folder.";
}  // namespace

const platform::FolderHandle* OpenFolders::open(const std::string& relative,
                                                std::string& error_message) {
    met_link_ = false;
    if (!open_install_folder_once(error_message)) return nullptr;
    std::string refused;
    const platform::FolderHandle* folder = folders_.open(relative, &refused);
    if (folder) return folder;
    met_link_ = folders_.last_result() == platform::EntryResult::is_link;
    error_message =
        met_link_ ? install_link_message + join_path(install_.path, refused) : folder_failure;
    return nullptr;
}

// If the file cannot be created, a folder may have been removed behind the
// walk's back, so the folders are opened anew and the file tried once more.
platform::File OpenFolders::create_file(const std::string& name, std::string& error_message) {
    PhaseTimer files(Phase::files);
    const std::string folder = parent_folder(name), file_name = final_component(name);
    const std::string target = join_path(install_.path, name);
    if (install_.ledger) install_.ledger->file_to_be_made(name);
    // A file that another program holds (a virus scanner looks at new files
    // for a moment) is tried again for a while; the game itself holds on.
    const std::uint64_t busy_until = platform::milliseconds_now() + busy_wait_milliseconds;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) close_all();
        const platform::FolderHandle* parent = open(folder, error_message);
        if (!parent) return nullptr;
        platform::File output;
        platform::EntryResult result = platform::create_file_in(*parent, file_name, output);
        while (result == platform::EntryResult::in_use &&
               platform::milliseconds_now() < busy_until) {
            platform::sleep_milliseconds(50);
            result = platform::create_file_in(*parent, file_name, output);
        }
        if (result == platform::EntryResult::in_use) {
            error_message = std::string(game_running_message) + "\n" + target;
            return nullptr;
        }
        if (result == platform::EntryResult::done) return output;
        if (result == platform::EntryResult::is_link) {
            error_message = install_link_message + target;
            return nullptr;
        }
        if (result == platform::EntryResult::wrong_kind) break;
    }
    error_message = "Could not write: " + target;
    return nullptr;
}

// Opening the name as a folder, without making it, looks at it through its
// own handle: only an empty name answers missing.
bool OpenFolders::holds(const std::string& name) {
    PhaseTimer files(Phase::files);
    const std::string folder = parent_folder(name);
    std::string unused;
    const platform::FolderHandle* parent = open(folder, unused);
    if (!parent || folders_.was_made(folder)) return false;
    platform::FolderHandle probe;
    return platform::open_child_folder(*parent, final_component(name), false, probe) !=
           platform::EntryResult::missing;
}

void OpenFolders::delete_file(const std::string& name) {
    std::string unused;
    const platform::FolderHandle* parent = open(parent_folder(name), unused);
    if (parent) platform::delete_file_in(*parent, final_component(name));
}

std::string OpenFolders::first_file_in_use(const std::vector<std::string>& names) {
    std::string unused;
    if (!open_install_folder_once(unused)) return {};
    // Each folder looked at once, and nothing made.
    FolderCache seen(install_.handle, false);
    for (const std::string& name : names) {
        const platform::FolderHandle* parent = seen.open(parent_folder(name));
        if (parent && platform::file_in_use(*parent, final_component(name))) return name;
    }
    return {};
}

const platform::FolderHandle* OpenFolders::open_install_folder_once(std::string& error_message) {
    if (install_.handle) return &install_.handle;
    const platform::EntryResult result = open_install_folder(install_.path, install_);
    if (result == platform::EntryResult::done) return &install_.handle;
    met_link_ = result == platform::EntryResult::is_link;
    error_message = met_link_ ? install_link_message + install_.path : folder_failure;
    return nullptr;
}
