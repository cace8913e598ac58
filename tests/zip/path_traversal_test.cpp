// No entry name, file or folder, may create or write anything outside the
// install folder: each unsafe name ends the extraction with its own message,
// after the files before it were written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "tests/support/held_folder.h"
#include "tests/zip/extraction_sandbox.h"
#include "tests/zip/zip_writer.h"
#include "zip/extract_package.h"

#ifdef _WIN32
#include <windows.h>
#endif

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
    // Opened as devices, not files.
    "data/COM1.bin", "NUL", "aux.txt", "lpt9/", "a/Con .log/b.txt", "CONOUT$",
    // The setup's own records, at the root, as files or folders.
    "QuellmarkUninstall.exe", "installed-files.txt", "INSTALLED-FILES.TXT. ",
    "quellmarkuninstall.EXE/", "Installed-Files.txt/x.txt",
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

// A NUL byte would cut the path short at the file system, and a manifest
// line longer than the longest path is skipped: the file written would not
// be the one listed.
TEST(PathTraversal, NamesWithANulByteAreRefused) {
    for (const std::string& name : {std::string("..\0/x.txt", 9), std::string("a\0b.txt", 7),
                                   std::string("..\0/", 4),
                                   // Longer than any manifest line is read.
                                   "a/" + std::string(1023, 'x')}) {
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
    std::vector<Entry> entries{stored(".config/y.txt", "2"), stored("a..b", "3"),
                               stored("docs/installed-files.txt", "4"),
                               stored("QuellmarkUninstall.exe.bak", "5")};
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

namespace {

constexpr std::uint16_t utf8_flag = 0x0800;

Entry utf8_named(const std::string& name, const std::string& data) {
    Entry entry = stored(name, data);
    entry.flags = utf8_flag;
    return entry;
}

std::string unstorable(const std::string& shown) {
    return "The package contains a name that cannot be stored on this system: " + shown;
}

}  // namespace

// Names flagged UTF-8 are converted to the ANSI code page before the path
// rules see them; the file, its folder and the manifest all carry the
// converted name. On the host the code page is UTF-8 itself.
TEST(PathTraversal, Utf8FlaggedNamesLandConvertedAndRoundTripTheManifest) {
#ifdef _WIN32
    if (GetACP() != 1252) GTEST_SKIP() << "needs the Western European ANSI code page";
    const std::string converted = "donn\xE9" "es\\carte du monde.txt";
#else
    const std::string converted = "donn\xC3\xA9" "es\\carte du monde.txt";
#endif
    ExtractionSandbox sandbox;
    // Unflagged names keep their bytes, whatever they look like.
    const std::string raw = "raw\xC3\xA9.txt";
    const Outcome outcome = sandbox.extract(
        build_zip({utf8_named("donn\xC3\xA9" "es/carte du monde.txt", "map"), stored(raw, "raw")}));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.files, (std::vector<InstalledFile>{converted, raw}));
    EXPECT_EQ(test_support::read_file(sandbox.installed(converted)), "map");
#ifdef _WIN32
    // The name as the user sees it, asked through the wide API.
    std::wstring wide_install(sandbox.install().begin(), sandbox.install().end());
    EXPECT_NE(GetFileAttributesW((wide_install + L"\\donn\u00e9es\\carte du monde.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
#endif
    ASSERT_TRUE(test_support::write_manifest(sandbox.install(), outcome.files));
    std::vector<std::string> listed;
    ASSERT_TRUE(test_support::read_manifest(sandbox.install(), listed));
    EXPECT_EQ(listed, outcome.files);
    EXPECT_TRUE(sandbox.strays().empty());
}

TEST(PathTraversal, Utf8FlaggedNamesThatCannotBeStoredAreRefused) {
    struct Case {
        std::string name;
        std::string message;
    };
    std::vector<Case> cases{
        // Not UTF-8: a cut sequence, a lone continuation byte, an overlong
        // '/', an encoded surrogate; each broken character shows as one '?'.
        {"a\xC3(b.txt", unstorable("a?(b.txt")},
        {"a\x80" "b.txt", unstorable("a?b.txt")},
        {"\xC0\xAF" "b.txt", unstorable("??b.txt")},
        {"\xED\xA0\x80x.txt", unstorable("???x.txt")},
        {"ok/\xF0\x9F\x98x.txt", unstorable("ok\\?x.txt")},
    };
#ifdef _WIN32
    // Characters outside the code page; best fit would make the fullwidth
    // "．．＼" a ".." step.
    cases.push_back({"\xE4\xB8\x96\xE7\x95\x8C.txt", unstorable("??.txt")});
    cases.push_back({"\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBCx.txt", unstorable("???x.txt")});
#endif
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ExtractionSandbox sandbox;
        const Outcome outcome = sandbox.extract(
            build_zip({stored("before.txt", "ok"), utf8_named(test.name, "x")}));
        EXPECT_EQ(outcome.message, test.message);
        EXPECT_TRUE(outcome.files.empty());
        EXPECT_FALSE(test_support::file_exists(sandbox.installed("before.txt")));
        EXPECT_EQ(sandbox.strays(), std::vector<std::string>{});
    }
    // A superscript digit after LPT makes a device name once converted.
    std::string two;
    if (platform::ansi_from_code_point(0xB2, two)) {
        ExtractionSandbox device;
        const Outcome outcome = device.extract(build_zip({utf8_named("LPT\xC2\xB2.txt", "x")}));
        EXPECT_EQ(outcome.message, "The package contains an unsafe path: LPT" + two + ".txt");
    }
    // Fullwidth dots and backslash, stored as themselves on the host: never
    // a step out of the install folder.
    ExtractionSandbox fullwidth;
    fullwidth.extract(build_zip({utf8_named("\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBCx.txt", "x")}));
    EXPECT_EQ(fullwidth.strays(), std::vector<std::string>{});
    expect_no_stray_named_evil();
}

// With the temporary folder chosen as the install folder, an entry named
// like the package (in any case, or with a trailing dot Windows drops) would
// overwrite the package being read.
TEST(PathTraversal, AnEntryThatIsThePackageItselfIsRefused) {
#ifdef _WIN32
    const char* const aliases[] = {"quellmarkfull.ZIP", "QuellmarkFull.zip."};
#else
    const char* const aliases[] = {"QuellmarkFull.zip"};
#endif
    for (const std::string alias : aliases) {
        test_support::ScratchFolder scratch;
        const std::string package = scratch.at("QuellmarkFull.zip");
        const std::string bytes = build_zip(
            {stored("before.txt", "ok"), stored(alias, "overwritten"), stored("after.txt", "")});
        SetupWindow window;
        const Outcome outcome = run_extraction(package, scratch.path(), bytes, window);
        EXPECT_EQ(outcome.message, "The package contains an unsafe path: " + alias);
        EXPECT_EQ(outcome.files, std::vector<InstalledFile>{"before.txt"});
        // Behind a download the package holds what arrived before the stop.
        const std::string left = test_support::read_file(package);
        EXPECT_TRUE(left.size() >= outcome.handed_over && bytes.compare(0, left.size(), left) == 0);
    }
}

// In code page 932, 0x95 0x5C is one character whose trail byte is the
// backslash: it splits no entry name into a folder and a file. The test runs
// once more with a Japanese locale, which sets QM_EXPECT_DOUBLE_BYTE.
TEST(DoubleByteCodePage, ATrailByteThatIsABackslashSplitsNoEntryName) {
    const std::string kanji = "\x95\\";
    if (platform::next_character(kanji, 0) != 2) {
        if (std::getenv("QM_EXPECT_DOUBLE_BYTE")) FAIL() << "the ANSI code page is not 932";
        GTEST_SKIP() << "needs a double-byte ANSI code page";
    }
    ExtractionSandbox sandbox;
    const Outcome outcome =
        sandbox.extract(build_zip({stored(kanji + "/x.txt", "1"), stored(kanji + ".bin", "2")}));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.files, (std::vector<InstalledFile>{kanji + "\\x.txt", kanji + ".bin"}));
    // Asked through the ANSI functions: the test helpers read paths otherwise.
    EXPECT_TRUE(platform::file_exists(sandbox.installed(kanji + "\\x.txt")));
    EXPECT_TRUE(platform::file_exists(sandbox.installed(kanji + ".bin")));
#ifdef _WIN32
    // Nothing else landed there, such as a folder named by the lead byte alone.
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(sandbox.installed("*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kanji, kanji + ".bin"}));
#endif
}
