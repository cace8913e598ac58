#include "download/package_url.h"

#include "paths/install_locations.h"

const char* const package_base_url = QUELLMARK_PACKAGE_BASE_URL;

std::string package_url() {
    std::string url = package_base_url;
    if (!url.empty() && url.back() != '/') url += '/';
    return url + package_file_name;
}
