#include "zip/extract_package.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <zlib.h>

#include "paths/path_operations.h"
#include "tests/support/package_extraction.h"
#include "tests/zip/extraction_sandbox.h"
#include "tests/zip/zip_writer.h"
#include "zip/crc32.h"

using namespace zip_test;

using Files = std::vector<InstalledFile>;

namespace {

std::string checksum_message(const std::string& name) {
    return "The package is damaged: an entry does not match its checksum.\n\nEntry: " + name;
}

std::string size_message(const std::string& name) {
    return "The package is damaged: an entry is not the size its directory states.\n\nEntry: " +
           name;
}

std::string flipped(std::string bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    return bytes;
}

}  // namespace

// Runs on Windows file APIs too: stored, deflated and Zip64 side by side.
TEST(ExtractPackage, WritesStoredDeflatedAndZip64EntriesByteForByte) {
    ExtractionSandbox sandbox;
    const std::string big = noise(300000, 1);
    const std::string text = repetitive(250000);
    Entry zip64_stored = stored("bin/client/Qm_client.exe", big);
    zip64_stored.zip64 = true;
    Entry zip64_deflated = deflated("data/maps/world.map", text);
    zip64_deflated.zip64 = true;
    zip64_deflated.local_extra = std::string("\x01\x00\x10\x00", 4) + std::string(16, '\0');
    // Streamed by its writer: the values follow the data, and the directory.
    Entry streamed = deflated("readme.txt", "Welcome to Quellmark.");
    streamed.data_descriptor = true;
    Options options;
    options.zip64_end = true;
    options.comment = "built for the test";
    const Outcome outcome = sandbox.extract(build_zip(
        {folder("bin/"), zip64_stored, zip64_deflated, stored("empty.txt", ""), streamed},
        options));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.files, (Files{"bin\\client\\Qm_client.exe", "data\\maps\\world.map",
                                    "empty.txt", "readme.txt"}));
    EXPECT_TRUE(test_support::read_file(sandbox.installed("bin\\client\\Qm_client.exe")) == big);
    EXPECT_TRUE(test_support::read_file(sandbox.installed("data\\maps\\world.map")) == text);
    EXPECT_EQ(test_support::read_file(sandbox.installed("empty.txt")), "");
    EXPECT_EQ(test_support::read_file(sandbox.installed("readme.txt")), "Welcome to Quellmark.");
    EXPECT_TRUE(sandbox.strays().empty());
}

TEST(ExtractPackage, HandlesFoldersEmptyNamesDuplicatesAndExistingFiles) {
    ExtractionSandbox sandbox;
    test_support::write_file(sandbox.installed("old.txt"), "a much longer old content");
    const Outcome outcome = sandbox.extract(build_zip(
        {folder("empty/folder/"), stored("", "ignored"), stored("old.txt", "new"),
         stored("twice.txt", "one"), deflated("twice.txt", "two")}));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.files, (Files{"old.txt", "twice.txt", "twice.txt"}));
    EXPECT_TRUE(test_support::folder_exists(sandbox.installed("empty\\folder")));
    EXPECT_EQ(test_support::read_file(sandbox.installed("old.txt")), "new");
    EXPECT_EQ(test_support::read_file(sandbox.installed("twice.txt")), "two");

    // Folders made once are remembered; coming back to one after another
    // folder, or going deeper below it, must still land every file.
    ExtractionSandbox revisits;
    const Outcome revisited = revisits.extract(build_zip(
        {stored("a/1", "a1"), stored("b/1", "b1"), deflated("a/2", "a2"), stored("a/x/3", "ax3")}));
    ASSERT_TRUE(revisited.ok) << revisited.message;
    for (const char* name : {"a\\1", "b\\1", "a\\2", "a\\x\\3"}) {
        EXPECT_TRUE(test_support::file_exists(revisits.installed(name))) << name;
    }

    ExtractionSandbox nothing;
    const Outcome empty = nothing.extract(build_zip({}));
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.files.empty());
}

