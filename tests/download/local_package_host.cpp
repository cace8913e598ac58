#include "tests/download/local_package_host.h"

#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

#include "download/package_url.h"
#include "tests/support/scratch_folder.h"

namespace download_test {
namespace {

// The build tree is on the Unix side; Wine shows the whole file system as Z:.
std::string windows_path(const std::string& unix_path) {
    std::string path = "Z:" + unix_path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

std::vector<std::vector<std::string>> log_lines(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : split(test_support::read_file(path), '\n')) {
        if (!line.empty()) lines.push_back(split(line, '\t'));
    }
    return lines;
}

std::map<std::string, std::string> read_env(const std::string& path) {
    std::map<std::string, std::string> values;
    for (const std::string& line : split(test_support::read_file(path), '\n')) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

std::string host_of(const std::string& url) {
    const size_t start = url.find("://") + 3;
    const size_t end = url.find_first_of(":/", start);
    return url.substr(start, end - start);
}

}  // namespace

LocalPackageHost::LocalPackageHost() : state_(windows_path(QM_PACKAGE_HOST_STATE)) {
    auto env = read_env(state_ + "\\host.env");
    host_ = env["HOST"];
    closed_port_ = std::stoi(env["CLOSED_PORT"]);
    proxy_port_ = std::stoi(env["PROXY_PORT"]);
    if (host_ != host_of(package_base_url))
        throw std::runtime_error("the package host serves " + host_ + ", not the setup's host");
}

std::string LocalPackageHost::url(const std::string& path) const {
    return "https://" + host_ + path;
}

std::string LocalPackageHost::untrusted_url(const std::string& path) const {
    return "https://untrusted." + host_ + path;
}

std::string LocalPackageHost::served_file(const std::string& path) const {
    std::string relative = path;
    for (char& c : relative) {
        if (c == '/') c = '\\';
    }
    return state_ + "\\root" + relative;
}

void LocalPackageHost::publish(const std::string& path, const std::string& bytes) const {
    const std::string file = served_file(path);
    test_support::make_folders(file.substr(0, file.find_last_of('\\')));
    test_support::write_file(file, bytes);
}

std::vector<LoggedRequest> LocalPackageHost::requests_for(const std::string& path) const {
    // time, client port, method, path, User-Agent[, Range, If-Range]
    std::vector<LoggedRequest> requests;
    for (auto fields : log_lines(state_ + "\\host.log")) {
        if (fields.size() < 4 || fields[3] != path) continue;
        fields.resize(7);
        requests.push_back(
            {std::stoi(fields[1]), fields[2], fields[3], fields[4], fields[5], fields[6]});
    }
    return requests;
}

bool LocalPackageHost::came_through_proxy(const LoggedRequest& request) const {
    // time, client port, CONNECT target, backend, proxy's local port, outcome
    for (const auto& fields : log_lines(state_ + "\\proxy.log")) {
        if (fields.size() == 6 && fields[2].rfind(host_ + ":", 0) == 0 && fields[5] == "200" &&
            fields[4] == std::to_string(request.client_port))
            return true;
    }
    return false;
}

std::string package_bytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

}  // namespace download_test
