// The link check and the folder handles on real links, on the host. Under
// Wine a test program that starts the Unix programs planting them loses
// handles of its own, so there the end-to-end tests plant them from outside;
// what a held folder refuses other Windows programs is checked here.
#include "paths/folder_cache.h"
#include "paths/path_operations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::folder_exists;
using platform::EntryResult;
using platform::FolderHandle;
using test_support::make_folders;
using test_support::plant_link;
using test_support::read_file;
using test_support::ScratchFolder;
using test_support::write_file;

#ifndef _WIN32
// base/real/link and base/top point at outside; moved is a link to base.
struct LinkedTree {
    LinkedTree() {
        make_folders(scratch.at("base\\real"));
        make_folders(scratch.at("outside"));
        plant_link(scratch.at("outside"), scratch.at("base\\real\\link"));
        plant_link(scratch.at("outside"), scratch.at("base\\top"));
        plant_link(scratch.at("base"), scratch.at("moved"));
    }
    bool outside_is_empty() const {
        return fs::is_empty(fs::path(test_support::native(scratch.at("outside"))));
    }

    ScratchFolder scratch;
    std::string base = scratch.at("base");
};

// The walk stops at the first link a path passes through and names it; a
// cache that does not make folders remembers what it could not open.
TEST(FolderCache, StopsAtTheFirstLinkOnTheWayAndNamesIt) {
    LinkedTree tree;
    FolderHandle base;
    ASSERT_EQ(platform::open_folder(tree.base, base), EntryResult::done);
    const struct {
        const char* folder;
        const char* refused;  // empty when it opens
        EntryResult found, made;
    } cases[] = {
        {"real", "", EntryResult::done, EntryResult::done},
        {"real\\link", "real\\link", EntryResult::is_link, EntryResult::is_link},
        {"real/link/deeper", "real/link", EntryResult::is_link, EntryResult::is_link},
        {"top\\real\\link", "top", EntryResult::is_link, EntryResult::is_link},
        {"missing\\deeper", "missing", EntryResult::missing, EntryResult::done},
    };
    for (const bool make : {false, true}) {
        FolderCache folders(base, make);
        for (const auto& c : cases) {
            const EntryResult expected = make ? c.made : c.found;
            for (int pass = 0; pass < 2; ++pass) {  // the second from what is held
                std::string refused;
                const FolderHandle* folder = folders.open(c.folder, &refused);
                EXPECT_EQ(folder != nullptr, expected == EntryResult::done) << c.folder;
                EXPECT_EQ(folders.last_result(), expected) << c.folder;
                if (!folder) EXPECT_EQ(refused, c.refused) << c.folder;
            }
        }
        EXPECT_EQ(folders.was_made("missing\\deeper\\more"), make);
        EXPECT_FALSE(folders.was_made("real"));
    }
    // Made behind the back of a cache that found it missing: not looked at
    // again until the cache lets go.
    FolderCache folders(base, false);
    EXPECT_EQ(folders.open("later"), nullptr);
    make_folders(tree.scratch.at("base\\later"));
    EXPECT_EQ(folders.open("later"), nullptr);
    folders.close_all();
    EXPECT_NE(folders.open("later"), nullptr);
    EXPECT_TRUE(tree.outside_is_empty());
}

TEST(FolderHandles, NothingIsOpenedMadeOrDeletedThroughALink) {
    LinkedTree tree;
    write_file(tree.scratch.at("keep.txt"), "outside");
    write_file(tree.scratch.at("base\\file.txt"), "old");
    plant_link(tree.scratch.at("keep.txt"), tree.scratch.at("base\\file_link"));

    FolderHandle base;
    ASSERT_EQ(platform::open_folder(tree.base, base), EntryResult::done);
    FolderHandle other;
    EXPECT_EQ(platform::open_folder(tree.scratch.at("base\\top"), other), EntryResult::is_link);
    // Only the folder itself is checked, not the way to it.
    EXPECT_EQ(platform::open_folder(tree.scratch.at("moved\\real"), other), EntryResult::done);
    other.reset();

    const struct {
        const char* name;
        EntryResult folder, file, deleted, removed;
    } cases[] = {
        {"top", EntryResult::is_link, EntryResult::is_link, EntryResult::is_link,
         EntryResult::is_link},
        {"file_link", EntryResult::is_link, EntryResult::is_link, EntryResult::is_link,
         EntryResult::is_link},
        {"real", EntryResult::done, EntryResult::wrong_kind, EntryResult::wrong_kind,
         EntryResult::failed},  // not empty
        {"file.txt", EntryResult::wrong_kind, EntryResult::done, EntryResult::done,
         EntryResult::missing},
    };
    for (const auto& c : cases) {
        FolderHandle child;
        EXPECT_EQ(platform::open_child_folder(base, c.name, true, child), c.folder) << c.name;
        EXPECT_EQ(static_cast<bool>(child), c.folder == EntryResult::done) << c.name;
        child.reset();
        platform::File file;
        EXPECT_EQ(platform::create_file_in(base, c.name, file), c.file) << c.name;
        if (file) std::fputs("new", file.get());
        EXPECT_TRUE(file ? platform::close_file(file) : true);
        EXPECT_EQ(platform::delete_file_in(base, c.name), c.deleted) << c.name;
        EXPECT_EQ(platform::remove_folder_in(base, c.name), c.removed) << c.name;
    }
    FolderHandle made;
    EXPECT_EQ(platform::open_child_folder(base, "absent", false, made), EntryResult::missing);
    EXPECT_EQ(platform::open_child_folder(base, "made", true, made), EntryResult::done);
    made.reset();
    EXPECT_EQ(platform::remove_folder_in(base, "made"), EntryResult::done);

    EXPECT_TRUE(tree.outside_is_empty());
    EXPECT_EQ(read_file(tree.scratch.at("keep.txt")), "outside");
}