TEST(ExtractPackage, ReportsPackageAndDirectoryFailures) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    Files files;
    EXPECT_FALSE(extract_package(sandbox.package() + "-missing", sandbox.install(), report,
                                 message, files));
    EXPECT_EQ(message, "Could not open the downloaded package.");
    EXPECT_EQ(sandbox.extract("not a zip at all").message,
              "The downloaded file is not a valid zip package.");
    EXPECT_TRUE(sandbox.strays().empty());
}

TEST(ExtractPackage, StopsAtEncryptedOrBadlyHeadedEntriesKeepingEarlierFiles) {
    ExtractionSandbox encrypted;
    Entry locked_folder = folder("locked/");
    locked_folder.flags = 1;
    const Outcome refused = encrypted.extract(build_zip({stored("a.txt", "a"), locked_folder}));
    EXPECT_EQ(refused.message, "The package is encrypted, which is not supported.");
    EXPECT_EQ(refused.files, Files{"a.txt"});
    EXPECT_FALSE(test_support::folder_exists(encrypted.installed("locked")));

    ExtractionSandbox bad_header;
    Layout layout;
    std::string package = build_zip({stored("a.txt", "a"), stored("b\\c.txt", "b")}, {}, &layout);
    package[layout.local_headers[1]] = 'X';
    const Outcome invalid = bad_header.extract(package);
    EXPECT_EQ(invalid.message, "A zip entry has an invalid local header.");
    EXPECT_EQ(invalid.files, Files{"a.txt"});
    EXPECT_FALSE(test_support::folder_exists(bad_header.installed("b")));

    ExtractionSandbox far_header;
    package = build_zip({stored("a.txt", "a")}, {}, &layout);
    poke32(package, layout.directory_headers[0] + 42, 0x7FFFFFFF);
    EXPECT_EQ(far_header.extract(package).message, "A zip entry has an invalid local header.");
}

TEST(ExtractPackage, ReportsTargetsThatCannotBeCreated) {
    ExtractionSandbox blocked_folder;
    const Outcome folder_failure =
        blocked_folder.extract(build_zip({stored("x", "file"), stored("x/y/z.txt", "z")}));
    EXPECT_EQ(folder_failure.message, "Could not create the install folder.");
    EXPECT_EQ(folder_failure.files, Files{"x"});

    ExtractionSandbox blocked_file;
    const Outcome write_failure =
        blocked_file.extract(build_zip({folder("d/"), stored("d", "cannot be a file")}));
    EXPECT_EQ(write_failure.message, "Could not write: " + blocked_file.install() + "\\d");
    EXPECT_TRUE(test_support::folder_exists(blocked_file.installed("d")));
}

TEST(ExtractPackage, ReportsUnsupportedMethodsAndShortStoredData) {
    ExtractionSandbox method;
    Entry shrunk = stored("bin/a.dat", "data");
    shrunk.method = 12;
    const Outcome unsupported = method.extract(build_zip({shrunk}));
    EXPECT_EQ(unsupported.message,
              "The package uses an unsupported zip compression method.\n\nEntry: bin\\a.dat\nMethod: 12");
    EXPECT_TRUE(unsupported.files.empty());
    EXPECT_EQ(test_support::read_file(method.installed("bin\\a.dat")), "");

    ExtractionSandbox truncated;
    const std::string data = noise(200000, 2);
    Layout layout;
    const std::string package = build_zip({stored("big.bin", data)}, {}, &layout);
    // Cut the data short: the directory moves up to just after 100000 bytes.
    const std::string directory = package.substr(layout.directory);
    std::string cut = package.substr(0, 30 + 7 + 100000) + directory;
    poke32(cut, cut.size() - 22 + 16, static_cast<std::uint32_t>(30 + 7 + 100000));
    const Outcome short_read = truncated.extract(cut);
    EXPECT_EQ(short_read.message, "Could not extract a stored file.");
    EXPECT_TRUE(short_read.files.empty());
    const std::string partial = test_support::read_file(truncated.installed("big.bin"));
    EXPECT_EQ(partial, data.substr(0, 65536));
}

