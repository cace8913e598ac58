#include "paths/folder_check.h"
#include "paths/path_operations.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

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
          ".", "../x", "a/../../x", "\\",
          // Device names, in any component, case, extension, trailing dots and spaces.
          "data\\COM1.bin", "NUL", "a/aux.txt", "lpt9", "Com0.x", "con .x\\y.txt", "Prn..",
          "a\\CONIN$", "conout$.log\\", "LPT5 . \\x"}) {
        EXPECT_FALSE(is_safe_relative_path(path)) << path;
    }
    // COM and LPT with a superscript digit, as the ANSI code page spells it.
    for (const std::uint32_t superscript : {0xB9u, 0xB2u, 0xB3u}) {
        std::string digit;
        if (!platform::ansi_from_code_point(superscript, digit)) continue;
        EXPECT_FALSE(is_safe_relative_path("data\\COM" + digit + ".bin")) << superscript;
        EXPECT_FALSE(is_safe_relative_path("lpt" + digit)) << superscript;
    }
    // Longer than the longest path an install writes and lists.
    EXPECT_TRUE(is_safe_relative_path("data\\" + std::string(1019, 'x')));
    EXPECT_FALSE(is_safe_relative_path("data\\" + std::string(1020, 'x')));
}

TEST(IsSafeRelativePath, NamesThatOnlyBeginLikeADeviceAreSafe) {
    for (const char* path : {"CONSOLE", "COM10", "LPT", "com", "NULL.txt", "a\\Con Air\\b",
                             "COMx.dat", "aux_", "xcon", "CONIN"}) {
        EXPECT_TRUE(is_safe_relative_path(path)) << path;
    }
}

TEST(ParentFolder, CutsAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(parent_folder("C:\\Games\\Folder\\bin\\a.dat"), "C:\\Games\\Folder\\bin");
    EXPECT_EQ(parent_folder("a.dat"), "");
    EXPECT_EQ(parent_folder("a\\b\\"), "a\\b");
    EXPECT_EQ(parent_folder("C:\\"), "C:");
    EXPECT_EQ(parent_folder("a/b\\c/d"), "a/b\\c");
    EXPECT_EQ(final_component("a/b\\c/d"), "d");
    EXPECT_EQ(final_component("a.dat"), "a.dat");
}

TEST(ReadFolderText, AcceptsFullPathsTrimmedOfBlanksAndNamesTheirRoot) {
    const std::string budget(longest_install_folder - 3, 'x');
    struct Case {
        std::string typed, folder, root;
    } cases[] = {
        {"C:\\Games\\The Annals of Quellmark", "C:\\Games\\The Annals of Quellmark", "C:\\"},
        {" \t d:/Games/Two  Spaces \t", "d:/Games/Two  Spaces", "d:\\"},
        {"C:\\", "C:\\", "C:\\"},
        {"\\\\server\\share", "\\\\server\\share", "\\\\server\\share\\"},
        {"//server/share/Games\\x", "//server/share/Games\\x", "\\\\server\\share\\"},
        {"C:\\" + budget, "C:\\" + budget, "C:\\"},
    };
    for (const Case& c : cases) {
        const FolderText text = read_folder_text(c.typed);
        EXPECT_EQ(text.problem, FolderTextProblem::none) << c.typed;
        EXPECT_EQ(text.folder, c.folder);
        EXPECT_EQ(text.root, c.root) << c.typed;
    }
}

