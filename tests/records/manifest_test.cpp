// The manifest on disk: exact bytes written, and every shape of line the
// reader may meet in a damaged or edited file.
#include "records/manifest.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "records/manifest_log.h"
#include "tests/support/held_folder.h"
#include "tests/support/scratch_folder.h"
#include "zip/open_folders.h"

namespace {

using test_support::ScratchFolder;

std::vector<std::string> read_back(const ScratchFolder& folder, const std::string& bytes) {
    test_support::write_file(folder.at("installed-files.txt"), bytes);
    std::vector<std::string> paths;
    EXPECT_TRUE(test_support::read_manifest(folder.path(), paths));
    return paths;
}

TEST(WriteManifest, WritesOneCrLfLinePerFileAndNothingElse) {
    ScratchFolder folder;
    ASSERT_TRUE(test_support::write_manifest(folder.path(), {"a.txt", "bin\\b.dll"}));
    EXPECT_EQ(test_support::read_file(folder.at("installed-files.txt")),
              "a.txt\r\nbin\\b.dll\r\n");

    // A second install replaces the whole file; an empty list leaves it empty.
    ASSERT_TRUE(test_support::write_manifest(folder.path(), {}));
    EXPECT_EQ(test_support::read_file(folder.at("installed-files.txt")), "");
    std::vector<std::string> paths;
    EXPECT_TRUE(test_support::read_manifest(folder.path(), paths));
    EXPECT_TRUE(paths.empty());
}

TEST(WriteManifest, FailsWhenTheFileCannotBeCreated) {
    ScratchFolder folder;
    EXPECT_FALSE(test_support::write_manifest(folder.at("missing"), {"a.txt"}));
}

#ifndef _WIN32
// A disk that fills up mid-write must not pass for a complete manifest; a
// link in the list's place is not written through at all.
TEST(WriteManifest, FailsWhenTheBytesCannotBeWritten) {
    HeldRecords records;
    records.manifest.reset(std::fopen("/dev/full", "w+b"));
    ASSERT_TRUE(records.manifest);
    EXPECT_FALSE(write_manifest(records, {"a.txt"}));

    ScratchFolder folder;
    std::filesystem::create_symlink("/dev/full", test_support::native(folder.at("installed-files.txt")));
    EXPECT_FALSE(test_support::write_manifest(folder.path(), {"a.txt"}));
}
#endif

TEST(ReadManifest, TakesEveryLineEndAndKeepsTheTextAsStored) {
    ScratchFolder folder;
    const auto paths = read_back(folder,
                                 "lf.txt\n"
                                 "crcrlf.txt\r\r\n"
                                 "\r\n"
                                 "\n"
                                 "bin\\b.dll \r\n"
                                 "\tdata\\tab.txt\r\n"
                                 "bin/b.dll\r\n"
                                 "last.txt");
    EXPECT_EQ(paths, (std::vector<std::string>{"lf.txt", "crcrlf.txt", "bin\\b.dll ",
                                               "\tdata\\tab.txt", "bin/b.dll", "last.txt"}));
}

TEST(ReadManifest, DropsUnsafeLinesAndKeepsTheirNeighbours) {
    ScratchFolder folder;
    const auto paths = read_back(folder,
                                 "first.txt\r\n"
                                 "C:\\Windows\\x.dll\r\n"
                                 "second.txt\r\n"
                                 "\\x.dll\r\n"
                                 "..\\x.dll\r\n"
                                 "data\\..\\..\\x.dll\r\n"
                                 "/x.dll\r\n"
                                 "C:x.dll\r\n"
                                 "data\\COM1.bin\r\n"
                                 "QuellmarkUninstall.exe\r\n"
                                 "Installed-Files.txt.\r\n"
                                 "last.txt\r\n");
    EXPECT_EQ(paths, (std::vector<std::string>{"first.txt", "second.txt", "last.txt"}));
}

// A line longer than any name the install writes is skipped whole: its
// pieces would each name some other file.
TEST(ReadManifest, SkipsLinesLongerThanTheLongestPathWhole) {
    ScratchFolder folder;
    const std::string longest(1024, 'e');
    const std::string one_more(1025, 'o');
    // Read in pieces, the first line's tail would name victim.txt.
    const std::string longer = std::string(1039, 'a') + "victim.txt";
    const auto paths =
        read_back(folder, longest + "\r\n" + one_more + "\r\n" + longer + "\r\n" +
                              std::string(3000, 'b') + "\\x.txt\r\nend.txt\r\n" +
                              std::string(2000, 'c'));
    EXPECT_EQ(paths, (std::vector<std::string>{longest, "end.txt"}));
}

TEST(ReadManifest, AppendsToTheCallersList) {
    ScratchFolder folder;
    test_support::write_file(folder.at("installed-files.txt"), "a.txt\r\n");
    std::vector<std::string> paths{"earlier"};
    EXPECT_TRUE(test_support::read_manifest(folder.path(), paths));
    EXPECT_EQ(paths, (std::vector<std::string>{"earlier", "a.txt"}));
}

TEST(ReadManifest, MissingManifestIsFalseAndLeavesTheListAlone) {
    ScratchFolder folder;
    std::vector<std::string> paths{"earlier"};
    EXPECT_FALSE(test_support::read_manifest(folder.path(), paths));
    EXPECT_EQ(paths, std::vector<std::string>{"earlier"});
}

// A reinstall's list: the new package's lines first, then what is left of
// the earlier installs, each file once.
TEST(KeepEarlierFiles, AddsTheEarlierFilesStillThereAfterTheNewOnesEachOnce) {
    ScratchFolder scratch;
    const std::string game = scratch.at("game");
    test_support::make_folders(game + "\\data");
    for (const char* file : {"data\\a.pak", "data\\old.pak"})
        test_support::write_file(game + "\\" + file, "x");
    test_support::write_file(scratch.at("outside.txt"), "not the game's");
    std::vector<InstalledFile> files{"data\\a.pak"};
    // The new file spelled otherwise; one still there, listed twice; one gone;
    // a folder; a file that exists, but not below the install folder.
    keep_earlier_files(test_support::opened(game),
                       {"DATA/A.PAK", "data/old.pak", "Data\\Old.pak", "data\\gone.pak", "data",
                        "..\\outside.txt"},
                       files);
    EXPECT_EQ(files, (std::vector<InstalledFile>{"data\\a.pak", "data/old.pak"}));
}

}  // namespace