// Every file's bytes are checked against the directory's CRC-32 and size;
// the damaged entry ends the extraction unlisted, the files before it stay,
// and its file never holds more than the directory states.
TEST(ExtractPackage, RefusesEntriesThatDoNotMatchTheirDirectory) {
    const std::string data = noise(100000, 21);
    struct Case {
        const char* label;
        Entry entry;
        std::string message;
    };
    std::vector<Case> cases;
    const auto add = [&](const char* label, Entry entry, bool checksum) {
        const std::string name = entry.name;
        cases.push_back({label, std::move(entry), checksum ? checksum_message(name) : size_message(name)});
    };
    Entry entry = stored("data\\stored.bin", data);
    entry.use_payload = true;
    entry.payload = flipped(data, 77777);
    add("stored, one byte flipped", entry, true);

    entry = deflated("data\\deflated.bin", data);
    entry.use_payload = true;
    entry.payload = flipped(deflate_raw(data, 0), 1000);  // inside the first stored block
    add("deflated, one byte flipped", entry, true);

    entry = deflated("crc.bin", data);
    entry.override_crc = true;
    entry.crc = 0x12345678;
    add("wrong directory CRC", entry, true);

    entry = stored("empty.txt", "");
    entry.override_crc = true;
    entry.crc = 1;
    add("empty entry, non-zero CRC", entry, true);

    for (const std::uint64_t stated : {data.size() - 1, data.size() + 1}) {
        entry = deflated("deflated-size.bin", data);
        entry.override_uncompressed_size = true;
        entry.uncompressed_size = stated;
        add(stated < data.size() ? "deflated, stated too small" : "deflated, stated too large",
            entry, false);
        entry = stored("stored-size.bin", data);
        entry.override_uncompressed_size = true;
        entry.uncompressed_size = stated;
        add(stated < data.size() ? "stored, stated too small" : "stored, stated too large",
            entry, false);
    }

    entry = deflated("zip64.bin", data);
    entry.zip64 = true;
    entry.override_uncompressed_size = true;
    entry.uncompressed_size = data.size() + 1000;
    add("Zip64, wrong size in the extra field", entry, false);

    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        ExtractionSandbox sandbox;
        Options options;
        options.zip64_end = test.entry.zip64;
        const Outcome outcome =
            sandbox.extract(build_zip({stored("first.txt", "first"), test.entry}, options));
        EXPECT_EQ(outcome.message, test.message);
        EXPECT_EQ(outcome.files, Files{"first.txt"});
        EXPECT_EQ(test_support::read_file(sandbox.installed("first.txt")), "first");
        const std::uint64_t stated =
            test.entry.override_uncompressed_size ? test.entry.uncompressed_size : test.entry.data.size();
        const std::string target = sandbox.installed(outcome.message.substr(outcome.message.rfind(' ') + 1));
        if (test_support::file_exists(target)) {
            EXPECT_LE(test_support::read_file(target).size(), stated);
        }
    }
}

