#include "setup/install_sequence.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <vector>

#include "download/package_url.h"
#include "paths/install_locations.h"
#include "platform/platform.h"
#include "setup/temp_package.h"
#include "tests/setup/scripted_steps.h"
#include "tests/support/scratch_folder.h"

using test_support::file_exists;
using test_support::folder_exists;
using test_support::ScratchFolder;

namespace {
// The user's temporary folder as the ANSI calls see it, with its separator.
std::string temp_folder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, buffer);
    buffer[MAX_PATH - 1] = '\0';
    return buffer;
}


const char kept_suffix[] = "\n\nThe downloaded zip was kept here for inspection:\n";

// The run's package folders in the temporary folder, by full path.
std::set<std::string> package_folders() {
    namespace fs = std::filesystem;
    std::set<std::string> folders;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temp_folder(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Quellmark-", 0) == 0) folders.insert(temp_folder() + name);
    }
    return folders;
}

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override {
        reset_steps();
        script.typed_folder = scratch.path() + "\\Games\\The Annals of Quellmark";
        // A temporary folder of the case's own: cases that run side by side
        // each see only their own package folders.
        char earlier[MAX_PATH + 1] = {};
        const DWORD length = GetEnvironmentVariableA("TMP", earlier, sizeof earlier);
        earlier_tmp = length > 0 && length < sizeof earlier ? earlier : "";
        test_support::make_folders(scratch.at("temp"));
        SetEnvironmentVariableA("TMP", scratch.at("temp").c_str());
        folders_before = package_folders();
    }
    void TearDown() override {
        for (const std::string& folder : new_package_folders()) std::filesystem::remove_all(folder);
        SetEnvironmentVariableA("TMP", earlier_tmp.empty() ? nullptr : earlier_tmp.c_str());
    }

    std::vector<std::string> new_package_folders() const {
        std::vector<std::string> added;
        for (const std::string& folder : package_folders()) {
            if (!folders_before.count(folder)) added.push_back(folder);
        }
        return added;
    }

    // The one package a failed run kept; empty when there is not exactly one.
    std::string kept_package() const {
        const std::vector<std::string> added = new_package_folders();
        return added.size() == 1 ? added[0] + "\\QuellmarkFull.zip" : std::string();
    }

    std::set<std::string> folders_before;
    std::string earlier_tmp;

    std::vector<std::string> steps_after_start() const {
        std::vector<std::string> steps;
        bool started = false;
        for (const std::string& call : journal.calls) {
            if (call == "enter_install_mode") started = true;
            if (started) steps.push_back(call);
        }
        return steps;
    }

    ScratchFolder scratch;
};

TEST(ModeSelection, UninstallIsAPlainCaseSensitiveSubstring) {
    EXPECT_TRUE(selects_uninstall("/uninstall"));
    EXPECT_TRUE(selects_uninstall("x/uninstallation"));
    EXPECT_TRUE(selects_uninstall("/silent /uninstall extra args"));
    EXPECT_TRUE(selects_uninstall("\"C:\\path\"/uninstall"));
    EXPECT_FALSE(selects_uninstall("/Uninstall"));
    EXPECT_FALSE(selects_uninstall("-uninstall"));
    EXPECT_FALSE(selects_uninstall("/UNINSTALL"));
    EXPECT_FALSE(selects_uninstall(""));
    EXPECT_FALSE(selects_uninstall(nullptr));
}

TEST_F(InstallSequence, WindowThatCannotBeCreatedEndsSilentlyWithOne) {
    script.window_created = false;
    EXPECT_EQ(run_install(), 1);
    EXPECT_EQ(journal.calls,
              (std::vector<std::string>{"create C:\\Games\\The Annals of Quellmark", "window released"}));
}

TEST_F(InstallSequence, ReadyPageLeftWithoutInstallEndsWithZeroAndWritesNothing) {
    script.start_pressed = false;
    EXPECT_EQ(run_install(), 0);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_FALSE(folder_exists(scratch.at("Games")));
    EXPECT_EQ(journal.calls.back(), "window released");
}

