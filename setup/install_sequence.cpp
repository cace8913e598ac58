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
#include "report/phase_clock.h"
#include "report/shown_texts.h"
#include "setup/package_delivery.h"
#include "setup/temp_package.h"
#include "ui/setup_window.h"
#include "zip/extract_package.h"

namespace {
constexpr char folder_failure_message[] =
    "Could not create the install folder. Please run setup as administrator.";
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

// What one run holds from the installing page to the final box. The window
// and the texts belong to run_install, which releases them on every path.
struct InstallRun {
    explicit InstallRun(SetupWindow& shown) : window(shown), manifest_log(records.manifest) {}
    SetupWindow& window;
    InstallFolder folder;
    std::vector<std::string> earlier_lines;
    bool earlier_install = false;
    HeldRecords records;
    ManifestLog manifest_log;
    std::string error_message;
    std::vector<InstalledFile> installed_files;
};

// Made, opened and checked once, then held to the end of the run: nobody can
// rename, remove or replace it meanwhile, and every step names what it makes
// there relative to this handle. False once the failure is shown.
bool open_and_check_folder(InstallRun& run, const std::string& path) {
    run.window.enter_install_mode();
    run.window.set_status("Preparing install folder...", path);
    const platform::EntryResult opened = open_install_folder(path, run.folder);
    if (opened != platform::EntryResult::done) {
        run.window.finish(opened == platform::EntryResult::is_link ? install_link_message + path
                                                                   : folder_failure_message,
                          false);
        return false;
    }
    // An earlier install's list, read before this run takes its name: what
    // it installed stays listed, so one uninstall removes every install's
    // files.
    run.earlier_install = read_manifest(run.folder, run.earlier_lines);
    // The records' names are the setup's from here to their writing: nobody
    // can squat them during the download, and a name something else holds
    // ends the run before the download.
    if (!take_records(run.folder, run.earlier_lines, run.records, run.error_message)) {
        drop_records(run.folder, run.records, run.earlier_install);
        run.window.finish(run.error_message, false);
        return false;
    }
    // From the first file on, the held list names each file before it is
    // made, beside those earlier lines: a run killed part-way leaves nothing
    // that the next install and the uninstall cannot find.
    run.folder.ledger = &run.manifest_log;
    return true;
}

// Ends a run whose package did not install: the records go unless files
// were made, and the package stays for inspection when it may be at fault.
void end_failed_delivery(InstallRun& run, TempPackage& package, bool downloaded) {
    drop_records(run.folder, run.records, run.earlier_install || run.manifest_log.named_any());
    const bool cancelled = is_cancellation(run.error_message);
    if (!downloaded) {
        // A partial package stays for inspection; an empty one is no package.
        if (cancelled || package.holds_nothing()) package.remove();
    } else if (cancelled || run.error_message.rfind(game_running_message, 0) == 0) {
        // Nothing is wrong with the package: the player closes the game
        // and installs again.
        package.remove();
    } else {
        run.error_message += kept_package_suffix;
        run.error_message += package.path();
    }
    if (!cancelled) run.window.finish(run.error_message, false);
}

// The download with the extraction behind it; what that could not follow,
// the extraction does from the file, from the first entry it had not
// finished. False once the failure is shown.
bool deliver_and_extract(InstallRun& run) {
    // Open from here to the end of the extraction. One that cannot be made is
    // reported by the download, once the host has answered.
    TempPackage package;
    package.create();
    WindowReport report(run.window);
    std::size_t entries_done = 0;
    Delivery delivery = deliver_package(package_url(), package.path(), package.file(), run.folder,
                                        uninstaller_size(), report, run.error_message,
                                        run.installed_files, entries_done);
    // A package that is not its publisher's is kept, as a damaged one is,
    // once some of it arrived.
    if (delivery == Delivery::unverified && !package.holds_nothing())
        delivery = Delivery::extraction_failed;
    const bool downloaded =
        delivery != Delivery::download_failed && delivery != Delivery::unverified;
    if (delivery == Delivery::extracted ||
        (delivery == Delivery::downloaded &&
         extract_package(package.file(), run.folder, report, run.error_message,
                         run.installed_files, uninstaller_size(), entries_done))) {
        package.remove();
        return true;
    }
    end_failed_delivery(run, package, downloaded);
    return false;
}

// Nothing here can fail the install: the game files are in place. The user
// only learns how to remove the game when its records are not whole.
void write_records(InstallRun& run) {
    run.window.set_status("Preparing uninstaller...", "");
    const bool uninstaller_written = install_uninstaller(run.folder, run.records);
    keep_earlier_files(run.folder, run.earlier_lines, run.installed_files);
    run.folder.ledger = nullptr;
    const bool manifest_written = write_manifest(run.records, run.installed_files);
    run.window.set_status("Creating shortcuts...", "");
    create_shortcuts(run.folder);
    // The entry starts its uninstaller elevated: only a copy this run wrote
    // whole may be named there.
    if (uninstaller_written) register_uninstall_entry(run.folder);
    std::string message = success_message;
    if (!uninstaller_written || !manifest_written || !run.folder.protected_access) {
        message += incomplete_records_note;
    }
    write_phase_totals();
    run.window.finish(message, true);
}

int install_into(SetupWindow& window, const std::string& install_path) {
    InstallRun run(window);
    start_phase_clock();
    if (!open_and_check_folder(run, install_path) || !deliver_and_extract(run)) return 1;
    write_records(run);
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
