// Packages made at test time by real archivers (Debian's python3 zipfile,
// Info-ZIP zip, bsdtar) must extract byte for byte. Host only: the tools run
// on Linux.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "tests/zip/extraction_sandbox.h"
#include "zip/central_directory.h"
#include "tests/zip/zip_writer.h"

using namespace zip_test;
namespace fs = std::filesystem;

namespace {

// The tree every tool packs: random and compressible data around the 64 KiB
// block size, an empty file, an empty folder, nesting and a space in a name.
std::map<std::string, std::string> source_files() {
    return {
        {"bin/client/Qm_client.exe", noise(300001, 11)},
        {"data/maps/world map.dat", repetitive(1u << 20)},
        {"data/text.txt", "The Annals of Quellmark\n"},
        {"data/exact.bin", noise(65536, 12)},
        {"empty.txt", ""},
        {"deep/a/b/c/d/e.bin", noise(1000, 13)},
    };
}

class RealTools : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = scratch_.path() + "/src";
        for (const auto& [name, data] : source_files()) {
            fs::create_directories(fs::path(source_ + "/" + name).parent_path());
            test_support::write_file(source_ + "/" + name, data);
        }
        fs::create_directories(source_ + "/empty folder");
    }

    // Runs a shell command inside the source tree; the archive is "../out.zip".
    std::string make(const std::string& command) {
        const std::string archive = scratch_.path() + "/out.zip";
        fs::remove(archive);
        const std::string line = "cd '" + source_ + "' && " + command + " >/dev/null";
        EXPECT_EQ(std::system(line.c_str()), 0) << command;
        return test_support::read_file(archive);
    }

    void expect_extracted(const std::string& package, const std::string& label) {
        ExtractionSandbox sandbox;
        const Outcome outcome = sandbox.extract(package);
        ASSERT_TRUE(outcome.ok) << label << ": " << outcome.message;
        std::vector<std::string> expected;
        for (const auto& [name, data] : source_files()) {
            std::string listed = name;
            std::replace(listed.begin(), listed.end(), '/', '\\');
            expected.push_back(listed);
            EXPECT_TRUE(test_support::read_file(sandbox.installed(listed)) == data)
                << label << ": " << name;
        }
        std::vector<std::string> listed = outcome.files;
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected) << label;
        EXPECT_TRUE(test_support::folder_exists(sandbox.installed("empty folder"))) << label;
        EXPECT_TRUE(sandbox.strays().empty()) << label;
    }

    test_support::ScratchFolder scratch_;
    std::string source_;
};

const char python_packer[] = R"(
import os, sys, zipfile
method = zipfile.ZIP_DEFLATED if sys.argv[1] == 'deflated' else zipfile.ZIP_STORED
with zipfile.ZipFile('../out.zip', 'w', method) as archive:
    for root, folders, files in sorted(os.walk('.')):
        for folder in sorted(folders):
            path = os.path.relpath(os.path.join(root, folder))
            if not os.listdir(path):
                archive.writestr(path + '/', b'')
        for name in sorted(files):
            path = os.path.relpath(os.path.join(root, name))
            info = zipfile.ZipInfo(path)
            info.compress_type = method
            with open(path, 'rb') as source, archive.open(info, 'w', force_zip64=True) as target:
                target.write(source.read())
    archive.comment = b'made by zipfile'
)";

}  // namespace

TEST_F(RealTools, PythonZipfileWithForcedZip64) {
    test_support::write_file(scratch_.path() + "/pack.py", python_packer);
    expect_extracted(make("python3 ../pack.py deflated"), "zipfile deflated");
    expect_extracted(make("python3 ../pack.py stored"), "zipfile stored");
}

// A plain directory of exactly 65,535 entries, as zipfile writes it: the
// count 0xFFFF and no Zip64 records.
TEST_F(RealTools, PythonZipfileWithExactly65535Entries) {
    test_support::write_file(scratch_.path() + "/many.py",
                             "import zipfile\n"
                             "with zipfile.ZipFile('../out.zip', 'w') as archive:\n"
                             "    for i in range(65535):\n"
                             "        archive.writestr('e%05d' % i, b'')\n");
    make("python3 ../many.py");
    platform::File package(platform::open_file(scratch_.path() + "/out.zip", "rb"));
    ASSERT_TRUE(package && platform::seek_to_end(package.get()));
    const auto size = static_cast<std::uint64_t>(platform::tell(package.get()));
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
    std::string message;
    std::vector<ZipEntry> entries;
    FilePackageBytes bytes(package.get());
    ASSERT_TRUE(locate_central_directory(bytes, size, offset, count, message)) << message;
    EXPECT_EQ(count, 65535u);
    ASSERT_TRUE(read_central_directory(bytes, offset, count, entries, message)) << message;
    ASSERT_EQ(entries.size(), 65535u);
    EXPECT_EQ(entries.back().name, "e65534");
}

TEST_F(RealTools, InfoZip) {
    expect_extracted(make("zip -q -r ../out.zip ."), "zip");
    expect_extracted(make("zip -q -r -fz ../out.zip ."), "zip -fz");
    expect_extracted(make("zip -q -r -0 ../out.zip ."), "zip -0");
    expect_extracted(make("echo 'a comment' | zip -q -r -z ../out.zip ."), "zip -z");
}

TEST_F(RealTools, Bsdtar) {
    const std::string files = "bin data empty.txt deep 'empty folder'";
    expect_extracted(make("bsdtar --format zip -cf ../out.zip " + files), "bsdtar");
    expect_extracted(make("bsdtar --format zip --options zip:zip64 -cf ../out.zip " + files),
                     "bsdtar zip64");
    expect_extracted(
        make("bsdtar --format zip --options zip:compression=store -cf ../out.zip " + files),
        "bsdtar stored");
}
