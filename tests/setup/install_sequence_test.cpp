#include "setup/install_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "paths/install_locations.h"
#include "tests/setup/scripted_steps.h"
#include "tests/support/scratch_folder.h"

using test_support::file_exists;
using test_support::folder_exists;
using test_support::ScratchFolder;

namespace {

const char kept_suffix[] = "\n\nThe downloaded zip was kept here for inspection:\n";

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override {
        reset_steps();
        script.typed_folder = scratch.path() + "\\Games\\The Annals of Quellmark";
        std::remove(temp_package_path().c_str());
    }
    void TearDown() override { std::remove(temp_package_path().c_str()); }

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

TEST_F(InstallSequence, EmptyFolderFieldEndsLikeCancel) {
    script.typed_folder.clear();
    EXPECT_EQ(run_install(), 0);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_TRUE(steps_after_start().empty());
}

TEST_F(InstallSequence, FolderThatCannotBeCreatedIsReportedAndStopsBeforeTheDownload) {
    script.typed_folder = scratch.path() + "\\" + std::string(300, 'x');
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
    EXPECT_EQ(run_install(), 1);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message, "Could not open the download URL.");
    EXPECT_EQ(journal.download_url, package_url());
    EXPECT_EQ(journal.download_path, temp_package_path());
    EXPECT_TRUE(folder_exists(script.typed_folder));
    EXPECT_EQ(journal.calls.back(), "window released");
}

TEST_F(InstallSequence, PartialPackageOfAFailedDownloadIsLeftAsTheDownloadLeftIt) {
    script.download_succeeds = false;
    script.download_message = "The download failed.";
    EXPECT_EQ(run_install(), 1);
    EXPECT_TRUE(file_exists(temp_package_path()));
}

TEST_F(InstallSequence, CancelledDownloadShowsNoBox) {
    script.download_succeeds = false;
    script.download_message = "Setup was cancelled.";
    script.download_writes_package = false;
    EXPECT_EQ(run_install(), 1);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_EQ(steps_after_start().back(), "window released");
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

TEST_F(InstallSequence, ExtractionFailureNamesTheKeptPackage) {
    script.extraction_succeeds = false;
    script.extraction_message = "The zip directory is corrupt.";
    EXPECT_EQ(run_install(), 1);
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message,
              "The zip directory is corrupt." + std::string(kept_suffix) + temp_package_path());
    EXPECT_FALSE(journal.boxes[0].success);
    EXPECT_TRUE(file_exists(temp_package_path()));
    EXPECT_EQ(journal.extract_package_path, temp_package_path());
    EXPECT_EQ(journal.extract_install_folder, script.typed_folder);
    for (const char* record : {"install_uninstaller", "write_manifest", "create_shortcuts",
                               "register_uninstall_entry"}) {
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), record), 0) << record;
    }
}

TEST_F(InstallSequence, CancelledExtractionShowsNoBoxAndKeepsThePackage) {
    script.extraction_succeeds = false;
    script.extraction_message = "Setup was cancelled.";
    EXPECT_EQ(run_install(), 1);
    EXPECT_TRUE(journal.boxes.empty());
    EXPECT_TRUE(file_exists(temp_package_path()));
}

TEST_F(InstallSequence, SuccessRunsEveryStepInOrderAndDeletesThePackage) {
    script.extracted = {"bin\\client\\Qm_client.exe", "data\\a.pak"};
    // The free-space check of the extraction counts the uninstaller copy.
    script.uninstaller_bytes = 1234567;
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(steps_after_start(),
              (std::vector<std::string>{
                  "enter_install_mode",
                  "status Preparing install folder... | " + script.typed_folder, "download",
                  "extract", "status Preparing uninstaller... | ", "install_uninstaller",
                  "write_manifest", "status Creating shortcuts... | ", "create_shortcuts",
                  "register_uninstall_entry", "finish", "window released"}));
    ASSERT_EQ(journal.boxes.size(), 1u);
    EXPECT_EQ(journal.boxes[0].message, "Quellmark was installed successfully.");
    EXPECT_TRUE(journal.boxes[0].success);
    EXPECT_EQ(journal.manifest_entries, 2u);
    EXPECT_EQ(journal.extract_extra_bytes, script.uninstaller_bytes);
    for (const std::string& folder : journal.record_folders) EXPECT_EQ(folder, script.typed_folder);
    EXPECT_FALSE(file_exists(temp_package_path()));
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
        // Both are attempted whichever fails.
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "write_manifest"), 1);
        EXPECT_EQ(std::count(journal.calls.begin(), journal.calls.end(), "register_uninstall_entry"), 1);
    }
}

TEST_F(InstallSequence, FolderTextIsUsedExactlyAsTyped) {
    script.typed_folder = scratch.path() + "\\Two  Spaces\\Games/Mixed";
    EXPECT_EQ(run_install(), 0);
    EXPECT_EQ(journal.extract_install_folder, script.typed_folder);
}

}  // namespace
