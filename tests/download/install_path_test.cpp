// The real install path without the window: the production package URL is
// fetched from the local host through the prefix's proxy, and the package is
// extracted into an install folder. The package and the tree it was made from
// come from tests/tools/make_test_package.py (a fixture of this test).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "download/download_package.h"
#include "paths/install_locations.h"
#include "paths/path_operations.h"
#include "tests/download/local_package_host.h"
#include "tests/download/test_windows.h"
#include "tests/support/package_extraction.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;

// Every file under folder, relative, with backslashes, sorted.
std::vector<std::string> files_under(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string path_of(const std::string& url) {
    return url.substr(url.find('/', url.find("://") + 3));
}

TEST(InstallPath, DownloadsAndExtractsThePackageFromTheProductionUrl) {
    download_test::LocalPackageHost host;
    test_support::ScratchFolder scratch;
    download_test::RecordingProgressBar bar;
    SetupWindow window;
    WindowReport report(window);
    window.progress_bar = bar.handle();
    const std::string package = scratch.at("Temp\\QuellmarkFull.zip");
    const std::string install_folder = scratch.at("Games\\The Annals of Quellmark");
    ASSERT_TRUE(create_directory_tree(scratch.at("Temp")));
    ASSERT_TRUE(create_directory_tree(install_folder));

    std::string message;
    ASSERT_TRUE(download_package(package_url(), package, report, message)) << message;
    ASSERT_FALSE(bar.positions().empty());
    EXPECT_EQ(bar.positions().back(), 50);
    std::vector<InstalledFile> installed;
    ASSERT_TRUE(extract_package(package, install_folder, report, message, installed)) << message;
    EXPECT_EQ(bar.positions().back(), 100);

    const std::string tree = host.state_path("package-tree");
    const std::vector<std::string> expected = files_under(tree);
    ASSERT_FALSE(expected.empty());
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(installed, expected);
    EXPECT_EQ(files_under(install_folder), expected);
    for (const std::string& file : expected) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(read_file(install_folder + "\\" + file) == read_file(tree + "\\" + file));
    }

    const auto requests = host.requests_for(path_of(package_url()));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].user_agent, "QuellmarkSetup");
    EXPECT_TRUE(host.came_through_proxy(requests[0]));
}

}  // namespace
