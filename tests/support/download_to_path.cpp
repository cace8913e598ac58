#include "tests/support/download_to_path.h"

#include <windows.h>

#include "platform/platform.h"

bool download_package(const std::string& package_url, const std::string& package_path,
                      PackageDirectory& directory, StepReport& report, std::string& error_message) {
    platform::File file(platform::open_file(package_path, "w+b"));
    const bool downloaded =
        download_package(package_url, package_path, file.get(), directory, report, error_message);
    const bool empty =
        !file || !platform::seek_to_end(file.get()) || platform::tell(file.get()) <= 0;
    file.reset();
    if (!downloaded && (error_message == cancelled_message || empty))
        DeleteFileA(package_path.c_str());
    return downloaded;
}

bool download_package(const std::string& package_url, const std::string& package_path,
                      StepReport& report, std::string& error_message) {
    struct : PackageDirectory {
        Answer read_directory(std::uint64_t, std::uint64_t, const std::string&, std::uint64_t&,
                              std::string&) override {
            return Answer::cannot_follow;
        }
        BlockConsumer* consumer() override { return nullptr; }
    } no_directory;
    return download_package(package_url, package_path, no_directory, report, error_message);
}
