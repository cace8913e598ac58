// The real install path without the window: the production package URL is
// fetched from the local host through the prefix's proxy and delivered into
// an install folder, its directory read from the tail and each entry
// extracted as it arrives. The package and the tree it was made from
// come from tests/tools/make_test_package.py (a fixture of this test).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "download/package_url.h"
#include "paths/install_folder.h"
#include "paths/path_operations.h"
#include "setup/package_delivery.h"
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

TEST(InstallPath, DeliversThePackageFromTheProductionUrlIntoTheInstallFolder) {
    download_test::LocalPackageHost host;
    test_support::ScratchFolder scratch;
    download_test::RecordingProgressBar bar;
    SetupWindow window;
    WindowReport report(window);
    window.progress_bar = bar.handle();
    const std::string package = scratch.at("Temp\\QuellmarkFull.zip");
    const std::string install_folder = scratch.at("Games\\The Annals of Quellmark");
    ASSERT_TRUE(create_directory_tree(scratch.at("Temp")));
    InstallFolder folder;
    ASSERT_EQ(open_install_folder(install_folder, folder), platform::EntryResult::done);
    platform::File file(platform::open_file(package, "w+b"));

    std::string message;
    std::vector<InstalledFile> installed;
    std::size_t entries_done = 0;
    ASSERT_EQ(deliver_package(package_url(), package, file.get(), folder, 0, report, message,
                              installed, entries_done),
              Delivery::extracted)
        << message;
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
    ASSERT_EQ(requests.size(), 2u);  // the tail, the body
    EXPECT_EQ(requests[0].user_agent, "QuellmarkSetup");
    EXPECT_TRUE(host.came_through_proxy(requests[0]));
}

}  // namespace
