#include "tests/setup/scripted_steps.h"

#include "records/earlier_install.h"
#include "records/install_records.h"
#include "records/manifest.h"
#include "setup/package_delivery.h"
#include "tests/support/scratch_folder.h"
#include "ui/setup_window.h"
#include "zip/extract_package.h"

StepScript script;
StepJournal journal;
// The window of the run, for the stand-in steps that play a late Cancel.
SetupWindow* running_window = nullptr;

void reset_steps() {
    script = StepScript{};
    journal = StepJournal{};
}

SetupWindow::~SetupWindow() { journal.calls.push_back("window released"); }

bool SetupWindow::create(const std::string& proposed_folder) {
    journal.calls.push_back("create " + proposed_folder);
    return script.window_created;
}

// Each press hands over the next text; once the last one was refused too,
// the person closes the window.
bool SetupWindow::wait_for_start(std::string& folder) {
    journal.calls.push_back("wait_for_start");
    if (!script.start_pressed) return false;
    const size_t press = journal.refusals.size();
    if (press < script.refused_folders.size()) {
        folder = script.refused_folders[press];
        return true;
    }
    if (press > script.refused_folders.size()) return false;
    folder = script.typed_folder;
    return true;
}

void SetupWindow::refuse_folder(const std::string& message) {
    journal.calls.push_back("refuse_folder");
    journal.refusals.push_back(message);
}

void SetupWindow::enter_install_mode() {
    journal.calls.push_back("enter_install_mode");
    if (!script.file_made_on_install.empty()) {
        test_support::write_file(script.file_made_on_install, "a file");
    }
    cancel_requested = false;
    running_window = this;
}

void SetupWindow::set_status(const std::string& headline_text, const std::string& detail_text) {
    headline = headline_text;
    detail = detail_text;
    journal.calls.push_back("status " + headline_text + " | " + detail_text);
}

void SetupWindow::set_progress(int) {}
void SetupWindow::show_transfer(std::uint64_t, std::uint64_t) {}
void SetupWindow::process_pending_messages() {}

void SetupWindow::finish(const std::string& message, bool success) {
    journal.calls.push_back("finish");
    journal.boxes.push_back({message, success});
}

Delivery deliver_package(const std::string& url, const std::string&, std::FILE* package,
                         InstallFolder&, std::uint64_t, StepReport&, std::string& error_message,
                         std::vector<InstalledFile>& installed_files, std::size_t& entries_done) {
    journal.calls.push_back("download");
    journal.download_url = url;
    journal.download_had_file = package != nullptr;
    if (script.download_writes_package && package) std::fputs(package_bytes, package);
    if (!script.download_succeeds) {
        error_message = script.download_message;
        return Delivery::download_failed;
    }
    installed_files = script.extracted_behind_before_fallback;
    entries_done = installed_files.size();
    if (!script.extracted_behind) return Delivery::downloaded;
    installed_files = script.extracted;
    if (script.extraction_succeeds) return Delivery::extracted;
    error_message = script.extraction_message;
    return Delivery::extraction_failed;
}

bool extract_package(std::FILE* package, InstallFolder& install_folder, StepReport&,
                     std::string& error_message, std::vector<InstalledFile>& installed_files,
                     std::uint64_t extra_bytes, std::size_t entries_done) {
    journal.calls.push_back("extract");
    journal.extract_entries_done = entries_done;
    std::fseek(package, 0, SEEK_SET);
    char bytes[64] = {};
    journal.extracted_package_bytes.assign(bytes, std::fread(bytes, 1, sizeof bytes, package));
    journal.extract_install_folder = install_folder.path;
    journal.extract_folder_was_open = static_cast<bool>(install_folder.handle);
    journal.extract_extra_bytes = extra_bytes;
    installed_files.insert(installed_files.end(), script.extracted.begin(), script.extracted.end());
    // A Cancel pressed late, after the last block, must change nothing.
    if (script.cancel_during_extraction) running_window->cancel_requested = true;
    if (!script.extraction_succeeds) error_message = script.extraction_message;
    return script.extraction_succeeds;
}

bool take_records(const InstallFolder& install_folder, const std::vector<std::string>& earlier_lines,
                  HeldRecords&, std::string& error_message) {
    journal.calls.push_back("take_records");
    journal.record_folders.push_back(install_folder.path);
    journal.taken_earlier_lines = earlier_lines;
    if (script.records_taken) return true;
    error_message = unreplaceable_record_message + install_folder.path + "\\QuellmarkUninstall.exe";
    return false;
}

void drop_records(const InstallFolder&, HeldRecords&, bool earlier_install) {
    journal.calls.push_back(earlier_install ? "drop_records after an earlier install"
                                            : "drop_records");
}

bool install_uninstaller(const InstallFolder& install_folder, HeldRecords&) {
    journal.calls.push_back("install_uninstaller");
    journal.record_folders.push_back(install_folder.path);
    return !script.uninstaller_fails;
}

std::uint64_t uninstaller_size() { return script.uninstaller_bytes; }

bool write_manifest(HeldRecords&, const std::vector<InstalledFile>& files) {
    journal.calls.push_back("write_manifest");
    journal.manifest = files;
    return !script.manifest_fails;
}

bool read_manifest(const InstallFolder& folder, std::vector<std::string>& paths) {
    journal.read_manifest_through_handle = static_cast<bool>(folder.handle);
    journal.calls.push_back("read_manifest");
    paths.insert(paths.end(), script.earlier_manifest.begin(), script.earlier_manifest.end());
    return !script.earlier_manifest.empty();
}

// What the records keep of the earlier list is theirs to test; the sequence
// must only hand it over.
void keep_earlier_files(const InstallFolder&, const std::vector<std::string>& earlier_lines,
                        std::vector<InstalledFile>& files) {
    files.insert(files.end(), earlier_lines.begin(), earlier_lines.end());
}

// No earlier install: the real registry is the end-to-end test's.
std::string earlier_install_folder() { return {}; }

void create_shortcuts(const InstallFolder& install_folder) {
    journal.calls.push_back("create_shortcuts");
    journal.record_folders.push_back(install_folder.path);
}

void register_uninstall_entry(const InstallFolder& install_folder) {
    journal.calls.push_back("register_uninstall_entry");
    journal.record_folders.push_back(install_folder.path);
}
