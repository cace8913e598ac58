#include "paths/folder_cache.h"
#include "paths/folder_check.h"
#include "paths/install_folder.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/platform.h"

#include "tests/support/scratch_folder.h"

using test_support::folder_exists;
using test_support::ScratchFolder;

TEST(JoinPath, FollowsTheFirstRuleThatApplies) {
    struct Case {
        const char* folder;
        const char* name;
        const char* joined;
    } cases[] = {
        {"", "a\\b", "a\\b"},
        {"C:\\x", "", "C:\\x"},
        {"C:\\x", "D:\\y", "D:\\y"},
        {"C:\\x", "d:", "d:"},
        {"C:\\x", ":", "C:\\x\\:"},
        {"C:\\x", "\\y", "\\y"},
        {"C:\\x", "/y", "/y"},
        {"C:\\x\\", "y", "C:\\x\\y"},
        {"C:\\x/", "y", "C:\\x/y"},
        {"C:\\x", "y\\z\\", "C:\\x\\y\\z\\"},
        {"C:\\x", "y/z", "C:\\x\\y/z"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(join_path(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
    }
}

TEST(FixedLocations, AreTheInstallDefaults) {
    EXPECT_EQ(default_install_folder(), "C:\\Games\\The Annals of Quellmark");
}

TEST(CreateDirectoryTree, EmptyPathCreatesNothing) { EXPECT_TRUE(create_directory_tree("")); }

TEST(CreateDirectoryTree, CreatesEveryPrefixAndAcceptsExistingOnes) {
    ScratchFolder scratch;
    const std::string target = scratch.path() + "\\Games\\The Annals of Quellmark";
    EXPECT_TRUE(create_directory_tree(target));
    EXPECT_TRUE(folder_exists(scratch.at("Games")));
    EXPECT_TRUE(folder_exists(scratch.at("Games\\The Annals of Quellmark")));
    // A second time every folder exists already: still a success.
    EXPECT_TRUE(create_directory_tree(target));
}

TEST(CreateDirectoryTree, ForwardAndDoubledSeparatorsMakeOneChain) {
    ScratchFolder scratch;
    EXPECT_TRUE(create_directory_tree(scratch.path() + "/Games//x/"));
    EXPECT_TRUE(folder_exists(scratch.at("Games\\x")));
}

TEST(CreateDirectoryTree, DotDotComponentsArePassedUnchanged) {
    ScratchFolder scratch;
    EXPECT_TRUE(create_directory_tree(scratch.path() + "\\a\\..\\b"));
    EXPECT_TRUE(folder_exists(scratch.at("a")));
    EXPECT_TRUE(folder_exists(scratch.at("b")));
}

TEST(CreateDirectoryTree, APlainFileInTheChainCountsAsCreated) {
    ScratchFolder scratch;
    test_support::write_file(scratch.at("blocker"), "x");
    EXPECT_TRUE(create_directory_tree(scratch.path() + "\\blocker"));
    // The failure shows only below it, where a folder cannot be made.
    EXPECT_FALSE(create_directory_tree(scratch.path() + "\\blocker\\inner"));
}

TEST(CreateDirectoryTree, ARefusedPrefixStopsTheWalkAndKeepsEarlierFolders) {
    ScratchFolder scratch;
    // No file system takes a 300-byte folder name, so that prefix is refused
    // after "made" was created; "deeper" is never tried.
    const std::string too_long(300, 'x');
    EXPECT_FALSE(create_directory_tree(scratch.path() + "\\made\\" + too_long + "\\deeper"));
    EXPECT_TRUE(folder_exists(scratch.at("made")));
    EXPECT_FALSE(folder_exists(scratch.at("made\\" + too_long)));
}

// The install folder and the new folders above it are made with the access
// list and the folder is then protected through its handle; the records made
// in it with their own lists stay readable to the setup that wrote them.
TEST(InstallFolder, IsMadeProtectedAndItsRecordsStayReadable) {
    ScratchFolder scratch;
    InstallFolder folder;
    ASSERT_EQ(open_install_folder(scratch.at("Games\\Quellmark"), folder),
              platform::EntryResult::done);
    EXPECT_TRUE(folder.protected_access);
    for (const platform::AccessList list :
         {platform::AccessList::uninstaller, platform::AccessList::manifest}) {
        const platform::AccessDescriptor access(list);
        platform::File file;
        ASSERT_EQ(platform::create_file_in(folder.handle, "record", file, &access),
                  platform::EntryResult::done);
        ASSERT_GE(std::fputs("kept", file.get()), 0);
        ASSERT_TRUE(platform::close_file(file));
        EXPECT_EQ(test_support::read_file(scratch.at("Games\\Quellmark\\record")), "kept");
    }
}

#ifdef _WIN32
// Wine neither keeps nor enforces access lists, so they are checked as the
// system writes the built descriptors back: owner Administrators, protected.
TEST(AccessLists, AreOwnedByAdministratorsAndProtected) {
    using platform::AccessList;
    const struct {
        AccessList list;
        const char* text;
    } cases[] = {
        {AccessList::install_folder,
         "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;FA;;;CO)"
         "(A;CI;0x100006;;;AU)"},
        {AccessList::uninstaller, "O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)"},
        {AccessList::manifest, "O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)"},
    };
    for (const auto& c : cases) {
        platform::AccessDescriptor descriptor(c.list);
        ASSERT_TRUE(descriptor.built());
        EXPECT_EQ(descriptor.text(), c.text);
    }
}
#endif

// In code page 932, 0x95 0x5C is one character whose trail byte is the
// backslash. The test runs once more with a Japanese locale, which sets
// QM_EXPECT_DOUBLE_BYTE; anywhere else it has nothing to show.
TEST(DoubleByteCodePage, ATrailByteThatIsABackslashIsNoSeparator) {
    const std::string kanji = "\x95\\";
    if (platform::next_character(kanji, 0) != 2) {
        if (std::getenv("QM_EXPECT_DOUBLE_BYTE")) FAIL() << "the ANSI code page is not 932";
        GTEST_SKIP() << "needs a double-byte ANSI code page";
    }
    EXPECT_EQ(parent_folder("data\\" + kanji), "data");
    EXPECT_EQ(parent_folder(kanji + ".bin"), "");
    EXPECT_EQ(final_component("data\\" + kanji), kanji);
    EXPECT_EQ(join_path("C:\\" + kanji, "x"), "C:\\" + kanji + "\\x");
    EXPECT_FALSE(ends_with_separator("data\\" + kanji));
    EXPECT_TRUE(ends_with_separator(kanji + "\\"));
    EXPECT_TRUE(is_safe_relative_path(kanji + "\\x.txt"));
    EXPECT_TRUE(is_safe_relative_path(kanji + "CON"));
    EXPECT_EQ(read_folder_text("C:\\Games\\\x95|").problem, FolderTextProblem::none);

    ScratchFolder scratch;
    EXPECT_TRUE(create_directory_tree(scratch.at(kanji + "\\sub")));
    // Asked through the ANSI functions: the test helpers read paths otherwise.
    EXPECT_TRUE(platform::folder_exists(scratch.at(kanji + "\\sub")));
    EXPECT_FALSE(platform::folder_exists(scratch.at(kanji + "sub")));
    platform::FolderHandle root;
    ASSERT_EQ(platform::open_folder(scratch.path(), root), platform::EntryResult::done);
    FolderCache folders(root, true);
    EXPECT_NE(folders.open(kanji + "\\deeper"), nullptr);
    EXPECT_TRUE(platform::folder_exists(scratch.at(kanji + "\\deeper")));
}
