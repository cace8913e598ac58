#include "paths/install_locations.h"
#include "paths/path_operations.h"

#include <gtest/gtest.h>

#include <regex>

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
    const std::string url = package_url();
    ASSERT_GT(url.size(), sizeof "QuellmarkFull.zip");
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    EXPECT_EQ(url, std::string(package_base_url) + "QuellmarkFull.zip");
    EXPECT_EQ(url.substr(url.size() - 18), "/QuellmarkFull.zip");
}

TEST(FixedLocations, EachPackageFolderIsNewAndNamedAtRandomInTheTemporaryFolder) {
    const std::string first = create_package_folder();
    const std::string second = create_package_folder();
    for (const std::string& folder : {first, second}) {
        const std::string temp = platform::temp_folder();
        ASSERT_EQ(folder.size(), temp.size() + 26) << folder;
        EXPECT_EQ(folder.substr(0, temp.size()), temp);
        EXPECT_TRUE(std::regex_match(folder.substr(temp.size()),
                                     std::regex("Quellmark-[0-9A-F]{16}"))) << folder;
        EXPECT_TRUE(folder_exists(folder));
        platform::remove_folder(folder);
    }
    EXPECT_NE(first, second);
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