TEST(ReadFolderText, NamesTheFirstRuleAFolderBreaks) {
    struct Case {
        std::string typed;
        FolderTextProblem problem;
        char bad_character;
    } cases[] = {
        {"", FolderTextProblem::empty, 0},
        {" \t  ", FolderTextProblem::empty, 0},
        {"Quellmark", FolderTextProblem::not_full_path, 0},
        {"C:Games", FolderTextProblem::not_full_path, 0},
        {"\\Games", FolderTextProblem::not_full_path, 0},
        {"1:\\Games", FolderTextProblem::not_full_path, 0},
        {"\\\\server", FolderTextProblem::not_full_path, 0},
        {"\\\\server\\", FolderTextProblem::not_full_path, 0},
        {"\\\\?\\C:\\Games", FolderTextProblem::not_full_path, 0},
        {"\\\\.\\pipe\\x", FolderTextProblem::not_full_path, 0},
        {"C:\\Games\\..\\Windows", FolderTextProblem::not_full_path, 0},
        {"C:\\Games\\.", FolderTextProblem::not_full_path, 0},
        {"C:\\Games\\a:b", FolderTextProblem::bad_character, ':'},
        {"C:\\Games\\*", FolderTextProblem::bad_character, '*'},
        {"C:\\Ga\"mes", FolderTextProblem::bad_character, '"'},
        {"C:\\Ga\tmes", FolderTextProblem::bad_character, '\t'},
        {"\\\\server\\share\\x?", FolderTextProblem::bad_character, '?'},
        {"C:\\" + std::string(longest_install_folder - 2, 'x'), FolderTextProblem::too_long, 0},
    };
    for (const Case& c : cases) {
        const FolderText text = read_folder_text(c.typed);
        EXPECT_EQ(text.problem, c.problem) << c.typed;
        EXPECT_EQ(text.bad_character, c.bad_character) << c.typed;
    }
}

TEST(InstallFolderProblem, SaysWhatIsWrongAndWhatToTypeAndLeavesTheFolderAlone) {
    const std::string example = " such as C:\\Games\\The Annals of Quellmark.";
    const std::string too_long = "C:\\" + std::string(200, 'x');
    struct Case {
        std::string typed, message;
    } cases[] = {
        {" ", "No install folder was entered.\n\nPlease enter a full folder path," + example},
        {" Quellmark ", "\"Quellmark\" is not a full folder path.\n\nPlease enter a full folder "
                        "path," + example},
        {"C:\\<Games>", "A folder name cannot contain the character <.\n\nPlease enter a folder "
                        "path without it," + example},
        {"C:\\Ga\x01mes", "A folder name cannot contain a control character.\n\nPlease enter a "
                          "folder path without it," + example},
        {too_long, "The install folder is too long: it has 203 characters, and at most 158 leave "
                   "room for the game's files.\n\nPlease enter a shorter folder path," + example},
    };
    for (const Case& c : cases) {
        std::string folder = "untouched";
        EXPECT_EQ(install_folder_problem(c.typed, folder), c.message);
        EXPECT_EQ(folder, "untouched");
    }
}

#ifdef _WIN32
// Both would pass the page today and fail only after the download.
TEST(InstallFolderProblem, RefusesADeviceNameAndAFileInTheChain) {
    test_support::ScratchFolder scratch;
    const std::string file = scratch.at("notes.txt");
    test_support::write_file(file, "x");
    const std::string example = " such as C:\\Games\\The Annals of Quellmark.";
    const std::string device = "\" is a name that Windows keeps for a device.\n\nPlease enter a "
                               "folder path without it," + example;
    const std::string not_folder = "\" is a file, not a folder.\n\nPlease enter the path of a "
                                   "folder," + example;
    struct Case {
        std::string typed, message;
    } cases[] = {
        {"C:\\Games\\CON", "\"CON" + device},
        {"C:\\Games\\lpt1.log\\Quellmark", "\"lpt1.log" + device},
        {file, "\"" + file + not_folder},
        {file + "\\Quellmark", "\"" + file + not_folder},
    };
    for (const Case& c : cases) {
        std::string folder = "untouched";
        EXPECT_EQ(install_folder_problem(c.typed, folder), c.message);
        EXPECT_EQ(folder, "untouched");
    }
    std::string folder;
    EXPECT_EQ(install_folder_problem(scratch.at("Quellmark"), folder), "");
    EXPECT_EQ(folder, scratch.at("Quellmark"));
}
#endif