TEST(FolderHandles, AHeldFolderGetsItsEntriesAfterItWasRenamedAndALinkPutInItsPlace) {
    LinkedTree tree;
    FolderHandle base;
    FolderHandle bin;
    ASSERT_EQ(platform::open_folder(tree.base, base), EntryResult::done);
    ASSERT_EQ(platform::open_child_folder(base, "bin", true, bin), EntryResult::done);
    test_support::rename_from_outside(tree.scratch.at("base\\bin"),
                                      tree.scratch.at("base\\bin.moved"));
    plant_link(tree.scratch.at("outside"), tree.scratch.at("base\\bin"));

    platform::File file;
    ASSERT_EQ(platform::create_file_in(bin, "game.dat", file), EntryResult::done);
    std::fputs("bytes", file.get());
    EXPECT_TRUE(platform::close_file(file));
    EXPECT_EQ(read_file(tree.scratch.at("base\\bin.moved\\game.dat")), "bytes");
    EXPECT_TRUE(tree.outside_is_empty());
    // Opened anew, the name is checked anew.
    EXPECT_EQ(platform::open_child_folder(base, "bin", true, bin), EntryResult::is_link);
}

#else
// Another Windows program can neither move nor remove a held folder, and the
// file made in it lands there.
TEST(FolderHandles, AHeldFolderCannotBeMovedOrRemovedByAnotherProgram) {
    ScratchFolder scratch;
    make_folders(scratch.at("base\\bin"));
    FolderHandle base;
    FolderHandle bin;
    ASSERT_EQ(platform::open_folder(scratch.at("base"), base), EntryResult::done);
    ASSERT_EQ(platform::open_child_folder(base, "bin", false, bin), EntryResult::done);
    for (const std::string& command : {"move \"" + scratch.at("base\\bin") + "\" \"" +
                                          scratch.at("base\\gone") + "\"",
                                      "rmdir \"" + scratch.at("base\\bin") + "\""}) {
        std::string line = "cmd.exe /c " + command;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                   nullptr, nullptr, &startup, &process));
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    EXPECT_FALSE(fs::exists(fs::path(scratch.at("base\\gone"))));
    platform::File file;
    ASSERT_EQ(platform::create_file_in(bin, "game.dat", file), EntryResult::done);
    std::fputs("bytes", file.get());
    EXPECT_TRUE(platform::close_file(file));
    EXPECT_EQ(read_file(scratch.at("base\\bin\\game.dat")), "bytes");
    // Deleted through their own handles: the folder only once empty.
    EXPECT_EQ(platform::remove_folder_in(base, "bin"), EntryResult::failed);
    EXPECT_EQ(platform::delete_file_in(bin, "game.dat"), EntryResult::done);
    bin.reset();
    EXPECT_EQ(platform::remove_folder_in(base, "bin"), EntryResult::done);
    EXPECT_FALSE(fs::exists(fs::path(scratch.at("base\\bin"))));
}
#endif

TEST(FolderHandles, AnOpenFileAndItsHeldFolderAreDeletedThroughTheirHandles) {
    ScratchFolder scratch;
    make_folders(scratch.at("run"));
    FolderHandle run;
    ASSERT_EQ(platform::open_folder(scratch.at("run"), run, platform::FolderUse::removable), EntryResult::done);
    platform::File file;
    ASSERT_EQ(platform::create_file_in(run, "package.zip", file), EntryResult::done);
    std::fputs("zip", file.get());
    EXPECT_TRUE(platform::delete_open_file(file.get(), run, "package.zip"));
    file.reset();
    EXPECT_TRUE(platform::remove_open_folder(run, scratch.at("run")));
    EXPECT_FALSE(static_cast<bool>(run));
    EXPECT_FALSE(fs::exists(fs::path(test_support::native(scratch.at("run")))));
}

}  // namespace
