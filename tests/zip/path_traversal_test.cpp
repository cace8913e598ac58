// No entry name, file or folder, may create or write anything outside the
// install folder: each unsafe name ends the extraction with its own message,
// after the files before it were written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/zip/extraction_sandbox.h"
#include "tests/zip/zip_writer.h"

using namespace zip_test;

namespace {

const char* const unsafe_names[] = {
    "../qm-evil.txt", "..\\qm-evil.txt", "../../qm-evil.txt", "a/../../qm-evil.txt",
    "a\\..\\..\\qm-evil.txt", "/qm-evil-rooted.txt", "\\qm-evil-rooted.txt",
    "C:\\qm-evil-drive.txt", "C:qm-evil-drive.txt", "C:/qm-evil-drive.txt",
    "\\\\127.0.0.1\\share\\qm-evil.txt", "//127.0.0.1/share/qm-evil.txt", "a//qm-evil.txt",
    "a\\\\qm-evil.txt", "a/\\qm-evil.txt", "./qm-evil.txt", "a/./qm-evil.txt", "..", ".",
    "qm-evil.txt:stream", "a/..", "../", "..\\", "../qm-evil-folder/", "..\\..\\qm-evil-folder\\",
    "a/../../qm-evil-folder/", "/qm-evil-rooted-folder/", "C:\\qm-evil-drive-folder\\",
    "C:qm-evil-drive-folder\\", "//127.0.0.1/share/", "a//b/", "./", "a/./",
};

std::string turned(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// The names a stray would carry wherever it landed on the host.
void expect_no_stray_named_evil() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (const char* name : {"qm-evil-rooted.txt", "qm-evil-rooted-folder", "C:", "qm-evil.txt",
                             "qm-evil-folder"}) {
        EXPECT_FALSE(fs::exists(fs::path("/") / name, ignored)) << name;
        EXPECT_FALSE(fs::exists(fs::current_path() / name, ignored)) << name;
    }
}

}  // namespace

TEST(PathTraversal, EveryUnsafeNameIsRefusedAndNothingLandsOutside) {
    for (const char* name : unsafe_names) {
        ExtractionSandbox sandbox;
        Entry evil = stored(name, "evil");
        const Outcome outcome = sandbox.extract(build_zip(
            {stored("before/ok.txt", "ok"), evil, stored("after.txt", "never reached")}));
        EXPECT_FALSE(outcome.ok) << name;
        EXPECT_EQ(outcome.message, "The package contains an unsafe path: " + turned(name)) << name;
        EXPECT_EQ(outcome.files, std::vector<InstalledFile>{"before\\ok.txt"}) << name;
        EXPECT_FALSE(test_support::file_exists(sandbox.installed("after.txt"))) << name;
        EXPECT_EQ(sandbox.strays(), std::vector<std::string>{}) << name;
    }
    expect_no_stray_named_evil();
}

// A NUL byte would cut the path short at the file system: the file written
// would not be the one listed.
TEST(PathTraversal, NamesWithANulByteAreRefused) {
    for (const std::string& name : {std::string("..\0/x.txt", 9), std::string("a\0b.txt", 7),
                                   std::string("..\0/", 4)}) {
        ExtractionSandbox sandbox;
        const Outcome outcome = sandbox.extract(build_zip({stored(name, "x")}));
        EXPECT_EQ(outcome.message, "The package contains an unsafe path: " + turned(name));
        EXPECT_TRUE(outcome.files.empty());
        EXPECT_EQ(sandbox.strays(), std::vector<std::string>{});
        EXPECT_FALSE(test_support::file_exists(sandbox.installed("a")));
    }
}

TEST(PathTraversal, NamesThatOnlyLookOddStayInside) {
    ExtractionSandbox sandbox;
    std::vector<Entry> entries{stored(".config/y.txt", "2"), stored("a..b", "3")};
#ifndef _WIN32
    // Windows drops the trailing dots of a folder name it creates, so a
    // folder named "..." cannot hold files there.
    entries.push_back(stored("...\\x.txt", "1"));
#endif
    const Outcome outcome = sandbox.extract(build_zip(entries));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    for (const Entry& entry : entries) {
        EXPECT_EQ(test_support::read_file(sandbox.installed(entry.name)), entry.data);
    }
    EXPECT_EQ(sandbox.strays(), std::vector<std::string>{});
}

// Windows trims trailing dots and spaces from some path components; names
// that pass the path rules only because of such a dot or space must still
// stay inside, whether or not they can be written.
TEST(PathTraversal, TrailingDotsAndSpacesNeverLeadOutside) {
    for (const char* name : {".. \\qm-evil.txt", "..  \\qm-evil.txt", "... \\qm-evil.txt",
                             "...\\qm-evil.txt", "....\\..\\qm-evil.txt", ". \\qm-evil.txt",
                             "a\\.. \\..\\qm-evil.txt", ".. ", "... ", ".. \\", "...\\"}) {
        ExtractionSandbox sandbox;
        sandbox.extract(build_zip({stored(name, "evil")}));
        EXPECT_EQ(sandbox.strays(), std::vector<std::string>{}) << name;
    }
}
