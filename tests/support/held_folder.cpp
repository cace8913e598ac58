#include "tests/support/held_folder.h"

#include "records/held_records.h"
#include "records/manifest.h"
#ifdef _WIN32
#include "records/install_records.h"
#endif

namespace test_support {

InstallFolder opened(const std::string& path) {
    InstallFolder folder;
    folder.path = path;
    platform::open_folder(path, folder.handle);
    return folder;
}

bool write_manifest(const std::string& folder, const std::vector<std::string>& files) {
    HeldRecords records;
    return take_manifest(opened(folder), {}, records) && ::write_manifest(records, files);
}

bool read_manifest(const std::string& folder, std::vector<std::string>& paths) {
    return ::read_manifest(opened(folder), paths);
}

#ifdef _WIN32
bool install_uninstaller(const std::string& folder) {
    const InstallFolder held = opened(folder);
    HeldRecords records;
    std::string message;
    if (!take_records(held, {}, records, message)) {
        drop_records(held, records, false);
        return false;
    }
    return ::install_uninstaller(held, records);
}
#endif

}  // namespace test_support