// Entries whose bytes do not follow one another in directory order cannot be
// written as they arrive: the package file is extracted after the download.
TEST(StreamedExtraction, FallsBackWhenEntriesAreOutOfOrder) {
    Layout layout;
    const std::string ascending = build_zip({stored("a.txt", "same"), stored("b.txt", "same")}, {}, &layout);
    std::string out_of_order = ascending;
    poke32(out_of_order, layout.directory_headers[0] + 42, static_cast<std::uint32_t>(layout.local_headers[1]));
    poke32(out_of_order, layout.directory_headers[1] + 42, static_cast<std::uint32_t>(layout.local_headers[0]));
    std::string shared = ascending;
    poke32(shared, layout.directory_headers[1] + 42, static_cast<std::uint32_t>(layout.local_headers[0]));
    for (const std::string* bytes : std::initializer_list<const std::string*>{&ascending, &out_of_order, &shared}) {
        ExtractionSandbox sandbox;
        const Outcome outcome = sandbox.extract_streamed(*bytes);
        ASSERT_TRUE(outcome.ok) << outcome.message;
        EXPECT_EQ(outcome.streamed, bytes == &ascending);
        EXPECT_EQ(outcome.files, (Files{"a.txt", "b.txt"}));
        EXPECT_EQ(test_support::read_file(sandbox.installed("b.txt")), "same");
    }
    // c.txt's header lies inside b.txt's data: a.txt is written behind the
    // download, and the file goes on from b.txt.
    const std::string inner = build_zip({stored("c.txt", "same")});
    const std::string c_local = inner.substr(0, 30 + 5 + 4);
    Layout overlap_layout;
    std::string overlap = build_zip(
        {stored("a.txt", "same"), stored("b.txt", c_local), stored("c.txt", "same")}, {},
        &overlap_layout);
    poke32(overlap, overlap_layout.directory_headers[2] + 42,
           static_cast<std::uint32_t>(overlap_layout.local_headers[1] + 30 + 5));
    ExtractionSandbox sandbox;
    const Outcome outcome = sandbox.extract_streamed(overlap);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_FALSE(outcome.streamed);
    EXPECT_EQ(outcome.files, (Files{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(test_support::read_file(sandbox.installed("c.txt")), "same");
}

// A damaged entry found while the download runs stops it there.
TEST(StreamedExtraction, AFailureStopsTheDownloadAtOnce) {
    ExtractionSandbox sandbox;
    Entry damaged = deflated("damaged.bin", noise(100000, 31));
    damaged.override_crc = true;
    damaged.crc = 7;
    Layout layout;
    const std::string package = build_zip(
        {stored("first.txt", "first"), damaged, stored("after.bin", noise(300000, 32))}, {}, &layout);
    const Outcome outcome = sandbox.extract_streamed(package);
    EXPECT_EQ(outcome.message, checksum_message("damaged.bin"));
    EXPECT_EQ(outcome.files, Files{"first.txt"});
    EXPECT_LT(outcome.handed_over, layout.local_headers[2] + 65536);
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("after.bin")));
}

// The host serves another package part-way: the files this run created from
// the older one go, those that were there before stay, and the newer one is
// extracted from the file.
TEST(StreamedExtraction, StartingOverRemovesWhatTheOlderPackageCreated) {
    ExtractionSandbox sandbox;
    test_support::write_file(sandbox.installed("old.txt"), "before");
    Layout layout;
    const std::string older = build_zip(
        {stored("old.txt", "older"), deflated("gone/a.txt", "a"), stored("big.bin", noise(200000, 33))},
        {}, &layout);
    const std::string newer = build_zip({stored("kept.txt", "kept")});
    const Outcome outcome =
        sandbox.extract_streamed(newer, &older, static_cast<std::size_t>(layout.local_headers[2] + 1000));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_FALSE(outcome.streamed);
    EXPECT_EQ(outcome.files, Files{"kept.txt"});
    EXPECT_EQ(test_support::read_file(sandbox.installed("old.txt")), "older");
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("gone\\a.txt")));
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("big.bin")));
}

// The folded CRC-32 against zlib's, at every length around its 16- and
// 64-byte steps, from every alignment, whole and in two pieces.
TEST(Crc32, GivesZlibsValueForEveryLengthAndAlignment) {
    const std::string data = noise(70000, 23);
    const auto bytes = [&](std::size_t at) { return reinterpret_cast<const unsigned char*>(&data[at]); };
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < 600; ++length) lengths.push_back(length);
    for (const std::size_t length : {4095u, 4096u, 4097u, 65535u, 65536u, 65537u}) lengths.push_back(length);
    for (std::size_t start = 0; start < 16; ++start) {
        for (const std::size_t length : lengths) {
            const std::uint32_t expected = static_cast<std::uint32_t>(
                crc32(0, bytes(start), static_cast<uInt>(length)));
            ASSERT_EQ(update_crc32(0, bytes(start), length), expected) << start << " " << length;
            const std::size_t cut = length / 3;
            ASSERT_EQ(update_crc32(update_crc32(0, bytes(start), cut), bytes(start + cut), length - cut),
                      expected)
                << start << " " << length;
        }
    }
}

