#include "paths/install_locations.h"

#include "paths/path_operations.h"
#include "platform/platform.h"

const char* const package_base_url = QUELLMARK_PACKAGE_BASE_URL;

std::string default_install_folder() { return "C:\\Games\\The Annals of Quellmark"; }

std::string temp_package_path() { return join_path(platform::temp_folder(), package_file_name); }

std::string package_url() {
    std::string url = package_base_url;
    if (!url.empty() && url.back() != '/') url += '/';
    return url + package_file_name;
}
