// Uninstall mode as the user meets it: the real setup program, copied into an
// install folder as its uninstaller, started with "/uninstall" in a process
// of its own, its boxes answered from outside, the results read off the disk
// and the registry.
#include <gtest/gtest.h>

#include <algorithm>

#include "records/install_records.h"
#include "records/manifest.h"
#include "tests/records/box_script.h"
#include "tests/records/probes.h"
#include "tests/support/held_folder.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::opened;

using namespace records_test;
using test_support::file_exists;
using test_support::folder_exists;

constexpr char caption[] = "Quellmark Uninstall";
constexpr char confirmation[] = "Remove The Annals of Quellmark from this computer?";
constexpr char completion[] = "The Annals of Quellmark was removed.";

// The build's setup program, reached through Wine's drive for the host's root.
std::string setup_program() {
    std::string path = std::string("Z:") + QM_SETUP_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

struct UninstallRun {
    bool finished = false;
    DWORD exit_code = 0xFFFFFFFF;
    std::vector<AnsweredBox> boxes;
};

class UninstallMode : public ::testing::Test {
protected:
    void SetUp() override {
        clear_records();
        install_folder = scratch.at("The Annals of Quellmark");
        test_support::make_folders(install_folder);
        uninstaller = install_folder + "\\QuellmarkUninstall.exe";
        ASSERT_TRUE(CopyFileA(setup_program().c_str(), uninstaller.c_str(), FALSE))
            << setup_program();
    }
    void TearDown() override {
        clear_records();
        forget_pending_deletion(uninstaller);
    }

    static void clear_records() {
        delete_key(HKEY_LOCAL_MACHINE, uninstall_key);
        DeleteFileA(desktop_shortcut().c_str());
        DeleteFileA(menu_shortcut().c_str());
        RemoveDirectoryA(menu_folder().c_str());
    }

    std::string at(const std::string& relative) const { return install_folder + "\\" + relative; }

    // What an install leaves: the files, then the records made by the
    // install's own operations.
    void install(const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            const size_t cut = file.find_last_of('\\');
            if (cut != std::string::npos) test_support::make_folders(at(file.substr(0, cut)));
            test_support::write_file(at(file), file);
        }
        ASSERT_TRUE(test_support::write_manifest(install_folder, files));
        create_shortcuts(opened(install_folder));
        register_uninstall_entry(opened(install_folder));
        ASSERT_TRUE(file_exists(desktop_shortcut()));
        ASSERT_TRUE(file_exists(menu_shortcut()));
        ASSERT_TRUE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    }

    // Starts the uninstaller the way the uninstall entry does, from
    // working_folder, and clicks the given buttons on its boxes in turn.
    UninstallRun uninstall(std::vector<int> answers, const std::string& working_folder = {}) {
        UninstallRun run;
        wait_for_earlier_copies();
        std::string command = "\"" + uninstaller + "\" /uninstall";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(uninstaller.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            working_folder.empty() ? nullptr : working_folder.c_str(), &startup,
                            &process)) {
            ADD_FAILURE() << "cannot start " << uninstaller << ": " << GetLastError();
            return run;
        }
        {
            BoxScript script(caption, process.dwProcessId, std::move(answers));
            run.finished = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
            if (!run.finished) TerminateProcess(process.hProcess, 99);
            run.boxes = script.answered();
        }
        GetExitCodeProcess(process.hProcess, &run.exit_code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return run;
    }

    // A copy from the case before may still be going away, its window or its
    // one-copy mutex not yet gone; started meanwhile, this one would rightly
    // step aside for it and end without a word.
    static void wait_for_earlier_copies() {
        for (int i = 0; i < 100 && (FindWindowA("QuellmarkSetupWindow", nullptr) ||
                                    FindWindowA("#32770", caption));
             ++i) {
            Sleep(100);
        }
        if (HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\QuellmarkSetup")) {
            if (WaitForSingleObject(mutex, 10000) != WAIT_TIMEOUT) ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    }

    bool deletion_pending() const {
        const std::vector<std::string> pending = pending_deletions();
        return std::any_of(pending.begin(), pending.end(), [&](const std::string& path) {
            return lstrcmpiA(path.c_str(), uninstaller.c_str()) == 0;
        });
    }

    static void expect_confirmation(const AnsweredBox& box) {
        EXPECT_EQ(box.text, confirmation);
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_FALSE(box.has_owner);
    }

    static void expect_completion(const AnsweredBox& box) {
        EXPECT_EQ(box.text, completion);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(box.has_owner);
    }

    void expect_records_removed() const {
        EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
        EXPECT_FALSE(file_exists(desktop_shortcut()));
        EXPECT_FALSE(file_exists(menu_shortcut()));
        EXPECT_FALSE(folder_exists(menu_folder()));
        EXPECT_FALSE(file_exists(at("installed-files.txt")));
        // The running program cannot go now; it is left for the next restart.
        EXPECT_TRUE(file_exists(uninstaller));
        EXPECT_TRUE(deletion_pending());
    }

    test_support::ScratchFolder scratch;
    std::string install_folder;
    std::string uninstaller;
};

const std::vector<std::string> game_files = {
    "bin\\client\\Qm_client.exe", "bin\\client\\data\\a.pak", "docs\\readme.txt", "top.txt"};

TEST_F(UninstallMode, AnsweringNoLeavesEverythingInPlace) {
    install(game_files);
    const UninstallRun run = uninstall({IDNO});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    expect_confirmation(run.boxes[0]);

    for (const std::string& file : game_files) EXPECT_TRUE(file_exists(at(file))) << file;
    EXPECT_TRUE(file_exists(at("installed-files.txt")));
    EXPECT_TRUE(file_exists(desktop_shortcut()));
    EXPECT_TRUE(file_exists(menu_shortcut()));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    EXPECT_FALSE(deletion_pending());
}

TEST_F(UninstallMode, AnsweringYesRemovesTheInstallButKeepsWhatTheGameWroteLater) {
    install(game_files);
    test_support::write_file(at("bin\\client\\settings.ini"), "written by the game");
    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    ASSERT_EQ(run.boxes.size(), 2u);
    expect_confirmation(run.boxes[0]);
    expect_completion(run.boxes[1]);

    for (const std::string& file : game_files) EXPECT_FALSE(file_exists(at(file))) << file;
    expect_records_removed();
    // Emptied folders go, deepest first; the later file keeps its chain.
    EXPECT_FALSE(folder_exists(at("bin\\client\\data")));
    EXPECT_FALSE(folder_exists(at("docs")));
    EXPECT_TRUE(file_exists(at("bin\\client\\settings.ini")));
    EXPECT_TRUE(folder_exists(at("bin\\client")));
    EXPECT_TRUE(folder_exists(install_folder));
}

// The records name the folder in another case, with another separator and a
// trailing one: still this install's own. The last name is as extraction
// lands a UTF-8 flagged "données" on a Western European system: ANSI bytes,
// in the manifest as on disk.
TEST_F(UninstallMode, RemovesNestedFoldersAndRecordsWhateverTheirCase) {
    install({"Bin\\x\\a.dat", "bin\\x\\b.dat", "deep\\er\\and\\deeper\\c.dat", "deep\\d.dat",
             "donn\xE9" "es\\carte du monde.txt"});
    ASSERT_TRUE(file_exists(at("donn\xE9" "es\\carte du monde.txt")));
    std::string spelled = install_folder + "\\";
    CharUpperA(&spelled[0]);
    spelled[spelled.find_last_of('\\', spelled.size() - 2)] = '/';
    register_uninstall_entry(opened(spelled));
    create_shortcuts(opened(spelled));
    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_FALSE(folder_exists(at("bin")));
    EXPECT_FALSE(folder_exists(at("deep")));
    EXPECT_FALSE(folder_exists(at("donn\xE9" "es")));
    expect_records_removed();
}

void expect_records_kept(const std::string& uninstaller) {
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    EXPECT_TRUE(file_exists(desktop_shortcut()));
    EXPECT_TRUE(file_exists(menu_shortcut()));
    EXPECT_TRUE(file_exists(uninstaller));
}

// Without its list nothing can find the game's files again once the records
// are gone: so nothing goes, and the person is told how to remove the game.
TEST_F(UninstallMode, MissingManifestRemovesNothingAndSaysSo) {
    install(game_files);
    DeleteFileA(at("installed-files.txt").c_str());
    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 1u);
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].text,
              "The list of installed files could not be read, so nothing was removed.\n\n"
              "To remove the game, delete its folder:\n" + install_folder);

    expect_records_kept(uninstaller);
    EXPECT_FALSE(deletion_pending());
    for (const std::string& file : game_files) EXPECT_TRUE(file_exists(at(file))) << file;
}