// A few hundred KB that inflate to hundreds of MB, stated as 1,000 bytes:
// decoding stops at the first byte past the stated size.
TEST(ExtractPackage, ADeflateBombNeverPutsMoreThanItsStatedSizeOnDisk) {
    ExtractionSandbox sandbox;
    Entry bomb = deflated("bomb.bin", "");
    bomb.use_payload = true;
    bomb.payload = deflate_zeros(300u << 20);
    ASSERT_LT(bomb.payload.size(), 1u << 20);
    bomb.override_uncompressed_size = true;
    bomb.uncompressed_size = 1000;
    const Outcome outcome = sandbox.extract(build_zip({bomb}));
    EXPECT_EQ(outcome.message, size_message("bomb.bin"));
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_EQ(test_support::read_file(sandbox.installed("bomb.bin")), std::string(1000, '\0'));
}

// The entries, their manifest lines and what the install adds beside them
// are weighed against the volume before the first file is created.
TEST(ExtractPackage, RefusesAPackageThatCannotFitBeforeWritingAnything) {
    const std::regex free_figure("\nFree: [0-9]+ MB$");
    const std::string lead = "There is not enough free disk space to install Quellmark.\n\nNeeded: ";
    ExtractionSandbox sandbox;
    Entry huge = stored("huge.bin", "x");
    huge.zip64 = true;
    huge.override_uncompressed_size = true;
    huge.uncompressed_size = 1ull << 62;
    Options zip64;
    zip64.zip64_end = true;
    const Outcome outcome = sandbox.extract(build_zip({stored("first.txt", "first"), huge}, zip64));
    // 2^62 bytes and a few more: 2^42 MB and one, rounded up.
    EXPECT_EQ(outcome.message.substr(0, lead.size() + 18), lead + "4398046511105 MB\nF");
    EXPECT_TRUE(std::regex_search(outcome.message, free_figure)) << outcome.message;
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("first.txt")));

    // The same for bytes the install writes beside the entries.
    test_support::write_file(sandbox.package(), build_zip({stored("first.txt", "first")}));
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    Files files;
    EXPECT_FALSE(extract_package(sandbox.package(), sandbox.install(), report, message, files,
                                 1ull << 62));
    EXPECT_EQ(message.substr(0, lead.size() + 18), lead + "4398046511105 MB\nF");
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("first.txt")));
}

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <thread>

#include "tests/support/small_drive.h"