TEST_F(InstallSequence, FoldersThatCannotWorkAreRefusedOnTheReadyPageBeforeAnythingIsMade) {
    script.refused_folders = {"", "  \t ", "Quellmark", "Q:\\Games\\The Annals of Quellmark",
                              scratch.path() + "\\" + std::string(200, 'x')};
    const std::string folder = scratch.path() + "\\Games\\The Annals of Quellmark";
    script.typed_folder = "  " + folder + " ";
    EXPECT_EQ(run_install(), 0);
    ASSERT_EQ(journal.refusals.size(), 5u);
    const std::string example = "C:\\Games\\The Annals of Quellmark.";
    EXPECT_EQ(journal.refusals[0],
              "No install folder was entered.\n\nPlease enter a full folder path, such as " + example);
    EXPECT_EQ(journal.refusals[1], journal.refusals[0]);
    EXPECT_EQ(journal.refusals[3], "There is no drive Q: on this computer.\n\nPlease enter a "
                                   "folder on one of its drives, such as " + example);
    // Every refusal came before the installing page; then the trimmed folder was used.
    const auto started = std::find(journal.calls.begin(), journal.calls.end(), "enter_install_mode");
    EXPECT_EQ(std::count(journal.calls.begin(), started, "refuse_folder"), 5);
    EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "refuse_folder"), 5);
    EXPECT_EQ(journal.extract_install_folder, folder);
    // Made and opened before the download, held through the extraction.
    EXPECT_TRUE(journal.extract_folder_was_open);
}

TEST_F(InstallSequence, ClosingTheWindowAfterARefusalEndsWithZeroAndWritesNothing) {
    script.refused_folders = {"Games"};
    script.typed_folder = "Still not a full path";
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(journal.refusals.size(), 2u);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_TRUE(steps_after_start().empty());
}

TEST_F(InstallSequence, FolderThatCannotBeCreatedIsReportedAndStopsBeforeTheDownload) {
    // A plain file where a folder of the chain should be, made after the
    // ready page (which refuses such a folder) let the folder pass.
    script.file_made_on_install = scratch.at("blocker");
    script.typed_folder = scratch.at("blocker") + "\\Games";
    EXPECT_EQ(run_install(), 1);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message,
              "Could not create the install folder. Please run setup as administrator.");
    EXPECT_FALSE(journal.boxes[0].success);
    EXPECT_EQ(steps_after_start(),
              (std::vector<std::string>{
                  "enter_install_mode",
                  "status Preparing install folder... | " + script.typed_folder, "finish",
                  "window released"}));
}

TEST_F(InstallSequence, DownloadFailureShowsItsMessageUnchanged) {
    script.download_succeeds = false;
    script.download_message = "Could not open the download URL.";
    script.download_writes_package = false;
    script.earlier_manifest = {"data\\old.pak"};
    EXPECT_EQ(run_install(), 1);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message, "Could not open the download URL.");
    // The earlier install keeps the records taken for this run.
    EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(),
                         "drop_records after an earlier install"), 1);
    EXPECT_EQ(journal.download_url, package_url());
    EXPECT_TRUE(journal.download_had_file);
    // Nothing was written to it: no package stays behind.
    EXPECT_EQ(new_package_folders(), std::vector<std::string>{});
    EXPECT_TRUE(folder_exists(script.typed_folder));
    EXPECT_EQ(journal.calls.back(), "window released");
}

TEST_F(InstallSequence, PartialPackageOfAFailedDownloadIsLeftAsTheDownloadLeftIt) {
    script.download_succeeds = false;
    script.download_message = "The download failed.";
    EXPECT_EQ(run_install(), 1);
    ASSERT_NE(kept_package(), "");
    EXPECT_EQ(test_support::read_file(kept_package()), package_bytes);
}

TEST_F(InstallSequence, CancelledDownloadShowsNoBoxAndRemovesThePackage) {
    script.download_succeeds = false;
    script.download_message = "Setup was cancelled.";
    EXPECT_EQ(run_install(), 1);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_EQ(steps_after_start().back(), "window released");
    EXPECT_EQ(new_package_folders(), std::vector<std::string>{});
}

