// The link check on real links. Host only: a Windows program under Wine
// cannot make one; the end-to-end tests plant them from outside instead.
#include "paths/path_operations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::folder_exists;
using test_support::make_folders;
using test_support::ScratchFolder;

// base/real/link and base/top point at outside; moved is a link to base.
struct LinkedTree {
    LinkedTree() {
        make_folders(scratch.at("base\\real"));
        make_folders(scratch.at("outside"));
        fs::create_directory_symlink(scratch.at("outside"), scratch.at("base\\real\\link"));
        fs::create_directory_symlink(scratch.at("outside"), scratch.at("base\\top"));
        fs::create_directory_symlink(scratch.at("base"), scratch.at("moved"));
    }
    bool outside_is_empty() const { return fs::is_empty(scratch.at("outside")); }

    ScratchFolder scratch;
    std::string base = scratch.at("base");
};

TEST(LinkCrossedBelow, NamesTheFirstLinkAPathPassesThroughBelowTheFolder) {
    LinkedTree tree;
    const struct {
        const char* path;
        const char* link;  // below base; empty for none
    } cases[] = {
        {"real\\file.txt", ""},
        {"real\\link\\file.txt", "real\\link"},
        {"real/link/deeper/file.txt", "real/link"},
        {"top\\real\\link\\file.txt", "top"},
        {"real\\link", ""},   // the link itself is not passed through
        {"real\\link\\", "real\\link"},
        {"missing\\file.txt", ""},
    };
    for (const auto& c : cases) {
        const std::string expected = *c.link ? join_path(tree.base, c.link) : "";
        EXPECT_EQ(link_crossed_below(tree.base, c.path), expected) << c.path;
    }
    // The folder itself and those above it are never asked about.
    EXPECT_EQ(link_crossed_below(tree.scratch.at("moved"), "real\\file.txt"), "");
    // A folder already checked is not asked about again.
    FolderMemory checked;
    checked.remember(join_path(tree.base, "top"));
    EXPECT_EQ(link_crossed_below(tree.base, "top\\file.txt", &checked), "");
}

TEST(CreateFoldersBelow, MakesTheChainAndStopsAtALinkWithNothingMadeThroughIt) {
    LinkedTree tree;
    FolderMemory memory;
    std::string link;
    EXPECT_TRUE(create_folders_below(tree.base, "new\\deeper", memory, link));
    EXPECT_TRUE(folder_exists(tree.scratch.at("base\\new\\deeper")));
    EXPECT_TRUE(memory.holds(join_path(tree.base, "new\\deeper")));

    for (const char* folder : {"real\\link\\made", "real\\link", "top\\a\\b\\"}) {
        FolderMemory fresh;
        link.clear();
        EXPECT_FALSE(create_folders_below(tree.base, folder, fresh, link)) << folder;
        EXPECT_NE(link, "") << folder;
        EXPECT_FALSE(fresh.holds(link)) << folder;
    }
    EXPECT_TRUE(tree.outside_is_empty());
}

}  // namespace
