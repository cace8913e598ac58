#pragma once
// The test side of the local package host that tests/tools/package-host.sh runs
// for this test directory: where it serves files from, the URLs that reach it
// through the prefix's proxy, and what its request logs say.
#include <string>
#include <vector>

namespace download_test {

struct LoggedRequest {
    int client_port = 0;
    std::string method;
    std::string path;
    std::string user_agent;
    std::string range;     // the Range header, empty when none
    std::string if_range;  // the If-Range header, empty when none
};

class LocalPackageHost {
public:
    LocalPackageHost();

    // The production host name, as compiled into the setup.
    const std::string& host() const { return host_; }
    // https://HOST followed by path (which starts with "/"). Control prefixes
    // such as "/_nolength" pick how the host misbehaves.
    std::string url(const std::string& path) const;
    // The same path on the host whose certificate nobody trusts.
    std::string untrusted_url(const std::string& path) const;
    int closed_port() const { return closed_port_; }
    int proxy_port() const { return proxy_port_; }

    // Puts bytes where the host serves them as path.
    void publish(const std::string& path, const std::string& bytes) const;
    // The served file's Windows path.
    std::string served_file(const std::string& path) const;
    // A path inside the host's state folder (relative, with backslashes).
    std::string state_path(const std::string& relative) const { return state_ + "\\" + relative; }

    // Every request for exactly this path, in arrival order.
    std::vector<LoggedRequest> requests_for(const std::string& path) const;
    // True when the proxy's log shows the tunnel over which request arrived,
    // opened for the production host.
    bool came_through_proxy(const LoggedRequest& request) const;

private:
    std::string state_;
    std::string host_;
    int closed_port_ = 0;
    int proxy_port_ = 0;
};

// Reproducible bytes that do not compress: a package body.
std::string package_bytes(size_t size, unsigned seed);

}  // namespace download_test