TEST_F(InstallSequence, OnlyTheExactCancelTextIsACancellation) {
    for (const char* text : {"Setup was cancelled. Really.", "setup was cancelled.",
                             "Setup was cancelled", " Setup was cancelled."}) {
        reset_steps();
        script.typed_folder = scratch.path() + "\\Games";
        script.download_succeeds = false;
        script.download_message = text;
        EXPECT_EQ(run_install(), 1);
        ASSERT_EQ(journal.boxes.size(), 1u) << text;
        EXPECT_EQ(journal.boxes[0].message, text);
    }
}

// From the file or behind the download, a failure names the kept package.
TEST_F(InstallSequence, ExtractionFailureNamesTheKeptPackage) {
    for (const bool behind : {false, true}) {
        if (behind) {
            TearDown();
            SetUp();
        }
        script.extracted_behind = behind;
        script.extraction_succeeds = false;
        script.extraction_message = "The zip directory is corrupt.";
        EXPECT_EQ(run_install(), 1);
        ASSERT_EQ(journal.boxes.size(), 1u);
        ASSERT_NE(kept_package(), "");
        EXPECT_EQ(journal.boxes[0].message,
                  "The zip directory is corrupt." + std::string(kept_suffix) + kept_package());
        EXPECT_FALSE(journal.boxes[0].success);
        EXPECT_EQ(test_support::read_file(kept_package()), package_bytes);
        for (const char* record : {"install_uninstaller", "write_manifest", "create_shortcuts",
                                   "register_uninstall_entry"}) {
            EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), record), 0)
                << record;
        }
        // With no earlier install, the records taken for the run go again.
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "drop_records"), 1);
        if (!behind) {
            // The extraction read the very file the download wrote.
            EXPECT_EQ(journal.extracted_package_bytes, package_bytes);
            EXPECT_EQ(journal.extract_install_folder, script.typed_folder);
        }
    }
}

// Behind the download, a success needs no extraction from the file, and a
// fallback goes on after what is written.
TEST_F(InstallSequence, ExtractionBehindTheDownloadEndsAsTheExtractionFromTheFile) {
    script.extracted_behind = true;
    script.extracted = {"bin\\client\\Qm_client.exe", "data\\a.pak"};
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "extract"), 0);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_TRUE(journal.boxes[0].success);
    EXPECT_EQ(journal.manifest, script.extracted);

    TearDown();
    SetUp();
    script.extracted_behind_before_fallback = {"bin\\client\\Qm_client.exe"};
    script.extracted = {"data\\a.pak"};
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(journal.extract_entries_done, 1u);
    EXPECT_EQ(journal.manifest,
              (std::vector<InstalledFile>{"bin\\client\\Qm_client.exe", "data\\a.pak"}));
}

TEST_F(InstallSequence, CancelledExtractionShowsNoBoxAndRemovesThePackage) {
    script.extraction_succeeds = false;
    script.extraction_message = "Setup was cancelled.";
    EXPECT_EQ(run_install(), 1);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_EQ(new_package_folders(), std::vector<std::string>{});
}