// A file that another program opens only once the extraction has begun (a
// virus scanner looking at what was just made) is tried again for up to 2 s:
// let go sooner, it is replaced; held on, the game is taken to be running.
TEST(ExtractPackage, AFileBusyOnlyDuringTheExtractionIsWaitedForThenNamed) {
    for (const unsigned held_ms : {500u, 4000u}) {
        ExtractionSandbox sandbox;
        test_support::write_file(sandbox.installed("b.txt"), "earlier");
        const std::string first = sandbox.installed("a.pak");
        const std::string target = sandbox.installed("b.txt");
        const std::wstring busy(target.begin(), target.end());
        std::thread scanner([&] {
            while (GetFileAttributesA(first.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(1);
            const HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
            Sleep(held_ms);
            if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        });
        const Outcome outcome = sandbox.extract(
            build_zip({stored("a.pak", std::string(40u << 20, 'a')), stored("b.txt", "newer")}));
        scanner.join();
        if (held_ms < 2000) {
            ASSERT_TRUE(outcome.ok) << outcome.message;
            EXPECT_EQ(test_support::read_file(sandbox.installed("b.txt")), "newer");
        } else {
            EXPECT_FALSE(outcome.ok);
            EXPECT_EQ(outcome.message,
                      "The game is still running. Close it, then press Install again.\n" +
                          sandbox.installed("b.txt"));
            EXPECT_EQ(outcome.files, Files{"a.pak"});
        }
    }
}

// 40 MB for a 20 MB drive: refused with the figures, and nothing lands there.
TEST(ExtractPackage, APackageLargerThanItsDriveWritesNothingThere) {
    if (!test_support::small_drive_ready()) GTEST_SKIP() << test_support::small_drive_missing;
    ExtractionSandbox sandbox;
    std::vector<Entry> entries;
    for (const char* name : {"data/a.pak", "data/b.pak", "data/c.pak", "data/d.pak"}) {
        entries.push_back(deflated(name, repetitive(10u << 20)));
    }
    test_support::write_file(sandbox.package(), build_zip(entries));
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    Files files;
    // 40 MB of files, their manifest lines and a 1 MB uninstaller: 42 MB.
    EXPECT_FALSE(extract_package(sandbox.package(), "D:\\Quellmark", report, message, files, 1u << 20));
    EXPECT_EQ(message,
              "There is not enough free disk space to install Quellmark.\n\nNeeded: 42 MB\nFree: 20 MB");
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(test_support::small_drive_empty());
}

// The same swap as another program would make it under Wine, from the Unix
// side (a held folder cannot be renamed through Wine): a timer that the
// window's queue drain dispatches while the large first file is written.
namespace swap_under_wine {
std::function<void()> action;
void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD) { action(); }
}  // namespace swap_under_wine

TEST(ExtractPackage, NothingIsWrittenThroughAFolderSwappedUnderWineBetweenEntries) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    const std::string outside = parent_folder(sandbox.install()) + "\\outside";
    test_support::make_folders(outside);
    bool swapped = false;
    swap_under_wine::action = [&] {
        if (swapped || !test_support::file_exists(sandbox.installed("bin\\1"))) return;
        swapped = true;
        test_support::rename_from_outside(sandbox.installed("bin"), sandbox.installed("bin.moved"));
        test_support::plant_link(outside, sandbox.installed("bin"));
        test_support::plant_link(outside, sandbox.installed("data"));
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, swap_under_wine::on_timer);
    const std::string first(16u << 20, 'q');
    const Outcome outcome = sandbox.extract(
        build_zip({stored("bin/1", first), stored("bin/2", "2"), stored("data/3", "3")}), window);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(swapped) << "the extraction ended before the timer came";
    EXPECT_EQ(outcome.message, "The install folder contains a link to another location: " +
                                   sandbox.install() + "\\data");
    EXPECT_EQ(outcome.files, (Files{"bin\\1", "bin\\2"}));
    EXPECT_EQ(test_support::read_file(sandbox.installed("bin.moved\\2")), "2");
    EXPECT_TRUE(std::filesystem::is_empty(test_support::native(outside)));
    // The scratch folder's cleanup would walk into the planted links and
    // never end under Wine: they go first.
    for (const char* link : {"bin", "data"}) {
        std::error_code ignored;
        std::filesystem::remove_all(test_support::native(sandbox.installed(link)), ignored);
    }
}
#endif

// More folders in turn than the walk keeps open: each is closed, opened and
// checked again, and every file still lands in its own folder.
TEST(ExtractPackage, FilesSpreadOverMoreFoldersThanStayOpenEachLandInTheirOwn) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    std::vector<Entry> entries;
    for (int round = 0; round < 2; ++round) {
        for (int f = 0; f < 300; ++f) {
            entries.push_back(stored("d" + std::to_string(f) + "/" + std::to_string(round),
                                     std::to_string(f * 2 + round)));
        }
    }
    const Outcome outcome = sandbox.extract(build_zip(entries), window);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.files.size(), 600u);
    EXPECT_EQ(test_support::read_file(sandbox.installed("d0\\1")), "1");
    EXPECT_EQ(test_support::read_file(sandbox.installed("d299\\0")), "598");
}

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/message_pump.h"

