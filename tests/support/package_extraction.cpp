#include "tests/support/package_extraction.h"

#include "paths/install_locations.h"
#include "zip/central_directory.h"
#include "zip/extract_package.h"

bool extract_package(const std::string& package_path, const std::string& install_folder,
                     StepReport& report, std::string& error_message,
                     std::vector<InstalledFile>& installed_files, std::uint64_t extra_bytes) {
    platform::File package(platform::open_file(package_path, "rb"));
    if (!package) {
        error_message = "Could not open the downloaded package.";
        return false;
    }
    test_support::FolderByPath folder(install_folder);
    return extract_package(package.get(), folder.folder, report, error_message, installed_files,
                           extra_bytes);
}

bool read_checked_directory(std::FILE* package, std::uint64_t package_size,
                            test_support::FolderByPath& install_folder, std::uint64_t extra_bytes,
                            std::vector<ZipEntry>& entries, std::string& error_message) {
    FilePackageBytes bytes(package);
    std::uint64_t directory_offset = 0;
    if (!read_package_directory(bytes, package_size, directory_offset, entries, error_message)) {
        return false;
    }
    error_message = directory_refusal(entries, install_folder.folder, package, package_file_name,
                                      extra_bytes);
    return error_message.empty();
}
