#include "ui/url_host.h"

std::string url_host(const std::string& url) {
    const std::size_t scheme_end = url.find("://");
    std::size_t start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    std::size_t end = url.find_first_of("/?#", start);
    if (end == std::string::npos) end = url.size();
    const std::size_t at = url.rfind('@', end == 0 ? 0 : end - 1);
    if (at != std::string::npos && at >= start && at < end) start = at + 1;
    std::string authority = url.substr(start, end - start);
    if (!authority.empty() && authority[0] == '[') {  // a bracketed address keeps its colons
        const std::size_t close = authority.find(']');
        return close == std::string::npos ? authority : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}