TEST_F(InstallSequence, SuccessRunsEveryStepInOrderAndDeletesThePackage) {
    script.extracted = {"bin\\client\\Qm_client.exe", "data\\a.pak"};
    script.earlier_manifest = {"data\\old.pak"};
    // The free-space check of the extraction counts the uninstaller copy.
    script.uninstaller_bytes = 1234567;
    EXPECT_EQ(run_install(), 0);
    // The earlier list is read before the extraction could replace it.
    EXPECT_EQ(steps_after_start(),
              (std::vector<std::string>{
                  "enter_install_mode",
                  "status Preparing install folder... | " + script.typed_folder,
                  "read_manifest", "take_records", "download", "extract", "status Preparing uninstaller... | ", "install_uninstaller",
                  "write_manifest", "status Creating shortcuts... | ", "create_shortcuts",
                  "register_uninstall_entry", "finish", "window released"}));
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message, "Quellmark was installed successfully.");
    EXPECT_TRUE(journal.boxes[0].success);
    EXPECT_EQ(journal.manifest, (std::vector<InstalledFile>{"bin\\client\\Qm_client.exe",
                                                            "data\\a.pak", "data\\old.pak"}));
    EXPECT_EQ(journal.extract_extra_bytes, script.uninstaller_bytes);
    // The earlier list, read through the held folder, is what the taken
    // manifest holds until the new one is written.
    EXPECT_TRUE(journal.read_manifest_through_handle);
    EXPECT_EQ(journal.taken_earlier_lines, script.earlier_manifest);
    for (const std::string& folder : journal.record_folders) EXPECT_EQ(folder, script.typed_folder);
    EXPECT_EQ(journal.extracted_package_bytes, package_bytes);
    EXPECT_EQ(new_package_folders(), std::vector<std::string>{});
}

TEST_F(InstallSequence, ALateCancelStillEndsInSuccess) {
    script.cancel_during_extraction = true;
    EXPECT_EQ(run_install(), 0);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message, "Quellmark was installed successfully.");
    EXPECT_TRUE(journal.boxes[0].success);
}

// The game is in place either way; the box tells how to remove it.
TEST_F(InstallSequence, IncompleteUninstallRecordsAreNotedInTheSuccessBox) {
    const std::string noted =
        "Quellmark was installed successfully.\n\nThe uninstall information could not be written "
        "completely. To remove the game, delete its folder.";
    for (int failing = 0; failing < 2; ++failing) {
        reset_steps();
        script.typed_folder = scratch.path() + "\\Games";
        script.uninstaller_fails = failing == 0;
        script.manifest_fails = failing == 1;
        EXPECT_EQ(run_install(), 0);
        ASSERT_EQ(journal.boxes.size(), 1u);
        EXPECT_EQ(journal.boxes[0].message, noted);
        EXPECT_TRUE(journal.boxes[0].success);
        // Both are attempted whichever fails; the entry names only an
        // uninstaller this run wrote whole.
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "write_manifest"), 1);
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "register_uninstall_entry"),
                  script.uninstaller_fails ? 0 : 1);
    }
}

// A record's name held by something the setup cannot replace ends the run
// before anything is downloaded.
TEST_F(InstallSequence, ARecordNameThatCannotBeTakenStopsTheRunBeforeTheDownload) {
    script.records_taken = false;
    EXPECT_EQ(run_install(), 1);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message,
              "The install folder holds a file that the setup cannot replace: " +
                  script.typed_folder + "\\QuellmarkUninstall.exe");
    EXPECT_FALSE(journal.boxes[0].success);
    EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "download"), 0);
    EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "register_uninstall_entry"), 0);
    EXPECT_EQ(new_package_folders(), std::vector<std::string>{});
}

TEST_F(InstallSequence, FolderTextIsUsedExactlyAsTyped) {
    script.typed_folder = scratch.path() + "\\Two  Spaces\\Games/Mixed";
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(journal.extract_install_folder, script.typed_folder);
}

TEST(TempPackage, EachIsNewAndNamedAtRandomInTheTemporaryFolder) {
    TempPackage packages[2];
    ASSERT_TRUE(packages[0].create() && packages[1].create());
    const std::string temp = temp_folder();
    for (TempPackage& package : packages) {
        const std::string folder = package.path().substr(0, package.path().rfind('\\'));
        ASSERT_EQ(folder.size(), temp.size() + 26) << folder;
        EXPECT_EQ(folder.substr(0, temp.size()), temp);
        EXPECT_TRUE(std::regex_match(folder.substr(temp.size()),
                                     std::regex("Quellmark-[0-9A-F]{16}"))) << folder;
        EXPECT_TRUE(folder_exists(folder));
        package.remove();
        EXPECT_FALSE(folder_exists(folder));
    }
    EXPECT_NE(packages[0].path(), packages[1].path());
}

}  // namespace