// Bytes that wait in the stream's buffer reach the file only when it is
// closed. A file-size limit fails that last write as a disk that fills up
// would: a 3,000-byte file sits whole in the buffer until then.
TEST(ExtractPackage, AFileWhoseLastBytesFailAtCloseIsNotInstalled) {
    for (const std::uint16_t method : {0, 8}) {
        SCOPED_TRACE(method);
        ExtractionSandbox sandbox;
        Entry tail = stored("tail.bin", noise(3000, 22));
        tail.method = method;
        test_support::write_file(sandbox.package(),
                                 build_zip({stored("small.txt", "small"), tail}));
        rlimit previous{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit limited = previous;
        limited.rlim_cur = 2000;
        void (*previous_handler)(int) = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        SetupWindow window;
        WindowReport report(window);
        std::string message;
        Files files;
        const bool ok = extract_package(sandbox.package(), sandbox.install(), report, message, files);
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previous_handler);
        EXPECT_FALSE(ok);
        EXPECT_EQ(message, method == 0 ? "Could not extract a stored file."
                                       : "Could not write extracted data.");
        EXPECT_EQ(files, Files{"small.txt"});
    }
}

// Each file entry drains the queue once in set_status, once more in
// set_progress when the bar moves, then before every 64 KiB block of its data
// after the first.
TEST(ExtractPackage, CancelTakesEffectBetweenEntries) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    CancelAtDrain cancel(window, 3);  // the second entry's status
    const Outcome outcome =
        sandbox.extract(build_zip({stored("one.txt", "1"), stored("two.txt", "2")}), window);
    EXPECT_EQ(outcome.message, "Setup was cancelled.");
    EXPECT_EQ(outcome.files, Files{"one.txt"});
    EXPECT_FALSE(test_support::file_exists(sandbox.installed("two.txt")));
}

// A folder the run made and remembers, removed by something else before its
// next file: the chain is made again rather than the file failing.
TEST(ExtractPackage, RemakesARememberedFolderThatWasRemovedMeanwhile) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    const std::string first = sandbox.installed("a\\x\\1");
    platform::set_message_pump([&] {
        if (!test_support::file_exists(first)) return;
        std::filesystem::remove_all(test_support::native(sandbox.installed("a")));
    });
    const Outcome outcome =
        sandbox.extract(build_zip({stored("a/x/1", "1"), stored("a/x/2", "2")}), window);
    platform::set_message_pump(nullptr);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(test_support::read_file(sandbox.installed("a\\x\\2")), "2");
}

// Another program swaps a folder the walk made for a link to outside, and
// plants a link where a folder is still to come: the rest of the made
// folder's files follow the folder itself, the link ends the walk, and
// nothing is written outside.
TEST(ExtractPackage, NothingIsWrittenThroughAFolderSwappedForALinkBetweenEntries) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    const std::string outside = parent_folder(sandbox.install()) + "\\outside";
    test_support::make_folders(outside);
    platform::set_message_pump([&] {
        if (!test_support::file_exists(sandbox.installed("bin\\1")) ||
            test_support::file_exists(sandbox.installed("bin.moved\\1"))) {
            return;
        }
        test_support::rename_from_outside(sandbox.installed("bin"), sandbox.installed("bin.moved"));
        test_support::plant_link(outside, sandbox.installed("bin"));
        test_support::plant_link(outside, sandbox.installed("data"));
    });
    // The first file spans blocks, so that behind a download the swap comes
    // while it is written.
    const Outcome outcome = sandbox.extract(
        build_zip({stored("bin/1", noise(70000, 5)), stored("bin/2", "2"), stored("data/3", "3")}),
        window);
    platform::set_message_pump(nullptr);
    EXPECT_EQ(outcome.message, "The install folder contains a link to another location: " +
                                   sandbox.install() + "\\data");
    EXPECT_EQ(outcome.files, (Files{"bin\\1", "bin\\2"}));
    EXPECT_EQ(test_support::read_file(sandbox.installed("bin.moved\\2")), "2");
    EXPECT_TRUE(std::filesystem::is_empty(test_support::native(outside)));
}

