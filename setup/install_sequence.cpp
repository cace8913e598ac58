#include "setup/install_sequence.h"

#include <cstring>
#include <string>
#include <vector>

#include "paths/folder_check.h"
#include "paths/install_folder.h"
#include "download/package_url.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "platform/platform.h"
#include "records/earlier_install.h"
#include "records/held_records.h"
#include "records/install_records.h"
#include "records/manifest.h"
#include "records/manifest_log.h"
#include "setup/package_delivery.h"
#include "setup/temp_package.h"
#include "ui/setup_window.h"
#include "zip/extract_package.h"
#include "zip/open_folders.h"

namespace {
constexpr char folder_failure_message[] =
    "Could not create the install folder. Please run setup as administrator.";
constexpr char link_message[] = "The install folder contains a link to another location: ";
constexpr char kept_package_suffix[] = "\n\nThe downloaded zip was kept here for inspection:\n";
constexpr char unusable_characters_message[] =
    "This folder name holds characters that setup cannot use on this system. Choose a folder "
    "whose name uses other characters.";
constexpr char success_message[] = "Quellmark was installed successfully.";
constexpr char incomplete_records_note[] =
    "\n\nThe uninstall information could not be written completely. To remove the game, "
    "delete its folder.";

// Only an exact, whole-text match is a cancellation; a longer message that
// merely contains the words is a failure and is shown.
bool is_cancellation(const std::string& message) { return message == cancelled_message; }

// Runs the steps from the installing page to the final box. The window and
// the texts belong to run_install, which releases them on every path.
int install_into(SetupWindow& window, const std::string& install_path) {
    window.enter_install_mode();
    window.set_status("Preparing install folder...", install_path);

    // Made, opened and checked once, then held to the end of the run: nobody
    // can rename, remove or replace it meanwhile, and every step names what
    // it makes there relative to this handle.
    InstallFolder install_folder;
    switch (open_install_folder(install_path, install_folder)) {
        case platform::EntryResult::done: break;
        case platform::EntryResult::is_link:
            window.finish(link_message + install_path, false);
            return 1;
        default:
            window.finish(folder_failure_message, false);
            return 1;
    }

    // An earlier install's list, read before this run takes its name: what
    // it installed stays listed, so one uninstall removes every install's
    // files.
    std::vector<std::string> earlier_lines;
    const bool earlier_install = read_manifest(install_folder.handle, earlier_lines);

    // The records' names are the setup's from here to their writing: nobody
    // can squat them during the download, and a name something else holds
    // ends the run before the download.
    std::string error_message;
    HeldRecords records;
    if (!take_records(install_folder, earlier_lines, records, error_message)) {
        drop_records(install_folder, records, earlier_install);
        window.finish(error_message, false);
        return 1;
    }
    // From the first file on, the held list names each file before it is
    // made, beside those earlier lines: a run killed part-way leaves nothing
    // that the next install and the uninstall cannot find.
    ManifestLog manifest_log(records.manifest);
    install_folder.ledger = &manifest_log;

    // Open from here to the end of the extraction. One that cannot be made is
    // reported by the download, once the host has answered.
    TempPackage package;
    package.create();
    WindowReport report(window);
    std::vector<InstalledFile> installed_files;
    std::size_t entries_done = 0;
    Delivery delivery;
    {
        const std::string url = package_url();
        delivery = deliver_package(url, package.path(), package.file(), install_folder,
                                   uninstaller_size(), report, error_message, installed_files,
                                   entries_done);
    }
    // A package that is not its publisher's is kept, as a damaged one is,
    // once some of it arrived.
    if (delivery == Delivery::unverified && !package.holds_nothing())
        delivery = Delivery::extraction_failed;
    if (delivery == Delivery::download_failed || delivery == Delivery::unverified) {
        drop_records(install_folder, records, earlier_install || manifest_log.named_any());
        // A partial package stays for inspection; an empty one is no package.
        if (is_cancellation(error_message) || package.holds_nothing()) package.remove();
        if (!is_cancellation(error_message)) window.finish(error_message, false);
        return 1;
    }

    // What the extraction behind the download could not follow, it does from
    // the file, from the first entry it had not finished.
    const bool extracted =
        delivery == Delivery::extracted ||
        (delivery == Delivery::downloaded &&
         extract_package(package.file(), install_folder, report, error_message, installed_files,
                         uninstaller_size(), entries_done));
    if (!extracted) {
        drop_records(install_folder, records, earlier_install || manifest_log.named_any());
        if (is_cancellation(error_message)) {
            package.remove();
        } else if (error_message.rfind(game_running_message, 0) == 0) {
            // Nothing is wrong with the package: the player closes the game
            // and installs again.
            package.remove();
            window.finish(error_message, false);
        } else {
            // The package stays on disk, so it can be inspected.
            error_message += kept_package_suffix;
            error_message += package.path();
            window.finish(error_message, false);
        }
        return 1;
    }

    // From here on nothing can fail the install: the game files are in place.
    package.remove();
    window.set_status("Preparing uninstaller...", "");
    const bool uninstaller_written = install_uninstaller(install_folder, records);
    keep_earlier_files(install_path, earlier_lines, installed_files);
    install_folder.ledger = nullptr;
    const bool manifest_written = write_manifest(records, installed_files);
    window.set_status("Creating shortcuts...", "");
    create_shortcuts(install_path);
    // The entry starts its uninstaller elevated: only a copy this run wrote
    // whole may be named there.
    if (uninstaller_written) register_uninstall_entry(install_path);
    // The game is installed either way; the user only learns how to remove
    // it when its records are not whole.
    std::string message = success_message;
    if (!uninstaller_written || !manifest_written || !install_folder.protected_access) {
        message += incomplete_records_note;
    }
    window.finish(message, true);
    return 0;
}
}  // namespace

bool selects_uninstall(const char* command_line) {
    if (!command_line) return false;
    return std::strstr(command_line, "/uninstall") != nullptr;
}

int run_install() {
    SetupWindow window;
    // A second install goes where the first one is, unless the person says
    // otherwise: an install elsewhere would take over the one uninstall entry
    // and the shortcuts, and leave the first copy with nothing to remove it.
    std::string proposed_folder = earlier_install_folder();
    if (proposed_folder.empty()) proposed_folder = default_install_folder();
    if (!window.create(proposed_folder)) return 1;

    // Nothing is made before the folder passes: a folder that cannot work is
    // refused on the ready page, where it can still be corrected.
    std::string install_folder;
    for (;;) {
        std::string typed;
        if (!window.wait_for_start(typed)) return 0;
        // A character the code page cannot hold arrives as the default
        // character; the person must learn that, not about a '?' they never typed.
        const std::string problem = window.folder_text_lost_characters
                                        ? std::string(unusable_characters_message)
                                        : install_folder_problem(typed, install_folder);
        if (problem.empty()) break;
        window.refuse_folder(problem);
    }
    return install_into(window, install_folder);
}