// The game still runs: its client cannot be deleted. The uninstall names it,
// keeps exactly its line and every record, and a second run after the game
// has closed finishes the removal.
TEST_F(UninstallMode, AFileInUseIsNamedAndTheNextRunRemovesIt) {
    install(game_files);
    HANDLE running = CreateFileA(at(game_files[0]).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    const UninstallRun run = uninstall({IDYES, IDOK});
    CloseHandle(running);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 1u);
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].text,
              "Some files could not be removed. Close the game and run the uninstall again.\n\n" +
                  at(game_files[0]));
    EXPECT_EQ(test_support::read_file(at("installed-files.txt")), game_files[0] + "\r\n");
    expect_records_kept(uninstaller);
    EXPECT_FALSE(deletion_pending());
    for (size_t i = 1; i < game_files.size(); ++i) EXPECT_FALSE(file_exists(at(game_files[i])));

    const UninstallRun again = uninstall({IDYES, IDOK});
    ASSERT_TRUE(again.finished);
    EXPECT_EQ(again.exit_code, 0u);
    EXPECT_FALSE(file_exists(at(game_files[0])));
    EXPECT_FALSE(folder_exists(at("bin")));
    expect_records_removed();
}

// The list is replaced by a new file renamed over it, or deleted at the end;
// while another program holds it neither can happen, and the records stay,
// the person told so, until a run after it let go finishes.
TEST_F(UninstallMode, AListThatCannotBeReplacedKeepsTheRecordsAndSaysSo) {
    const std::string not_updated =
        "The list of installed files could not be updated, so the uninstall entry was kept. Run "
        "the uninstall again to finish.";
    std::string listed;
    for (const std::string& file : game_files) listed += file + "\r\n";
    for (const bool file_in_use : {true, false}) {
        SCOPED_TRACE(file_in_use ? "a file in use" : "every file removed");
        install(game_files);
        HANDLE running = file_in_use ? CreateFileA(at(game_files[0]).c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                                   nullptr)
                                     : INVALID_HANDLE_VALUE;
        const HANDLE holder = CreateFileA(at("installed-files.txt").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        const UninstallRun run = uninstall({IDYES, IDOK});
        CloseHandle(holder);
        if (running != INVALID_HANDLE_VALUE) CloseHandle(running);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exit_code, 1u);
        ASSERT_EQ(run.boxes.size(), 2u);
        EXPECT_EQ(run.boxes[1].text,
                  file_in_use ? "Some files could not be removed. Close the game and run the "
                                "uninstall again.\n\n" + at(game_files[0]) + "\n\n" + not_updated
                              : not_updated);
        EXPECT_EQ(test_support::read_file(at("installed-files.txt")), listed);
        expect_records_kept(uninstaller);
        EXPECT_FALSE(deletion_pending());
    }
    const UninstallRun again = uninstall({IDYES, IDOK});
    ASSERT_TRUE(again.finished);
    EXPECT_EQ(again.exit_code, 0u);
    expect_records_removed();
}

