// The uninstall entry read back through the registry API, and the
// uninstaller copy read back from disk.
#include <gtest/gtest.h>

#include <cstring>

#include "records/held_records.h"
#include "records/install_records.h"
#include "records/manifest.h"
#include "records/mapped_image.h"
#include "tests/records/probes.h"
#include "tests/support/held_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/small_drive.h"

namespace {

using namespace records_test;

using test_support::opened;

std::string text_bytes(const std::string& text) { return text + '\0'; }

class UninstallEntry : public ::testing::Test {
protected:
    void SetUp() override { delete_key(HKEY_LOCAL_MACHINE, uninstall_key); }
    void TearDown() override { delete_key(HKEY_LOCAL_MACHINE, uninstall_key); }

    static void expect_text(const char* name, const std::string& text) {
        const RegistryValue value = read_value(HKEY_LOCAL_MACHINE, uninstall_key, name);
        ASSERT_TRUE(value.found) << name;
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
        EXPECT_EQ(value.size, text.size() + 1) << name;
        EXPECT_EQ(value.bytes, text_bytes(text)) << name;
    }

    static void expect_entry(const std::string& location, const std::string& joined_folder) {
        EXPECT_EQ(value_count(HKEY_LOCAL_MACHINE, uninstall_key), 7u);
        const std::string command =
            "\"" + joined_folder + "\\QuellmarkUninstall.exe\" /uninstall";
        expect_text("DisplayName", "The Annals of Quellmark");
        expect_text("Publisher", "Quellmark Hearth");
        expect_text("InstallLocation", location);
        expect_text("DisplayIcon", joined_folder + "\\bin\\client\\Qm_client.exe");
        expect_text("UninstallString", command);
        expect_text("QuietUninstallString", command);
        const RegistryValue size = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "EstimatedSize");
        ASSERT_TRUE(size.found);
        EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
        ASSERT_EQ(size.size, 4u);
        DWORD number = 0;
        std::memcpy(&number, size.bytes.data(), sizeof number);
        EXPECT_EQ(number, 9000000u);
    }
};

TEST_F(UninstallEntry, DefaultFolderGivesTheSevenValues) {
    register_uninstall_entry(opened("C:\\Games\\The Annals of Quellmark"));
    expect_entry("C:\\Games\\The Annals of Quellmark", "C:\\Games\\The Annals of Quellmark");
}

TEST_F(UninstallEntry, TrailingBackslashIsKeptInTheLocationOnly) {
    register_uninstall_entry(opened("D:\\Play\\Quellmark\\"));
    expect_entry("D:\\Play\\Quellmark\\", "D:\\Play\\Quellmark");
}

TEST_F(UninstallEntry, SecondInstallLeavesOneEntryWithItsOwnValues) {
    register_uninstall_entry(opened("C:\\First Place"));
    register_uninstall_entry(opened("E:\\Second Place"));
    expect_entry("E:\\Second Place", "E:\\Second Place");
}

TEST(QuoteArgument, EscapesInnerQuotesAndLeavesBackslashesSingle) {
    EXPECT_EQ(quote_argument("C:\\a\"b\\c.exe"), "\"C:\\a\\\"b\\c.exe\"");
    EXPECT_EQ(quote_argument(""), "\"\"");
}

TEST(InstallUninstaller, ReplacesAnEarlierCopyWithTheRunningProgram) {
    test_support::ScratchFolder folder;
    const std::string uninstaller = folder.at("QuellmarkUninstall.exe");
    test_support::write_file(uninstaller, "an older uninstaller");
    EXPECT_TRUE(test_support::install_uninstaller(folder.path()));
    EXPECT_EQ(test_support::read_file(uninstaller), test_support::read_file(running_program()));
}

TEST(InstallUninstaller, FailsWhenTheFolderIsMissing) {
    test_support::ScratchFolder folder;
    EXPECT_FALSE(test_support::install_uninstaller(folder.at("missing")));
    EXPECT_FALSE(test_support::file_exists(folder.at("missing\\QuellmarkUninstall.exe")));
    EXPECT_EQ(uninstaller_size(), test_support::read_file(running_program()).size());
}