// While files are made, the held list names each one after the earlier
// lines, as soon as the file exists and before its first byte; at the end
// the whole list replaces it.
TEST(ManifestLog, NamesEachFileOnDiskBeforeItsBytesAndGivesWayToTheFinalList) {
    ScratchFolder scratch;
    InstallFolder folder;
    ASSERT_EQ(open_install_folder(scratch.at("game"), folder), platform::EntryResult::done);
    const std::string list = scratch.at("game\\installed-files.txt");
    HeldRecords records;
    ASSERT_TRUE(take_manifest(folder, {"old\\kept.txt"}, records));

    ManifestLog log(records.manifest);
    folder.ledger = &log;
    OpenFolders folders(folder);
    std::string expected = "old\\kept.txt\r\n";
    for (const std::string name : {"a.txt", "bin\\client\\b.dll", "bin\\c.dat"}) {
        std::string message;
        platform::File file = folders.create_file(name, message);
        ASSERT_TRUE(file) << message;
        expected += name + "\r\n";
#ifndef _WIN32
        // Windows lets nobody read the open list; a killed run reads it there
        // (the end-to-end test).
        EXPECT_EQ(test_support::read_file(list), expected) << name;
#endif
        std::fputs("bytes", file.get());
        ASSERT_TRUE(platform::close_file(file));
    }
    folder.ledger = nullptr;
    EXPECT_TRUE(log.named_any());
    ASSERT_TRUE(write_manifest(records, {"a.txt", "bin\\client\\b.dll"}));
    EXPECT_EQ(test_support::read_file(list), "a.txt\r\nbin\\client\\b.dll\r\n");
}