// An edited manifest that names places outside the install folder in every
// way a path can: none of them is touched, the safe lines still are.
TEST_F(UninstallMode, TamperedManifestTouchesNothingOutsideTheInstallFolder) {
    install({"inside.txt", "sub\\inside.txt"});
    const std::string outside = scratch.at("outside");
    test_support::make_folders(outside + "\\empty");
    const std::vector<std::string> victims = {"abs.txt", "rooted.txt", "dots.txt",
                                              "slashes.txt", "drive.txt", "walk.txt"};
    for (const std::string& victim : victims) {
        test_support::write_file(outside + "\\" + victim, "keep me");
    }
    const std::string rooted = outside.substr(2);  // the same place without its drive
    test_support::write_file(at("installed-files.txt"),
                             "inside.txt\r\n" + outside + "\\abs.txt\r\n" + rooted +
                                 "\\rooted.txt\r\n"
                                 "..\\outside\\dots.txt\r\n"
                                 "../outside/slashes.txt\r\n"
                                 "C:drive.txt\r\n"
                                 "sub\\..\\..\\outside\\walk.txt\r\n"
                                 "..\\outside\\empty\\gone.txt\r\n"
                                 "sub\\inside.txt\r\n");

    // Started from the outside folder, so drive-relative and relative paths
    // would land there too.
    const UninstallRun run = uninstall({IDYES, IDOK}, outside);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);

    for (const std::string& victim : victims) {
        EXPECT_TRUE(file_exists(outside + "\\" + victim)) << victim;
    }
    EXPECT_TRUE(folder_exists(outside + "\\empty"));
    EXPECT_FALSE(file_exists(at("inside.txt")));
    EXPECT_FALSE(file_exists(at("sub\\inside.txt")));
    EXPECT_FALSE(folder_exists(at("sub")));
}