// The running program's file proves to be its mapped image; a copy with
// one byte changed where the image is not writable, or cut short, does not,
// and one changed where it is writable still does.
TEST(MappedImage, OnlyTheFileOfTheRunningImageProvesToBeIt) {
    const std::string program = test_support::read_file(running_program());
    const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    std::size_t code = 0, data = 0;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
        std::size_t& at = sections[i].Characteristics & IMAGE_SCN_MEM_WRITE ? data : code;
        if (at == 0 && sections[i].SizeOfRawData > 64) at = sections[i].PointerToRawData + 32;
    }
    ASSERT_NE(code, 0u);
    ASSERT_NE(data, 0u);
    const auto proves = [&](const std::string& bytes) {
        test_support::ScratchFolder folder;
        test_support::write_file(folder.at("copy.exe"), bytes);
        platform::File file(platform::open_file(folder.at("copy.exe"), "rb"));
        return file && file_is_mapped_image(file.get(), image);
    };
    EXPECT_TRUE(proves(program));
    std::string changed = program;
    changed[code] = static_cast<char>(changed[code] ^ 1);
    EXPECT_FALSE(proves(changed));
    changed = program;
    changed[data] = static_cast<char>(changed[data] ^ 1);
    EXPECT_TRUE(proves(changed));
    EXPECT_FALSE(proves(program.substr(0, program.size() / 2)));
}

// Before the download the records' names become the setup's: a plain file
// in their place, read-only too, is replaced; a folder, or a file open
// elsewhere, stops the install with its path.
TEST(TakeRecords, ReplacesAPlainFileAndRefusesWhatCannotBeReplaced) {
    for (const std::string name : {"QuellmarkUninstall.exe", "installed-files.txt"}) {
        SCOPED_TRACE(name);
        {
            test_support::ScratchFolder folder;
            test_support::write_file(folder.at(name), "planted");
            ASSERT_TRUE(SetFileAttributesA(folder.at(name).c_str(), FILE_ATTRIBUTE_READONLY));
            const InstallFolder held = opened(folder.path());
            HeldRecords records;
            std::string message;
            ASSERT_TRUE(take_records(held, {"earlier-and-longer.txt"}, records, message)) << message;
            // Held: nobody else may write them meanwhile.
            const HANDLE other = CreateFileA(folder.at(name).c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_EQ(other, INVALID_HANDLE_VALUE);
            if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
            // A run that ends here leaves the earlier list.
            char held_lines[64] = {};
            ASSERT_TRUE(platform::seek_to(records.manifest.get(), 0));
            EXPECT_EQ(std::string(held_lines, std::fread(held_lines, 1, sizeof held_lines,
                                                         records.manifest.get())),
                      "earlier-and-longer.txt\r\n");
            EXPECT_TRUE(install_uninstaller(held, records));
            EXPECT_TRUE(write_manifest(records, {"a.txt"}));
            EXPECT_EQ(test_support::read_file(folder.at("QuellmarkUninstall.exe")),
                      test_support::read_file(running_program()));
            EXPECT_EQ(test_support::read_file(folder.at("installed-files.txt")), "a.txt\r\n");
        }
        for (const bool open_elsewhere : {false, true}) {
            test_support::ScratchFolder folder;
            HANDLE holder = INVALID_HANDLE_VALUE;
            if (open_elsewhere) {
                test_support::write_file(folder.at(name), "held");
                holder = CreateFileA(folder.at(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
                ASSERT_NE(holder, INVALID_HANDLE_VALUE);
            } else {
                test_support::make_folders(folder.at(name));
            }
            HeldRecords records;
            std::string message;
            EXPECT_FALSE(take_records(opened(folder.path()), {}, records, message));
            EXPECT_EQ(message, "The install folder holds a file that the setup cannot replace: " +
                                   folder.at(name));
            if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        }
    }
}

// On a full disk neither record passes for complete: the manifest's lines
// wait in the stream's buffer until it is closed, and a cut-short
// uninstaller is not left behind.
TEST(InstallUninstaller, RecordsOnAFullDiskFailAndLeaveNoCutShortCopy) {
    if (!test_support::small_drive_ready()) GTEST_SKIP() << test_support::small_drive_missing;
    const std::string drive = test_support::spare_drive;
    const std::string filler = drive + "filler";
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(1 << 16, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    CloseHandle(file);

    EXPECT_FALSE(test_support::install_uninstaller(drive));
    EXPECT_FALSE(test_support::file_exists(drive + "QuellmarkUninstall.exe"));
    EXPECT_FALSE(test_support::write_manifest(drive, {"bin\\client\\Qm_client.exe", "a.txt"}));
    DeleteFileA(filler.c_str());
    DeleteFileA((drive + "installed-files.txt").c_str());
}

}  // namespace
