// The built setup's version resource and manifest, read back the way Windows
// reads them for the file's details and for the elevation prompt.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The build's setup program, reached through Wine's drive for the host's root.
std::string setup_program() {
    std::string path = std::string("Z:") + QM_SETUP_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::vector<char> version_block() {
    const std::string path = setup_program();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

TEST(VersionInfo, FixedPartCarriesTheProjectVersion) {
    std::vector<char> block = version_block();
    ASSERT_FALSE(block.empty()) << setup_program();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(QM_VERSION_MINOR, QM_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, QM_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionInfo, StringsNameThePublisherProductAndVersion) {
    std::vector<char> block = version_block();
    ASSERT_FALSE(block.empty()) << setup_program();
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    char table[64];
    std::snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", translation[0],
                  translation[1]);

    const struct {
        const char* name;
        const char* value;
    } expected[] = {
        {"CompanyName", "Quellmark Hearth"},
        {"FileDescription", "The Annals of Quellmark Setup"},
        {"ProductName", "The Annals of Quellmark"},
        {"InternalName", "QuellmarkSetup.exe"},
        {"OriginalFilename", "QuellmarkSetup.exe"},
        {"LegalCopyright", "Copyright (C) 2026 Quellmark Hearth"},
        {"FileVersion", QM_VERSION_TEXT},
        {"ProductVersion", QM_VERSION_TEXT},
    };
    for (const auto& entry : expected) {
        char* text = nullptr;
        UINT chars = 0;
        const std::string query = table + std::string(entry.name);
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                                   &chars))
            << query;
        EXPECT_STREQ(text, entry.value) << query;
    }
}

TEST(VersionInfo, ManifestIdentityCarriesTheProjectVersion) {
    HMODULE image = LoadLibraryExA(setup_program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr) << setup_program();
    HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
    const std::string manifest(bytes, SizeofResource(image, found));
    FreeLibrary(image);
    EXPECT_NE(manifest.find("name=\"Quellmark.Setup\" version=\"" QM_VERSION_TEXT ".0\""),
              std::string::npos)
        << manifest;
}

}  // namespace
