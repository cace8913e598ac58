#include "paths/path_operations.h"

#include <gtest/gtest.h>

TEST(IsSafeRelativePath, AcceptsPlainRelativePathsAndKeepsTheCallersText) {
    for (const char* path : {"bin\\client\\game.exe", "data\\maps\\", "...\\x", ".config\\x",
                             "a..b\\c", "file", "bin/client/game.exe"}) {
        const std::string text = path;
        EXPECT_TRUE(is_safe_relative_path(text)) << path;
        EXPECT_EQ(text, path);
    }
}

TEST(IsSafeRelativePath, RefusesEverythingThatCouldLeaveTheFolder) {
    for (const char* path :
         {"", "\\data", "/data", "\\\\server\\share\\x", "C:\\data", "C:data", "data\\a:b",
          "data\\\\a", "data//a", "data/\\a", "data\\..\\x", "..\\x", ".\\x", "data\\.", "..",
          ".", "../x", "a/../../x", "\\"}) {
        EXPECT_FALSE(is_safe_relative_path(path)) << path;
    }
}

TEST(ParentFolder, CutsAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(parent_folder("C:\\Games\\Folder\\bin\\a.dat"), "C:\\Games\\Folder\\bin");
    EXPECT_EQ(parent_folder("a.dat"), "");
    EXPECT_EQ(parent_folder("a\\b\\"), "a\\b");
    EXPECT_EQ(parent_folder("C:\\"), "C:");
    EXPECT_EQ(parent_folder("a/b\\c/d"), "a/b\\c");
}