// Another program swaps a listed folder and a listed file for links to
// outside after the install: the uninstaller deletes nothing they lead to.
TEST_F(UninstallMode, FoldersAndFilesSwappedForLinksLeadNowhereOutside) {
    install(game_files);
    const std::string outside = scratch.at("outside");
    test_support::make_folders(outside + "\\client\\data");
    for (const char* name : {"client\\Qm_client.exe", "client\\data\\a.pak", "victim.txt"}) {
        test_support::write_file(outside + "\\" + name, "keep me");
    }
    test_support::rename_from_outside(at("bin"), at("bin.moved"));
    test_support::plant_link(outside, at("bin"));
    DeleteFileA(at("top.txt").c_str());
    test_support::plant_link(outside + "\\victim.txt", at("top.txt"));

    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
    for (const char* name : {"client\\Qm_client.exe", "client\\data\\a.pak", "victim.txt"}) {
        EXPECT_EQ(test_support::read_file(outside + "\\" + name), "keep me") << name;
    }
    EXPECT_FALSE(file_exists(at("docs\\readme.txt")));
}

// A later install elsewhere owns the entry and the shortcuts: this
// uninstaller leaves them and still removes its own files.
TEST_F(UninstallMode, RecordsOfAnInstallElsewhereStay) {
    install(game_files);
    const std::string elsewhere = scratch.at("Quellmark2");
    register_uninstall_entry(opened(elsewhere));
    create_shortcuts(opened(elsewhere));
    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.boxes.size(), 2u) << "exit code " << run.exit_code;
    expect_completion(run.boxes[1]);

    for (const std::string& file : game_files) EXPECT_FALSE(file_exists(at(file))) << file;
    EXPECT_FALSE(file_exists(at("installed-files.txt")));
    const RegistryValue location = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "InstallLocation");
    EXPECT_EQ(location.bytes, elsewhere + '\0');
    EXPECT_EQ(load_shortcut(desktop_shortcut()).target, elsewhere + "\\bin\\client\\Qm_client.exe");
    EXPECT_EQ(load_shortcut(menu_shortcut()).target, elsewhere + "\\bin\\client\\Qm_client.exe");
}

// Installing again before the restart takes back the deletion the uninstall
// left for the uninstaller's file, however its path is spelt, and no other
// entry.
TEST_F(UninstallMode, ReinstallTakesBackOnlyThePendingDeletionOfItsUninstaller) {
    install(game_files);
    // Other programs' entries: deletions (one of a file of the same name) and
    // a replacing rename, which must stay byte for byte.
    const wchar_t other_entries[] =
        L"\\??\\C:\\other\\gone.tmp\0\0"
        L"\\??\\C:\\other\\a.txt\0!\\??\\C:\\other\\b.txt\0"
        L"\\??\\C:\\other\\QuellmarkUninstall.exe\0\0\0";
    const std::wstring others(other_entries, sizeof other_entries / sizeof(wchar_t) - 1);
    struct Restore {
        std::wstring value = pending_operations();
        ~Restore() { set_pending_operations(value); }
    } restore;
    set_pending_operations(others);
    const UninstallRun run = uninstall({IDYES, IDOK});
    ASSERT_TRUE(run.finished);
    ASSERT_TRUE(deletion_pending());
    // The same deletion spelt otherwise, in capitals and by the short name
    // the file system gives it: each still reaches the file.
    const std::wstring wide(uninstaller.begin(), uninstaller.end());
    std::wstring capitals = wide;
    for (wchar_t& c : capitals) c = static_cast<wchar_t>(towupper(c));
    wchar_t short_name[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(wide.c_str(), short_name, MAX_PATH), 0u);
    std::wstring spelt;
    for (const std::wstring& spelling : {capitals, std::wstring(short_name)}) {
        spelt += L"\\??\\" + spelling + L'\0' + L'\0';
    }
    set_pending_operations(spelt + pending_operations());

    EXPECT_TRUE(test_support::install_uninstaller(install_folder));
    EXPECT_FALSE(deletion_pending());
    EXPECT_TRUE(pending_operations() == others);
}

}  // namespace