TEST(ExtractPackage, CancelTakesEffectBetweenBlocksOfAStoredEntry) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    CancelAtDrain cancel(window, 4);  // before the third block
    const std::string data = noise(300000, 3);
    const Outcome outcome = sandbox.extract(build_zip({stored("big.bin", data)}), window);
    EXPECT_EQ(outcome.message, "Setup was cancelled.");
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_EQ(test_support::read_file(sandbox.installed("big.bin")), data.substr(0, 2 * 65536));
}

// Behind the download, which serves the window, the extraction reads the
// Cancel flag before each 64 KiB block of an entry's data after the first.
TEST(StreamedExtraction, CancelTakesEffectBetweenBlocksOfAnEntry) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    CancelAtDrain cancel(window, 3);  // the entry's first 64 KiB not yet complete
    const std::string data = noise(300000, 34);
    const Outcome outcome = sandbox.extract_streamed(build_zip({stored("big.bin", data)}), nullptr, 0, &window);
    EXPECT_EQ(outcome.message, "Setup was cancelled.");
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_EQ(test_support::read_file(sandbox.installed("big.bin")), data.substr(0, 65536));
}

TEST(ExtractPackage, CancelTakesEffectBetweenInputBlocksOfADeflatedEntry) {
    ExtractionSandbox sandbox;
    SetupWindow window;
    CancelAtDrain cancel(window, 3);  // before the second input block
    const std::string data = noise(400000, 6);
    const Outcome outcome = sandbox.extract(build_zip({deflated("big.bin", data)}), window);
    EXPECT_EQ(outcome.message, "Setup was cancelled.");
    EXPECT_EQ(cancel.drains(), 3);
    const std::string partial = test_support::read_file(sandbox.installed("big.bin"));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), data.size());
    EXPECT_EQ(partial, data.substr(0, partial.size()));
}

// Removes a chain of single-letter folders below folder one relative step at
// a time: it is deeper than any path the system takes whole.
static void remove_folder_chain(const std::string& folder, const char* name) {
    const std::string back = std::filesystem::current_path().string();
    if (chdir(folder.c_str()) != 0) return;
    int depth = 0;
    while (chdir(name) == 0) ++depth;
    for (; depth > 0; --depth) {
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove(entry.path().filename());
        }
        if (chdir("..") != 0) break;
        rmdir(name);
    }
    if (chdir(back.c_str()) != 0) return;
}

// The folder walk goes one folder at a time, whatever the depth; an entry
// as deep as the longest path allows is written, and a name of 20,000
// folders is refused before anything is made for it.
TEST(ExtractPackage, AnEntryAsDeepAsTheLongestPathIsWrittenAndOneOf20000FoldersRefused) {
    ExtractionSandbox sandbox;
    std::string deep;
    while (deep.size() + 2 + 8 <= longest_relative_path) deep += "d/";
    const Outcome outcome = sandbox.extract(build_zip({stored(deep + "deep.txt", "bottom")}));
    const std::string install = sandbox.install();
    remove_folder_chain(install, "d");
    ASSERT_TRUE(outcome.ok) << outcome.message.substr(0, 200);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].size(), deep.size() + 8);

    std::string deeper;
    for (int level = 0; level < 20000; ++level) deeper += "e/";
    const Outcome refused = sandbox.extract(
        build_zip({stored("first.txt", "1"), stored(deeper + "deep.txt", "bottom")}));
    std::string shown = deeper.substr(0, 260) + "...";
    std::replace(shown.begin(), shown.end(), '/', '\\');
    EXPECT_FALSE(refused.ok);
    // A box shows no text beyond 32,767 characters: the name is cut.
    EXPECT_EQ(refused.message, "The package contains an unsafe path: " + shown);
    EXPECT_EQ(refused.files, Files{"first.txt"});
    EXPECT_FALSE(std::filesystem::exists(sandbox.installed("e")));
}

#endif
